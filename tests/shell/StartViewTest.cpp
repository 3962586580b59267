// The start view: where its lines stand, what they say before and after the
// unit's handshake, the picture, the tap, the printed page.

#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <memory>

#include "common/RecordingUserMessages.h"
#include "common/Timing.h"
#include "engine/DeviceSession.h"
#include "engine/Engine.h"
#include "res/ResourcePaths.h"
#include "shell/CommandIds.h"
#include "shell/QuorlCollectorTabletView.h"
#include "sim/SimulatedDriver.h"
#include "siteview/Draw.h"
#include "ShellTestSupport.h"
#include "tests/HangGuard.h"

using namespace quorl;

namespace {

struct RecordingSwitcher : IViewSwitcher {
    void SwitchView(ViewKind kind) override { requests.push_back(kind); }
    std::vector<ViewKind> requests;
};

bool IsWhite(QRgb c) { return qRed(c) == 255 && qGreen(c) == 255 && qBlue(c) == 255; }
bool IsBlack(QRgb c) { return qRed(c) == 0 && qGreen(c) == 0 && qBlue(c) == 0; }

// First row at or below `from` whose pixel in column x is white.
int FirstWhiteRow(const QImage& image, int x, int from) {
    for (int y = from; y < image.height(); ++y)
        if (IsWhite(image.pixel(x, y))) return y;
    return -1;
}

// Left and right ends of the white run through (x, y).
std::pair<int, int> WhiteRun(const QImage& image, int x, int y) {
    int left = x, right = x;
    while (left > 0 && IsWhite(image.pixel(left - 1, y))) --left;
    while (right + 1 < image.width() && IsWhite(image.pixel(right + 1, y))) ++right;
    return {left, right};
}

}  // namespace

class StartViewTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { timing::SetTimeScale(0.01); }

    void linesBeforeTheUnitReports() {
        test::NoUnitDriver driver;
        GpsStatus gps;
        RecordingUserMessages messages;
        CEngine engine(driver, gps, messages);
        RecordingSwitcher switcher;
        QPrinter printer;
        CQuorlCollectorTabletView view(engine, switcher, printer);
        QCOMPARE(view.FirmwareLine(), QString("(Firmware 0.00)"));
        QCOMPARE(view.SerialLine(), QString("(SN XXXXXX)"));

        // The lines' opaque white boxes start at h/2 and h/10 + h/2.
        for (const QSize size : {QSize(240, 320), QSize(300, 400), QSize(800, 600)}) {
            const int w = size.width(), h = size.height();
            const QImage image = view.Compose(size, 1.0).convertToFormat(QImage::Format_RGB32);
            QCOMPARE(image.size(), size);
            const int x = w / 2;
            QCOMPARE(FirstWhiteRow(image, x, h / 2 - 10), h / 2);
            // The box ends below its lowest white column: a glyph may cross
            // any one column, whichever face the system has for Arial.
            const int firmwareBottom = [&] {
                const auto [left, right] = WhiteRun(image, x, h / 2);
                int bottom = h / 2;
                for (int c = left; c <= right; ++c) {
                    int y = h / 2;
                    while (IsWhite(image.pixel(c, y))) ++y;
                    bottom = std::max(bottom, y);
                }
                return bottom;
            }();
            QVERIFY(firmwareBottom - h / 2 >= 10);  // one line of 12-point text
            QCOMPARE(FirstWhiteRow(image, x, firmwareBottom), h / 10 + h / 2);
            // Centred on the full width.
            const auto [left, right] = WhiteRun(image, x, h / 2 + 1);
            QVERIFY2(std::abs((left + right) - (w - 1)) <= 2, qPrintable(QString("%1..%2").arg(left).arg(right)));
            QVERIFY(left > 0 && right < w - 1);
            // The black strip below the picture.
            for (int y = h - CQuorlCollectorTabletView::kStripHeight; y < h; ++y)
                for (int px : {0, w / 3, w - 1}) QVERIFY(IsBlack(image.pixel(px, y)));
            QVERIFY(!IsBlack(image.pixel(w / 3, h - CQuorlCollectorTabletView::kStripHeight - 1)));
        }

        // The widget paints the same composition.
        view.resize(240, 320);
        const QImage painted = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(FirstWhiteRow(painted, 120, 150), 160);
        QCOMPARE(FirstWhiteRow(painted, 120, 180), 192);
    }

    void linesAfterTheHandshake() {
        sim::Scenario scenario;
        scenario.firmware = "QS-2 2.14";
        scenario.serial = "QS240117";
        sim::SimulatedDriver driver(scenario);
        GpsStatus gps;
        RecordingUserMessages messages;
        CEngine engine(driver, gps, messages);
        DeviceSession session(driver, engine);
        RecordingSwitcher switcher;
        QPrinter printer;
        CQuorlCollectorTabletView view(engine, switcher, printer);
        session.StartUp();
        QVERIFY(session.Opened());
        QTRY_COMPARE_WITH_TIMEOUT(view.FirmwareLine(), QString("(Firmware QS-2 2.14)"), quorl::test::kHangGuardMs);
        QTRY_COMPARE_WITH_TIMEOUT(view.SerialLine(), QString("(SN QS240117)"), quorl::test::kHangGuardMs);
        session.Shutdown();
    }

    void tapBeepsAndLeavesForTheSiteView() {
        test::NoUnitDriver driver;
        GpsStatus gps;
        RecordingUserMessages messages;
        CEngine engine(driver, gps, messages);
        RecordingSwitcher switcher;
        QPrinter printer;
        CQuorlCollectorTabletView view(engine, switcher, printer);
        view.resize(240, 320);
        QTest::mouseClick(&view, Qt::MiddleButton, {}, QPoint(5, 5));
        QVERIFY(switcher.requests.empty());
        QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(230, 310));
        QCOMPARE(switcher.requests, std::vector<ViewKind>{ViewKind::Site});

        QVERIFY(view.HandlesCommand(command::kFilePrint));
        QVERIFY(view.HandlesCommand(command::kFilePrintPreview));
        QVERIFY(!view.HandlesCommand(command::kLoadProjection));
        QVERIFY(!view.HandlesCommand(command::kFileNew));
    }

    // In wide, tall and exact rectangles the picture keeps its shape (one
    // scale on both axes, so circles stay round), stands centred and as
    // large as fits, and the margins continue its edge columns or rows.
    void pictureKeepsItsShapeAndFillsTheRest() {
        QImage source(QString::fromLatin1(res::kSplashPicture) + ".png");
        QCOMPARE(source.size(), QSize(240, 320));
        const auto near = [](QRgb a, QRgb b) {
            return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)) < 40;
        };
        for (const QSize size : {QSize(480, 200), QSize(1024, 680), QSize(120, 400), QSize(240, 320)}) {
            QImage image(size, QImage::Format_RGB32);
            image.fill(Qt::magenta);
            {
                QPainter painter(&image);
                CDraw().Picture(painter, size.width(), size.height());
            }
            const double k = std::min(size.width() / 240.0, size.height() / 320.0);
            const QPointF origin((size.width() - 240 * k) / 2, (size.height() - 320 * k) / 2);
            const QString where = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
            // Picture pixels away from sharp edges land at origin + k * p.
            int matched = 0, sampled = 0;
            for (int sy = 8; sy < 312; sy += 13)
                for (int sx = 8; sx < 232; sx += 11) {
                    const QRgb want = source.pixel(sx, sy);
                    bool flat = true;  // the 3x3 around it is one colour: a blur cannot move it
                    for (int dy = -2; dy <= 2 && flat; ++dy)
                        for (int dx = -2; dx <= 2 && flat; ++dx) flat = near(source.pixel(sx + dx, sy + dy), want);
                    if (!flat) continue;
                    ++sampled;
                    const QPoint at = (origin + QPointF(sx + 0.5, sy + 0.5) * k).toPoint();
                    if (near(image.pixel(at), want)) ++matched;
                }
            QVERIFY2(sampled > 100 && matched >= sampled * 95 / 100, qPrintable(where));
            // Every pixel drawn; the margins take the nearest edge's colour.
            int untouched = 0;
            for (int y = 0; y < size.height(); ++y)
                for (int x = 0; x < size.width(); ++x) untouched += image.pixel(x, y) == QColor(Qt::magenta).rgb();
            QCOMPARE(untouched, 0);
            if (origin.x() >= 2) {
                for (int y = 4; y < size.height() - 4; y += 17) {
                    const int sy = std::clamp(int((y - origin.y()) / k), 0, 319);
                    QVERIFY2(near(image.pixel(0, y), source.pixel(0, sy)), qPrintable(where));
                    QVERIFY2(near(image.pixel(size.width() - 1, y), source.pixel(239, sy)), qPrintable(where));
                }
            }
        }
        // Nothing outside the rectangle is touched.
        QImage partial(100, 100, QImage::Format_RGB32);
        partial.fill(Qt::magenta);
        {
            QPainter painter(&partial);
            CDraw().Picture(painter, 50, 60);
        }
        QCOMPARE(partial.pixel(50, 10), QColor(Qt::magenta).rgb());
        QCOMPARE(partial.pixel(10, 60), QColor(Qt::magenta).rgb());
        QVERIFY(partial.pixel(49, 59) != QColor(Qt::magenta).rgb());
    }

    void printsTheSameDrawing() {
        test::NoUnitDriver driver;
        GpsStatus gps;
        RecordingUserMessages messages;
        CEngine engine(driver, gps, messages);
        RecordingSwitcher switcher;
        QTemporaryDir dir;
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.path() + "/page.pdf");
        CQuorlCollectorTabletView view(engine, switcher, printer);
        view.resize(240, 320);
        view.RunCommand(command::kFilePrintDirect);
        QFile page(dir.path() + "/page.pdf");
        QVERIFY(page.open(QIODevice::ReadOnly));
        QVERIFY(page.readAll().startsWith("%PDF"));
    }
};

QTEST_MAIN(StartViewTest)
#include "StartViewTest.moc"
