// Direct pixel writing: the dash pattern, cutting at the image's edges
// whatever the coordinates, and copies that match the painter's.

#include <QPainter>
#include <QTest>
#include <random>

#include "SiteViewTestSupport.h"
#include "siteview/PixelCanvas.h"
#include "siteview/SiteOverlays.h"

using namespace quorl;
using namespace quorl::test;

class PixelCanvasTest : public QObject {
    Q_OBJECT
private slots:
    void dashedLinesFollowThePatternAndStayInTheImage() {
        QImage image = Solid(40, 30, qRgb(255, 255, 255));
        PixelCanvas canvas(image);
        QVERIFY(canvas.Valid());
        canvas.DashedLine(2, 5, 13, 5, qRgb(0, 0, 0));
        QString row;
        for (int x = 0; x < 16; ++x) row += At(image, x, 5) == 0 ? u'#' : u'.';
        QCOMPARE(row, QStringLiteral("..####..####...."));
        // Both ends are drawn; steep and reversed lines too.
        canvas.DashedLine(30, 20, 30, 17, qRgb(0, 0, 0));
        QCOMPARE(Count(image, QRect(30, 16, 1, 6), [](QRgb c) { return Rgb(c) == 0; }), 4);
        canvas.DashedLine(20, 10, 23, 13, qRgb(0, 0, 0));
        for (int i = 0; i < 4; ++i) QCOMPARE(At(image, 20 + i, 10 + i), QRgb(0));

        // Far-off ends: only the part inside is drawn, in the pattern's phase
        // from the far end, and nothing outside the image is touched.
        QImage wide = Solid(50, 8, qRgb(255, 255, 255));
        PixelCanvas far(wide);
        far.DashedLine(-1000000, 3, 1000000, 3, qRgb(0, 0, 0));
        for (int x = 0; x < 50; ++x) QCOMPARE(At(wide, x, 3) == 0, (x + 1000000) % 6 < 4);
        QCOMPARE(Count(wide, QRect(0, 0, 50, 3), [](QRgb c) { return Rgb(c) != 0xFFFFFF; }), 0);
        far.DashedLine(-2000000, -7, 3000000, 2000000, qRgb(0, 0, 0));
        far.DashedLine(-100, -100, -5, 200, qRgb(0, 0, 0));
        far.DashedLine(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, qRgb(0, 0, 0));
        far.DashedLine(7, 7, 7, 7, qRgb(0, 0, 0));
        QCOMPARE(At(wide, 7, 7), QRgb(0));

        // Cutting changes nothing inside: lines drawn whole into a large
        // image and cut into a small one agree pixel for pixel.
        std::mt19937 random(11);
        auto coordinate = [&] { return int(random() % 601) - 300; };
        for (int round = 0; round < 300; ++round) {
            const int ax = coordinate(), ay = coordinate(), bx = coordinate(), by = coordinate();
            QImage whole = Solid(640, 640, qRgb(255, 255, 255));
            QImage cut = Solid(40, 30, qRgb(255, 255, 255));
            PixelCanvas(whole).DashedLine(ax + 300, ay + 300, bx + 300, by + 300, qRgb(0, 0, 0));
            PixelCanvas(cut).DashedLine(ax, ay, bx, by, qRgb(0, 0, 0));
            QCOMPARE(cut, whole.copy(300, 300, 40, 30));
        }

        QImage indexed(10, 10, QImage::Format_Indexed8);
        QVERIFY(!PixelCanvas(indexed).Valid());
    }

    void copiesMatchThePainterAtEveryEdge() {
        QImage sprite(43, 43, QImage::Format_ARGB32_Premultiplied);
        sprite.fill(Qt::transparent);
        {
            QPainter p(&sprite);
            p.setPen(DashedPen());
            p.setBrush(QColor(0, 192, 0));
            p.drawEllipse(QRect(1, 1, 40, 40));
        }
        const auto spans = OpaqueSpansOf(sprite);
        QVERIFY(spans && !spans->spans.empty());
        for (const QPoint at : {QPoint(20, 15), QPoint(-30, -12), QPoint(80, 40), QPoint(-42, 60), QPoint(99, 69),
                                QPoint(500, 5)}) {
            QImage direct = Solid(100, 70, qRgb(90, 90, 90));
            QImage painted = direct.copy();
            PixelCanvas(direct).Copy(*spans, at.x(), at.y());
            QPainter(&painted).drawImage(at, sprite);
            QCOMPARE(direct, painted);
        }

        QImage soft(4, 4, QImage::Format_ARGB32_Premultiplied);
        soft.fill(qRgba(0, 0, 64, 128));
        QVERIFY(!OpaqueSpansOf(soft));
        QVERIFY(!OpaqueSpansOf(Solid(4, 4, qRgb(1, 2, 3))));
    }
};

QTEST_MAIN(PixelCanvasTest)
#include "PixelCanvasTest.moc"
