#pragma once
// CSiteView: the site plan of the loaded projection stretched over the view,
// the survey points on it, the alert banner, the centre mark and the status
// panel. Loads a projection and its plan image (command 32771), zooms
// (32776, 32777) and scrolls by scroll bar and arrow key. The survey itself
// (commands 32772 to 32775 and 32778, taps, the sweep on the view's timer)
// is decided by its SurveyWorkflow; the view shows what that asks for: the
// dialogs, the scan view, the scroll bars after a tap.
//
// The scroll bars stand for the site plan's centre in plan pixels: the view
// moves the centre itself and then sets the bars to it. Dragging a thumb
// moves nothing until the thumb is released.
//
// Every paint composes the whole client area in one off-screen image and
// copies it to the window at once; the view never has its background
// erased. Its timer redraws it four times a second, whether it is shown or
// not.

#include <QAbstractScrollArea>
#include <QFont>
#include <QImage>
#include <QTimer>
#include <array>
#include <string>

#include "siteview/CommandTarget.h"
#include "siteview/SiteLayout.h"
#include "siteview/SurveyContext.h"
#include "siteview/SurveyWorkflow.h"
#include "siteview/ViewActivation.h"
#include "siteview/ViewSwitcher.h"
#include "survey/PlanRect.h"

namespace quorl {

class CSiteView : public QAbstractScrollArea, public IViewActivation, public ICommandTarget {
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
    // Point information mode, while it waits for its tap.
    bool IsCommandChecked(int id) const override;

    // The paint's font: 8 points, the platform's plain sans face.
    static QFont PaintFont();

    bool PlanLoaded() const { return planLoaded_; }
    const QImage& PlanImage() const { return planImage_; }
    // The client area (the viewport), from (0, 0).
    PlanRect ClientRect() const;
    const SiteLayout& Layout() const { return layout_; }
    const QTimer& Timer() const { return timer_; }
    const SurveyWorkflow& Workflow() const { return workflow_; }

    // One paint's off-screen image of the whole client area, as the window
    // gets it. Every pixel is drawn anew each time.
    QImage ComposeFrame() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // A left-button tap: a survey point, or the selection of a stored one.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // The second press of a double tap is not a tap of its own.
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // The wheel does not scroll the plan.
    void wheelEvent(QWheelEvent* event) override;
    // The bars follow the plan's centre; the picture is redrawn, never
    // shifted.
    void scrollContentsBy(int dx, int dy) override;

private:
    // Command 32771.
    void LoadProjection();
    // Takes the projection at `path` and its plan image; on failure the view
    // keeps the earlier plan or falls back to the no-plan display.
    void LoadPlan(const std::string& path);
    void ZoomIn();
    void ZoomOut();
    // Command 32772.
    void ChooseCollection();
    // Command 32775.
    void ShowChannelList();

    void OnHorizontalAction(int action);
    void OnVerticalAction(int action);
    void SyncHorizontalBar();
    void SyncVerticalBar();

    // One tick of the view's timer.
    void OnTimer();

    void PaintNoPlan(QPainter& painter) const;
    void PaintPlan(QPainter& painter) const;
    const QImage& CentreMarkFor(qreal devicePixelRatio) const;

    SurveyContext survey_;
    IViewSwitcher& switcher_;
    SurveyWorkflow workflow_;
    SiteLayout layout_;
    QImage planImage_;
    bool planLoaded_ = false;
    QTimer timer_;
    // The off-screen image, kept from paint to paint while the client size
    // stays, so a paint does not ask the system for fresh pages each time.
    mutable QImage frame_;
    // Bitmap 133 at 1x, 2x and 4x.
    std::array<QImage, 3> centreMarks_;
};

}  // namespace quorl
