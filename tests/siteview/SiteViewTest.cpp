// The site view's display, loading, zoom and scrolling.

#include <QPaintEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWheelEvent>

#include "SiteViewTestSupport.h"
#include "common/Timing.h"
#include "siteview/PlanImage.h"
#include "siteview/SiteColours.h"
#include "tests/HangGuard.h"

using namespace quorl;
using namespace quorl::test;

namespace {

// A plan of 20-pixel squares, each a colour of its own, so a painted
// pixel tells which plan pixel it shows.
QImage Checkers(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgb((x / 20) * 5 % 256, (y / 20) * 5 % 256, 77));
    return image;
}

// A plan whose every pixel differs from its eight neighbours.
QImage Coded(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgb(x % 251, y % 241, (x / 251 + 3 * (y / 241)) % 256));
    return image;
}

// The share of its range a bar's thumb stands for.
double ThumbShare(const QScrollBar* bar) {
    return double(bar->pageStep()) / (bar->maximum() - bar->minimum() + bar->pageStep());
}

QPoint ThumbCentre(QScrollBar* bar) {
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.subControls = QStyle::SC_None;
    option.activeSubControls = QStyle::SC_None;
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.upsideDown = bar->invertedAppearance();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, bar).center();
}

}  // namespace

class SiteViewTest : public QObject {
    Q_OBJECT
private slots:
    void showsTheNoPlanDisplayUntilAPlanIsLoaded() {
        SiteFixture f;
        auto view = f.MakeView(640, 480);
        const QImage frame = view->ComposeFrame();
        QCOMPARE(frame.size(), QSize(640, 480));
        // Black, with the text's top at h / 2 - 25 and no panel.
        QCOMPARE(Count(frame, QRect(0, 0, 640, 215), [](QRgb c) { return Rgb(c) != 0; }), 0);
        QVERIFY(Count(frame, QRect(0, 215, 640, 20), IsLight) > 20);
        QCOMPARE(Count(frame, QRect(0, 240, 640, 240), [](QRgb c) { return Rgb(c) != 0; }), 0);
        // What the window gets is the frame, copied once.
        QCOMPARE(view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32), frame);

        QVERIFY(view->HandlesCommand(command::kLoadProjection));
        QVERIFY(view->HandlesCommand(command::kZoomIn) && view->HandlesCommand(command::kZoomOut));
        for (int id : {command::kCollectionFile, command::kStartScanning, command::kStopScanning,
                       command::kChannelList, command::kPointInformation})
            QVERIFY(view->HandlesCommand(id));

        view->RunCommand(command::kZoomIn);
        view->RunCommand(command::kZoomOut);
        QTest::keyClick(view.get(), Qt::Key_Right);
        QTest::keyClick(view.get(), Qt::Key_Down);
        QCOMPARE(view->ComposeFrame(), frame);

        QCOMPARE(view->Timer().interval(), timing::ScaledMs(timing::kSiteViewTickMs));
        QVERIFY(view->Timer().isActive());
    }

    void loadsAProjectionAndStretchesItsPlan() {
        SiteFixture f;
        auto view = f.MakeView(640, 480);
        f.messages.QueueFile(std::nullopt);
        view->RunCommand(command::kLoadProjection);
        QVERIFY(!view->PlanLoaded());

        const QImage plan = Checkers(1000, 800);
        f.Load(*view, plan);
        const auto requests = f.messages.FileRequests();
        QCOMPARE(requests.size(), size_t{2});
        QVERIFY(requests[1].open && requests[1].mustExist);
        QCOMPARE(requests[1].defaultExtension, std::string("LPF"));
        QCOMPARE(requests[1].initialName, std::string("DEFAULT"));
        QCOMPARE(requests[1].filter, std::string("Linear Projection Files (*.lpf)|*.lpf|GPS Projection Files "
                                                 "(*.gpf)|*.gpf|All Files (*.*)|*.*||"));

        QVERIFY(view->PlanLoaded());
        QCOMPARE(view->PlanImage().size(), QSize(1000, 800));
        // The plan area left of the panel (512 x 480) at 100 %, the plan's
        // corner in the view's.
        QCOMPARE(view->PlanArea(), (PlanRect{0, 0, 512, 480}));
        QCOMPARE(f.plan.Window(), (PlanRect{0, 0, 512, 480}));
        QCOMPARE(f.plan.CentreX(), 256);
        QCOMPARE(f.plan.CentreY(), 240);
        // The centre's range while the view stays on the plan, a page the view.
        QCOMPARE(view->horizontalScrollBar()->minimum(), 256);
        QCOMPARE(view->horizontalScrollBar()->maximum(), 1000 - 256);
        QCOMPARE(view->verticalScrollBar()->maximum(), 800 - 240);
        QCOMPARE(view->horizontalScrollBar()->pageStep(), 512);
        QCOMPARE(view->horizontalScrollBar()->value(), 256);
        QCOMPARE(view->verticalScrollBar()->value(), 240);

        // One plan pixel to one view pixel on both axes.
        const QImage frame = view->ComposeFrame();
        for (const QPoint at : {QPoint(31, 31), QPoint(200, 300), QPoint(500, 17), QPoint(3, 470)})
            QCOMPARE(At(frame, at.x(), at.y()), Rgb(plan.pixel(at)));
    }

    void aFailedLoadNeverLeavesAnEmptyWindow() {
        SiteFixture f;
        auto view = f.MakeView(640, 480);
        f.Load(*view, Checkers(1000, 800));
        f.messages.Clear();

        // A file that is no projection: reported, the earlier plan stays.
        std::ofstream(f.PathOf("junk.lpf")) << "not a projection";
        f.messages.QueueFile(f.PathOf("junk.lpf"));
        view->RunCommand(command::kLoadProjection);
        QVERIFY(view->PlanLoaded());
        QCOMPARE(f.plan.Window(), (PlanRect{0, 0, 512, 480}));
        QCOMPARE(f.messages.Texts().size(), size_t{1});

        // A projection whose image is no bitmap: the error box, then the
        // no-plan display.
        f.messages.Clear();
        f.messages.QueueFile(f.WriteProjection("bad.lpf", QByteArray(5000, 'x')));
        view->RunCommand(command::kLoadProjection);
        QVERIFY(!view->PlanLoaded());
        const auto texts = f.messages.Texts();
        QCOMPARE(texts.size(), size_t{1});
        QVERIFY2(texts[0].rfind("Error: 22: ", 0) == 0, texts[0].c_str());
        const QImage frame = view->ComposeFrame();
        QCOMPARE(At(frame, 5, 5), Rgb(colour::kBlack));
        QCOMPARE(At(frame, 600, 100), Rgb(colour::kBlack));

        // A good plan after that shows again.
        f.Load(*view, Checkers(300, 300), "again.lpf");
        QVERIFY(view->PlanLoaded());
        // Smaller than the view: centred.
        QCOMPARE(f.plan.CentreX(), 150);
        QCOMPARE(f.plan.CentreY(), 150);
    }

    void planImageFilesThatCannotBeShownAreRefused() {
        SiteFixture f;
        PlanImageFailure failure;
        QVERIFY(ReadPlanImage(f.PathOf("missing.lpfb"), failure).isNull());
        QCOMPARE(failure.errorNumber, ENOENT);
        QVERIFY(failure.detail.find("missing.lpfb") != std::string::npos);

        auto write = [&](const QByteArray& bytes) {
            std::ofstream(f.PathOf("plan.b"), std::ios::binary | std::ios::trunc).write(bytes.constData(), bytes.size());
            failure = PlanImageFailure{};
            return ReadPlanImage(f.PathOf("plan.b"), failure);
        };
        QVERIFY(write(QByteArray("BM")).isNull());
        QCOMPARE(failure.errorNumber, EINVAL);
        // Pixel bits said to start past the end of the file.
        QByteArray bitmap = SiteFixture::Bitmap(Solid(4, 4, qRgb(1, 2, 3)));
        QByteArray lying = bitmap;
        lying[10] = char(0xFF), lying[11] = char(0xFF);
        QVERIFY(write(lying).isNull());
        QCOMPARE(failure.errorNumber, EINVAL);
        // A header that asks for 60000 x 60000 pixels is refused, not allocated.
        lying = bitmap;
        for (int field : {18, 22}) lying[field] = char(0x60), lying[field + 1] = char(0xEA), lying[field + 2] = 0;
        QVERIFY(write(lying).isNull());
        QCOMPARE(failure.errorNumber, EINVAL);

        // Palette bitmaps come out as 32-bit pixels.
        QImage indexed = Checkers(40, 40).convertToFormat(QImage::Format_Indexed8);
        const QImage read = write(SiteFixture::Bitmap(indexed));
        QCOMPARE(read.format(), QImage::Format_RGB32);
        QCOMPARE(read, indexed.convertToFormat(QImage::Format_RGB32));
    }

    // At whole-number zooms every plan pixel is drawn exactly on the view
    // pixels whose taps land on it, the plan's last row and column
    // included, in views of odd and even size.
    void planPixelsAreDrawnUnderTheirTaps() {
        const QSize clients[] = {{640, 480}, {641, 481}, {639, 479}, {801, 600}};
        const QSize plans[] = {{1000, 800}, {301, 201}, {300, 200}};
        for (const QSize client : clients)
            for (const QSize planSize : plans)
                for (int zoomIns : {0, 1}) {
                    SiteFixture f;
                    auto view = f.MakeView(client.width(), client.height());
                    const QImage plan = Coded(planSize.width(), planSize.height());
                    f.Load(*view, plan);
                    for (int i = 0; i < zoomIns; ++i) view->RunCommand(command::kZoomIn);
                    // The last row and column in view, wherever the plan is.
                    f.plan.CentreOn(planSize.width(), planSize.height());
                    const QImage frame = view->ComposeFrame();
                    const PlanRect area = view->PlanArea();
                    const PlanRect visible = f.plan.VisiblePlan();
                    const QPoint middle(area.Width() / 2, area.Height() / 2);
                    int checked = 0;
                    const auto check = [&](int px, int py) {
                        PlanPoint s;
                        if (!f.plan.PlanToScreen(px, py, area, s)) return;
                        // Clear of the centre mark.
                        if (std::abs(s.x - middle.x()) < 24 && std::abs(s.y - middle.y()) < 24) return;
                        QVERIFY2(At(frame, s.x, s.y) == Rgb(plan.pixel(px, py)),
                                 qPrintable(QStringLiteral("client %1x%2 plan %3x%4 zoom %5 %: plan (%6, %7)")
                                                .arg(client.width()).arg(client.height()).arg(planSize.width())
                                                .arg(planSize.height()).arg(f.plan.ZoomPercent()).arg(px).arg(py)));
                        ++checked;
                    };
                    for (int py = visible.top; py < visible.bottom; py += 7)
                        for (int px = visible.left; px < visible.right; px += 11) check(px, py);
                    for (int px = visible.left; px < visible.right; ++px) check(px, visible.bottom - 1);
                    for (int py = visible.top; py < visible.bottom; ++py) check(visible.right - 1, py);
                    QVERIFY(checked > 100);
                    QCOMPARE(visible.bottom, planSize.height());
                }
    }

    // A new plan opens whole; the thumbs stand for the share of the plan in
    // view at every zoom; Ctrl+0's command shows it whole again.
    void aNewPlanOpensWholeAndTheThumbsShowTheShareInView() {
        for (const QSize client : {QSize(640, 480), QSize(1280, 800)})
            for (const QSize planSize : {QSize(1000, 800), QSize(4000, 1000), QSize(300, 200)}) {
                SiteFixture f;
                auto view = f.MakeView(client.width(), client.height());
                f.Load(*view, Checkers(planSize.width(), planSize.height()), "plan.lpf", true);
                const PlanRect whole{0, 0, planSize.width(), planSize.height()};
                QCOMPARE(f.plan.VisiblePlan(), whole);
                QScrollBar* h = view->horizontalScrollBar();
                QScrollBar* v = view->verticalScrollBar();
                for (int step = 0; step < 5; ++step) {
                    const PlanRect window = f.plan.Window();
                    const double wantX = std::min(1.0, double(window.Width()) / planSize.width());
                    const double wantY = std::min(1.0, double(window.Height()) / planSize.height());
                    const QString where = QStringLiteral("client %1 plan %2 zoom %3 %")
                                              .arg(client.width()).arg(planSize.width()).arg(f.plan.ZoomPercent());
                    QVERIFY2(std::abs(ThumbShare(h) - wantX) <= 2.0 / planSize.width(), qPrintable(where));
                    QVERIFY2(std::abs(ThumbShare(v) - wantY) <= 2.0 / planSize.height(), qPrintable(where));
                    // The bars stand for the centre while it is in their range.
                    QCOMPARE(h->value(), std::clamp(f.plan.CentreX(), h->minimum(), h->maximum()));
                    QCOMPARE(v->value(), std::clamp(f.plan.CentreY(), v->minimum(), v->maximum()));
                    view->RunCommand(command::kZoomIn);
                }
                QVERIFY(f.plan.VisiblePlan() != whole);
                view->RunCommand(command::kFitPlan);
                QCOMPARE(f.plan.VisiblePlan(), whole);
                QCOMPARE(ThumbShare(h), 1.0);
                QCOMPARE(ThumbShare(v), 1.0);
            }
    }

    void zoomStopsAtTheMaximumAndLineStepsStayTenPlanPixels() {
        SiteFixture f;
        auto view = f.MakeView(640, 480);
        f.Load(*view, Checkers(1000, 800));
        QScrollBar* h = view->horizontalScrollBar();
        QScrollBar* v = view->verticalScrollBar();
        for (int zoom = 1; zoom <= CSitePlan::kMaxZoom; zoom *= 2) {
            QCOMPARE(f.plan.ZoomPercent(), zoom * 100);
            const int x = f.plan.CentreX();
            const int y = f.plan.CentreY();
            QTest::keyClick(view.get(), Qt::Key_Right);
            QCOMPARE(f.plan.CentreX(), x + 10);
            QCOMPARE(h->value(), x + 10);
            h->triggerAction(QAbstractSlider::SliderSingleStepSub);
            QCOMPARE(f.plan.CentreX(), x);
            QCOMPARE(h->value(), x);
            QTest::keyClick(view.get(), Qt::Key_Down);
            v->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            QCOMPARE(f.plan.CentreY(), y + 20);
            QCOMPARE(v->value(), y + 20);
            v->triggerAction(QAbstractSlider::SliderPageStepSub);
            QCOMPARE(f.plan.CentreY(), std::max(0, y + 20 - 480 / zoom));  // a page is the view's height
            v->setValue(y);
            v->triggerAction(QAbstractSlider::SliderMove);
            QCOMPARE(f.plan.CentreY(), y);
            view->RunCommand(command::kZoomIn);
        }
        // At the maximum the command changes nothing.
        const PlanRect window = f.plan.Window();
        QCOMPARE(f.plan.ZoomPercent(), CSitePlan::kMaxZoom * 100);
        view->RunCommand(command::kZoomIn);
        QCOMPARE(f.plan.ZoomPercent(), CSitePlan::kMaxZoom * 100);
        QCOMPARE(f.plan.Window(), window);
        QVERIFY(!view->ComposeFrame().isNull());

        // Other keys leave the plan alone.
        QTest::keyClick(view.get(), Qt::Key_PageDown);
        QTest::keyClick(view.get(), Qt::Key_End);
        QCOMPARE(f.plan.Window(), window);
    }

    void ctrlWheelZoomsAboutThePenAndZoomingOutShowsTheWholePlan() {
        for (const QSize size : {QSize(640, 480), QSize(1280, 800), QSize(300, 700)}) {
            SiteFixture f;
            auto view = f.MakeView(size.width(), size.height());
            const QImage plan = Checkers(1000, 800);
            f.Load(*view, plan);
            const PlanRect area = view->PlanArea();
            const QPoint at(area.Width() / 3, area.Height() / 3);
            const PlanPoint before = f.plan.ScreenToPlan(area, at.x(), at.y());
            const auto wheel = [&](Qt::KeyboardModifiers modifiers) {
                QWheelEvent event(at, view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                                  modifiers, Qt::NoScrollPhase, false);
                QApplication::sendEvent(view->viewport(), &event);
            };
            wheel(Qt::NoModifier);  // the plain wheel leaves the plan alone
            QCOMPARE(f.plan.ZoomPercent(), 100);
            wheel(Qt::ControlModifier);
            QCOMPARE(f.plan.ZoomPercent(), 200);
            const PlanPoint after = f.plan.ScreenToPlan(area, at.x(), at.y());
            QVERIFY(std::abs(after.x - before.x) <= 1 && std::abs(after.y - before.y) <= 1);
            QCOMPARE(view->horizontalScrollBar()->value(), f.plan.CentreX());

            // Out to the end: every corner square of the plan in view, in its colour.
            while (f.plan.CanZoomOut()) view->RunCommand(command::kZoomOut);
            const QImage frame = view->ComposeFrame();
            for (const QPoint corner : {QPoint(10, 10), QPoint(990, 10), QPoint(10, 790), QPoint(990, 790)}) {
                PlanPoint s;
                QVERIFY(f.plan.PlanToScreen(corner.x(), corner.y(), area, s));
                const QRgb want = plan.pixel(corner), got = frame.pixel(s.x, s.y);
                QVERIFY2(std::abs(qRed(want) - qRed(got)) <= 8 && std::abs(qGreen(want) - qGreen(got)) <= 8,
                         qPrintable(QStringLiteral("corner (%1, %2)").arg(corner.x()).arg(corner.y())));
            }
        }
    }

    void theUncoveredPartOfTheViewIsNeutral() {
        SiteFixture f;
        auto view = f.MakeView(640, 480);
        f.Load(*view, Solid(1000, 800, qRgb(10, 200, 10)));
        for (int i = 0; i < 30; ++i) QTest::keyClick(view.get(), Qt::Key_Left);
        // The centre stops on the plan's edge; the window reaches half its
        // width past it.
        QCOMPARE(f.plan.CentreX(), 0);
        QCOMPARE(f.plan.Window().left, -256);
        const QImage frame = view->ComposeFrame();
        QCOMPARE(At(frame, 10, 100), Rgb(colour::kOffPlan));
        QCOMPARE(At(frame, 255, 100), Rgb(colour::kOffPlan));
        QCOMPARE(At(frame, 256, 100), Rgb(qRgb(10, 200, 10)));
    }

    void aThumbDragMovesNothingUntilReleased() {
        SiteFixture f;
        auto view = f.MakeView(640, 480);
        f.Load(*view, Checkers(1000, 800));
        QScrollBar* bar = view->horizontalScrollBar();
        const QPoint from = ThumbCentre(bar);
        const QPoint to = from + QPoint(bar->width() / 4, 0);
        QTest::mousePress(bar, Qt::LeftButton, {}, from);
        QVERIFY(bar->isSliderDown());
        QTest::mouseMove(bar, from + QPoint(bar->width() / 8, 0));
        QTest::mouseMove(bar, to);
        QVERIFY(bar->sliderPosition() > 256);
        QCOMPARE(f.plan.CentreX(), 256);
        QCOMPARE(bar->value(), 256);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, to);
        QVERIFY(f.plan.CentreX() > 256);
        QCOMPARE(bar->value(), f.plan.CentreX());
        QCOMPARE(f.plan.Window().Width(), 512);
    }

    // The tick asks for a paint of what changed only: nothing while nothing
    // does, the panel for a new GPS fix, the whole view for new points.
    void theTickRepaintsOnlyWhatChanged() {
        timing::SetTimeScale(0.04);  // a tick every 10 ms
        SiteFixture f;
        auto view = f.MakeView(500, 400);
        f.Load(*view, Checkers(800, 600));
        struct PaintSpy : QObject {
            QRegion painted;
            int paints = 0;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Paint) {
                    painted += static_cast<QPaintEvent*>(e)->region();
                    ++paints;
                }
                return false;
            }
        } spy;
        view->viewport()->installEventFilter(&spy);
        QTest::qWait(100);
        const auto restart = [&] {
            spy.painted = QRegion();
            spy.paints = 0;
        };
        restart();
        QTest::qWait(150);  // fifteen ticks
        QCOMPARE(spy.paints, 0);

        const PlanRect& p = view->Layout().panel;
        const QRect panel(p.left, p.top, p.Width(), p.Height());
        f.gps.latitude = 47.3770;
        QTRY_VERIFY_WITH_TIMEOUT(spy.paints > 0, quorl::test::kHangGuardMs);
        QVERIFY(panel.contains(spy.painted.boundingRect()));
        QCOMPARE(view->ComposeFrame().copy(panel), view->grab(panel).toImage().convertToFormat(QImage::Format_RGB32));

        restart();
        f.UsePoints({{CSiteData::kPlanTap, 100, 100, {-50}, 0, 0}});
        QTRY_VERIFY_WITH_TIMEOUT(spy.paints > 0, quorl::test::kHangGuardMs);
        QCOMPARE(spy.painted.boundingRect(), view->viewport()->rect());
        timing::SetTimeScale(1.0);
    }
};

QTEST_MAIN(SiteViewTest)
#include "SiteViewTest.moc"
