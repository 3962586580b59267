// The walking survey on a clock of the test's own: where each sweep's point
// lands on the walked path, on linear and GPS plans; what waits for the next
// tap; the refusals; and undoing the last point taken.

#include <QTest>
#include <cmath>
#include <fstream>

#include "SiteViewTestSupport.h"
#include "common/Timing.h"
#include "siteview/SurveyWorkflow.h"
#include "siteview/WalkedPath.h"

using namespace quorl;
using namespace quorl::test;
using State = SurveyWorkflow::State;
using TapResult = SurveyWorkflow::TapResult;

namespace {

const PlanRect kArea{0, 0, 640, 480};
constexpr double kTickSeconds = timing::kSiteViewTickMs / 1000.0;

// A collection open on an 800 x 600 plan of `kind`, three channels, the
// walk's clock in the test's hands.
struct Walker : SiteFixture {
    SurveyWorkflow workflow{Context()};
    double now = 0;

    explicit Walker(std::uint8_t kind) {
        data.SetDurableWrites(false);
        workflow.UseWalkClock([this] { return now; });
        const char* name = kind == CSiteProjection::kGpsProjection ? "site.gpf" : "site.lpf";
        projection.Load(WriteProjection(name, Bitmap(Solid(800, 600, qRgb(200, 200, 200))), kind));
        plan.ResetView(kArea, 800, 600);
        messages.QueueAnswer(false);
        messages.QueueFile(PathOf("walk.ssd"));
        workflow.ChooseCollection(true);
        std::uint8_t bg[15] = {};
        bg[1] = bg[6] = bg[11] = 1;
        engine.SetChannelPlan(bg, nullptr);
        // A receiver that knows the date: GPS plans take their points' times from it.
        gps.year = 2024, gps.month = 6, gps.day = 11, gps.hour = 9, gps.minute = 5, gps.second = 30;
    }
    void Tick() {
        workflow.Tick();
        now += kTickSeconds;
    }
    // A tap on plan pixel (x, y), which must be in view.
    TapResult TapPlan(int x, int y) {
        PlanPoint s;
        if (!plan.PlanToScreen(x, y, kArea, s)) return TapResult::Refused;
        return workflow.TakePoint(kArea, s.x, s.y, true);
    }
    // The time stored in the point record at `offset`, as seconds since its month began.
    double SecondsOfMonth(std::uint64_t offset) const {
        std::ifstream in(data.CollectionPath(), std::ios::binary);
        in.seekg(static_cast<std::streamoff>(offset));
        std::uint8_t record[collection::kPointRecordSize] = {};
        in.read(reinterpret_cast<char*>(record), sizeof record);
        const collection::PointRecord p = collection::DecodePoint(record);
        return ((p.day * 24.0 + p.hour) * 60 + p.minute) * 60 + p.second;
    }
    std::uint8_t FileByte(std::uint64_t offset) const {
        std::ifstream in(data.CollectionPath(), std::ios::binary);
        in.seekg(static_cast<std::streamoff>(offset));
        return static_cast<std::uint8_t>(in.get());
    }
};

// Where a walker at `pace` plan pixels a second along `corners`, leaving
// the first at time 0, is at time `t`.
QPointF OnPath(const std::vector<QPointF>& corners, double pace, double t) {
    double left = std::max(t, 0.0) * pace;
    for (std::size_t i = 1; i < corners.size(); ++i) {
        const QPointF leg = corners[i] - corners[i - 1];
        const double length = std::hypot(leg.x(), leg.y());
        if (left <= length) return corners[i - 1] + leg * (left / length);
        left -= length;
    }
    return corners.back();
}

}  // namespace

class WalkingSurveyTest : public QObject {
    Q_OBJECT
private slots:
    void pathPositionsInterpolateByTime() {
        WalkedPath path;
        QCOMPARE(path.PositionAt(5), (PlanPoint{0, 0}));
        path.Add(10, {100, 100});
        path.Add(20, {200, 100});
        path.Add(15, {200, 300});  // out of order: taken at 20
        path.Add(30, {0, 300});
        const struct {
            double t;
            PlanPoint at;
        } cases[] = {
            {0, {100, 100}},   {10, {100, 100}}, {12.5, {125, 100}}, {19.99, {200, 100}},
            {20, {200, 300}},  {25, {100, 300}}, {29, {20, 300}},    {30, {0, 300}},
            {99, {0, 300}},
        };
        for (const auto& c : cases) QCOMPARE(path.PositionAt(c.t), c.at);
        QVERIFY(path.Covers(30) && !path.Covers(30.01));
        QCOMPARE(path.Taps()[2].time, 20.0);
    }

    void sweepsAreStoredWhereTheWalkerWasMidSweep_data() {
        QTest::addColumn<int>("projection");
        QTest::addColumn<int>("kind");
        QTest::newRow("linear") << int{CSiteProjection::kLinearProjection} << int{CSiteData::kPlanTap};
        QTest::newRow("gps") << int{CSiteProjection::kGpsProjection} << int{CSiteData::kProjectedTap};
    }
    void sweepsAreStoredWhereTheWalkerWasMidSweep() {
        QFETCH(int, projection);
        QFETCH(int, kind);
        Walker w(static_cast<std::uint8_t>(projection));
        QVERIFY(w.workflow.CollectionOpen());
        w.workflow.ToggleWalking();
        QVERIFY(w.workflow.WalkingMode());
        // Play before the start is tapped: told what to do.
        w.workflow.StartAutomatic();
        QCOMPARE(w.messages.Texts().back(), std::string(SurveyWorkflow::kWalkStartText));
        QVERIFY(!w.engine.ScanRequested());

        // 12 plan pixels a second: 240 pixels east in 20 s, 180 south in 15 s.
        const std::vector<QPointF> corners = {{200, 200}, {440, 200}, {440, 380}};
        const double pace = 12;
        QCOMPARE(w.TapPlan(150, 150), TapResult::Walk);  // a start tapped again moves it
        QCOMPARE(w.TapPlan(200, 200), TapResult::Walk);
        QCOMPARE(w.workflow.Walk().Path().Size(), std::size_t{1});
        w.workflow.StartAutomatic();
        QCOMPARE(w.workflow.CurrentState(), State::Walking);
        QVERIFY(w.engine.ScanRequested());
        w.workflow.ToggleWalking();  // not while walking
        QCOMPARE(w.messages.Texts().back(), std::string(SurveyWorkflow::kWalkBusyText));

        bool waited = false;
        int storedAtOnce = 0;
        for (int i = 0; i < 600 && w.workflow.CurrentState() == State::Walking; ++i) {
            if (w.now == 20.0) {
                // Sweeps ended so far wait for this tap: no point yet.
                waited = w.workflow.Walk().WaitingSweeps() > 0 && w.data.PointCount() == 0;
                QCOMPARE(w.TapPlan(440, 200), TapResult::Walk);
                storedAtOnce = w.data.PointCount();
            }
            if (w.now == 35.0) {
                QCOMPARE(w.TapPlan(440, 380), TapResult::Walk);
                w.workflow.StopAutomatic();
            }
            w.Tick();
        }
        QVERIFY(waited);
        QCOMPARE(w.workflow.CurrentState(), State::NotCollecting);
        QVERIFY(!w.engine.ScanRequested());

        const auto& sweeps = w.workflow.Walk().StoredSweeps();
        const auto points = w.data.Points();
        QCOMPARE(points.size(), sweeps.size());
        QVERIFY(points.size() >= 4);
        for (std::size_t i = 0; i < points.size(); ++i) {
            // The sweep running at stop: at the last tap, whatever its middle.
            const bool last = i + 1 == points.size();
            const QPointF expected = last ? corners.back() : OnPath(corners, pace, (sweeps[i].start + sweeps[i].end) / 2);
            QVERIFY2(std::abs(points[i].x - expected.x()) <= 1 && std::abs(points[i].y - expected.y()) <= 1,
                     qPrintable(QStringLiteral("point %1 at (%2, %3), walker at (%4, %5)")
                                    .arg(i).arg(points[i].x).arg(points[i].y).arg(expected.x()).arg(expected.y())));
            QCOMPARE(int{points[i].kind}, kind);
            // Back to back, the first from play.
            QCOMPARE(sweeps[i].start, i == 0 ? 0.0 : sweeps[i - 1].end);
        }
        // Points stored by one tap carry the times of their sweeps' middles,
        // not the moment of the tap (a second either way for rounding).
        QVERIFY(storedAtOnce >= 2);
        for (int i = 1; i < storedAtOnce; ++i) {
            const double apart = (sweeps[i].start + sweeps[i].end) / 2 - (sweeps[i - 1].start + sweeps[i - 1].end) / 2;
            const double stored = w.SecondsOfMonth(points[i].offset) - w.SecondsOfMonth(points[i - 1].offset);
            QVERIFY2(std::abs(stored - apart) <= 1, qPrintable(QStringLiteral("%1 s apart, stored %2 s apart").arg(apart).arg(stored)));
        }
        // The sweep running at stop was stored at the last tap.
        QVERIFY(sweeps.back().end > 35.0);
        QCOMPARE(points.back().x, 440);
        QCOMPARE(points.back().y, 380);
        // Nothing more once the walk is over.
        for (int i = 0; i < 80; ++i) w.Tick();
        QCOMPARE(w.data.Points().size(), points.size());
        w.workflow.ToggleWalking();
        QVERIFY(!w.workflow.WalkingMode());
    }

    // The path drawn belongs to the plan and the collection it was walked
    // on: another of either starts it afresh, and neither may change while
    // the walk sweeps.
    void theWalkedPathGoesWithItsPlanAndCollection() {
        Walker w(CSiteProjection::kLinearProjection);
        w.workflow.ToggleWalking();
        w.TapPlan(300, 300);
        QCOMPARE(w.workflow.Walk().Path().Size(), std::size_t{1});
        QVERIFY(w.workflow.OpenCollection(w.PathOf("other.ssd"), true, true));
        QVERIFY(w.workflow.Walk().Path().Empty());
        QVERIFY(w.workflow.WalkingMode());

        w.TapPlan(300, 300);
        w.workflow.StartAutomatic();
        w.TapPlan(350, 300);
        const std::size_t walked = w.workflow.Walk().Path().Size();
        w.messages.Clear();
        QVERIFY(!w.workflow.OpenCollection(w.PathOf("third.ssd"), true, true));
        QVERIFY(!w.workflow.ForgetWalkedPath());
        QCOMPARE(w.messages.Texts(), std::vector<std::string>{SurveyWorkflow::kWalkBusyText});
        QCOMPARE(w.data.CollectionPath(), w.PathOf("other.ssd"));
        QCOMPARE(w.workflow.Walk().Path().Size(), walked);
        QVERIFY(!QFile::exists(QString::fromStdString(w.PathOf("third.ssd"))));

        w.workflow.StopAutomatic();
        for (int i = 0; i < 400 && w.workflow.Walk().Sweeping(); ++i) w.Tick();
        QVERIFY(!w.workflow.Walk().Sweeping());
        QVERIFY(w.workflow.ForgetWalkedPath());
        QVERIFY(w.workflow.Walk().Path().Empty());
        // No plan shown: refused before anything is opened.
        w.messages.Clear();
        QVERIFY(!w.workflow.OpenCollection(w.PathOf("third.ssd"), true, false));
        QCOMPARE(w.messages.Texts(), std::vector<std::string>{SurveyWorkflow::kLoadProjectionText});
    }

    void undoDeletesTheLastPointTakenSinceOpening() {
        Walker w(CSiteProjection::kLinearProjection);
        w.workflow.ToggleWalking();
        w.TapPlan(300, 300);
        w.workflow.StartAutomatic();
        for (int i = 0; i < 200 && w.data.PointCount() < 1; ++i) w.Tick();
        w.TapPlan(320, 300);
        w.workflow.StopAutomatic();
        for (int i = 0; i < 200 && w.workflow.CurrentState() == State::Walking; ++i) w.Tick();
        const auto taken = w.data.Points();
        QVERIFY(taken.size() >= 2);

        // "No" keeps it; "Yes" marks the newest one deleted in the file.
        w.messages.Clear();
        w.messages.QueueAnswer(false);
        QVERIFY(!w.workflow.UndoLastPoint());
        QCOMPARE(w.data.Points(), taken);
        const std::size_t last = taken.size() - 1;
        for (std::size_t gone = 0; gone < 2; ++gone) {
            w.messages.QueueAnswer(true);
            QVERIFY(w.workflow.UndoLastPoint());
            QCOMPARE(w.data.Points()[last - gone].kind, CSiteData::kDeleted);
            QCOMPARE(w.FileByte(taken[last - gone].offset), CSiteData::kDeleted);
        }
        QCOMPARE(w.messages.Texts(), (std::vector<std::string>{SurveyWorkflow::kUndoQuestion,
                                                               SurveyWorkflow::kUndoQuestion, "Deleted.",
                                                               SurveyWorkflow::kUndoQuestion, "Deleted."}));
        // Done as asked: an information box, not a warning.
        for (const auto& entry : w.messages.Entries())
            if (entry.text == "Deleted.") QCOMPARE(entry.kind, RecordingUserMessages::Kind::Info);

        // Opened again, the file's points are out of reach.
        w.messages.Clear();
        w.messages.QueueAnswer(true);
        w.messages.QueueFile(w.data.CollectionPath());
        QVERIFY(w.workflow.ChooseCollection(true));
        QVERIFY(!w.workflow.UndoLastPoint());
        QCOMPARE(w.messages.Texts().back(), std::string(SurveyWorkflow::kNothingToUndoText));
        if (taken.size() > 2) QCOMPARE(w.FileByte(taken[last - 2].offset), CSiteData::kPlanTap);
    }
};

QTEST_MAIN(WalkingSurveyTest)
#include "WalkingSurveyTest.moc"
