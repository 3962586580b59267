// The status panel: colours by GPS lock, its lines, the sweep's progress
// bar and the colours the bar leaves behind.

#include <QPainter>
#include <QTest>

#include "SiteViewTestSupport.h"
#include "siteview/SiteColours.h"
#include "siteview/StatusPanel.h"

using namespace quorl;
using namespace quorl::test;

namespace {

// The panel alone, as a 640 x 480 view paints it.
QImage PaintPanel(const StatusValues& values, SiteLayout& layout) {
    layout = SiteLayout::For(PlanRect{0, 0, 640, 480});
    QImage image(640, 480, QImage::Format_RGB32);
    image.fill(Qt::gray);
    QPainter painter(&image);
    painter.setFont(CSiteView::PaintFont());
    DrawStatusPanel(painter, layout, values);
    return image;
}

QRect Q(const PlanRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

}  // namespace

class StatusPanelTest : public QObject {
    Q_OBJECT
private slots:
    void layoutIsTheRightFifthInThirtyRows() {
        const SiteLayout layout = SiteLayout::For(PlanRect{0, 0, 640, 485});
        QCOMPARE(layout.panel, (PlanRect{512, 0, 640, 485}));
        QCOMPARE(layout.rows[0], (PlanRect{512, 0, 640, 16}));
        QCOMPARE(layout.rows[29], (PlanRect{512, 485 * 29 / 30, 640, 485 * 29 / 30 + 16}));
        QCOMPARE(layout.lock, (PlanRect{512 + 12, layout.rows[24].top, 512 + 115, layout.rows[24].bottom}));
    }

    void linesBeforeAnyGpsReportAndAfterOne() {
        SiteFixture f;
        StatusValues values = StatusValues::Read(f.Context());
        StatusLines lines = StatusPanelLines(values);
        QCOMPARE(lines.rows[3], QStringLiteral("ZOOM = 100%"));
        QCOMPARE(lines.rows[7], QStringLiteral("Log File"));
        QCOMPARE(lines.rows[8], QString());
        QCOMPARE(lines.rows[9], QStringLiteral(" (0 bytes)"));
        QCOMPARE(lines.rows[10], QStringLiteral("Survey Points = 0"));
        QCOMPARE(lines.rows[13], QStringLiteral("Projection File"));
        QCOMPARE(lines.rows[19], QStringLiteral("GPS DATA"));
        QCOMPARE(lines.rows[20], QStringLiteral("00/00/0000"));
        QCOMPARE(lines.rows[21], QStringLiteral("00:00:00"));
        QCOMPARE(lines.rows[22], QStringLiteral("0.0000 S"));
        QCOMPARE(lines.rows[23], QStringLiteral("0.0000 W"));
        QCOMPARE(lines.lock, QStringLiteral("Not Locked"));
        QVERIFY(!lines.barPercent && lines.rows[2].isEmpty() && lines.rows[4].isEmpty());
        const std::array filled = {3, 5, 7, 9, 10, 13, 15, 19, 20, 21, 22, 23};
        for (int row = 0; row < SiteLayout::kRowCount; ++row)
            QCOMPARE(lines.rows[row].isEmpty(), std::find(filled.begin(), filled.end(), row) == filled.end());

        f.gps.month = 3, f.gps.day = 7, f.gps.year = 2024, f.gps.hour = 9, f.gps.minute = 5, f.gps.second = 1;
        f.gps.latitude = -33.86786, f.gps.longitude = 151.2, f.gps.lock2d = 1;
        f.plan.ResetView(PlanRect{0, 0, 400, 400}, 800, 600);
        f.plan.ZoomIn(), f.plan.ZoomIn();
        values = StatusValues::Read(f.Context());
        values.collectionLength = 18446744073709551615ull;
        lines = StatusPanelLines(values);
        QCOMPARE(lines.rows[3], QStringLiteral("ZOOM = 400%"));
        // A two-second step per channel and one to end the sweep.
        const struct {
            std::uint8_t channels;
            const char* line;
        } sweeps[] = {{0, "Sweep = 2 s"}, {1, "Sweep = 4 s"}, {3, "Sweep = 8 s"}, {14, "Sweep = 30 s"}};
        for (const auto& sweep : sweeps) {
            std::uint8_t bg[15] = {};
            for (int c = 1; c <= sweep.channels; ++c) bg[c] = 1;
            f.engine.SetChannelPlan(bg, nullptr);
            QCOMPARE(StatusPanelLines(StatusValues::Read(f.Context())).rows[5], QString::fromLatin1(sweep.line));
        }
        // Below 100 %: the whole 800 x 600 plan in 400 x 400 is at 50 %.
        while (f.plan.ZoomOut()) {
        }
        QCOMPARE(StatusPanelLines(StatusValues::Read(f.Context())).rows[3], QStringLiteral("ZOOM = 50%"));
        QCOMPARE(lines.rows[9], QStringLiteral(" (18446744073709551615 bytes)"));
        QCOMPARE(lines.rows[20], QStringLiteral("03/07/2024"));
        QCOMPARE(lines.rows[21], QStringLiteral("09:05:01"));
        QCOMPARE(lines.rows[22], QStringLiteral("33.8679 S"));
        QCOMPARE(lines.rows[23], QStringLiteral("151.2000 E"));
        QCOMPARE(lines.lock, QStringLiteral("2D Lock"));
        f.gps.lock3d = 1;
        QCOMPARE(StatusPanelLines(StatusValues::Read(f.Context())).lock, QStringLiteral("3D Lock"));
    }

    void panelColourTellsTheLock() {
        SiteLayout layout;
        StatusValues values;
        for (const auto& [lock3d, lock2d, fill] : {std::tuple{0, 0, colour::kNoLock}, std::tuple{0, 1, colour::kLock2d},
                                                   std::tuple{1, 0, colour::kLock3d}, std::tuple{1, 1, colour::kLock3d}}) {
            values.gps.lock3d = std::uint8_t(lock3d), values.gps.lock2d = std::uint8_t(lock2d);
            const QImage image = PaintPanel(values, layout);
            QCOMPARE(Count(image, Q(layout.rows[27]), [&](QRgb c) { return Rgb(c) != Rgb(fill); }), 0);
            QCOMPARE(At(image, 511, 100), Rgb(QColor(Qt::gray).rgb()));
            // Text in the lock's colour: black on yellow, white otherwise.
            const QRect log = Q(layout.rows[7]);
            QVERIFY(Count(image, log, fill == colour::kLock2d ? IsDark : IsLight) > 10);
        }
    }

    void theSweepBarShowsItsShareAndLeavesTheTextWhite() {
        SiteFixture f;
        const std::uint8_t bg[15] = {0, 1, 1, 1, 1};
        f.engine.SetChannelPlan(bg, nullptr);
        f.engine.StartScan();
        f.engine.BeginSweep();
        f.engine.NextChannel();
        f.engine.NextChannel();
        StatusValues values = StatusValues::Read(f.Context());
        QCOMPARE(values.channelIndex, 3);
        StatusLines lines = StatusPanelLines(values);
        QCOMPARE(*lines.barPercent, std::uint16_t{75});
        QCOMPARE(lines.rows[2], QStringLiteral("75%"));
        QCOMPARE(lines.rows[4], QStringLiteral("Channel = 3"));

        SiteLayout layout;
        QImage image = PaintPanel(values, layout);
        const QRect bar = Q(layout.rows[2]);
        const int inside = bar.width() - 2;
        const int y = bar.bottom() - 1;
        QCOMPARE(At(image, bar.left(), y), Rgb(colour::kBlack));
        QCOMPARE(At(image, bar.left() + 1 + inside * 70 / 100, y), Rgb(colour::kBlue));
        QCOMPARE(At(image, bar.left() + 1 + inside * 75 / 100, y), Rgb(colour::kWhite));

        // 44 %: blue text, lost on the blue part; 45 %: white text on it.
        values.channelCount = 100;
        for (int percent : {44, 45}) {
            values.channelIndex = percent;
            image = PaintPanel(values, layout);
            const QRect filled(bar.left() + 1, bar.top() + 1, inside * percent / 100, bar.height() - 2);
            const QRect open(filled.right() + 1, filled.top(), bar.right() - filled.right() - 1, filled.height());
            const int light = Count(image, filled, IsLight);
            const int blueOnWhite = Count(image, open, [](QRgb c) { return qRed(c) < 150 && qBlue(c) > 150; });
            QVERIFY2(percent == 45 ? light > 5 : light == 0, qPrintable(QString::number(light)));
            QVERIFY(percent == 44 ? blueOnWhite > 5 : blueOnWhite == 0);
        }

        // After the bar every line is white without a background, even on yellow.
        values.gps.lock2d = 1;
        image = PaintPanel(values, layout);
        QCOMPARE(Count(image, Q(layout.rows[27]), [](QRgb c) { return Rgb(c) != Rgb(colour::kLock2d); }), 0);
        QVERIFY(Count(image, Q(layout.rows[7]), IsLight) > 10);
        QCOMPARE(Count(image, Q(layout.rows[7]), IsDark), 0);
        values.sweepActive = false;
        image = PaintPanel(values, layout);
        QVERIFY(Count(image, Q(layout.rows[7]), IsDark) > 10);
        QCOMPARE(Count(image, Q(layout.rows[2]), [](QRgb c) { return Rgb(c) != Rgb(colour::kLock2d); }), 0);
    }

    void anEmptyChannelPlanGivesAnEmptyBar() {
        SiteFixture f;
        const std::uint8_t none[15] = {};
        f.engine.SetChannelPlan(none, nullptr);
        f.engine.StartScan();
        const StatusValues values = StatusValues::Read(f.Context());
        QVERIFY(values.sweepActive);
        QCOMPARE(values.channelCount, std::int16_t{0});
        QCOMPARE(SweepPercent(5, 0), std::uint16_t{0});
        QCOMPARE(StatusPanelLines(values).rows[2], QStringLiteral("0%"));
        SiteLayout layout;
        const QImage image = PaintPanel(values, layout);
        const QRect bar = Q(layout.rows[2]);
        QCOMPARE(Count(image, bar, [](QRgb c) { return Rgb(c) == Rgb(colour::kBlue); }) <
                     Count(image, bar, [](QRgb c) { return Rgb(c) == Rgb(colour::kWhite); }),
                 true);
        QCOMPARE(At(image, bar.right() - 3, bar.bottom() - 1), Rgb(colour::kWhite));
    }
};

QTEST_MAIN(StatusPanelTest)
#include "StatusPanelTest.moc"
