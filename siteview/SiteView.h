#pragma once
// CSiteView: the site plan of the loaded projection, drawn at one scale on
// both axes into the part of the view left of the status panel (the plan
// area: the plan shown is never hidden under the panel, and the fitted zoom
// shows all of it), the survey points on it, the alert banner, the centre mark and the status
// panel. Loads a projection and its plan image (command 32771), zooms
// (32776, 32777) and scrolls by scroll bar and arrow key. The survey itself
// (commands 32772 to 32775 and 32778, taps, the sweep on the view's timer)
// is decided by its SurveyWorkflow; the view shows what that asks for: the
// dialogs, the scan view, the scroll bars after a tap.
//
// Zoom steps about the middle of the plan area; Ctrl with the wheel and a
// two-finger pinch zoom about the point under them. A walking survey draws
// its path over the points.
//
// The scroll bars stand for the site plan's centre in plan pixels: the view
// moves the centre itself and then sets the bars to it. Dragging a thumb
// moves nothing until the thumb is released.
//
// Every paint composes the client area in one off-screen image and copies
// it to the window at once; the view never has its background erased. Its
// timer looks four times a second, whether it is shown or not, for what
// changed and asks for a paint of that alone: the whole view when the
// plan, the coverage layer or the points changed (points, zoom, scroll
// position, size, layer), the status panel when only its lines did, and
// nothing at all when nothing did. The image is kept between paints, and
// only what changed is composed again.
//
// The coverage command (32779) shows the `signal` coverage of the open
// collection under the points, with its legend in the bottom-left corner.
// A worker thread computes it again after every change of the points; the
// view shows the last layer finished.
//
// The survey gaps command (32782) shows, over the plan and any coverage
// layer, where no survey point reaches yet (grey) and, with a requirement
// profile chosen (32783 to 32786, kept for the run), where the profile
// fails (red); its legend, above the coverage legend, gives the surveyed
// and passing shares. It has a worker of its own with the same hand-off.

#include <QAbstractScrollArea>
#include <QFont>
#include <QImage>
#include <QRegion>
#include <QTimer>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "siteview/CommandTarget.h"
#include "siteview/CoverageLayer.h"
#include "siteview/PlanFiles.h"
#include "siteview/SiteLayout.h"
#include "siteview/StatusPanel.h"
#include "siteview/SurveyContext.h"
#include "siteview/SurveyWorkflow.h"
#include "siteview/ViewActivation.h"
#include "siteview/ViewSwitcher.h"
#include "survey/PlanRect.h"
#include "survey/SiteData.h"
#include "survey/SitePlan.h"

class QScrollBar;

namespace quorl {

class CoverageWorker;
class ICoverageSource;

class CSiteView : public QAbstractScrollArea, public IViewActivation, public ICommandTarget, public IPlanFiles {
    Q_OBJECT
public:
    // Scroll bar line and arrow key step, in plan pixels at every zoom.
    static constexpr int kLineStep = 10;
    static constexpr const char* kNoPlanText = "( SELECT A PROJECTION )";

    CSiteView(const SurveyContext& survey, IViewSwitcher& switcher, QWidget* parent = nullptr);
    ~CSiteView() override;

    void OnActivateView(bool active) override;
    bool HandlesCommand(int id) const override;
    void RunCommand(int id) override;
    // Point information mode while it waits for its tap; the coverage layer.
    bool IsCommandChecked(int id) const override;

    bool OpenProjectionFile(const std::string& path) override;
    bool OpenCollectionFile(const std::string& path, bool create) override;
    void CloseCollectionFile() override;
    bool Busy(bool tell) override { return workflow_.Busy(tell); }
    void ShowFloorName(const std::string& name) override;
    void UseFloorGuard(IFloorGuard* guard) override;
    const std::string& FloorName() const { return floorName_; }
    // What the status panel shows now.
    StatusValues PanelValues() const;

    // The paint's font: 8 points, the platform's plain sans face.
    static QFont PaintFont();

    bool PlanLoaded() const { return planLoaded_; }
    // Metres per plan pixel of the loaded plan: a GPS projection's own, a
    // linear projection's from its scale file; unknown without either.
    // Known, the view shows a scale bar and the layers' legends speak
    // metres.
    const analysis::PlanScale& GroundScale() const { return groundScale_; }
    const QImage& PlanImage() const { return planImage_; }
    // The client area (the viewport), from (0, 0).
    PlanRect ClientRect() const;
    // The part of the client area left of the status panel: where the plan
    // is drawn and what taps are measured in.
    PlanRect PlanArea() const;
    const SiteLayout& Layout() const { return layout_; }
    const QTimer& Timer() const { return timer_; }
    const SurveyWorkflow& Workflow() const { return workflow_; }
    // For tests: the walking survey's clock.
    void UseWalkClock(WalkingSurvey::Clock clock) { workflow_.UseWalkClock(std::move(clock)); }

    // One paint's off-screen image of the whole client area, as the window
    // gets it.
    QImage ComposeFrame() const;
    // How many times the plan, layer and points were composed.
    int SceneCompositions() const { return sceneCompositions_; }

    bool CoverageOn() const { return coverageOn_; }
    // The layer shown while the coverage is on (a null image: none yet).
    const CoverageLayer& Coverage() const { return coverage_.layer; }
    // Layers asked for so far (each change of the points, collection or
    // plan while the layer is on asks for one).
    std::uint64_t CoverageRequests() const { return coverage_.generation; }
    // Replaces what computes the layer (the `signal` map of the collection
    // by default); a layer being computed is waited for.
    void UseCoverageSource(std::unique_ptr<ICoverageSource> source);

    // The survey gaps layer, as the coverage layer above.
    bool GapsOn() const { return gapsOn_; }
    const CoverageLayer& Gaps() const { return gaps_.layer; }
    // "", "voice", "data" or "basic".
    const std::string& GapsProfile() const { return gapsProfile_; }
    std::uint64_t GapsRequests() const { return gaps_.generation; }
    void UseGapsSource(std::unique_ptr<ICoverageSource> source);

signals:
    // A finished layer was taken up (shown, or dropped as stale).
    void CoverageUpdated();
    // The same for the survey gaps layer.
    void GapsUpdated();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // A left-button tap: a survey point, or the selection of a stored one.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // The second press of a double tap is not a tap of its own.
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // The wheel does not scroll the plan; with Ctrl it zooms about the
    // point under it.
    void wheelEvent(QWheelEvent* event) override;
    // Pinches, from a touch screen or a touch pad.
    bool viewportEvent(QEvent* event) override;
    // The bars follow the plan's centre; the picture is redrawn, never
    // shifted.
    void scrollContentsBy(int dx, int dy) override;

private:
    // Command 32771.
    void LoadProjection();
    // Takes the projection at `path` and its plan image; on failure the view
    // keeps the earlier plan or falls back to the no-plan display.
    bool LoadPlan(const std::string& path);
    void ZoomIn();
    void ZoomOut();
    // A zoom about view point `at` changed the plan: bars and picture follow.
    void AfterZoom(bool changed);
    // One frame of a pinch by `factor` about `at`.
    void Pinch(double factor, QPointF at);
    // Command 32772.
    void ChooseCollection();
    // Command 32775.
    void ShowChannelList();

    void OnHorizontalAction(int action);
    void OnVerticalAction(int action);
    void SyncHorizontalBar();
    void SyncVerticalBar();
    void SyncBar(QScrollBar& bar, std::int32_t planSize, std::int32_t viewPixels, std::int32_t centre);

    // One tick of the view's timer.
    void OnTimer();

    // Command 32779.
    void ToggleCoverage();
    void RefreshCoverage(bool force) { RequestLayer(coverage_, "", force); }
    void TakeCoverage(const CoverageLayer& layer);
    // Command 32782 and the profile commands.
    void ToggleGaps();
    void ChooseGapsProfile(int id);
    void RefreshGaps(bool force) { RequestLayer(gaps_, gapsProfile_, force); }
    void TakeGaps(const CoverageLayer& layer);

    // What the plan, layer and points are drawn from, but the points.
    struct SceneKey {
        QSize size;
        qreal ratio = 1;
        bool planLoaded = false;
        qint64 planImage = 0;
        PlanRect window;
        PlanRect bounds;
        bool lines = false;
        bool markers = false;
        bool noAccessPoint = false;
        bool legends = true;
        qint64 coverageImage = 0;
        qint64 legendImage = 0;
        qint64 gapsImage = 0;
        qint64 gapsLegendImage = 0;
        PlanScale scale;
        std::int32_t centreX = 0, centreY = 0;
        std::size_t walkTaps = 0;
        PlanPoint lastWalkTap;
        bool operator==(const SceneKey&) const = default;
    };
    struct PanelKey {
        StatusLines lines;
        bool lock3d = false;
        bool lock2d = false;
        bool operator==(const PanelKey&) const = default;
    };
    SceneKey CurrentSceneKey() const;
    static PanelKey PanelKeyOf(const StatusValues& values);
    // What the kept image no longer shows as it is now: the whole client
    // area, the panel, or nothing.
    QRegion StaleRegion() const;
    void PaintNoPlan(QPainter& painter) const;
    // The plan, the neutral fill around it and the coverage layer.
    void PaintBackground(QPainter& painter) const;
    void PaintScene(QPainter& painter, const std::vector<CSiteData::_tap>& points) const;
    void PaintCoverage(QPainter& painter, const PlanRect& area, const CoverageLayer& layer) const;
    void PaintWalkedPath(QPainter& painter, const PlanRect& area) const;
    const QImage& CentreMarkFor(qreal devicePixelRatio) const;

    SurveyContext survey_;
    IViewSwitcher& switcher_;
    SurveyWorkflow workflow_;
    SiteLayout layout_;
    QImage planImage_;
    // The plan halved again and again, smoothly: a plan shown small is
    // scaled from the level just larger than it, quicker and without the
    // speckle of dropping most of its pixels.
    std::vector<QImage> planLevels_;
    bool planLoaded_ = false;
    analysis::PlanScale groundScale_;
    QTimer timer_;
    // The off-screen image, kept from paint to paint while the client size
    // stays, with what it was last composed from.
    mutable QImage frame_;
    mutable std::optional<SceneKey> sceneKey_;
    mutable std::vector<CSiteData::_tap> scenePoints_;
    mutable std::optional<PanelKey> panelKey_;
    mutable int sceneCompositions_ = 0;
    // What PaintBackground drew last, and from what.
    struct BackgroundKey {
        QSize size;
        qreal ratio = 1;
        qint64 planImage = 0;
        PlanScale scale;
        std::int32_t centreX = 0, centreY = 0;
        PlanRect bounds;
        qint64 coverageImage = 0;
        qint64 gapsImage = 0;
        bool operator==(const BackgroundKey&) const = default;
    };
    mutable QImage background_;
    mutable std::optional<BackgroundKey> backgroundKey_;

    // A layer computed on a worker of its own: the layer shown, its legend
    // drawn once, and what was last asked for.
    struct LayerState {
        CoverageLayer layer;
        QImage legend;
        std::unique_ptr<CoverageWorker> worker;
        std::uint64_t generation = 0;
        // Layers of requests before this one belong to another collection
        // or plan.
        std::uint64_t context = 0;
        std::vector<CSiteData::_tap> requestedPoints;
        std::string requestedCollection;
        qint64 requestedPlan = 0;
        std::string requestedProfile;
    };
    // Asks `state`'s worker for a new layer when the points, the collection,
    // the plan or the profile changed since the last request (or `force`).
    void RequestLayer(LayerState& state, const std::string& profile, bool force);
    // Shows a finished layer unless it is stale or the layer is off.
    void TakeLayer(LayerState& state, bool on, const CoverageLayer& layer, bool gapsLegend);

    bool coverageOn_ = false;
    std::string floorName_;
    IFloorGuard* floorGuard_ = nullptr;
    // View > Legends: the layers' legends over the plan.
    bool legendsOn_ = true;
    LayerState coverage_;
    bool gapsOn_ = false;
    std::string gapsProfile_;
    LayerState gaps_;
    // Bitmap 133 at 1x, 2x and 4x.
    std::array<QImage, 3> centreMarks_;
};

}  // namespace quorl
