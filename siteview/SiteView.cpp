#include "siteview/SiteView.h"

#include <QGestureEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QPinchGesture>
#include <QRegion>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "analysis/PlanSource.h"
#include "common/Timing.h"
#include "common/UserMessages.h"
#include "coverage/Legend.h"
#include "coverage/ScaleBar.h"
#include "dialogs/ChannelList.h"
#include "dialogs/Info.h"
#include "res/ResourcePaths.h"
#include "siteview/CellText.h"
#include "siteview/CoverageSource.h"
#include "siteview/CoverageWorker.h"
#include "siteview/GapsCoverage.h"
#include "siteview/GapsLegend.h"
#include "siteview/LegendPlacement.h"
#include "siteview/PlanImage.h"
#include "siteview/SignalCoverage.h"
#include "siteview/SiteColours.h"
#include "siteview/SiteOverlays.h"
#include "survey/SiteData.h"
#include "survey/SitePlan.h"
#include "survey/SiteProjection.h"

namespace quorl {

namespace {

// A page of the scroll bars: a view's width (height) in plan pixels.
std::int32_t PageStepOf(const CSitePlan& plan, std::int32_t viewPixels) {
    const PlanScale s = plan.Scale();
    return static_cast<std::int32_t>(std::max<std::int64_t>(1, std::int64_t{viewPixels} * s.den / s.num));
}

QRect ToQRect(const PlanRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

// Where the plan's corner (plan point 0, 0) is drawn. At a whole-number
// zoom a view of odd size puts plan pixel edges on view pixel middles; a
// tap there takes the plan pixel on the right (below), so the plan is drawn
// half a pixel up and left to match, never rounded the other way.
QPointF PlanOrigin(const CSitePlan& plan, const PlanRect& area) {
    QPointF origin(plan.ScreenXOf(0, area), plan.ScreenYOf(0, area));
    if (plan.Scale().den == 1) origin = QPointF(std::ceil(origin.x() - 0.5), std::ceil(origin.y() - 0.5));
    return origin;
}

// The no-plan text stands with its top this far above the middle.
constexpr int kNoPlanTextRise = 25;
// Plan levels stop before a side drops below this.
constexpr int kSmallestLevel = 256;
// The coverage legend's distance from the client area's corner.
constexpr int kLegendMargin = 8;
// The largest enlargement of the coverage cells smoothed in one step.
constexpr double kMaxSmoothFactor = 128;

// The panel's line for the walking survey.
std::string WalkLine(const WalkingSurvey& walk) {
    switch (walk.CurrentPhase()) {
        case WalkingSurvey::Phase::Placing:
            return walk.Path().Empty() ? "WALK: TAP THE START" : "WALK: PRESS START";
        case WalkingSurvey::Phase::Walking:
            return "WALKING: " + std::to_string(walk.StoredSweeps().size()) + " stored";
        case WalkingSurvey::Phase::Stopping: return "WALK: LAST SWEEP";
        default: return {};
    }
}

FileDialogRequest ProjectionDialog() {
    FileDialogRequest request;
    request.open = true;
    request.defaultExtension = "LPF";
    request.initialName = "DEFAULT";
    request.filter = "Linear Projection Files (*.lpf)|*.lpf|GPS Projection Files (*.gpf)|*.gpf|All Files (*.*)|*.*||";
    request.mustExist = true;
    return request;
}

}  // namespace

CSiteView::CSiteView(const SurveyContext& survey, IViewSwitcher& switcher, QWidget* parent)
    : QAbstractScrollArea(parent), survey_(survey), switcher_(switcher), workflow_(survey) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    // Always there, so the client area does not change size when a plan
    // is loaded.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    viewport()->setAutoFillBackground(false);
    viewport()->grabGesture(Qt::PinchGesture);
    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
        bar->setRange(0, 0);
        bar->setSingleStep(kLineStep);
        // The position reaches us when the thumb is let go, not while it
        // is dragged.
        bar->setTracking(false);
        bar->setContextMenuPolicy(Qt::NoContextMenu);
    }
    connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this, &CSiteView::OnHorizontalAction);
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, &CSiteView::OnVerticalAction);

    for (std::size_t i = 0; i < centreMarks_.size(); ++i) {
        const int scale = res::kStoredScales[i];
        const QString suffix = scale == 1 ? QString() : QStringLiteral("@%1x").arg(scale);
        QImage mark(QString::fromLatin1(res::kCentreMark) + suffix + QStringLiteral(".png"));
        if (mark.isNull()) continue;
        // The raster AND works on 32-bit pixels.
        mark.convertTo(QImage::Format_RGB32);
        mark.setDevicePixelRatio(scale);
        centreMarks_[i] = mark;
    }

    layout_ = SiteLayout::For(ClientRect());
    connect(&timer_, &QTimer::timeout, this, &CSiteView::OnTimer);
    timer_.start(timing::ScaledMs(timing::kSiteViewTickMs));
}

CSiteView::~CSiteView() = default;

void CSiteView::OnActivateView(bool active) {
    if (active) viewport()->update();
}

bool CSiteView::HandlesCommand(int id) const {
    // The eight survey buttons of the tool bar, and the coverage layer.
    return (id >= command::kLoadProjection && id <= command::kPointInformation) || id == command::kCoverage ||
           id == command::kWalkingSurvey || id == command::kUndoLastPoint ||
           (id >= command::kSurveyGaps && id <= command::kLegends);
}

void CSiteView::RunCommand(int id) {
    switch (id) {
        case command::kLoadProjection: LoadProjection(); break;
        case command::kCollectionFile: ChooseCollection(); break;
        case command::kStartScanning: workflow_.StartAutomatic(); break;
        case command::kStopScanning: workflow_.StopAutomatic(); break;
        case command::kChannelList: ShowChannelList(); break;
        case command::kZoomIn: ZoomIn(); break;
        case command::kZoomOut: ZoomOut(); break;
        case command::kFitPlan: AfterZoom(planLoaded_ && survey_.plan.FitWholePlan()); break;
        case command::kActualSize: AfterZoom(planLoaded_ && survey_.plan.ShowActualSize()); break;
        case command::kLegends:
            legendsOn_ = !legendsOn_;
            viewport()->update();
            break;
        case command::kPointInformation:
            workflow_.EnterInformationMode();
            viewport()->update();
            break;
        case command::kCoverage: ToggleCoverage(); break;
        case command::kSurveyGaps: ToggleGaps(); break;
        case command::kGapsProfileNone:
        case command::kGapsProfileVoice:
        case command::kGapsProfileData:
        case command::kGapsProfileBasic: ChooseGapsProfile(id); break;
        case command::kWalkingSurvey:
            workflow_.ToggleWalking();
            viewport()->update();
            break;
        case command::kUndoLastPoint:
            if (workflow_.UndoLastPoint()) viewport()->update();
            break;
        default: break;
    }
}

bool CSiteView::IsCommandChecked(int id) const {
    return (id == command::kPointInformation && workflow_.InformationMode()) ||
           (id == command::kCoverage && coverageOn_) || (id == command::kWalkingSurvey && workflow_.WalkingMode()) ||
           (id == command::kSurveyGaps && gapsOn_) || (id == command::kGapsProfileNone && gapsProfile_.empty()) ||
           (id == command::kGapsProfileVoice && gapsProfile_ == "voice") ||
           (id == command::kGapsProfileData && gapsProfile_ == "data") ||
           (id == command::kGapsProfileBasic && gapsProfile_ == "basic") || (id == command::kLegends && legendsOn_);
}

QFont CSiteView::PaintFont() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}

PlanRect CSiteView::ClientRect() const {
    const QSize size = viewport()->size();
    return PlanRect{0, 0, size.width(), size.height()};
}

PlanRect CSiteView::PlanArea() const {
    const PlanRect client = ClientRect();
    return PlanRect{0, 0, std::max(layout_.panel.left, 0), client.bottom};
}

void CSiteView::LoadProjection() {
    // The walk's points are placed on the plan it began on.
    if (workflow_.Walk().Sweeping()) {
        survey_.messages.ShowPlain(SurveyWorkflow::kWalkBusyText);
        return;
    }
    if (const auto path = survey_.messages.ChooseFile(ProjectionDialog())) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        LoadPlan(*path);
        QGuiApplication::restoreOverrideCursor();
    }
    viewport()->repaint();
}

bool CSiteView::OpenProjectionFile(const std::string& path) {
    if (workflow_.Walk().Sweeping()) {
        survey_.messages.ShowPlain(SurveyWorkflow::kWalkBusyText);
        return false;
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const bool loaded = LoadPlan(path);
    QGuiApplication::restoreOverrideCursor();
    viewport()->update();
    return loaded;
}

void CSiteView::CloseCollectionFile() {
    workflow_.CloseCollectionFile();
    viewport()->update();
}

void CSiteView::ShowFloorName(const std::string& name) {
    floorName_ = name;
    viewport()->update();
}

void CSiteView::UseFloorGuard(IFloorGuard* guard) {
    floorGuard_ = guard;
    workflow_.UseFloorGuard(guard);
}

StatusValues CSiteView::PanelValues() const {
    StatusValues values = StatusValues::Read(survey_);
    values.walk = WalkLine(workflow_.Walk());
    values.floor = floorName_;
    return values;
}

bool CSiteView::OpenCollectionFile(const std::string& path, bool create) {
    const bool opened = workflow_.OpenCollection(path, create, planLoaded_);
    viewport()->update();
    return opened;
}

bool CSiteView::LoadPlan(const std::string& path) {
    // A projection that does not load has been reported and left the
    // earlier one in place: so is the earlier plan.
    if (!survey_.projection.Load(path)) return false;
    workflow_.ForgetWalkedPath();
    if (floorGuard_) floorGuard_->ProjectionOpened(path);

    // The earlier picture no longer belongs to the loaded projection; it
    // goes before the new one is read, so the two are never both in memory.
    planImage_ = QImage();
    planLevels_.clear();
    groundScale_ = analysis::PlanScale{};
    PlanImageFailure failure;
    QImage image = ReadPlanImage(survey_.projection.ImagePath(), failure);
    if (image.isNull()) {
        // Nothing to show: the no-plan display, never a zeroed window.
        planLoaded_ = false;
        survey_.plan.ResetView(PlanRect{}, 0, 0);
        horizontalScrollBar()->setRange(0, 0);
        verticalScrollBar()->setRange(0, 0);
        const std::string text = "Error: " + std::to_string(failure.errorNumber) + ": " +
                                 SystemErrorText(failure.errorNumber) + " (" + failure.detail + ")";
        survey_.messages.ShowPlain(text);
        return false;
    }
    planImage_ = std::move(image);
    analysis::PlanSource source;
    source.kind = survey_.projection.Kind();
    source.transform = survey_.projection.Transform();
    source.width = planImage_.width();
    source.height = planImage_.height();
    // A scale file made for another plan only costs the metres: the legend
    // then says the plan has no scale.
    std::string scaleWarning;
    groundScale_ = analysis::ScaleOfPlan(survey_.projection.Path(), source, scaleWarning);
    for (const QImage* level = &planImage_; level->width() >= 2 * kSmallestLevel && level->height() >= 2 * kSmallestLevel;
         level = &planLevels_.back())
        planLevels_.push_back(level->scaled(level->width() / 2, level->height() / 2, Qt::IgnoreAspectRatio,
                                            Qt::SmoothTransformation));
    // A new plan shows whole: the surveyor sees where they are before
    // zooming in.
    survey_.plan.ResetView(PlanArea(), planImage_.width(), planImage_.height());
    survey_.plan.FitWholePlan();
    SyncVerticalBar();
    SyncHorizontalBar();
    planLoaded_ = true;
    return true;
}

void CSiteView::ZoomIn() {
    // At the plan's greatest zoom the command does nothing.
    AfterZoom(survey_.plan.ZoomIn());
}

void CSiteView::ZoomOut() {
    // At the fitted zoom (or 100 % for a plan that fits) it does nothing.
    AfterZoom(survey_.plan.ZoomOut());
}

void CSiteView::AfterZoom(bool changed) {
    if (!changed) return;
    // The centre moves when a zoom about a point, or a plan now shown
    // whole, moves it: the bars stay on it.
    SyncHorizontalBar();
    SyncVerticalBar();
    viewport()->update();
}

void CSiteView::Pinch(double factor, QPointF at) {
    if (!planLoaded_) return;
    const QPoint p = at.toPoint();
    AfterZoom(survey_.plan.ZoomByAbout(factor, PlanArea(), p.x(), p.y()));
}

bool CSiteView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::NativeGesture) {
        auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            Pinch(1.0 + gesture->value(), gesture->position());
            return true;
        }
    } else if (event->type() == QEvent::Gesture) {
        auto* gestures = static_cast<QGestureEvent*>(event);
        if (auto* pinch = static_cast<QPinchGesture*>(gestures->gesture(Qt::PinchGesture))) {
            if (pinch->changeFlags() & QPinchGesture::ScaleFactorChanged)
                Pinch(pinch->scaleFactor(), viewport()->mapFromGlobal(pinch->centerPoint()));
            gestures->accept(pinch);
            return true;
        }
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void CSiteView::ChooseCollection() {
    // No file chosen: back to the no-plan display until a projection is
    // loaded again. The picture stays in memory, unused.
    if (!workflow_.ChooseCollection(planLoaded_)) planLoaded_ = false;
    // The points and the panel follow whatever is open now.
    viewport()->update();
}

void CSiteView::ShowChannelList() {
    CChannelList dialog(survey_.engine, survey_.messages, this);
    dialog.exec();
}

void CSiteView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const QPoint at = event->position().toPoint();
    if (workflow_.InformationMode()) {
        if (workflow_.SelectPoint(PlanArea(), at.x(), at.y()) &&
            CInfo::Run(survey_.data, survey_.messages, this) == CInfo::kDelete) {
            survey_.data.DeleteSelectedPoint();
            viewport()->update();
        }
        event->accept();
        return;
    }
    switch (workflow_.TakePoint(PlanArea(), at.x(), at.y(), planLoaded_)) {
        case SurveyWorkflow::TapResult::ScanView:
            SyncHorizontalBar();
            SyncVerticalBar();
            viewport()->repaint();
            switcher_.SwitchView(ViewKind::Scan);
            break;
        case SurveyWorkflow::TapResult::SinglePoint:
        case SurveyWorkflow::TapResult::Walk:
            SyncHorizontalBar();
            SyncVerticalBar();
            viewport()->repaint();
            break;
        case SurveyWorkflow::TapResult::Refused:
            viewport()->repaint();
            break;
    }
    event->accept();
}

void CSiteView::mouseReleaseEvent(QMouseEvent* event) {
    // The tap was taken on the press.
    if (event->button() == Qt::LeftButton)
        event->accept();
    else
        QAbstractScrollArea::mouseReleaseEvent(event);
}

void CSiteView::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

void CSiteView::SyncHorizontalBar() {
    SyncBar(*horizontalScrollBar(), survey_.plan.MaxX() - survey_.plan.MinX(), PlanArea().Width(),
            survey_.plan.CentreX());
}

void CSiteView::SyncVerticalBar() {
    SyncBar(*verticalScrollBar(), survey_.plan.MaxY() - survey_.plan.MinY(), PlanArea().Height(),
            survey_.plan.CentreY());
}

void CSiteView::SyncBar(QScrollBar& bar, std::int32_t planSize, std::int32_t viewPixels, std::int32_t centre) {
    // A page is what the view shows, in plan pixels, and the range is where
    // the centre goes while the view stays on the plan: the thumb is the
    // visible share of the plan. A centre past that (a tap near the edge)
    // puts the thumb at the end.
    const std::int32_t page = PageStepOf(survey_.plan, viewPixels);
    if (page >= planSize)
        bar.setRange(centre, centre);
    else
        bar.setRange(page / 2, planSize - (page - page / 2));
    bar.setPageStep(page);
    bar.setValue(centre);
}

void CSiteView::OnHorizontalAction(int action) {
    QScrollBar* bar = horizontalScrollBar();
    CSitePlan& plan = survey_.plan;
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub: plan.ScrollLeft(kLineStep); break;
        case QAbstractSlider::SliderSingleStepAdd: plan.ScrollRight(kLineStep); break;
        case QAbstractSlider::SliderPageStepSub: plan.ScrollLeft(PageStepOf(plan, PlanArea().Width())); break;
        case QAbstractSlider::SliderPageStepAdd: plan.ScrollRight(PageStepOf(plan, PlanArea().Width())); break;
        case QAbstractSlider::SliderMove:
            // While the thumb is dragged nothing moves.
            if (bar->isSliderDown()) return;
            plan.SetCentreX(bar->sliderPosition());
            break;
        default: break;
    }
    // Qt applies this position once the action is over.
    bar->setSliderPosition(plan.CentreX());
    viewport()->update();
}

void CSiteView::OnVerticalAction(int action) {
    QScrollBar* bar = verticalScrollBar();
    CSitePlan& plan = survey_.plan;
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub: plan.ScrollUp(kLineStep); break;
        case QAbstractSlider::SliderSingleStepAdd: plan.ScrollDown(kLineStep); break;
        case QAbstractSlider::SliderPageStepSub: plan.ScrollUp(PageStepOf(plan, PlanArea().Height())); break;
        case QAbstractSlider::SliderPageStepAdd: plan.ScrollDown(PageStepOf(plan, PlanArea().Height())); break;
        case QAbstractSlider::SliderMove:
            if (bar->isSliderDown()) return;
            plan.SetCentreY(bar->sliderPosition());
            break;
        default: break;
    }
    bar->setSliderPosition(plan.CentreY());
    viewport()->update();
}

void CSiteView::keyPressEvent(QKeyEvent* event) {
    CSitePlan& plan = survey_.plan;
    switch (event->key()) {
        case Qt::Key_Left: plan.ScrollLeft(kLineStep); SyncHorizontalBar(); break;
        case Qt::Key_Up: plan.ScrollUp(kLineStep); SyncVerticalBar(); break;
        case Qt::Key_Right: plan.ScrollRight(kLineStep); SyncHorizontalBar(); break;
        case Qt::Key_Down: plan.ScrollDown(kLineStep); SyncVerticalBar(); break;
        default:
            // Not the scroll area's paging keys: only the arrows move the plan.
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
    viewport()->repaint();
}

void CSiteView::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier) || !planLoaded_) {
        event->ignore();
        return;
    }
    const int delta = event->angleDelta().y();
    const QPoint at = event->position().toPoint();
    if (delta > 0)
        AfterZoom(survey_.plan.ZoomInAbout(PlanArea(), at.x(), at.y()));
    else if (delta < 0)
        AfterZoom(survey_.plan.ZoomOutAbout(PlanArea(), at.x(), at.y()));
    event->accept();
}

void CSiteView::scrollContentsBy(int /*dx*/, int /*dy*/) {}

void CSiteView::resizeEvent(QResizeEvent* /*event*/) {
    const PlanRect client = ClientRect();
    layout_ = SiteLayout::For(client);
    const PlanRect area = PlanArea();
    survey_.plan.SetViewSize(area.Width(), area.Height());
    SyncHorizontalBar();
    SyncVerticalBar();
}

void CSiteView::OnTimer() {
    workflow_.Tick();
    if (coverageOn_) RefreshCoverage(false);
    if (gapsOn_) RefreshGaps(false);
    // Most ticks change nothing: copying the whole frame to the screen four
    // times a second was most of what an idle collector cost.
    const QRegion stale = StaleRegion();
    if (!stale.isEmpty()) viewport()->update(stale);
}

CSiteView::PanelKey CSiteView::PanelKeyOf(const StatusValues& values) {
    return PanelKey{StatusPanelLines(values), values.gps.lock3d != 0, values.gps.lock2d != 0};
}

QRegion CSiteView::StaleRegion() const {
    const QRect all = viewport()->rect();
    const QSize pixels = viewport()->size() * viewport()->devicePixelRatioF();
    if (!sceneKey_ || frame_.size() != pixels) return all;
    if (CurrentSceneKey() != *sceneKey_) return all;
    if (!planLoaded_) return {};
    if (survey_.data.Points() != scenePoints_) return all;
    if (PanelKeyOf(PanelValues()) != panelKey_) return ToQRect(layout_.panel);
    return {};
}

void CSiteView::UseCoverageSource(std::unique_ptr<ICoverageSource> source) {
    coverage_.worker = std::make_unique<CoverageWorker>(std::move(source));
    connect(coverage_.worker.get(), &CoverageWorker::LayerReady, this, &CSiteView::TakeCoverage);
    if (coverageOn_) RefreshCoverage(true);
}

void CSiteView::ToggleCoverage() {
    coverageOn_ = !coverageOn_;
    if (coverageOn_) {
        if (!coverage_.worker) UseCoverageSource(std::make_unique<SignalCoverage>());
        RefreshCoverage(true);
    } else {
        // Layers still on their way are dropped when they arrive.
        coverage_.layer = CoverageLayer{};
        coverage_.legend = QImage();
    }
    viewport()->update();
}

void CSiteView::RequestLayer(LayerState& state, const std::string& profile, bool force) {
    const std::string& collection = survey_.data.CollectionPath();
    const qint64 plan = planLoaded_ ? planImage_.cacheKey() : 0;
    std::vector<CSiteData::_tap> points = survey_.data.Points();
    const bool otherContext = collection != state.requestedCollection || plan != state.requestedPlan;
    if (!force && !otherContext && points == state.requestedPoints && profile == state.requestedProfile) return;
    if (otherContext && !state.layer.image.isNull()) {
        // The layer shown belongs to another collection or plan.
        state.layer = CoverageLayer{};
        state.legend = QImage();
    }
    state.requestedCollection = collection;
    state.requestedPlan = plan;
    state.requestedPoints = std::move(points);
    state.requestedProfile = profile;
    ++state.generation;
    if (otherContext) state.context = state.generation;
    if (plan == 0 || collection.empty()) return;
    CoverageRequest request;
    request.points = state.requestedPoints;
    request.collectionName = survey_.data.FileName();
    request.planWidth = planImage_.width();
    request.planHeight = planImage_.height();
    request.scale = groundScale_;
    request.profile = profile;
    request.generation = state.generation;
    request.context = state.context;
    state.worker->Request(std::move(request));
}

void CSiteView::TakeLayer(LayerState& state, bool on, const CoverageLayer& layer, bool gapsLegend) {
    if (!on || layer.generation < state.context || layer.generation < state.layer.generation) return;
    state.layer = layer;
    state.legend = QImage();
    if (!layer.image.isNull()) {
        const qreal ratio = viewport()->devicePixelRatioF();
        const QSize size = gapsLegend ? GapsLegendSize(layer.legend, PaintFont())
                                      : coverage::LegendSize(layer.scale, layer.legend, PaintFont());
        state.legend = QImage(size * ratio, QImage::Format_ARGB32_Premultiplied);
        state.legend.setDevicePixelRatio(ratio);
        state.legend.fill(Qt::transparent);
        QPainter painter(&state.legend);
        if (gapsLegend)
            DrawGapsLegend(painter, QPoint(0, 0), layer.legend, PaintFont());
        else
            coverage::DrawLegend(painter, QPoint(0, 0), layer.scale, layer.legend, PaintFont());
    }
    viewport()->update();
}

void CSiteView::TakeCoverage(const CoverageLayer& layer) {
    TakeLayer(coverage_, coverageOn_, layer, false);
    emit CoverageUpdated();
}

void CSiteView::UseGapsSource(std::unique_ptr<ICoverageSource> source) {
    gaps_.worker = std::make_unique<CoverageWorker>(std::move(source));
    connect(gaps_.worker.get(), &CoverageWorker::LayerReady, this, &CSiteView::TakeGaps);
    if (gapsOn_) RefreshGaps(true);
}

void CSiteView::ToggleGaps() {
    gapsOn_ = !gapsOn_;
    if (gapsOn_) {
        if (!gaps_.worker) UseGapsSource(std::make_unique<GapsCoverage>());
        RefreshGaps(true);
    } else {
        gaps_.layer = CoverageLayer{};
        gaps_.legend = QImage();
    }
    viewport()->update();
}

void CSiteView::ChooseGapsProfile(int id) {
    switch (id) {
        case command::kGapsProfileVoice: gapsProfile_ = "voice"; break;
        case command::kGapsProfileData: gapsProfile_ = "data"; break;
        case command::kGapsProfileBasic: gapsProfile_ = "basic"; break;
        default: gapsProfile_.clear(); break;
    }
    if (gapsOn_) RefreshGaps(false);
}

void CSiteView::TakeGaps(const CoverageLayer& layer) {
    TakeLayer(gaps_, gapsOn_, layer, true);
    emit GapsUpdated();
}

void CSiteView::paintEvent(QPaintEvent* /*event*/) {
    const QImage frame = ComposeFrame();
    if (frame.isNull()) return;
    QPainter target(viewport());
    target.setCompositionMode(QPainter::CompositionMode_Source);
    target.drawImage(QPoint(0, 0), frame);
}

CSiteView::SceneKey CSiteView::CurrentSceneKey() const {
    const CSitePlan& plan = survey_.plan;
    SceneKey key;
    key.size = viewport()->size();
    key.ratio = viewport()->devicePixelRatioF();
    key.planLoaded = planLoaded_;
    if (!planLoaded_) return key;
    key.planImage = planImage_.cacheKey();
    key.window = plan.Window();
    key.scale = plan.Scale();
    key.centreX = plan.CentreX();
    key.centreY = plan.CentreY();
    if (workflow_.WalkingMode()) {
        const WalkedPath& path = workflow_.Walk().Path();
        key.walkTaps = path.Size() + 1;
        if (!path.Empty()) key.lastWalkTap = path.Taps().back().at;
    }
    key.bounds = PlanRect{plan.MinX(), plan.MinY(), plan.MaxX(), plan.MaxY()};
    key.lines = plan.LineOption();
    key.markers = plan.MarkerOption();
    key.noAccessPoint = survey_.data.NoAccessPoint();
    key.legends = legendsOn_;
    if (coverageOn_ && !coverage_.layer.image.isNull()) {
        key.coverageImage = coverage_.layer.image.cacheKey();
        key.legendImage = coverage_.legend.cacheKey();
    }
    if (gapsOn_ && !gaps_.layer.image.isNull()) {
        key.gapsImage = gaps_.layer.image.cacheKey();
        key.gapsLegendImage = gaps_.legend.cacheKey();
    }
    return key;
}

QImage CSiteView::ComposeFrame() const {
    const QSize size = viewport()->size();
    if (size.isEmpty()) return QImage();
    const qreal ratio = viewport()->devicePixelRatioF();
    const QSize pixels = size * ratio;
    if (frame_.size() != pixels || frame_.devicePixelRatio() != ratio) {
        frame_ = QImage(pixels, QImage::Format_RGB32);
        sceneKey_.reset();
        panelKey_.reset();
        if (frame_.isNull()) return frame_;
        frame_.setDevicePixelRatio(ratio);
    }

    const SceneKey key = CurrentSceneKey();
    std::vector<CSiteData::_tap> points;
    if (planLoaded_) points = survey_.data.Points();
    const bool sceneChanged = sceneKey_ != key || points != scenePoints_;
    std::optional<StatusValues> values;
    std::optional<PanelKey> panel;
    if (planLoaded_) {
        values = PanelValues();
        panel = PanelKeyOf(*values);
    }
    if (!sceneChanged && panel == panelKey_) return frame_;

    QPainter painter(&frame_);
    painter.setFont(PaintFont());
    if (sceneChanged) {
        ++sceneCompositions_;
        if (planLoaded_)
            PaintScene(painter, points);
        else
            PaintNoPlan(painter);
        sceneKey_ = key;
        scenePoints_ = std::move(points);
    }
    // The panel fills its whole area and keeps its text inside, so drawing
    // it again over the kept image leaves no trace of the earlier one.
    if (values) DrawStatusPanel(painter, layout_, *values);
    panelKey_ = panel;
    painter.end();
    return frame_;
}

void CSiteView::PaintNoPlan(QPainter& painter) const {
    const PlanRect client = ClientRect();
    painter.fillRect(ToQRect(client), QColor(colour::kBlack));
    const int w = client.Width();
    const int h = client.Height();
    DrawCellText(painter, QRect(0, h / 2 - kNoPlanTextRise, w, 2 * kNoPlanTextRise),
                 QString::fromLatin1(kNoPlanText), TextStyle{QColor(colour::kWhite), QColor(colour::kBlack), true});
}

void CSiteView::PaintBackground(QPainter& painter) const {
    const PlanRect client = ClientRect();
    const PlanRect area = PlanArea();
    const CSitePlan& plan = survey_.plan;

    // The visible part of the plan at the plan's one scale, in one copy
    // from the smallest level still as large as the view shows it; what
    // the plan does not cover gets the neutral fill.
    const QImage* source = &planImage_;
    for (const QImage& level : planLevels_)
        if (double(level.width()) / planImage_.width() >= plan.ScaleFactor()) source = &level;
    const double rx = double(planImage_.width()) / source->width();
    const double ry = double(planImage_.height()) / source->height();
    const QRect visible = ToQRect(plan.VisiblePlan());
    const QRect from = QRect(QPoint(int(std::floor(visible.left() / rx)), int(std::floor(visible.top() / ry))),
                             QPoint(int(std::ceil((visible.left() + visible.width()) / rx)) - 1,
                                    int(std::ceil((visible.top() + visible.height()) / ry)) - 1)) &
                       source->rect();
    QRegion uncovered(ToQRect(client));
    if (!from.isEmpty()) {
        const QPointF origin = PlanOrigin(plan, area);
        const double k = plan.ScaleFactor();
        const QRectF target(origin + QPointF(from.left() * rx, from.top() * ry) * k,
                            origin + QPointF((from.left() + from.width()) * rx, (from.top() + from.height()) * ry) * k);
        painter.drawImage(target, *source, from);
        // Only what the plan covers whole: a part-covered edge pixel gets
        // the fill over the plan's edge, never stale pixels.
        const QRect covered(QPoint(int(std::ceil(target.left())), int(std::ceil(target.top()))),
                            QPoint(int(std::floor(target.right())) - 1, int(std::floor(target.bottom())) - 1));
        uncovered -= covered;
    }
    for (const QRect& strip : uncovered) painter.fillRect(strip, QColor(colour::kOffPlan));
    // The gaps over the coverage: grey and red tint the colours beneath.
    if (coverageOn_ && !coverage_.layer.image.isNull()) PaintCoverage(painter, area, coverage_.layer);
    if (gapsOn_ && !gaps_.layer.image.isNull()) PaintCoverage(painter, area, gaps_.layer);
}

void CSiteView::PaintScene(QPainter& painter, const std::vector<CSiteData::_tap>& points) const {
    const PlanRect client = ClientRect();
    const PlanRect area = PlanArea();
    const CSitePlan& plan = survey_.plan;

    // The scaled plan and layer are kept while the view stands still: a new
    // point then costs a copy, not a scaling of the whole plan.
    const CSiteView::SceneKey key = CurrentSceneKey();
    const BackgroundKey backgroundKey{key.size, key.ratio, key.planImage, key.scale, key.centreX,
                                      key.centreY, key.bounds, key.coverageImage, key.gapsImage};
    const QImage* target = dynamic_cast<const QImage*>(painter.device());
    if (!target || background_.size() != target->size() || backgroundKey_ != backgroundKey) {
        background_ = QImage(target ? target->size() : QSize(), QImage::Format_RGB32);
        backgroundKey_.reset();
        if (!background_.isNull()) {
            background_.setDevicePixelRatio(key.ratio);
            QPainter layer(&background_);
            layer.setFont(painter.font());
            PaintBackground(layer);
            backgroundKey_ = backgroundKey;
        }
    }
    if (backgroundKey_) {
        painter.save();
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QPoint(0, 0), background_);
        painter.restore();
    } else {
        PaintBackground(painter);
    }

    CSiteOverlays overlays(painter, plan, area, client.Width());
    const bool lines = plan.LineOption();
    const bool markers = plan.MarkerOption();
    for (const CSiteData::_tap& point : points) {
        switch (point.kind) {
            case CSiteData::kGpsPoint:
            case CSiteData::kProjectedTap:
            case CSiteData::kPlanTap:
                overlays.SurveyPointMarker(point.x, point.y, point.strongest);
                if (lines) overlays.ConnectingLine(point.x, point.y);
                break;
            case CSiteData::kApMarker:
                if (markers) overlays.AccessPointMarker(point.x, point.y);
                break;
            default:  // deleted
                break;
        }
    }
    if (workflow_.WalkingMode()) PaintWalkedPath(painter, area);
    if (survey_.data.NoAccessPoint()) overlays.AlertBanner();
    // The scale bar in the bottom-left corner, at the shown zoom; the
    // legends above it: coverage, then gaps.
    double legendBottom = client.Height() - kLegendMargin;
    if (groundScale_.Known()) {
        const QRect bar = coverage::DrawScaleBar(painter, ToQRect(area),
                                                 groundScale_.metresPerPixel / plan.ScaleFactor(), painter.font());
        if (!bar.isEmpty()) legendBottom = bar.top() - kLegendMargin;
    }
    // The legends, coverage below gaps, in the corner where they hide the
    // fewest points.
    std::vector<const QImage*> legends;
    if (legendsOn_) {
        if (coverageOn_ && !coverage_.legend.isNull()) legends.push_back(&coverage_.legend);
        if (gapsOn_ && !gaps_.legend.isNull()) legends.push_back(&gaps_.legend);
    }
    if (!legends.empty()) {
        LegendPlacementInput place;
        place.area = area;
        place.margin = kLegendMargin;
        place.bottomLeftLimit = static_cast<int>(legendBottom);
        place.markerRadius = overlays.Radius();
        for (const QImage* image : legends) {
            const QSize size = image->deviceIndependentSize().toSize();
            place.width = std::max(place.width, size.width());
            place.height += size.height() + (place.height > 0 ? kLegendMargin : 0);
        }
        for (const CSiteData::_tap& point : points) {
            PlanPoint at;
            if (point.kind != CSiteData::kDeleted && plan.PlanToScreen(point.x, point.y, area, at))
                place.markers.push_back(at);
        }
        const PlanRect box = PlaceLegends(place);
        double bottom = box.bottom;
        for (const QImage* image : legends) {
            const QSizeF size = image->deviceIndependentSize();
            const QRectF legend(QPointF(box.left, bottom - size.height()), size);
            // On white: markers do not show through the legend's box.
            painter.fillRect(legend, QColor(colour::kWhite));
            painter.drawImage(legend.topLeft(), *image);
            bottom = legend.top() - kLegendMargin;
        }
    }
    overlays.CentreMark(CentreMarkFor(painter.device()->devicePixelRatioF()));
}

void CSiteView::PaintWalkedPath(QPainter& painter, const PlanRect& area) const {
    const std::vector<WalkedPath::Tap>& taps = workflow_.Walk().Path().Taps();
    if (taps.empty()) return;
    QPolygon line;
    for (const WalkedPath::Tap& tap : taps) {
        const PlanPoint s = survey_.plan.PlanToScreenUnclipped(tap.at.x, tap.at.y, area);
        line << QPoint(s.x, s.y);
    }
    painter.save();
    painter.setClipRect(ToQRect(area));
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor(colour::kBlue), 3));
    painter.drawPolyline(line);
    // The start in green, the turns in blue.
    painter.setPen(QPen(QColor(colour::kBlack), 1));
    for (int i = 0; i < line.size(); ++i) {
        painter.setBrush(QColor(i == 0 ? colour::kGreen : colour::kBlue));
        painter.drawRect(QRect(line[i] - QPoint(4, 4), QSize(9, 9)));
    }
    painter.restore();
}

void CSiteView::PaintCoverage(QPainter& painter, const PlanRect& area, const CoverageLayer& layer) const {
    const PlanRect window = survey_.plan.Window();
    const QRectF& onPlan = layer.planRect;
    const QImage& image = layer.image;
    if (window.Width() <= 0 || window.Height() <= 0 || onPlan.isEmpty()) return;
    const QRectF shown = QRectF(window.left, window.top, window.Width(), window.Height()) & onPlan;
    if (shown.isEmpty()) return;
    // Only the cells in view, with one more each way for the smoothing.
    const double perPlanX = image.width() / onPlan.width();
    const double perPlanY = image.height() / onPlan.height();
    const QRect cells = QRectF((shown.left() - onPlan.left()) * perPlanX, (shown.top() - onPlan.top()) * perPlanY,
                               shown.width() * perPlanX, shown.height() * perPlanY)
                            .toAlignedRect()
                            .adjusted(-1, -1, 1, 1) &
                        image.rect();
    const QRectF cellsOnPlan(onPlan.left() + cells.left() / perPlanX, onPlan.top() + cells.top() / perPlanY,
                             cells.width() / perPlanX, cells.height() / perPlanY);
    // Plan pixels to view pixels, as the plan itself is placed.
    const double k = survey_.plan.ScaleFactor();
    QTransform toClient;
    toClient.translate(PlanOrigin(survey_.plan, area).x(), PlanOrigin(survey_.plan, area).y());
    toClient.scale(k, k);
    const QRectF target = toClient.mapRect(cellsOnPlan);
    QImage part = image.copy(cells);
    // The raster engine smooths a picture enlarged more than about a
    // hundred times on a path ten times slower: at high zoom the few cells
    // in view are enlarged in two steps.
    const double factor = std::max(target.width() / part.width(), target.height() / part.height());
    if (factor > kMaxSmoothFactor) {
        const int step = static_cast<int>(std::ceil(factor / kMaxSmoothFactor));
        QImage larger(part.size() * step, QImage::Format_ARGB32_Premultiplied);
        larger.fill(Qt::transparent);
        QPainter enlarge(&larger);
        enlarge.setCompositionMode(QPainter::CompositionMode_Source);
        enlarge.setRenderHint(QPainter::SmoothPixmapTransform, true);
        enlarge.drawImage(QRectF(QPointF(0, 0), larger.size()), part);
        enlarge.end();
        part = std::move(larger);
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(target, part);
    painter.restore();
}

const QImage& CSiteView::CentreMarkFor(qreal devicePixelRatio) const {
    std::size_t best = 0;
    for (std::size_t i = 0; i < centreMarks_.size(); ++i) {
        if (centreMarks_[i].isNull()) continue;
        best = i;
        if (res::kStoredScales[i] >= devicePixelRatio) break;
    }
    return centreMarks_[best];
}

}  // namespace quorl
