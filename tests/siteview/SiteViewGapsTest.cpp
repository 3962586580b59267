// The survey gaps layer of the site view: grey where no point reaches,
// red only where a chosen profile fails, nothing where points are; its
// legend gives the surveyed share; it stacks over the coverage layer and
// follows a stored point.

#include <QTest>
#include <cmath>

#include "SiteViewTestSupport.h"
#include "common/Timing.h"
#include "siteview/GapsCoverage.h"
#include "siteview/GapsLegend.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/HangGuard.h"

using namespace quorl;
using namespace quorl::test;

namespace {

constexpr QRgb kGrey = qRgb(200, 200, 200);
const QImage kPlan = Solid(800, 600, kGrey);

// The plan grey under the layer's grey: darker, still neutral.
bool Greyed(QRgb c) { return qRed(c) == qGreen(c) && qGreen(c) == qBlue(c) && qRed(c) < 185 && qRed(c) > 140; }
bool Reddened(QRgb c) { return qRed(c) > qGreen(c) + 60 && qGreen(c) == qBlue(c); }

// The frame once the layer answers the newest request and `done` holds.
template <typename Done>
QImage FrameWhen(CSiteView& view, Done done) {
    const bool ready = QTest::qWaitFor(
        [&] { return !view.Gaps().image.isNull() && view.Gaps().generation == view.GapsRequests() && done(); },
        quorl::test::kHangGuardMs);
    return ready ? view.ComposeFrame().copy() : QImage();
}
QImage Frame(CSiteView& view) {
    return FrameWhen(view, [] { return true; });
}

}  // namespace

class SiteViewGapsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { timing::SetTimeScale(0.01); }

    void commandAndProfileChoice() {
        SiteFixture f;
        auto view = f.MakeView(640, 480);
        for (int id : {command::kSurveyGaps, command::kGapsProfileNone, command::kGapsProfileVoice,
                       command::kGapsProfileData, command::kGapsProfileBasic})
            QVERIFY(view->HandlesCommand(id));
        QVERIFY(!view->IsCommandChecked(command::kSurveyGaps));
        QVERIFY(view->IsCommandChecked(command::kGapsProfileNone));
        view->RunCommand(command::kSurveyGaps);
        QVERIFY(view->GapsOn() && view->IsCommandChecked(command::kSurveyGaps));
        const struct {
            int id;
            const char* profile;
        } choices[] = {{command::kGapsProfileVoice, "voice"}, {command::kGapsProfileData, "data"},
                       {command::kGapsProfileBasic, "basic"}, {command::kGapsProfileNone, ""}};
        for (const auto& choice : choices) {
            view->RunCommand(choice.id);
            QCOMPARE(view->GapsProfile(), std::string(choice.profile));
            for (const auto& other : choices) QCOMPARE(view->IsCommandChecked(other.id), other.id == choice.id);
        }
        // Kept while the layer is off.
        view->RunCommand(command::kGapsProfileData);
        view->RunCommand(command::kSurveyGaps);
        QVERIFY(!view->GapsOn());
        view->RunCommand(command::kSurveyGaps);
        QCOMPARE(view->GapsProfile(), std::string("data"));
    }

    void greyBeyondTheReachOfALonePointAndItsShare() {
        SiteFixture f;
        auto view = f.MakeView(640, 480);
        f.Load(*view, kPlan);
        // A lone point reaches a tenth of the plan's longer side: 80 pixels.
        f.UsePoints({{CSiteData::kPlanTap, 100, 100, {-40, -45}}});
        const QImage off = view->ComposeFrame().copy();
        view->RunCommand(command::kSurveyGaps);
        const QImage on = Frame(*view);
        QVERIFY(!on.isNull());
        for (const QPoint p : {QPoint(150, 100), QPoint(100, 40), QPoint(100, 100), QPoint(60, 130)})
            QCOMPARE(At(on, p.x(), p.y()), At(off, p.x(), p.y()));
        for (const QPoint p : {QPoint(190, 100), QPoint(300, 300), QPoint(500, 40), QPoint(20, 20)})
            QVERIFY2(Greyed(on.pixel(p)), qPrintable(QString::number(At(on, p.x(), p.y()), 16)));
        const QRect plan(0, 0, 512, 480);
        QCOMPARE(Count(on, plan, Reddened), 0);
        // pi 80^2 of 800 x 600.
        const double share = 100 * M_PI * 80 * 80 / (800.0 * 600.0);
        // So little surveyed is incomplete, as quorl check would grade it.
        QCOMPARE(view->Gaps().legend.lines,
                 (QStringList{QStringLiteral("Surveyed = %1%").arg(std::lround(share)),
                              QStringLiteral("Incomplete: %1% of the plan not surveyed, at most 10% allowed")
                                  .arg(std::lround(100 - share))}));
        // Two lines without a profile: no "fails the profile" swatch, one row less than with one.
        const QFont font;
        coverage::LegendText incomplete{QStringLiteral("Survey gaps"), view->Gaps().legend.lines};
        coverage::LegendText profile{QStringLiteral("Survey gaps"),
                                     {incomplete.lines.front(), QStringLiteral("Passing voice = 50% of surveyed")}};
        QVERIFY(GapsLegendSize(incomplete, font).height() < GapsLegendSize(profile, font).height());
        // The legend in the bottom-left corner, on white.
        const QRect corner(10, 480 - 20, 40, 10);
        QVERIFY(Count(on, corner, [](QRgb c) { return Rgb(c) == 0xFFFFFF; }) > 0);
        QCOMPARE(Count(off, corner, [](QRgb c) { return Rgb(c) == 0xFFFFFF; }), 0);
        view->RunCommand(command::kSurveyGaps);
        QCOMPARE(view->ComposeFrame(), off);
    }

    void redOnlyWhereTheProfileFailsAndOverTheCoverage() {
        SiteFixture f;
        auto view = f.MakeView(640, 480);
        f.Load(*view, kPlan);
        // The right point heard one access point: no second for roaming.
        f.UsePoints({{CSiteData::kPlanTap, 100, 100, {-40, -45}}, {CSiteData::kPlanTap, 300, 100, {-40}}});
        const QImage off = view->ComposeFrame().copy();
        view->RunCommand(command::kSurveyGaps);
        const QPoint left(120, 160), right(280, 160), far(505, 475);
        struct Case {
            int command;
            bool red;
        };
        for (const Case c : {Case{command::kGapsProfileNone, false}, Case{command::kGapsProfileBasic, false},
                             Case{command::kGapsProfileVoice, true}, Case{command::kGapsProfileData, true}}) {
            view->RunCommand(c.command);
            // Surveyed and incomplete; a profile adds the passing line.
            const qsizetype lines = c.command == command::kGapsProfileNone ? 2 : 3;
            const QImage on = FrameWhen(*view, [&] { return view->Gaps().legend.lines.size() == lines; });
            QVERIFY(!on.isNull());
            QCOMPARE(At(on, left.x(), left.y()), At(off, left.x(), left.y()));
            QCOMPARE(Reddened(on.pixel(right)), c.red);
            if (!c.red) QCOMPARE(At(on, right.x(), right.y()), At(off, right.x(), right.y()));
            QVERIFY(Greyed(on.pixel(far)));
        }
        QCOMPARE(view->Gaps().legend.lines.back().left(13), QString("Passing data "));

        // With the coverage under it: where the gaps layer is clear the
        // coverage shows as alone; where it is grey, it tints the plan.
        view->RunCommand(command::kGapsProfileNone);
        QVERIFY(!Frame(*view).isNull());
        view->RunCommand(command::kCoverage);
        QVERIFY(QTest::qWaitFor([&] { return !view->Coverage().image.isNull(); }, quorl::test::kHangGuardMs));
        const QImage both = view->ComposeFrame().copy();
        view->RunCommand(command::kSurveyGaps);
        const QImage coverageAlone = view->ComposeFrame().copy();
        QCOMPARE(At(both, left.x(), left.y()), At(coverageAlone, left.x(), left.y()));
        QVERIFY(At(coverageAlone, left.x(), left.y()) != Rgb(kGrey));
        QVERIFY(Greyed(both.pixel(far)));
    }

    void followsAStoredPoint() {
        SiteFixture f;
        auto view = f.MakeView(640, 480);
        f.Load(*view, kPlan);
        f.data.SetDurableWrites(false);
        f.UsePoints({{CSiteData::kPlanTap, 100, 100, {-40, -45}}});
        view->RunCommand(command::kSurveyGaps);
        const QPoint there(330, 300);
        QVERIFY(Greyed(Frame(*view).pixel(there)));
        const std::uint64_t before = view->GapsRequests();

        TuneTo(f.engine, 6);
        f.data.BeginPoint(CSiteData::kPlanTap, 300, 300);
        Deliver(f.engine, kMsgFrameRecord, Record({0, 1, 2, 3, 4, 5}, -50, {Ssid("Net"), Ds(6)}));
        QVERIFY(f.data.RecordPoint());
        const QImage after = FrameWhen(*view, [&] { return view->GapsRequests() > before; });
        QVERIFY(!after.isNull());
        QCOMPARE(At(after, there.x(), there.y()), Rgb(kGrey));
    }
};

QTEST_MAIN(SiteViewGapsTest)
#include "SiteViewGapsTest.moc"
