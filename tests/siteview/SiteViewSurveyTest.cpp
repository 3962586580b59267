// The site view's side of the survey: the tool-bar commands it takes, taps
// in client coordinates with the scroll bars following the centre, the
// scan view for a linear plan, its own timer for a GPS plan, the cancelled
// collection file and the point information dialog.

#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "ModalScript.h"
#include "SiteViewTestSupport.h"
#include "common/Timing.h"
#include "dialogs/Info.h"
#include "siteview/SurveyWorkflow.h"
#include "tests/HangGuard.h"

using namespace quorl;
using namespace quorl::test;

namespace {

const QImage kPlan = Solid(800, 600, qRgb(200, 200, 200));

void LoadGps(SiteFixture& f, CSiteView& view) {
    f.messages.QueueFile(f.WriteProjection("plan.gpf", SiteFixture::Bitmap(kPlan), CSiteProjection::kGpsProjection));
    view.RunCommand(command::kLoadProjection);
    view.RunCommand(command::kActualSize);
    QVERIFY(view.PlanLoaded());
}

void NewCollection(SiteFixture& f, CSiteView& view) {
    f.data.SetDurableWrites(false);
    f.messages.QueueAnswer(false);
    f.messages.QueueFile(f.PathOf("points.ssd"));
    view.RunCommand(command::kCollectionFile);
    QVERIFY(view.Workflow().CollectionOpen());
}

void TwoChannels(CEngine& engine) {
    std::uint8_t bg[15] = {};
    bg[1] = bg[6] = 1;
    engine.SetChannelPlan(bg, nullptr);
}

void Tap(CSiteView& view, QPoint at) { QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at); }

}  // namespace

class SiteViewSurveyTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { timing::SetTimeScale(0.01); }

    void aTapOnALinearPlanGoesToTheScanView() {
        SiteFixture f;
        auto view = f.MakeView(640, 480);
        for (int id = command::kLoadProjection; id <= command::kPointInformation; ++id)
            QVERIFY(view->HandlesCommand(id));
        f.Load(*view, kPlan);
        Tap(*view, QPoint(100, 100));
        QCOMPARE(f.messages.Texts().back(), std::string(SurveyWorkflow::kOpenLogFileText));
        QVERIFY(f.switcher.switches.empty());

        NewCollection(f, *view);
        // On the status panel: the plan as it would run on beside the plan
        // area, at 100 % (600, 100) -> (600, 100).
        Tap(*view, QPoint(600, 100));
        QCOMPARE(f.switcher.switches, std::vector<ViewKind>{ViewKind::Scan});
        QCOMPARE(f.plan.CentreX(), 600);
        QCOMPARE(f.plan.CentreY(), 100);
        // Past where the view stays on the plan: the thumbs at their ends.
        QCOMPARE(view->horizontalScrollBar()->value(), view->horizontalScrollBar()->maximum());
        QCOMPARE(view->verticalScrollBar()->value(), view->verticalScrollBar()->minimum());
        QCOMPARE(f.data.CurrentKind(), CSiteData::kPlanTap);
        QVERIFY(f.engine.ScanRequested());
        QCOMPARE(view->Workflow().CurrentState(), SurveyWorkflow::State::NotCollecting);

        // The right button takes no point.
        const auto shown = f.messages.Entries().size();
        QTest::mouseClick(view->viewport(), Qt::RightButton, {}, QPoint(300, 300));
        QCOMPARE(f.switcher.switches.size(), std::size_t{1});
        QCOMPARE(f.messages.Entries().size(), shown);
    }

    void aTapOnAGpsPlanIsSweptByTheViewsTimer() {
        SiteFixture f;
        auto view = f.MakeView(640, 480);
        LoadGps(f, *view);
        NewCollection(f, *view);
        TwoChannels(f.engine);
        const auto shown = f.messages.Entries().size();
        // A double tap is one tap: no second point, no question why.
        Tap(*view, QPoint(320, 240));
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, QPoint(320, 240));
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(320, 240));
        QCOMPARE(f.messages.Entries().size(), shown);
        QCOMPARE(view->Workflow().CurrentState(), SurveyWorkflow::State::SinglePoint);
        QVERIFY(f.switcher.switches.empty());
        QCOMPARE(view->horizontalScrollBar()->value(), 320);
        QCOMPARE(view->verticalScrollBar()->value(), 240);
        QTRY_COMPARE_WITH_TIMEOUT(f.data.PointCount(), 1, quorl::test::kHangGuardMs);
        QCOMPARE(f.data.Points()[0].kind, CSiteData::kProjectedTap);
        QCOMPARE(view->Workflow().CurrentState(), SurveyWorkflow::State::NotCollecting);

        // Automatic scanning centres on the fix without moving the bars.
        f.gps.latitude = 47.3771;
        f.gps.longitude = 8.5414;
        f.gps.lock3d = 1;
        view->RunCommand(command::kStartScanning);
        QCOMPARE(view->Workflow().CurrentState(), SurveyWorkflow::State::Automatic);
        QCOMPARE(f.plan.CentreX(), f.projection.PlanXFromGps());
        QCOMPARE(view->horizontalScrollBar()->value(), 320);
        QCOMPARE(view->verticalScrollBar()->value(), 240);
        view->RunCommand(command::kStopScanning);
        QTRY_COMPARE_WITH_TIMEOUT(view->Workflow().CurrentState(), SurveyWorkflow::State::NotCollecting, quorl::test::kHangGuardMs);
        QCOMPARE(f.data.PointCount(), 2);
        QCOMPARE(f.data.Points()[1].kind, CSiteData::kGpsPoint);
    }

    void cancellingANewCollectionFileShowsNoPlan() {
        SiteFixture f;
        auto view = f.MakeView(640, 480);
        f.Load(*view, kPlan);
        f.messages.QueueAnswer(false);
        view->RunCommand(command::kCollectionFile);
        QVERIFY(!view->PlanLoaded());
        QCOMPARE(f.messages.Texts().back(), std::string(SurveyWorkflow::kNoCollectionText));
        QCOMPARE(At(view->ComposeFrame(), 10, 10), Rgb(qRgb(0, 0, 0)));
        // No plan: the file is not asked for.
        f.messages.Clear();
        view->RunCommand(command::kCollectionFile);
        QCOMPARE(f.messages.Texts(), std::vector<std::string>{SurveyWorkflow::kLoadProjectionText});
        f.Load(*view, kPlan);
        QVERIFY(view->PlanLoaded());
    }

    void informationModeShowsAndDeletesThePoint() {
        SiteFixture f;
        auto view = f.MakeView(640, 480);
        f.Load(*view, kPlan);
        f.UsePoints({{CSiteData::kPlanTap, 100, 100, {-50, -60}}});
        view->RunCommand(command::kPointInformation);
        QVERIFY(view->Workflow().InformationMode());

        QStringList lines;
        WhenModal<CInfo>([&](CInfo* info) {
            for (int i = 0; i < info->List()->count(); ++i) lines << info->List()->item(i)->text();
            info->KeepButton()->click();
        });
        Tap(*view, QPoint(120, 110));
        QCOMPARE(lines.size(), 3 + 4);
        QCOMPARE(lines[0], QStringLiteral("X = 100          Y = 100"));
        QCOMPARE(lines[2], QString::fromLatin1(CInfo::kHeading));
        QCOMPARE(f.data.Points()[0].kind, CSiteData::kPlanTap);
        QVERIFY(!view->Workflow().InformationMode());

        view->RunCommand(command::kPointInformation);
        f.messages.Clear();
        f.messages.QueueAnswer(true);
        WhenModal<CInfo>([](CInfo* info) { info->DeleteButton()->click(); });
        Tap(*view, QPoint(120, 110));
        QCOMPARE(f.messages.Texts(), (std::vector<std::string>{CInfo::kDeleteQuestion, "Deleted."}));
        QCOMPARE(f.data.Points()[0].kind, CSiteData::kDeleted);

        // The mode is over: the next tap wants a point, and there is no file.
        Tap(*view, QPoint(140, 110));
        QCOMPARE(f.messages.Texts().back(), std::string(SurveyWorkflow::kOpenLogFileText));
    }
};

QTEST_MAIN(SiteViewSurveyTest)
#include "SiteViewSurveyTest.moc"
