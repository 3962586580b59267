// The scan view: what it draws for a sweep's progress and the access points
// heard, the timer tick that steps the sweep and stores the point once, the
// timer's life with the view's activation, and repainting as the sweep runs.

#include <QFontInfo>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "common/RecordingUserMessages.h"
#include "common/Timing.h"
#include "engine/DeviceSession.h"
#include "shell/MainFrame.h"
#include "shell/ScanView.h"
#include "sim/SimulatedDriver.h"
#include "ShellTestSupport.h"
#include "tests/dialogs/SurveyRig.h"
#include "tests/HangGuard.h"

using namespace quorl;
using test::CountColour;
using test::CountPainted;

namespace {

// Windows-style rectangle: right and bottom outside.
QRect Box(int left, int top, int right, int bottom) { return QRect(left, top, right - left, bottom - top); }

const QRgb kFg = CScanView::kForeground;
const QRgb kBg = CScanView::kBackground;

bool IsColour(const QImage& image, int x, int y, QRgb colour) {
    return (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
}

// Pixels of `box` within a small distance of `colour`: the cores of
// smoothed glyphs.
int CountNear(const QImage& image, const QRect& box, QRgb colour, int distance = 60) {
    int n = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (std::abs(qRed(p) - qRed(colour)) + std::abs(qGreen(p) - qGreen(colour)) +
                    std::abs(qBlue(p) - qBlue(colour)) <= distance)
                ++n;
        }
    return n;
}

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

}  // namespace

class ScanViewTest : public QObject {
    Q_OBJECT
private slots:
    void init() { timing::SetTimeScale(0.01); }

    void drawsProgressWithoutAccessPoints() {
        test::SurveyRig rig;
        test::RecordingSwitcher switcher;
        CScanView view(rig.engine, rig.data, rig.unit.messages, switcher);
        rig.PlanOfBg(12);
        rig.StartSweep();
        rig.engine.NextChannel();
        rig.engine.NextChannel();
        QCOMPARE(rig.engine.ChannelIndex(), 3);

        // 3 of 12: 25 %, a bar 55 pixels wide, text in the foreground on the
        // background.
        QImage image = view.Compose(QSize(240, 250));
        QVERIFY(CountPainted(image, Box(10, 30, 220, 45)) > 0);   // title
        QVERIFY(CountPainted(image, Box(10, 50, 25, 65)) > 0);    // CH
        QVERIFY(CountPainted(image, Box(30, 50, 200, 65)) > 0);   // MAC/SSID
        QVERIFY(CountPainted(image, Box(210, 50, 235, 65)) > 0);  // RSSI
        QCOMPARE(CountPainted(image, Box(0, 66, 240, 250)), 0);   // no rows
        QCOMPARE(CountPainted(image, Box(0, 0, 9, 250)), 0);      // left margin stays black
        QVERIFY(IsColour(image, 9, 9, kFg) && IsColour(image, 63, 9, kFg) && IsColour(image, 63, 20, kFg));
        QVERIFY(IsColour(image, 64, 9, qRgb(0, 0, 0)) && IsColour(image, 8, 9, qRgb(0, 0, 0)));
        QVERIFY(IsColour(image, 30, 8, qRgb(0, 0, 0)) && IsColour(image, 30, 21, qRgb(0, 0, 0)));
        const QRect text = Box(90, 9, 150, 21);
        QVERIFY(CountColour(image, text, kBg) > CountColour(image, text, kFg));

        // 6 of 12: 50 %, bar 111 wide, and the text's colours swap.
        for (int i = 0; i < 3; ++i) rig.engine.NextChannel();
        image = view.Compose(QSize(240, 250));
        QVERIFY(IsColour(image, 9, 9, kFg) && IsColour(image, 60, 20, kFg));
        const QRect pastBar = Box(121, 9, 150, 21);
        QVERIFY(CountColour(image, pastBar, kFg) > CountColour(image, pastBar, kBg));
        QVERIFY(CountNear(image, pastBar, kBg, 120) > 0);  // the glyphs, nearer the background

        // 12 of 12: the bar spans x 9 to 230.
        for (int i = 0; i < 6; ++i) rig.engine.NextChannel();
        image = view.Compose(QSize(240, 250));
        QVERIFY(IsColour(image, 230, 9, kFg) && IsColour(image, 230, 20, kFg));
        QVERIFY(IsColour(image, 231, 9, qRgb(0, 0, 0)));
    }

    void percentNeverDividesByZeroNorOverflows() {
        QCOMPARE(CScanView::Percent(3, 12), 25);
        QCOMPARE(CScanView::Percent(6, 12), 50);
        QCOMPARE(CScanView::Percent(0, 14), 0);
        QCOMPARE(CScanView::Percent(1, 0), 0);
        QCOMPARE(CScanView::Percent(10, 3), 100);

        // An empty plan: title, heads, "0%" and no bar.
        test::SurveyRig rig;
        test::RecordingSwitcher switcher;
        CScanView view(rig.engine, rig.data, rig.unit.messages, switcher);
        const std::uint8_t none[25] = {};
        rig.engine.SetChannelPlan(none, none);
        rig.StartSweep();
        const QImage image = view.Compose(QSize(240, 250));
        QCOMPARE(CountColour(image, Box(9, 9, 80, 21), kFg), 0);
        QVERIFY(CountPainted(image, Box(90, 9, 150, 21)) > 0);
        // Degenerate client areas draw nothing and do not fail.
        QVERIFY(view.Compose(QSize(0, 0)).size().isEmpty());
        QCOMPARE(view.Compose(QSize(5, 5)).size(), QSize(5, 5));
    }

    void listsTheRowsThatFitWithTheirLevels() {
        test::SurveyRig rig;
        test::RecordingSwitcher switcher;
        CScanView view(rig.engine, rig.data, rig.unit.messages, switcher);
        rig.PlanOfBg(1);
        rig.StartSweep();
        // Row 0: -1000 over 3 samples shows -20; row 1: one sample of -320,
        // also -20; row 2: one sample of -992, -62.
        rig.Hear(1, -333);
        rig.Hear(1, -333);
        rig.Hear(1, -334);
        rig.Hear(2, -320);
        rig.Hear(3, -992);
        for (std::uint8_t i = 4; i <= 8; ++i) rig.Hear(i, -900);
        QCOMPARE(rig.engine.ApCount(), std::size_t{8});

        // Height 250: six rows, at y = 80 ... 230.
        QImage image = view.Compose(QSize(240, 250));
        for (int i = 0; i < 6; ++i) {
            const int y = 80 + 30 * i;
            QVERIFY2(CountPainted(image, Box(30, y - 15, 140, y)) > 0, qPrintable(QString::number(i)));
            QVERIFY(CountPainted(image, Box(30, y, 200, y + 15)) > 0);
            QVERIFY(CountPainted(image, Box(10, y - 15, 25, y)) > 0);
        }
        QCOMPARE(CountPainted(image, Box(0, 245, 240, 250)), 0);

        const auto cell = [&image](int row) { return image.copy(Box(210, 65 + 30 * row, 235, 80 + 30 * row)); };
        QCOMPARE(cell(0), cell(1));
        QVERIFY(cell(0) != cell(2));

        // The seventh row needs a client height of 265.
        image = view.Compose(QSize(240, 264));
        QCOMPARE(CountPainted(image, Box(0, 245, 240, 264)), 0);
        image = view.Compose(QSize(240, 265));
        QVERIFY(CountPainted(image, Box(30, 245, 140, 260)) > 0);
    }

    void tickStepsTheSweepThenStoresThePointOnce() {
        test::SurveyRig rig;
        QVERIFY(rig.NewCollection());
        test::RecordingSwitcher switcher;
        CScanView view(rig.engine, rig.data, rig.unit.messages, switcher);
        rig.PlanOfBg(3);
        rig.data.BeginPoint(CSiteData::kPlanTap, 40, 50);
        rig.StartSweep();
        rig.Hear(1, -800);
        rig.Hear(2, -700);
        const std::string path = rig.data.CollectionPath();
        const auto scanningOff = [&rig] {
            const auto off = test::CommandFrame(kCmdSetScanning, {0x00});
            int n = 0;
            for (const auto& frame : rig.unit.driver.Writes()) n += frame == off;
            return n;
        };

        view.Tick();
        view.Tick();
        QCOMPARE(rig.engine.ChannelIndex(), 3);
        QVERIFY(rig.engine.SweepActive());
        // Past the last channel: the sweep ends; nothing else on this tick.
        view.Tick();
        QVERIFY(!rig.engine.SweepActive());
        QCOMPARE(rig.engine.ChannelIndex(), 3);
        QVERIFY(switcher.switches.empty());
        QCOMPARE(std::filesystem::file_size(path), std::uintmax_t{33});

        // The next one stores the point with both access points and goes back.
        view.Tick();
        QCOMPARE(switcher.switches, std::vector<ViewKind>{ViewKind::Site});
        QCOMPARE(scanningOff(), 1);
        QVERIFY(!rig.engine.ScanRequested());
        QCOMPARE(rig.data.PointCount(), 1);
        QCOMPARE(std::filesystem::file_size(path), std::uintmax_t{33 + 36 + 2 * 46});
        QCOMPARE(rig.data.Points().at(0).apCount, std::int16_t{2});

        // Once written, a further tick only switches.
        view.Tick();
        QCOMPARE(switcher.switches.size(), std::size_t{2});
        QCOMPARE(scanningOff(), 1);
        QCOMPARE(rig.data.PointCount(), 1);
        QCOMPARE(std::filesystem::file_size(path), std::uintmax_t{33 + 36 + 2 * 46});
    }

    void fontsHaveACellTwelvePixelsTall() {
        for (bool underline : {false, true}) {
            QFont font = CScanView::ScanFont(underline);
            QCOMPARE(font.underline(), underline);
            const int cell = QFontMetrics(font).height();
            // The largest size whose cell, ascent plus descent, fits.
            QVERIFY2(cell <= CScanView::kCellHeight, qPrintable(QString::number(cell)));
            font.setPixelSize(font.pixelSize() + 1);
            QVERIFY(QFontMetrics(font).height() > CScanView::kCellHeight);
            // Arial, and its metric twin that the setup script installs, have
            // a size whose cell is exactly 12 (11 pixels).
            const QString face = QFontInfo(CScanView::ScanFont(underline)).family();
            if (face == "Arial" || face == "Liberation Sans") QCOMPARE(cell, CScanView::kCellHeight);
        }
    }

    void timerRunsOnlyWhileActive() {
        test::SurveyRig rig;
        QVERIFY(rig.NewCollection());
        test::RecordingSwitcher switcher;
        CScanView view(rig.engine, rig.data, rig.unit.messages, switcher);
        // As the main window does: switching away deactivates the view.
        switcher.onSwitch = [&view](ViewKind) { view.OnActivateView(false); };
        rig.PlanOfBg(14);
        rig.data.BeginPoint(CSiteData::kPlanTap, 1, 1);
        rig.StartSweep();
        QVERIFY(!view.TimerRunning());
        QTest::qWait(60);
        QCOMPARE(rig.engine.ChannelIndex(), 1);

        view.OnActivateView(true);
        QVERIFY(view.TimerRunning());
        QTRY_VERIFY_WITH_TIMEOUT(rig.engine.ChannelIndex() >= 3, quorl::test::kHangGuardMs);
        view.OnActivateView(false);
        QVERIFY(!view.TimerRunning());
        const int stopped = rig.engine.ChannelIndex();
        QTest::qWait(100);
        QCOMPARE(rig.engine.ChannelIndex(), stopped);

        // Activated again (twice, as when the window comes back): one timer
        // runs the sweep to its end, which switches back and stops it.
        view.OnActivateView(true);
        view.OnActivateView(true);
        QTRY_COMPARE_WITH_TIMEOUT(switcher.switches.size(), std::size_t{1}, quorl::test::kHangGuardMs);
        QVERIFY(!view.TimerRunning());
        QCOMPARE(rig.engine.ChannelIndex(), 14);
        QCOMPARE(rig.data.PointCount(), 1);
    }

    void engineNotificationsRepaintTheActiveView() {
        // A long step period: only notifications can repaint in this test.
        timing::SetTimeScale(1.0);
        test::SurveyRig rig;
        test::RecordingSwitcher switcher;
        QWidget window;
        auto* view = new CScanView(rig.engine, rig.data, rig.unit.messages, switcher, &window);
        window.resize(240, 250);
        view->resize(240, 250);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window, quorl::test::kHangGuardMs));
        PaintCounter counter(view);
        QTest::qWait(50);
        counter.paints = 0;

        // Inactive: the window's notifications are not the view's business.
        QCoreApplication::postEvent(&window, new QEvent(CMainFrame::kEngineNotifyEvent));
        QTest::qWait(3 * CScanView::kNotifyRepaintMs);
        QCOMPARE(counter.paints, 0);

        // Active: a burst of notifications comes out as one repaint.
        view->OnActivateView(true);
        QTest::qWait(50);
        counter.paints = 0;
        for (int i = 0; i < 20; ++i) QCoreApplication::postEvent(&window, new QEvent(CMainFrame::kEngineNotifyEvent));
        QTRY_VERIFY_WITH_TIMEOUT(counter.paints >= 1, quorl::test::kHangGuardMs);
        QTest::qWait(3 * CScanView::kNotifyRepaintMs);
        QVERIFY(counter.paints <= 2);
        view->OnActivateView(false);
    }

    void sweepRunsToItsStoredPointInTheMainWindow() {
        sim::SimulatedDriver driver;
        GpsStatus gps;
        RecordingUserMessages messages;
        CEngine engine(driver, gps, messages);
        DeviceSession session(driver, engine);
        CSiteProjection projection(gps, messages);
        CSiteData data(engine, gps, projection, messages);
        QTemporaryDir dir;
        data.SetCollectionPath(dir.filePath(QStringLiteral("walk.ssd")).toStdString());
        data.SetDurableWrites(false);
        QVERIFY(data.CreateCollection());
        CScanView* scan = nullptr;
        CMainFrame frame(engine, session, messages, [&](ViewKind kind, CMainFrame& f) -> QWidget* {
            if (kind == ViewKind::Scan) return scan = new CScanView(engine, data, messages, f);
            return new test::CountingView();
        });
        frame.resize(640, 480);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame, quorl::test::kHangGuardMs));
        frame.StartDevice();
        QTRY_VERIFY_WITH_TIMEOUT(session.StartedUp(), quorl::test::kHangGuardMs);
        frame.SwitchView(ViewKind::Site);

        data.BeginPoint(CSiteData::kPlanTap, 120, 80);
        engine.StartScan();
        frame.SwitchView(ViewKind::Scan);
        QVERIFY(scan && scan->TimerRunning());
        PaintCounter counter(scan);
        QTRY_COMPARE_WITH_TIMEOUT(frame.ActiveViewKind(), ViewKind::Site, quorl::test::kHangGuardMs);
        QVERIFY(!scan->TimerRunning());
        QCOMPARE(data.PointCount(), 1);
        // The demo site's 2.4 GHz access points were heard and stored.
        QVERIFY(data.Points().at(0).apCount > 0);
        // Fourteen steps, each asking for a repaint.
        QVERIFY2(counter.paints >= 5, qPrintable(QString::number(counter.paints)));
        frame.ShutdownLink();
    }
};

QTEST_MAIN(ScanViewTest)
#include "ScanViewTest.moc"
