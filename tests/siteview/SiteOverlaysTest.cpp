// Survey point markers, connecting lines, access point markers, the alert
// banner and the centre mark, read back from painted frames.

#include <QPainter>
#include <QTest>

#include "SiteViewTestSupport.h"
#include "res/ResourcePaths.h"
#include "siteview/SiteColours.h"
#include "siteview/SiteOverlays.h"

using namespace quorl;
using namespace quorl::test;

namespace {

constexpr QRgb kGround = qRgb(200, 150, 100) & 0xFFFFFF;

// A 640 x 480 view over a plan of one colour; at 100 % plan (x, y) shows
// at (x, y), left of the panel (512 pixels).
struct PlanView {
    SiteFixture f;
    std::unique_ptr<CSiteView> view;
    explicit PlanView(int w = 640, int h = 480) : view(f.MakeView(w, h)) { f.Load(*view, Solid(1000, 800, qRgb(200, 150, 100))); }
};

}  // namespace

class SiteOverlaysTest : public QObject {
    Q_OBJECT
private slots:
    void markersTakeTheColourOfTheirSignalClass() {
        PlanView s;
        const int levels[] = {-91, -90, -71, -70, -51, -50, -31, -30, -100};
        const QRgb fills[] = {colour::kBlack, colour::kRed,  colour::kRed,  colour::kGreen, colour::kGreen,
                              colour::kBlue,  colour::kBlue, colour::kWhite, colour::kBlack};
        std::vector<TestPoint> points;
        for (int i = 0; i < 9; ++i) {
            TestPoint p{CSiteData::kPlanTap, std::uint16_t(30 + (i % 3) * 120), std::uint16_t(60 + (i / 3) * 120), {}};
            if (levels[i] != -100) p.levels = {levels[i] - 20, levels[i]};  // the strongest counts
            points.push_back(p);
        }
        s.f.UsePoints(points);
        const QImage frame = s.view->ComposeFrame();
        for (int i = 0; i < 9; ++i) {
            const int sx = points[i].x, sy = points[i].y;
            // Beside the centre, off the lines through it.
            QCOMPARE(At(frame, sx + 6, sy + 8), Rgb(fills[i]));
            QCOMPARE(At(frame, sx - 8, sy - 6), Rgb(fills[i]));
        }
    }

    void markerRadiusFollowsTheClientWidth() {
        for (const auto& [width, radius] : {std::pair{240, 10}, std::pair{241, 20}}) {
            PlanView s(width, width);
            s.f.UsePoints({{CSiteData::kPlanTap, 50, 50, {-40}}});
            const QImage frame = s.view->ComposeFrame();
            QCOMPARE(At(frame, 50, 50 + 8), Rgb(colour::kBlue));
            QCOMPARE(At(frame, 50, 50 + 15), radius == 20 ? Rgb(colour::kBlue) : kGround);
            QCOMPARE(At(frame, 50, 50 + 25), kGround);
        }
    }

    void pointsOnTheWindowsEdgeGetMarkers() {
        PlanView s;
        // Window 0..512 x 0..480: (0, 0) and (90, 480) lie on its edges,
        // (300, 481) just outside.
        s.f.UsePoints({{CSiteData::kPlanTap, 0, 0, {-40}}, {CSiteData::kPlanTap, 90, 480, {-60}},
                       {CSiteData::kPlanTap, 300, 481, {-80}}});
        const QImage frame = s.view->ComposeFrame();
        QCOMPARE(At(frame, 8, 3), Rgb(colour::kBlue));
        QCOMPARE(At(frame, 90 + 4, 479 - 6), Rgb(colour::kGreen));
        QCOMPARE(At(frame, 300 + 4, 479 - 3), kGround);
    }

    void linesJoinSurveyPointsInListOrder() {
        PlanView s;
        // Three points on one row, a dynamic access point between the second
        // and the third in the list, and a deleted point.
        s.f.UsePoints({{CSiteData::kPlanTap, 60, 100, {-40}},
                       {CSiteData::kPlanTap, 180, 100, {-40}},
                       {CSiteData::kApMarker, 120, 300, {}},
                       {CSiteData::kPlanTap, 300, 100, {-40}},
                       {CSiteData::kDeleted, 300, 400, {-40}}});
        QImage frame = s.view->ComposeFrame();
        QCOMPARE(BlackAlong(frame, {8, 10}, {60, 75}), 0);                  // nothing to the first
        QVERIFY(BlackAlong(frame, {60 + 25, 100}, {180 - 25, 100}) > 50);   // first to second
        QVERIFY(BlackAlong(frame, {180 + 25, 100}, {300 - 25, 100}) > 50);  // second to third
        QCOMPARE(BlackAlong(frame, {180, 100 + 25}, {120, 300 - 25}), 0);   // none to the AP marker
        QCOMPARE(BlackAlong(frame, {300, 100 + 25}, {300, 400 - 25}), 0);   // none to the deleted point
        // The AP marker: black with white text; the deleted point: nothing.
        QCOMPARE(At(frame, 120 - 15, 300), Rgb(colour::kBlack));
        QVERIFY(Count(frame, QRect(110, 290, 20, 20), IsLight) > 5);
        QCOMPARE(At(frame, 300 + 5, 400 + 5), kGround);

        // The second point outside the window: no segment to it; the one to
        // the third runs in from where the second would be, (700, 100).
        s.f.UsePoints({{CSiteData::kPlanTap, 60, 100, {-40}},
                       {CSiteData::kPlanTap, 700, 100, {-40}},
                       {CSiteData::kPlanTap, 300, 300, {-40}}});
        frame = s.view->ComposeFrame();
        QCOMPARE(BlackAlong(frame, {60 + 25, 100}, {500, 100}), 0);
        const QPointF from(700, 100), to(300, 300);
        const QPointF a = from + (to - from) * 0.5, b = from + (to - from) * 0.8;  // left of the panel
        QVERIFY(a.x() < 512);
        QVERIFY(BlackAlong(frame, a, b) > (b - a).manhattanLength() / 3);
    }

    void theCentreMarkDarkensAndLeavesWhiteAlone() {
        PlanView s;
        const QImage frame = s.view->ComposeFrame();
        QImage mark(QString::fromLatin1(res::kCentreMark) + QStringLiteral(".png"));
        mark = mark.convertToFormat(QImage::Format_RGB32);
        QCOMPARE(mark.size(), QSize(32, 32));
        int whites = 0, darkened = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const QRgb m = Rgb(mark.pixel(x, y));
                QCOMPARE(At(frame, 256 - 16 + x, 240 - 16 + y), kGround & m);
                m == 0xFFFFFF ? ++whites : ++darkened;
            }
        QVERIFY(whites > 500 && darkened > 50);
    }

    void theAlertBannerCrossesTheViewAfterAPointWithoutAccessPoints() {
        PlanView s;
        QVERIFY(s.f.data.NoAccessPoint() == false);
        s.f.data.SetCollectionPath(s.f.PathOf("alert.ssd"));
        QVERIFY(s.f.data.CreateCollection());
        s.f.data.BeginPoint(CSiteData::kPlanTap, 400, 400);
        s.f.data.RecordPoint();
        QVERIFY(s.f.data.NoAccessPoint());
        const QImage frame = s.view->ComposeFrame();
        QImage probe(1, 1, QImage::Format_RGB32);
        QPainter painter(&probe);
        painter.setFont(CSiteView::PaintFont());
        const int c = painter.fontMetrics().height();
        QCOMPARE(At(frame, 2, 2 * c), Rgb(colour::kRed));
        QCOMPARE(At(frame, 2, 3 * c - 1), Rgb(colour::kRed));
        QCOMPARE(At(frame, 2, 2 * c - 1), kGround);
        QCOMPARE(At(frame, 2, 3 * c), kGround);
        QVERIFY(Count(frame, QRect(0, 2 * c, 512, c), IsLight) > 50);
    }
};

QTEST_MAIN(SiteOverlaysTest)
#include "SiteOverlaysTest.moc"
