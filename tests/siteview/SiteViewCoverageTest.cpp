// The coverage layer of the site view: command 32779 toggles it, it lies
// under the markers with its legend in the bottom-left corner, it follows
// a stored point, a layer of an earlier collection never shows, and with
// the layer off the picture is what it was. Where the plan has a scale, a
// scale bar stands in the corner and the legends speak metres.

#include <QSignalSpy>
#include <QTest>
#include <condition_variable>
#include <mutex>

#include "SiteViewTestSupport.h"
#include "analysis/PlanScale.h"
#include "common/Timing.h"
#include "siteview/CoverageSource.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/HangGuard.h"

using namespace quorl;
using namespace quorl::test;

namespace {

constexpr QRgb kGrey = qRgb(200, 200, 200);
const QImage kPlan = Solid(800, 600, kGrey);

// A 640 x 480 client shows plan pixels 0..512 x 0..480 one to one at 100 %.
QPoint Screen(int px, int py) { return QPoint(px, py); }

// Lets the timer and the worker run until `done` holds, for 20 s at most.
template <typename Done>
bool WaitFor(CSiteView& view, Done done) {
    QSignalSpy spy(&view, &CSiteView::CoverageUpdated);
    for (int i = 0; i < 200 && !done(); ++i) spy.wait(100);
    return done();
}

// Answers every request with the same red layer over the whole plan, once
// let through.
class GatedSource : public ICoverageSource {
public:
    CoverageLayer Compute(const CoverageRequest& request) override {
        std::unique_lock lock(mutex_);
        ++started_;
        open_.wait(lock, [this] { return passes_ > 0; });
        --passes_;
        CoverageLayer layer;
        layer.image = Solid(1, 1, qRgb(255, 0, 0)).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        layer.planRect = QRectF(0, 0, request.planWidth, request.planHeight);
        return layer;
    }
    int Started() {
        std::lock_guard lock(mutex_);
        return started_;
    }
    void Pass() {
        {
            std::lock_guard lock(mutex_);
            ++passes_;
        }
        open_.notify_one();
    }

private:
    std::mutex mutex_;
    std::condition_variable open_;
    int passes_ = 0;
    int started_ = 0;
};

}  // namespace

class SiteViewCoverageTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { timing::SetTimeScale(0.01); }

    void togglesAndChangesNothingWhenOff() {
        SiteFixture f;
        auto view = f.MakeView(640, 480);
        QVERIFY(view->HandlesCommand(command::kCoverage));
        // Before a plan: on and off again, the same black screen.
        const QImage noPlan = view->ComposeFrame().copy();
        view->RunCommand(command::kCoverage);
        QVERIFY(view->CoverageOn() && view->IsCommandChecked(command::kCoverage));
        QCOMPARE(view->ComposeFrame(), noPlan);
        view->RunCommand(command::kCoverage);
        QVERIFY(!view->CoverageOn() && !view->IsCommandChecked(command::kCoverage));

        f.Load(*view, kPlan);
        f.UsePoints({{CSiteData::kPlanTap, 80, 80, {-40}}, {CSiteData::kPlanTap, 120, 90, {-60}},
                     {CSiteData::kPlanTap, 100, 130, {-80}}});
        const QImage off = view->ComposeFrame().copy();
        view->RunCommand(command::kCoverage);
        QVERIFY(WaitFor(*view, [&] { return !view->Coverage().image.isNull(); }));
        const QImage on = view->ComposeFrame().copy();

        // Between the points the layer tints the plan; far from them there
        // is no data and the plan shows as it is.
        const QPoint between = Screen(100, 100);
        QCOMPARE(At(off, between.x(), between.y()), Rgb(kGrey));
        QVERIFY(At(on, between.x(), between.y()) != Rgb(kGrey));
        const QPoint far = Screen(350, 420);
        QCOMPARE(At(on, far.x(), far.y()), Rgb(kGrey));
        // The markers stand over it, as they were.
        for (const QPoint p : {Screen(80, 80), Screen(120, 90), Screen(100, 130)})
            QCOMPARE(At(on, p.x(), p.y()), At(off, p.x(), p.y()));
        // The legend, in the bottom-left corner.
        const QRect corner(8, 480 - 30, 60, 20);
        QVERIFY(Count(on, corner, [](QRgb c) { return Rgb(c) != Rgb(kGrey); }) > corner.width() * corner.height() / 2);
        QCOMPARE(Count(off, corner, [](QRgb c) { return Rgb(c) != Rgb(kGrey); }), 0);

        view->RunCommand(command::kCoverage);
        QCOMPARE(view->ComposeFrame(), off);
    }

    // The legend stands where it hides no point (here the top left, the
    // bottom being full of them), and View > Legends takes it away.
    void theLegendKeepsClearOfThePoints() {
        SiteFixture f;
        auto view = f.MakeView(640, 480);
        f.Load(*view, kPlan);
        std::vector<TestPoint> points;
        for (int x = 20; x < 512; x += 30) points.push_back({CSiteData::kPlanTap, std::uint16_t(x), 440, {-60}});
        f.UsePoints(points);
        view->RunCommand(command::kCoverage);
        QVERIFY(WaitFor(*view, [&] { return !view->Coverage().image.isNull(); }));
        QVERIFY(view->IsCommandChecked(command::kLegends));
        const QImage on = view->ComposeFrame().copy();
        view->RunCommand(command::kLegends);
        QVERIFY(!view->IsCommandChecked(command::kLegends));
        const QImage hidden = view->ComposeFrame().copy();

        const auto white = [](QRgb c) { return Rgb(c) == 0xFFFFFF; };
        const QRect topLeft(8, 8, 100, 40), bottom(0, 400, 512, 80);
        QVERIFY(Count(on, topLeft, white) > topLeft.width() * topLeft.height() / 2);
        QCOMPARE(Count(hidden, topLeft, white), 0);
        // Every marker as it is without the legend.
        for (const TestPoint& p : points) QCOMPARE(At(on, p.x, p.y), At(hidden, p.x, p.y));
        QCOMPARE(Count(on, bottom, white), Count(hidden, bottom, white));
        view->RunCommand(command::kLegends);
        QCOMPARE(view->ComposeFrame(), on);
    }

    void followsAStoredPoint() {
        SiteFixture f;
        auto view = f.MakeView(640, 480);
        f.Load(*view, kPlan);
        f.data.SetDurableWrites(false);
        f.UsePoints({{CSiteData::kPlanTap, 80, 80, {-40}}, {CSiteData::kPlanTap, 120, 90, {-60}}});
        view->RunCommand(command::kCoverage);
        QVERIFY(WaitFor(*view, [&] { return !view->Coverage().image.isNull(); }));
        const QPoint there = Screen(300, 300);
        QCOMPARE(At(view->ComposeFrame(), there.x() + 25, there.y()), Rgb(kGrey));

        // A point heard at (300, 300), stored as a sweep stores it.
        TuneTo(f.engine, 6);
        f.data.BeginPoint(CSiteData::kPlanTap, 300, 300);
        Deliver(f.engine, kMsgFrameRecord, Record({0, 1, 2, 3, 4, 5}, -50, {Ssid("Net"), Ds(6)}));
        QVERIFY(f.data.RecordPoint());
        QVERIFY(WaitFor(*view, [&] { return At(view->ComposeFrame(), there.x() + 25, there.y()) != Rgb(kGrey); }));
        QVERIFY(view->Coverage().legend.lines.contains(QString("3 points")));
    }

    void speaksMetresWhereThePlanHasAScale() {
        const struct {
            const char* name;
            std::uint8_t kind;
            double sideFile;  // metres per pixel written beside it; 0 none
            analysis::PlanScale::From from;
        } plans[] = {{"plain.lpf", CSiteProjection::kLinearProjection, 0, analysis::PlanScale::From::None},
                     {"measured.lpf", CSiteProjection::kLinearProjection, 0.05, analysis::PlanScale::From::SideFile},
                     {"site.gpf", CSiteProjection::kGpsProjection, 0, analysis::PlanScale::From::Transform}};
        for (const auto& c : plans) {
            SiteFixture f;
            auto view = f.MakeView(640, 480);
            const std::string path = f.WriteProjection(c.name, SiteFixture::Bitmap(kPlan), c.kind);
            std::string error;
            if (c.sideFile > 0) QVERIFY(!analysis::WriteScaleFile(path, c.sideFile, 800, 600, error).empty());
            f.messages.QueueFile(path);
            view->RunCommand(command::kLoadProjection);
            const analysis::PlanScale& scale = view->GroundScale();
            QCOMPARE(scale.from, c.from);
            if (c.sideFile > 0) QCOMPARE(scale.metresPerPixel, c.sideFile);
            const bool known = scale.Known();
            QVERIFY(!known || scale.metresPerPixel > 0);

            // The scale bar: black and white parts in the bottom-left corner.
            const QRect corner(0, 480 - 40, 200, 40);
            const int dark = Count(view->ComposeFrame(), corner, [](QRgb p) { return IsDark(p); });
            QVERIFY2(known ? dark > 50 : dark == 0, c.name);

            f.UsePoints({{CSiteData::kPlanTap, 80, 80, {-40}},
                         {CSiteData::kPlanTap, 120, 90, {-60}},
                         {CSiteData::kPlanTap, 100, 130, {-80}},
                         {CSiteData::kPlanTap, 140, 140, {-70}}});
            view->RunCommand(command::kCoverage);
            view->RunCommand(command::kSurveyGaps);
            QVERIFY(WaitFor(*view, [&] { return !view->Coverage().image.isNull(); }));
            QVERIFY(QTest::qWaitFor([&] { return !view->Gaps().image.isNull(); }, quorl::test::kHangGuardMs));
            const QStringList lines = view->Coverage().legend.lines;
            QCOMPARE(lines.size(), 6);
            QVERIFY2(lines[3].startsWith("radius ") && lines[3].endsWith(known ? " m" : " px"), qPrintable(lines[3]));
            QCOMPARE(lines[4], known ? QString("1 px = %1 m").arg(scale.metresPerPixel, 0, 'g', 3)
                                     : QString("no plan scale: distances in plan pixels"));
            QVERIFY2(lines[5].startsWith(QString("map error about \u00B1")) &&
                         lines[5].endsWith("from 4 points, scattered kernel"),
                     qPrintable(lines[5]));
            const QString surveyed = view->Gaps().legend.lines.front();
            QVERIFY2(surveyed.startsWith("Surveyed = ") && surveyed.endsWith(" m\u00B2)") == known,
                     qPrintable(surveyed));
        }
    }

    void aLayerOfAnotherCollectionNeverShows() {
        SiteFixture f;
        auto view = f.MakeView(640, 480);
        auto source = std::make_unique<GatedSource>();
        GatedSource& gate = *source;
        view->UseCoverageSource(std::move(source));
        // Nothing may keep the worker waiting when the view goes, pass or fail.
        struct Release {
            GatedSource& gate;
            ~Release() {
                for (int i = 0; i < 4; ++i) gate.Pass();
            }
        } release{gate};
        f.Load(*view, kPlan);
        f.UsePoints({{CSiteData::kPlanTap, 80, 80, {-40}}}, "first.ssd");
        view->RunCommand(command::kCoverage);
        // While the first layer is computed, another collection comes.
        QVERIFY(QTest::qWaitFor([&] { return gate.Started() == 1; }, quorl::test::kHangGuardMs));
        f.UsePoints({{CSiteData::kPlanTap, 90, 90, {-40}}}, "second.ssd");
        // A timer tick asks again; that request waits behind the first.
        QVERIFY(QTest::qWaitFor([&] { return view->CoverageRequests() == 2; }, quorl::test::kHangGuardMs));
        gate.Pass();
        // The first collection's layer is dropped by the worker; the second request starts.
        QVERIFY(QTest::qWaitFor([&] { return gate.Started() == 2; }, quorl::test::kHangGuardMs));
        QTest::qWait(20);
        QVERIFY(view->Coverage().image.isNull());
        gate.Pass();
        QVERIFY(WaitFor(*view, [&] { return !view->Coverage().image.isNull(); }));
        // Off: whatever is still on its way is dropped.
        view->RunCommand(command::kCoverage);
        QVERIFY(view->Coverage().image.isNull());
    }
};

QTEST_MAIN(SiteViewCoverageTest)
#include "SiteViewCoverageTest.moc"
