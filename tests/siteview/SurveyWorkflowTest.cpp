// The survey workflow on its own: the collection file choice, the checks of
// automatic scanning, taps on GPS and linear plans, the timer's sweep steps
// and what ends collecting.

#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "SiteViewTestSupport.h"
#include <QPushButton>

#include "dialogs/Info.h"
#include "common/ByteOrder.h"
#include "common/Timing.h"
#include "siteview/StatusPanel.h"
#include "siteview/SurveyWorkflow.h"
#include "survey/AffineTransform.h"
#include "tests/engine/EngineTestSupport.h"

using namespace quorl;
using namespace quorl::test;
using State = SurveyWorkflow::State;
using TapResult = SurveyWorkflow::TapResult;

namespace {

// 640 x 480 client over an 800 x 600 plan of the demo site: the window is
// 0..480 on both axes, one plan pixel is 4/3 screen pixels across, 1 down.
const PlanRect kClient{0, 0, 640, 480};

struct Rig : SiteFixture {
    SurveyWorkflow workflow{Context()};

    explicit Rig(bool unitAttached = true) : SiteFixture(unitAttached) { data.SetDurableWrites(false); }

    void LoadPlan(std::uint8_t kind) {
        const char* name = kind == CSiteProjection::kGpsProjection ? "site.gpf" : "site.lpf";
        QVERIFY(projection.Load(WriteProjection(name, Bitmap(Solid(800, 600, qRgb(200, 200, 200))), kind)));
        plan.ResetView(kClient, 800, 600);
    }
    void NewCollection(const char* name = "points.ssd") {
        messages.QueueAnswer(false);
        messages.QueueFile(PathOf(name));
        QVERIFY(workflow.ChooseCollection(true));
        QVERIFY(workflow.CollectionOpen());
    }
    void Locked(double lat, double lon) {
        gps.latitude = lat;
        gps.longitude = lon;
        gps.lock3d = 1;
    }
    // Three channels, so that a sweep the unit acknowledges takes three steps.
    void ThreeChannels() {
        std::uint8_t bg[15] = {};
        bg[1] = bg[6] = bg[11] = 1;
        engine.SetChannelPlan(bg, nullptr);
    }
    // One timer step (the first of eight ticks steps the sweep).
    void Step() {
        for (int i = 0; i < timing::kSweepStepTicks; ++i) workflow.Tick();
    }
    // Steps until the point count moves or the view stops collecting.
    void StepToStore() {
        const int before = data.PointCount();
        for (int i = 0; i < 40 && data.PointCount() == before && !workflow.CollectionIdle(); ++i) Step();
    }
    // Steps until the sweep has ended but its point is not stored yet.
    void StepToGap() {
        for (int i = 0; i < 40 && engine.SweepActive(); ++i) Step();
        QVERIFY(!engine.SweepActive() && !engine.SweepEndHandled());
    }
    std::vector<std::string> Texts() const { return messages.Texts(); }
    // No collection: nothing counted, named or selectable, taps refused.
    void ExpectNothingOpen() {
        QVERIFY(!workflow.CollectionOpen() && data.CollectionPath().empty());
        const StatusValues panel = StatusValues::Read(Context());
        QVERIFY(panel.collectionName.empty());
        QCOMPARE(panel.collectionLength, std::uint64_t{0});
        QCOMPARE(panel.pointCount, 0);
        QVERIFY(data.Points().empty());
        QCOMPARE(data.SelectedIndex(), -1);
        QVERIFY(!data.NoAccessPoint());
        const auto before = messages.Entries().size();
        workflow.EnterInformationMode();
        QVERIFY(!workflow.SelectPoint(kClient, 100, 100));
        QCOMPARE(messages.Texts().back(), std::string(SurveyWorkflow::kNoPointInRangeText));
        QCOMPARE(messages.Entries().size(), before + 1);
        messages.Clear();
    }
    bool Shown(RecordingUserMessages::Kind kind, const std::string& text) const {
        for (const auto& e : messages.Entries())
            if (e.kind == kind && e.text == text) return true;
        return false;
    }
};

std::vector<std::uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Makes a file read-only for this process for the scope: mode 0444 in a
// folder others may enter, and, for root, who may write anything, an
// unprivileged effective user.
class ReadOnlyScope {
public:
    // `asRoot`: root stays root, and only the mode bits say the file is not to be written.
    ReadOnlyScope(const std::string& file, const std::string& folder, bool asRoot = false) {
        ::chmod(folder.c_str(), 0755);
        ::chmod(file.c_str(), 0444);
        if (::geteuid() == 0 && !asRoot) dropped_ = ::seteuid(65534) == 0;
    }
    ~ReadOnlyScope() {
        // The rest of the run needs root back; without it nothing after is sound.
        if (dropped_ && ::seteuid(0) != 0) std::abort();
    }
    ReadOnlyScope(const ReadOnlyScope&) = delete;
    ReadOnlyScope& operator=(const ReadOnlyScope&) = delete;

private:
    bool dropped_ = false;
};

}  // namespace

class SurveyWorkflowTest : public QObject {
    Q_OBJECT
private slots:
    void choosingTheCollectionFile() {
        Rig r;
        QVERIFY(r.workflow.ChooseCollection(false));
        QCOMPARE(r.Texts(), std::vector<std::string>{SurveyWorkflow::kLoadProjectionText});
        QVERIFY(r.messages.FileRequests().empty());

        // A new file: the save dialog, which asks before it replaces a file
        // (yesterday's "Data.ssd" is one "No" and Enter away); 33 bytes.
        r.messages.Clear();
        r.NewCollection("new.ssd");
        QCOMPARE(r.Texts(), std::vector<std::string>{SurveyWorkflow::kOpenExistingQuestion});
        const FileDialogRequest save = r.messages.FileRequests().at(0);
        QVERIFY(!save.open && save.confirmOverwrite);
        QCOMPARE(save.defaultExtension, std::string("ssd"));
        QCOMPARE(save.initialName, std::string("Data"));
        QCOMPARE(save.filter, std::string("Data Files (*.ssd)|*.ssd|All Files (*.*)|*.*||"));
        QCOMPARE(FileBytes(r.PathOf("new.ssd")).size(), std::size_t{33});

        // An existing file: the open dialog accepts names that do not exist;
        // its points are read.
        r.UsePoints({{CSiteData::kPlanTap, 100, 100, {-50}}, {CSiteData::kPlanTap, 200, 100, {}}}, "old.ssd");
        r.messages.Clear();
        r.messages.QueueAnswer(true);
        r.messages.QueueFile(r.PathOf("old.ssd"));
        QVERIFY(r.workflow.ChooseCollection(true));
        const FileDialogRequest open = r.messages.FileRequests().at(0);
        QVERIFY(open.open && !open.mustExist);
        QCOMPARE(open.initialName, std::string("Data"));
        QCOMPARE(r.data.Points().size(), std::size_t{2});
        QCOMPARE(r.data.CollectionPath(), r.PathOf("old.ssd"));

        // Cancelling the open dialog changes nothing, and neither does
        // Escape on the question: no dialog, no file emptied.
        r.messages.QueueAnswer(true);
        QVERIFY(r.workflow.ChooseCollection(true));
        r.messages.Clear();
        r.messages.QueueEscape();
        QVERIFY(r.workflow.ChooseCollection(true));
        QVERIFY(r.messages.FileRequests().empty());
        QCOMPARE(r.data.CollectionPath(), r.PathOf("old.ssd"));
        QCOMPARE(r.data.Points().size(), std::size_t{2});
        QVERIFY(r.workflow.CollectionOpen());

        // A name that is not there: reported, and no collection is left, so
        // a tap asks for one instead of sweeping for nothing.
        r.messages.Clear();
        r.messages.QueueAnswer(true);
        r.messages.QueueFile(r.PathOf("missing.ssd"));
        QVERIFY(r.workflow.ChooseCollection(true));
        QCOMPARE(r.Texts().size(), std::size_t{2});
        QVERIFY(QString::fromStdString(r.Texts()[1]).startsWith("Cannot open"));
        QVERIFY(!r.workflow.CollectionOpen() && r.data.CollectionPath().empty());
        QVERIFY(!std::filesystem::exists(r.PathOf("missing.ssd")));
        r.LoadPlan(CSiteProjection::kLinearProjection);
        QCOMPARE(r.workflow.TakePoint(kClient, 100, 100, true), TapResult::Refused);
        QCOMPARE(r.Texts().back(), std::string(SurveyWorkflow::kOpenLogFileText));
        QVERIFY(!r.engine.ScanRequested());

        // Cancelling the save dialog: the message, no file and no plan.
        r.NewCollection();
        r.messages.Clear();
        r.messages.QueueAnswer(false);
        QVERIFY(!r.workflow.ChooseCollection(true));
        QCOMPARE(r.Texts().back(), std::string(SurveyWorkflow::kNoCollectionText));
        QVERIFY(r.Shown(RecordingUserMessages::Kind::Plain, SurveyWorkflow::kNoCollectionText));
        QVERIFY(!r.workflow.CollectionOpen() && r.data.CollectionPath().empty());
    }

    void automaticScanningIsRefusedInOrder() {
        using Kind = RecordingUserMessages::Kind;
        {
            // No projection and no lock: the lock is asked for first.
            Rig r;
            r.workflow.StartAutomatic();
            QVERIFY(r.Shown(Kind::Info, SurveyWorkflow::kNotLockedText));
            // A linear projection is named before the missing lock.
            r.LoadPlan(CSiteProjection::kLinearProjection);
            r.workflow.StartAutomatic();
            QVERIFY(r.Shown(Kind::Info, SurveyWorkflow::kNeedGpsProjectionText));
            r.Locked(47.3771, 8.5414);
            r.NewCollection();
            r.workflow.StartAutomatic();
            QCOMPARE(r.Texts().back(), std::string(SurveyWorkflow::kNeedGpsProjectionText));
            QCOMPARE(r.workflow.CurrentState(), State::NotCollecting);
            QVERIFY(!r.engine.ScanRequested());
        }
        {
            // Locked: the projection before the collection file.
            Rig r;
            r.Locked(47.3771, 8.5414);
            r.workflow.StartAutomatic();
            QVERIFY(r.Shown(Kind::Plain, SurveyWorkflow::kSelectProjectionText));
            r.LoadPlan(CSiteProjection::kGpsProjection);
            r.workflow.StartAutomatic();
            QVERIFY(r.Shown(Kind::Plain, SurveyWorkflow::kSelectCollectionText));
            QCOMPARE(r.messages.Entries().size(), std::size_t{2});
            QCOMPARE(r.workflow.CurrentState(), State::NotCollecting);
            QVERIFY(!r.engine.ScanRequested());
        }
    }

    void automaticScanningFollowsTheFixUntilStopped() {
        Rig r;
        r.LoadPlan(CSiteProjection::kGpsProjection);
        r.NewCollection();
        r.ThreeChannels();
        r.Locked(47.3771, 8.5414);  // about plan (400, 300)
        const int x0 = r.projection.PlanXFromGps();
        const int y0 = r.projection.PlanYFromGps();
        QVERIFY(std::abs(x0 - 400) <= 1 && std::abs(y0 - 300) <= 1);
        r.workflow.StartAutomatic();
        QCOMPARE(r.workflow.CurrentState(), State::Automatic);
        QVERIFY(r.engine.ScanRequested() && r.engine.SweepActive());
        QCOMPARE(r.plan.CentreX(), x0);
        QCOMPARE(r.plan.CentreY(), y0);

        // The unit acknowledges and hears one access point on channel 1.
        Deliver(r.engine, kMsgScanAck, {});
        Deliver(r.engine, kMsgFrameRecord, Record({0, 1, 2, 3, 4, 5}, -800, {Ssid("Net"), Ds(1)}));
        r.gps.latitude = 47.3772;  // the walker moves on: about plan y 150
        const int y1 = r.projection.PlanYFromGps();
        r.StepToStore();
        auto points = r.data.Points();
        QCOMPARE(points.size(), std::size_t{1});
        QCOMPARE(points[0].kind, CSiteData::kGpsPoint);
        QCOMPARE(points[0].x, x0);
        QCOMPARE(points[0].y, y0);
        QCOMPARE(points[0].apCount, std::int16_t{1});
        // The next point has begun at the new fix.
        QCOMPARE(r.workflow.CurrentState(), State::Automatic);
        QVERIFY(r.engine.SweepActive());
        QCOMPARE(r.plan.CentreY(), y1);

        // Stop during the sweep: this point is still stored, then no more.
        r.Step();
        r.workflow.StopAutomatic();
        QCOMPARE(r.workflow.CurrentState(), State::Stopping);
        r.StepToStore();
        QCOMPARE(r.data.Points().size(), std::size_t{2});
        QCOMPARE(r.data.Points()[1].y, y1);
        QCOMPARE(r.workflow.CurrentState(), State::NotCollecting);
        QVERIFY(!r.engine.ScanRequested() && r.engine.SweepEndHandled());
        for (int i = 0; i < 5; ++i) r.Step();
        QCOMPARE(r.data.PointCount(), 2);
        QVERIFY(r.Texts().size() == 1);  // the open-or-create question only

        // Stop pressed after the last channel, before the point is stored,
        // is not lost.
        r.workflow.StartAutomatic();
        r.StepToGap();
        r.workflow.StopAutomatic();
        r.StepToStore();
        QCOMPARE(r.data.PointCount(), 3);
        QCOMPARE(r.workflow.CurrentState(), State::NotCollecting);
        QVERIFY(!r.engine.ScanRequested());

        // Stop while nothing is collected does nothing.
        r.workflow.StopAutomatic();
        QVERIFY(!r.workflow.StopRequested());
    }

    void losingTheLockEndsScanningAfterStoringThePoint() {
        Rig r;
        r.LoadPlan(CSiteProjection::kGpsProjection);
        r.NewCollection();
        r.ThreeChannels();
        r.Locked(47.3771, 8.5414);
        r.workflow.StartAutomatic();
        r.gps.lock3d = 0;
        r.StepToStore();
        QCOMPARE(r.data.PointCount(), 1);
        QCOMPARE(r.workflow.CurrentState(), State::NotCollecting);
        QVERIFY(r.Shown(RecordingUserMessages::Kind::Info, SurveyWorkflow::kLockLostText));
        QVERIFY(!r.engine.ScanRequested() && r.engine.SweepEndHandled());
        // No point stays pending: later steps store nothing.
        r.Step();
        QCOMPARE(r.data.PointCount(), 1);
    }

    void tapsOnAGpsPlanTakeOnePointAtATime() {
        Rig r;
        r.LoadPlan(CSiteProjection::kGpsProjection);
        r.NewCollection();
        r.ThreeChannels();
        // (330, 250) on the client is plan (330, 250).
        QCOMPARE(r.workflow.TakePoint(kClient, 330, 250, true), TapResult::SinglePoint);
        QCOMPARE(r.workflow.CurrentState(), State::SinglePoint);
        QCOMPARE(r.plan.CentreX(), 330);
        QVERIFY(r.engine.ScanRequested());
        // A second tap while the point is swept is refused; the first stays.
        const auto before = r.messages.Entries().size();
        QCOMPARE(r.workflow.TakePoint(kClient, 10, 10, true), TapResult::Refused);
        QCOMPARE(r.Texts().back(), std::string(SurveyWorkflow::kPointBusyText));
        QCOMPARE(r.messages.Entries().size(), before + 1);
        // So is automatic scanning, once its checks pass.
        r.Locked(47.3771, 8.5414);
        r.workflow.StartAutomatic();
        QCOMPARE(r.Texts().back(), std::string(SurveyWorkflow::kPointBusyText));
        r.StepToStore();
        auto points = r.data.Points();
        QCOMPARE(points.size(), std::size_t{1});
        QCOMPARE(points[0].kind, CSiteData::kProjectedTap);
        QCOMPARE(points[0].x, 330);
        QCOMPARE(points[0].y, 250);
        QCOMPARE(r.workflow.CurrentState(), State::NotCollecting);
        // Its position is stored in degrees, derived from the tap.
        const auto bytes = FileBytes(r.PathOf("points.ssd"));
        QCOMPARE(bytes.size(), std::size_t{33 + 36});
        QCOMPARE(static_cast<std::int32_t>(ReadLe32(&bytes[33 + 1])),
                 TruncToInt32(r.projection.LatitudeFromPlan(330, 250) * collection::kPositionScale));
        QCOMPARE(static_cast<std::int32_t>(ReadLe32(&bytes[33 + 5])),
                 TruncToInt32(r.projection.LongitudeFromPlan(330, 250) * collection::kPositionScale));

        // A tap during automatic scanning replaces its pending point; when
        // the stop was pressed first, scanning started afterwards still
        // goes on past its first point.
        r.workflow.StartAutomatic();
        r.workflow.StopAutomatic();
        QCOMPARE(r.workflow.TakePoint(kClient, 100, 100, true), TapResult::SinglePoint);
        QCOMPARE(r.workflow.CurrentState(), State::SinglePoint);
        r.StepToStore();
        QCOMPARE(r.data.Points().back().kind, CSiteData::kProjectedTap);
        r.workflow.StartAutomatic();
        r.StepToStore();
        QCOMPARE(r.workflow.CurrentState(), State::Automatic);
    }

    // No unit answering (none attached, or its cable pulled): every way of
    // taking a point is refused with one message, the panel says so, and
    // nothing reaches the file; a sweep the unit left half-way stores nothing.
    void withoutAUnitNoPointIsTaken_data() {
        QTest::addColumn<bool>("attached");
        QTest::newRow("no unit attached") << false;
        QTest::newRow("cable pulled") << true;
    }
    void withoutAUnitNoPointIsTaken() {
        QFETCH(bool, attached);
        Rig r(attached);
        if (attached) r.UnitGone();
        r.LoadPlan(CSiteProjection::kGpsProjection);
        r.NewCollection();
        r.ThreeChannels();
        r.Locked(47.3771, 8.5414);
        const auto bytes = FileBytes(r.PathOf("points.ssd"));
        const StatusLines lines = StatusPanelLines(StatusValues::Read(r.Context()));
        QCOMPARE(std::count(lines.rows.begin(), lines.rows.end(), QStringLiteral("No unit answers")), 1);
        const std::vector<std::pair<const char*, std::function<void()>>> takes = {
            {"tap", [&] { QCOMPARE(r.workflow.TakePoint(kClient, 320, 240, true), TapResult::Refused); }},
            {"automatic scanning", [&] { r.workflow.StartAutomatic(); }},
            {"walk", [&] {
                 r.workflow.ToggleWalking();
                 QCOMPARE(r.workflow.TakePoint(kClient, 320, 240, true), TapResult::Walk);  // the start: no point
                 r.messages.Clear();
                 r.workflow.StartAutomatic();
             }},
        };
        for (const auto& [name, take] : takes) {
            r.messages.Clear();
            take();
            QVERIFY2(r.Texts() == std::vector<std::string>{SurveyWorkflow::kNoUnitText}, name);
            QCOMPARE(r.workflow.CurrentState(), State::NotCollecting);
            QVERIFY2(!r.engine.ScanRequested(), name);
            r.StepToStore();
        }
        QCOMPARE(r.data.PointCount(), 0);
        QCOMPARE(FileBytes(r.PathOf("points.ssd")), bytes);
    }

    void aUnitLostDuringASweepStoresNothing() {
        Rig r;
        r.LoadPlan(CSiteProjection::kGpsProjection);
        r.NewCollection();
        r.ThreeChannels();
        const auto bytes = FileBytes(r.PathOf("points.ssd"));
        QCOMPARE(r.workflow.TakePoint(kClient, 330, 250, true), TapResult::SinglePoint);
        r.Step();
        r.UnitGone();
        r.messages.Clear();
        r.StepToStore();
        QCOMPARE(r.workflow.CurrentState(), State::NotCollecting);
        QCOMPARE(r.Texts(), std::vector<std::string>{SurveyWorkflow::kNoUnitText});
        QCOMPARE(r.data.PointCount(), 0);
        QCOMPARE(FileBytes(r.PathOf("points.ssd")), bytes);
        // Back: points are taken again.
        r.UnitAnswers();
        QCOMPARE(r.workflow.TakePoint(kClient, 330, 250, true), TapResult::SinglePoint);
        r.StepToStore();
        QCOMPARE(r.data.PointCount(), 1);
    }

    // Another writer appends between our points, so each of ours walks the
    // file again and the list is renumbered: undo still takes exactly ours,
    // newest first, and never theirs or what the file held at opening.
    void undoReachesThePointsThisRunAppendedByTheirPlaceInTheFile() {
        Rig r;
        r.LoadPlan(CSiteProjection::kGpsProjection);
        r.NewCollection();
        r.ThreeChannels();
        const std::string path = r.PathOf("points.ssd");
        std::vector<std::uint32_t> ours, theirs, before;
        const auto appendTheirs = [&] {
            collection::PointRecord p;
            p.kind = CSiteData::kPlanTap, p.x = 700, p.y = 500;
            p.month = 6, p.day = 11, p.year = 44, p.hour = 9, p.fix = 3;
            std::uint8_t group[collection::kPointRecordSize];
            collection::EncodePoint(p, group);
            theirs.push_back(static_cast<std::uint32_t>(FileBytes(path).size()));
            std::ofstream(path, std::ios::binary | std::ios::app).write(reinterpret_cast<const char*>(group), sizeof group);
        };
        const auto takeOurs = [&](std::vector<std::uint32_t>& into) {
            QCOMPARE(r.workflow.TakePoint(kClient, 320, 240, true), TapResult::SinglePoint);
            r.StepToStore();
            into.push_back(r.data.Points().back().offset);
        };
        takeOurs(before);
        // Reopened: that point was there before and is out of reach from now on.
        r.messages.QueueAnswer(true);
        r.messages.QueueFile(path);
        QVERIFY(r.workflow.ChooseCollection(true));
        appendTheirs();
        takeOurs(ours);
        appendTheirs();
        takeOurs(ours);
        QCOMPARE(r.data.Points().size(), std::size_t{5});
        const auto kindAt = [&](std::uint32_t offset) {
            for (const auto& p : r.data.Points())
                if (p.offset == offset) return int{p.kind};
            return -1;
        };
        for (auto newest = ours.rbegin(); newest != ours.rend(); ++newest) {
            r.messages.QueueAnswer(true);
            QVERIFY(r.workflow.UndoLastPoint());
            QCOMPARE(kindAt(*newest), int{CSiteData::kDeleted});
        }
        r.messages.Clear();
        QVERIFY(!r.workflow.UndoLastPoint());
        QCOMPARE(r.Texts(), std::vector<std::string>{SurveyWorkflow::kNothingToUndoText});
        for (const auto kept : {before[0], theirs[0], theirs[1]}) QVERIFY(kindAt(kept) >= 0 && kindAt(kept) != int{CSiteData::kDeleted});
    }

    void aFinishedSweepIsStoredBeforeATapReplacesIt() {
        Rig r;
        r.LoadPlan(CSiteProjection::kGpsProjection);
        r.NewCollection();
        r.ThreeChannels();
        r.Locked(47.3771, 8.5414);
        r.workflow.StartAutomatic();
        r.StepToGap();
        QCOMPARE(r.workflow.TakePoint(kClient, 320, 240, true), TapResult::SinglePoint);
        auto points = r.data.Points();
        QCOMPARE(points.size(), std::size_t{1});
        QCOMPARE(points[0].kind, CSiteData::kGpsPoint);
        QVERIFY(r.engine.SweepActive());
        r.StepToStore();
        QCOMPARE(r.data.Points().back().kind, CSiteData::kProjectedTap);
    }

    void aTapOnALinearPlanLeavesTheSweepToTheScanView() {
        Rig r;
        r.LoadPlan(CSiteProjection::kGpsProjection);
        r.NewCollection();
        r.ThreeChannels();
        r.Locked(47.3771, 8.5414);
        r.workflow.StartAutomatic();
        // A linear projection loaded while scanning runs: the tap ends it.
        r.LoadPlan(CSiteProjection::kLinearProjection);
        r.plan.SetCentreX(800);  // the window now runs past the right edge
        QCOMPARE(r.workflow.TakePoint(kClient, 639, 240, true), TapResult::ScanView);
        QCOMPARE(r.workflow.CurrentState(), State::NotCollecting);
        QCOMPARE(r.plan.CentreX(), 800);  // clamped to the plan
        QCOMPARE(r.data.CurrentKind(), CSiteData::kPlanTap);
        Deliver(r.engine, kMsgScanAck, {});
        const int index = r.engine.ChannelIndex();
        r.Step();
        r.Step();
        QCOMPARE(r.engine.ChannelIndex(), index);
        QCOMPARE(r.data.PointCount(), 0);

        // Without a plan on show a tap places nothing.
        QCOMPARE(r.workflow.TakePoint(kClient, 10, 10, false), TapResult::Refused);
        QCOMPARE(r.Texts().back(), std::string(SurveyWorkflow::kLoadProjectionText));
    }

    void aFailingFileStopsCollecting() {
        Rig r;
        r.LoadPlan(CSiteProjection::kGpsProjection);
        r.NewCollection();
        r.ThreeChannels();
        r.Locked(47.3771, 8.5414);
        r.workflow.StartAutomatic();
        std::filesystem::remove(r.PathOf("points.ssd"));
        r.messages.Clear();
        r.StepToStore();
        QCOMPARE(r.workflow.CurrentState(), State::NotCollecting);
        // One box: why, and what to do now. The collection is closed, so a
        // tap asks for a file instead of sweeping to fail again.
        QCOMPARE(r.Texts().size(), std::size_t{1});
        QVERIFY(QString::fromStdString(r.Texts()[0]).startsWith("Cannot open " + QString::fromStdString(r.PathOf("points.ssd"))));
        QVERIFY(r.Texts()[0].find(SurveyWorkflow::kStoreFailedText) != std::string::npos);
        QVERIFY(!r.engine.ScanRequested());
        r.ExpectNothingOpen();
        for (int i = 0; i < 5; ++i) r.Step();
        QCOMPARE(r.workflow.TakePoint(kClient, 320, 240, true), TapResult::Refused);
        QCOMPARE(r.Texts(), std::vector<std::string>{SurveyWorkflow::kOpenLogFileText});
        QVERIFY(!r.engine.ScanRequested());

        // A single point that cannot be stored: the same.
        r.NewCollection("second.ssd");
        QCOMPARE(r.workflow.TakePoint(kClient, 320, 240, true), TapResult::SinglePoint);
        std::filesystem::remove(r.PathOf("second.ssd"));
        r.messages.Clear();
        r.StepToStore();
        QCOMPARE(r.Texts().size(), std::size_t{1});
        QVERIFY(r.Texts()[0].find(SurveyWorkflow::kStoreFailedText) != std::string::npos);
        QCOMPARE(r.workflow.CurrentState(), State::NotCollecting);
        r.ExpectNothingOpen();

        // Giving the file up while a sweep runs: that sweep stores nothing
        // and scanning ends with it.
        r.NewCollection("third.ssd");
        r.workflow.StartAutomatic();
        r.messages.Clear();
        r.messages.QueueAnswer(false);
        QVERIFY(!r.workflow.ChooseCollection(true));
        r.StepToStore();
        QCOMPARE(r.workflow.CurrentState(), State::NotCollecting);
        QCOMPARE(r.Texts(), (std::vector<std::string>{SurveyWorkflow::kOpenExistingQuestion,
                                                      SurveyWorkflow::kNoCollectionText}));
        QCOMPARE(FileBytes(r.PathOf("third.ssd")).size(), std::size_t{33});
    }

    // Every way of ending up without a collection file leaves nothing of the
    // old one on show: no points drawn, counted or selectable, no file name.
    void noCollectionLeavesNothingOfTheOldOne_data() {
        QTest::addColumn<int>("answer");  // 1 Yes (open), 0 No (new)
        QTest::addColumn<QString>("chosen");  // empty: the dialog is cancelled
        QTest::newRow("new-file dialog cancelled") << 0 << QString();
        QTest::newRow("existing file refused") << 1 << "notes.txt";
        QTest::newRow("existing file missing") << 1 << "missing.ssd";
        QTest::newRow("new file cannot be made") << 0 << "no/such/folder.ssd";
    }

    void noCollectionLeavesNothingOfTheOldOne() {
        QFETCH(int, answer);
        QFETCH(QString, chosen);
        Rig r;
        r.LoadPlan(CSiteProjection::kLinearProjection);
        r.UsePoints({{CSiteData::kPlanTap, 100, 100, {-50}}, {CSiteData::kPlanTap, 200, 100, {}}}, "old.ssd");
        const auto old = FileBytes(r.PathOf("old.ssd"));
        std::ofstream(r.PathOf("notes.txt")) << "not a survey";
        r.workflow.EnterInformationMode();
        QVERIFY(r.workflow.SelectPoint(kClient, 100, 100));

        r.messages.Clear();
        r.messages.QueueAnswer(answer == 1);
        r.messages.QueueFile(chosen.isEmpty() ? std::nullopt
                                              : std::optional<std::string>(r.PathOf(chosen.toLatin1().constData())));
        r.workflow.ChooseCollection(true);
        r.ExpectNothingOpen();
        // Nothing was written anywhere.
        QCOMPARE(FileBytes(r.PathOf("old.ssd")), old);
        QCOMPARE(FileBytes(r.PathOf("notes.txt")).size(), std::size_t{12});
        QVERIFY(!std::filesystem::exists(r.PathOf("missing.ssd")));
        // The information dialog's lines have no file to name.
        r.messages.Clear();
        QVERIFY(r.data.FormatApLine(1).empty());
        QVERIFY(r.messages.Entries().empty());
    }

    void informationModeSelectsLivePointsOnly() {
        Rig r;
        r.LoadPlan(CSiteProjection::kLinearProjection);
        // Client (x, y) shows plan (x, y) at 100 %.
        r.UsePoints({{CSiteData::kPlanTap, 100, 100, {-50}}, {CSiteData::kPlanTap, 130, 100, {-60}}});
        r.workflow.EnterInformationMode();
        QVERIFY(r.workflow.SelectPoint(kClient, 100, 100));
        QVERIFY(!r.workflow.InformationMode());
        QCOMPARE(r.data.SelectedIndex(), 0);
        QVERIFY(r.data.DeleteSelectedPoint());
        // The deleted point is nearer than the live one: nothing in range.
        r.messages.Clear();
        r.workflow.EnterInformationMode();
        QVERIFY(!r.workflow.SelectPoint(kClient, 105, 100));
        QCOMPARE(r.Texts(), std::vector<std::string>{SurveyWorkflow::kNoPointInRangeText});
        QVERIFY(!r.workflow.InformationMode());
        // More than 40 plan pixels from every point.
        r.workflow.EnterInformationMode();
        QVERIFY(!r.workflow.SelectPoint(kClient, 171, 100));
        r.workflow.EnterInformationMode();
        QVERIFY(r.workflow.SelectPoint(kClient, 170, 100));
        QCOMPARE(r.data.SelectedIndex(), 1);

        // A point whose record the file no longer holds whole stays on show:
        // a deletion shows only once its byte is written.
        std::filesystem::resize_file(r.PathOf("points.ssd"), 33 + 36 + 46 + 20);
        r.messages.Clear();
        QVERIFY(!r.data.DeleteSelectedPoint());
        QCOMPARE(r.data.Points()[1].kind, CSiteData::kPlanTap);
        QCOMPARE(r.Texts().size(), std::size_t{1});
        QVERIFY(r.Texts()[0] != "Deleted.");
    }

    void theTimerStepsEveryEighthTick() {
        Rig r;
        r.LoadPlan(CSiteProjection::kGpsProjection);
        r.NewCollection();
        r.ThreeChannels();
        r.Locked(47.3771, 8.5414);
        // Idle ticks count too: the first step comes within eight ticks.
        for (int i = 0; i < 5; ++i) r.workflow.Tick();
        r.workflow.StartAutomatic();
        Deliver(r.engine, kMsgScanAck, {});
        QCOMPARE(r.engine.ChannelIndex(), 1);
        for (int i = 0; i < 3; ++i) r.workflow.Tick();
        QCOMPARE(r.engine.ChannelIndex(), 1);
        r.workflow.Tick();  // tick count 8
        QCOMPARE(r.engine.ChannelIndex(), 2);
        for (int i = 0; i < 7; ++i) r.workflow.Tick();
        QCOMPARE(r.engine.ChannelIndex(), 2);
        QCOMPARE(r.workflow.TickCount(), 16u);
    }

    // A collection the user may read but not write opens for viewing: its
    // points, the information lines and the panel work; taking, deleting
    // and the repair of an unfinished last point write nothing.
    void aReadOnlyCollectionIsViewedButNeverWritten_data() {
        QTest::addColumn<bool>("asRoot");
        QTest::newRow("unprivileged") << false;
        // Root may write anything: the mode bits alone make it view only.
        QTest::newRow("as this user, root included") << true;
    }
    void aReadOnlyCollectionIsViewedButNeverWritten() {
        QFETCH(bool, asRoot);
        Rig r;
        r.LoadPlan(CSiteProjection::kGpsProjection);
        r.NewCollection("walk.ssd");
        const std::string path = r.PathOf("walk.ssd");
        TuneTo(r.engine, 6);
        for (int i = 0; i < 2; ++i) {
            r.data.BeginPoint(CSiteData::kPlanTap, 100 + 200 * i, 100);
            const Bytes heard = Record({0, 1, 2, 3, 4, static_cast<std::uint8_t>(i)}, -60 * 16, {Ssid("lab"), Ds(6)});
            r.engine.AddFrameRecord(heard.data(), static_cast<std::uint32_t>(heard.size()));
            QVERIFY(r.data.RecordPoint());
        }
        const auto points = r.data.Points();
        QVERIFY(r.data.FindNearestPoint(300, 100) != CSiteData::kNoPoint);
        const std::string apLine = r.data.FormatApLine(1);
        QVERIFY(!apLine.empty());
        std::ofstream(path, std::ios::binary | std::ios::app).write("\x02\x00\x00", 3);  // an unfinished point
        const auto bytes = FileBytes(path);

        ReadOnlyScope readOnly(path, r.dir.path().toStdString(), asRoot);
        r.messages.Clear();
        r.messages.QueueAnswer(true);
        r.messages.QueueFile(path);
        QVERIFY(r.workflow.ChooseCollection(true));
        QVERIFY(r.workflow.CollectionOpen());
        QVERIFY(r.data.ReadOnly());
        // The question, and nothing about cutting the unfinished point off.
        QCOMPARE(r.Texts(), std::vector<std::string>{SurveyWorkflow::kOpenExistingQuestion});
        QCOMPARE(r.data.Points(), points);
        QCOMPARE(r.data.PointCount(), 2);
        const StatusLines lines = StatusPanelLines(StatusValues::Read(r.Context()));
        QVERIFY(std::count(lines.rows.begin(), lines.rows.end(), QStringLiteral("Read-only: view only")) == 1);
        r.workflow.EnterInformationMode();
        QVERIFY(r.workflow.SelectPoint(kClient, 300, 100));
        QCOMPARE(r.data.FormatApLine(1), apLine);

        // Every writing action: one message naming the file, nothing begun.
        r.Locked(47.3771, 8.5414);
        const std::string refusal = CSiteData::ReadOnlyText(path);
        QVERIFY(refusal.find(path) != std::string::npos);
        const std::vector<std::pair<const char*, std::function<void()>>> writes = {
            {"tap", [&] { QCOMPARE(r.workflow.TakePoint(kClient, 320, 240, true), TapResult::Refused); }},
            {"automatic scanning", [&] { r.workflow.StartAutomatic(); }},
            {"delete", [&] { QVERIFY(!r.data.DeleteSelectedPoint()); }},
            {"store", [&] { QVERIFY(!r.data.RecordPoint()); }},
        };
        for (const auto& [name, write] : writes) {
            r.messages.Clear();
            write();
            QVERIFY2(r.Texts() == std::vector<std::string>{refusal}, name);
            QCOMPARE(r.workflow.CurrentState(), State::NotCollecting);
        }
        // The information dialog's Delete says so before it asks, and the
        // dialog stays.
        {
            r.messages.Clear();
            CInfo dialog(r.data, r.messages);
            dialog.show();
            QTest::mouseClick(dialog.DeleteButton(), Qt::LeftButton);
            QCOMPARE(r.Texts(), std::vector<std::string>{refusal});
            QVERIFY(dialog.isVisible());
        }
        QCOMPARE(r.data.Points(), points);
        QCOMPARE(r.data.PointCount(), 2);
        QCOMPARE(FileBytes(path), bytes);
    }
};

QTEST_MAIN(SurveyWorkflowTest)
#include "SurveyWorkflowTest.moc"
