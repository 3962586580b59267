// Where the legends stand: a table of marker layouts, each with the corner
// that must win, and the property that the box chosen never covers more
// markers than any other corner would.

#include <QTest>

#include "siteview/LegendPlacement.h"

using namespace quorl;

namespace {

// An 800 x 600 plan area, a 200 x 100 stack, 8 pixels from the edges, the
// scale bar's top at 560 in the bottom-left corner.
LegendPlacementInput Input(std::vector<PlanPoint> markers) {
    LegendPlacementInput input;
    input.area = PlanRect{0, 0, 800, 600};
    input.width = 200;
    input.height = 100;
    input.margin = 8;
    input.bottomLeftLimit = 560;
    input.markers = std::move(markers);
    input.markerRadius = 10;
    return input;
}

const PlanRect kBottomLeft{8, 460, 208, 560};
const PlanRect kBottomRight{592, 492, 792, 592};
const PlanRect kTopLeft{8, 8, 208, 108};
const PlanRect kTopRight{592, 8, 792, 108};

}  // namespace

Q_DECLARE_METATYPE(PlanRect)

class LegendPlacementTest : public QObject {
    Q_OBJECT
private slots:
    void theCornerWithFewestMarkersWins_data() {
        QTest::addColumn<QList<QPoint>>("markers");
        QTest::addColumn<PlanRect>("want");
        QTest::newRow("no points: bottom left") << QList<QPoint>{} << kBottomLeft;
        QTest::newRow("points elsewhere: bottom left") << QList<QPoint>{{400, 300}, {700, 50}} << kBottomLeft;
        QTest::newRow("one under bottom left") << QList<QPoint>{{100, 500}} << kBottomRight;
        // A marker's edge reaching into the box counts; one a pixel further does not.
        QTest::newRow("edge inside") << QList<QPoint>{{217, 500}} << kBottomRight;
        QTest::newRow("edge outside") << QList<QPoint>{{218, 500}} << kBottomLeft;
        QTest::newRow("both bottoms taken") << QList<QPoint>{{100, 500}, {700, 550}} << kTopLeft;
        QTest::newRow("three taken") << QList<QPoint>{{100, 500}, {700, 550}, {50, 50}} << kTopRight;
        QTest::newRow("all taken: the fewest")
            << QList<QPoint>{{100, 500}, {120, 520}, {700, 550}, {50, 50}, {60, 60}, {700, 50}, {720, 60}}
            << kBottomRight;
    }

    void theCornerWithFewestMarkersWins() {
        QFETCH(QList<QPoint>, markers);
        QFETCH(PlanRect, want);
        std::vector<PlanPoint> points;
        for (const QPoint& p : markers) points.push_back(PlanPoint{p.x(), p.y()});
        const LegendPlacementInput input = Input(points);
        const PlanRect got = PlaceLegends(input);
        QCOMPARE(got, want);
        for (const PlanRect& other : {kBottomLeft, kBottomRight, kTopLeft, kTopRight})
            QVERIFY(MarkersUnder(input, got) <= MarkersUnder(input, other));
    }

    // A plan area narrower than the stack keeps it on the left, whatever
    // it covers there.
    void aNarrowAreaKeepsTheLeft() {
        LegendPlacementInput input = Input({{100, 500}, {100, 50}});
        input.area = PlanRect{0, 0, 150, 600};
        const PlanRect got = PlaceLegends(input);
        QCOMPARE(got.left, 8);
    }
};

QTEST_MAIN(LegendPlacementTest)
#include "LegendPlacementTest.moc"
