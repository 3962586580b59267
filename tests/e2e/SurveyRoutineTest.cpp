// The whole survey routine through the windowed program's own objects: the
// simulated unit in-process, periods shrunk twenty times, the demo
// projections from the build and real collection files in a folder of the
// test's own. Every step goes through the tool bar's commands and taps on
// the site view, as a user would take it.

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <set>

#include "common/RecordingUserMessages.h"
#include "common/Timing.h"
#include "dialogs/ChannelList.h"
#include "dialogs/Info.h"
#include "shell/MainFrame.h"
#include "shell/ProgramObjects.h"
#include "sim/DefaultScenario.h"
#include "sim/SimulatedDriver.h"
#include "siteview/SiteView.h"
#include "siteview/SiteOverlays.h"
#include "survey/AffineTransform.h"
#include "survey/CollectionFormat.h"
#include "tests/siteview/ModalScript.h"
#include "tests/HangGuard.h"

using namespace quorl;
using test::WhenModal;
using State = SurveyWorkflow::State;
using Kind = RecordingUserMessages::Kind;

namespace {

constexpr double kTimeScale = 0.05;
// Generous: the machine may be busy with other builds.
constexpr int kTimeoutMs = quorl::test::kHangGuardMs;

std::string MacText(const std::array<std::uint8_t, 6>& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

// The scenario's access points on `channels`: MAC address -> channel.
std::map<std::string, int> ScenarioAps(const sim::Scenario& scenario, const std::set<int>& channels) {
    std::map<std::string, int> aps;
    for (const auto& ap : scenario.accessPoints)
        if (channels.count(ap.channel)) aps[MacText(ap.mac)] = ap.channel;
    return aps;
}

sim::Scenario AlwaysLocked() {
    sim::Scenario scenario = sim::DefaultScenario();
    scenario.noLock.clear();
    return scenario;
}

sim::Scenario NoLockFrom(double start, double duration) {
    sim::Scenario scenario = sim::DefaultScenario();
    scenario.noLock = {sim::NoLockStretch{start, duration, 0.0}};
    return scenario;
}

// One survey point group as it stands in a collection file.
struct Group {
    std::uint64_t offset = 0;
    collection::PointRecord point;
    std::vector<collection::ApRecord> aps;
};

std::vector<Group> ReadGroups(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
    std::vector<Group> groups;
    std::size_t at = collection::kFirstGroup;
    while (at + collection::kPointRecordSize <= bytes.size()) {
        Group group;
        group.offset = at;
        group.point = collection::DecodePoint(&bytes[at]);
        at += collection::kPointRecordSize;
        for (int i = 0; i < group.point.apCount && at + collection::kApRecordSize <= bytes.size(); ++i) {
            group.aps.push_back(collection::DecodeAp(&bytes[at]));
            at += collection::kApRecordSize;
        }
        groups.push_back(group);
    }
    return groups;
}

// The windowed program as its start-up makes it, answering its boxes and
// file dialogs from a script.
struct Program {
    explicit Program(sim::Scenario scenario)
        : objects(std::make_unique<sim::SimulatedDriver>(std::move(scenario)), messages) {
        frame = std::make_unique<CMainFrame>(objects.engine, objects.session, messages, objects.Views());
        frame->resize(1024, 768);
        frame->show();
        frame->StartDevice();
        if (!QTest::qWaitFor([this] { return objects.session.StartedUp(); }, quorl::test::kHangGuardMs)) qWarning("the unit did not start");
    }
    ~Program() {
        frame->ShutdownLink();
        frame.reset();
    }

    CSiteView& Site() { return *static_cast<CSiteView*>(frame->View(ViewKind::Site)); }
    State SurveyState() { return Site().Workflow().CurrentState(); }
    // Where the plan is drawn and taps are measured.
    PlanRect Client() { return Site().PlanArea(); }
    void Command(int id) {
        QVERIFY(frame->IsCommandEnabled(id));
        frame->RunCommand(id);
    }
    void ShowSite() {
        frame->SwitchView(ViewKind::Site);
        QCOMPARE(frame->ActiveViewKind(), ViewKind::Site);
    }
    void LoadProjection(const std::string& path) {
        messages.QueueFile(path);
        Command(command::kLoadProjection);
        QVERIFY(Site().PlanLoaded());
        Command(command::kActualSize);
    }
    void NewCollection(const std::string& path) {
        messages.QueueAnswer(false);
        messages.QueueFile(path);
        Command(command::kCollectionFile);
        QVERIFY(Site().Workflow().CollectionOpen());
    }
    void Channels(const std::set<int>& bg) {
        std::uint8_t plan[15] = {};
        for (int channel : bg) plan[channel] = 1;
        objects.engine.SetChannelPlan(plan, nullptr);
    }
    void Tap(QPoint at) { QTest::mouseClick(Site().viewport(), Qt::LeftButton, {}, at); }
    // A tap on plan pixel (px, py), which must be in view.
    void TapPlan(int px, int py) {
        PlanPoint screen;
        QVERIFY(objects.plan.PlanToScreen(px, py, Client(), screen));
        Tap(QPoint(screen.x, screen.y));
    }
    bool Shown(Kind kind, const std::string& text) const {
        for (const auto& e : messages.Entries())
            if (e.kind == kind && e.text == text) return true;
        return false;
    }
    std::string LastText() const {
        const auto texts = messages.Texts();
        return texts.empty() ? std::string() : texts.back();
    }

    RecordingUserMessages messages;
    ProgramObjects objects;
    std::unique_ptr<CMainFrame> frame;
};

}  // namespace

class SurveyRoutineTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;

    std::string PathOf(const char* name) const { return dir_.filePath(QString::fromLatin1(name)).toStdString(); }
    // A copy of a demo projection: loading writes the derived files beside it.
    std::string Demo(const char* name) const {
        const QString to = dir_.filePath(QString::fromLatin1(name));
        QFile::remove(to);
        QFile::copy(QStringLiteral(QUORL_DEMO_DIR "/") + QString::fromLatin1(name), to);
        return to.toStdString();
    }

private slots:
    void initTestCase() {
        timing::SetTimeScale(kTimeScale);
        QVERIFY(dir_.isValid());
        QVERIFY(QFile::exists(QStringLiteral(QUORL_DEMO_DIR "/demo.lpf")));
    }

    void aTapOnTheLinearPlanIsSweptInTheScanView() {
        const sim::Scenario scenario = sim::DefaultScenario();
        Program p(scenario);
        // A tap leaves the start screen for the site view.
        QTest::mouseClick(p.frame->ActiveView(), Qt::LeftButton, {}, QPoint(100, 100));
        QCOMPARE(p.frame->ActiveViewKind(), ViewKind::Site);
        p.LoadProjection(Demo("demo.lpf"));
        const std::string file = PathOf("linear.ssd");
        p.NewCollection(file);

        // The channel list opens on the plan in force (all of BG at start);
        // the user keeps 1, 6 and 11.
        bool allBg = false;
        WhenModal<CChannelList>([&](CChannelList* list) {
            allBg = true;
            for (int c = 1; c <= 14; ++c) allBg = allBg && list->BgBox(c)->isChecked();
            for (int k = 1; k <= 24; ++k) allBg = allBg && !list->AhBox(k)->isChecked();
            list->Button(CChannelList::kClearAllBg)->click();
            for (int c : {1, 6, 11}) list->BgBox(c)->setChecked(true);
            list->Button(CChannelList::kOkButton)->click();
        });
        p.Command(command::kChannelList);
        QVERIFY(allBg);
        QCOMPARE(p.objects.engine.ChannelCount(), std::int16_t{3});
        std::set<int> ticked;
        WhenModal<CChannelList>([&](CChannelList* list) {
            for (int c = 1; c <= 14; ++c)
                if (list->BgBox(c)->isChecked()) ticked.insert(c);
            list->Button(CChannelList::kCancelButton)->click();
        });
        p.Command(command::kChannelList);
        QCOMPARE(ticked, (std::set<int>{1, 6, 11}));

        const QPoint tap(p.Client().Width() / 3, p.Client().Height() / 3);
        const PlanPoint expected = p.objects.plan.ScreenToPlan(p.Client(), tap.x(), tap.y());
        p.Tap(tap);
        QCOMPARE(p.frame->ActiveViewKind(), ViewKind::Scan);
        // The demo plan shows whole at 100 %: it stays centred.
        QCOMPARE(p.objects.plan.CentreX(), p.objects.plan.MaxX() / 2);
        // The marker's place before the point is there, for comparison.
        const QRgb anyMarker[] = {SignalColour(-95), SignalColour(-80), SignalColour(-60), SignalColour(-40),
                                  SignalColour(-20)};
        PlanPoint centre;
        QVERIFY(p.objects.plan.PlanToScreen(expected.x, expected.y, p.Client(), centre));
        const int radius = MarkerRadius(p.Site().ClientRect().Width());
        const QRect around(centre.x - radius, centre.y - radius, 2 * radius + 1, 2 * radius + 1);
        const auto markerPixels = [&](const QImage& frame, QRgb colour) {
            int n = 0;
            for (int y = around.top(); y <= around.bottom(); ++y)
                for (int x = around.left(); x <= around.right(); ++x)
                    if ((frame.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) ++n;
            return n;
        };
        const QImage before = p.Site().ComposeFrame();

        // The sweep visits the three channels while the scan view shows it.
        std::set<int> swept;
        QElapsedTimer waited;
        waited.start();
        while (p.frame->ActiveViewKind() == ViewKind::Scan && waited.elapsed() < kTimeoutMs) {
            if (p.objects.engine.SweepActive()) swept.insert(p.objects.engine.CurrentChannel());
            QTest::qWait(2);
        }
        QCOMPARE(p.frame->ActiveViewKind(), ViewKind::Site);
        QCOMPARE(swept, (std::set<int>{1, 6, 11}));

        // Stored with the access points the scenario has on those channels.
        const auto points = p.objects.data.Points();
        QCOMPARE(points.size(), std::size_t{1});
        QCOMPARE(points[0].kind, CSiteData::kPlanTap);
        QCOMPARE(points[0].x, expected.x);
        QCOMPARE(points[0].y, expected.y);
        const auto groups = ReadGroups(file);
        QCOMPARE(groups.size(), std::size_t{1});
        std::map<std::string, int> heard;
        for (const auto& ap : groups[0].aps) heard[MacText(ap.mac)] = static_cast<int>(ap.channel);
        QCOMPARE(heard, ScenarioAps(scenario, {1, 6, 11}));

        // The marker, in the colour of the strongest level heard.
        const QRgb colour = SignalColour(points[0].strongest);
        QVERIFY(std::find(std::begin(anyMarker), std::end(anyMarker), colour) != std::end(anyMarker));
        const QImage after = p.Site().ComposeFrame();
        QVERIFY2(markerPixels(after, colour) > markerPixels(before, colour) + radius * radius,
                 "no marker where the point was taken");

        // The companion tool reads the point and its access points back.
        QProcess tool;
        tool.start(QStringLiteral(QUORL_TOOL), {QStringLiteral("ssd"), QStringLiteral("dump"),
                                                 QString::fromStdString(file)});
        QVERIFY(tool.waitForFinished(kTimeoutMs));
        QCOMPARE(tool.exitCode(), 0);
        const QStringList rows = QString::fromUtf8(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 1 + static_cast<int>(heard.size()));
        std::map<std::string, int> dumped;
        for (int i = 1; i < rows.size(); ++i) {
            const QStringList f = rows[i].split(',');
            QCOMPARE(f[2], QStringLiteral("2"));
            QCOMPARE(f[3].toInt(), expected.x);
            QCOMPARE(f[4].toInt(), expected.y);
            dumped[f[15].toStdString()] = f[14].toInt();
        }
        QCOMPARE(dumped, heard);
    }

    void aWalkingSurveyStoresEachSweepWhereTheWalkerWas() {
        const sim::Scenario scenario = sim::DefaultScenario();
        Program p(scenario);
        p.ShowSite();
        p.LoadProjection(Demo("demo.lpf"));
        const std::string file = PathOf("walk.ssd");
        p.NewCollection(file);
        p.Channels({1, 6, 11});
        // The walk's clock is the view's timer: a quarter second a tick.
        CSiteView& site = p.Site();
        site.UseWalkClock([&site] { return site.Workflow().TickCount() * 0.25; });
        const auto now = [&site] { return site.Workflow().TickCount() * 0.25; };
        const auto waitUntil = [&](double t) {
            QElapsedTimer waited;
            waited.start();
            while (now() < t && waited.elapsed() < kTimeoutMs) QTest::qWait(1);
        };

        // 20 plan pixels a second: 400 east in 20 s, 300 south in 15 s.
        const std::vector<PlanPoint> corners = {{100, 100}, {500, 100}, {500, 400}};
        p.Command(command::kWalkingSurvey);
        p.frame->UpdateCommandUi();
        QVERIFY(p.frame->Action(command::kWalkingSurvey)->isChecked());
        p.TapPlan(corners[0].x, corners[0].y);
        p.Command(command::kStartScanning);
        QCOMPARE(p.SurveyState(), State::Walking);
        std::vector<double> times = {now()};
        waitUntil(times[0] + 20);
        times.push_back(now());
        p.TapPlan(corners[1].x, corners[1].y);
        waitUntil(times[1] + 15);
        times.push_back(now());
        p.TapPlan(corners[2].x, corners[2].y);
        p.Command(command::kStopScanning);
        // The site view stayed on show throughout.
        QCOMPARE(p.frame->ActiveViewKind(), ViewKind::Site);
        QTRY_COMPARE_WITH_TIMEOUT(p.SurveyState(), State::NotCollecting, quorl::test::kHangGuardMs);
        QCOMPARE(p.frame->ActiveViewKind(), ViewKind::Site);

        // Where the walker was at the middle of each sweep, by the tap times
        // (a tap may come a tick after its mark when the machine is busy).
        const auto walker = [&](double t) {
            for (std::size_t i = 1; i < corners.size(); ++i)
                if (t <= times[i]) {
                    const double f = std::clamp((t - times[i - 1]) / (times[i] - times[i - 1]), 0.0, 1.0);
                    return QPointF(corners[i - 1].x + f * (corners[i].x - corners[i - 1].x),
                                   corners[i - 1].y + f * (corners[i].y - corners[i - 1].y));
                }
            return QPointF(corners.back().x, corners.back().y);
        };
        const auto& sweeps = site.Workflow().Walk().StoredSweeps();
        const auto groups = ReadGroups(file);
        QCOMPARE(groups.size(), sweeps.size());
        QVERIFY(groups.size() >= 4);
        std::set<std::pair<int, int>> expected;
        for (std::size_t i = 0; i < groups.size(); ++i) {
            const auto& g = groups[i].point;
            QCOMPARE(g.kind, CSiteData::kPlanTap);
            const QPointF at = i + 1 == groups.size() ? QPointF(500, 400)  // running at stop
                                                      : walker((sweeps[i].start + sweeps[i].end) / 2);
            QVERIFY2(std::abs(g.x - at.x()) <= 1 && std::abs(g.y - at.y()) <= 1,
                     qPrintable(QStringLiteral("point %1 at (%2, %3), walker at (%4, %5)")
                                    .arg(i).arg(g.x).arg(g.y).arg(at.x()).arg(at.y())));
            if (i > 0) {
                // Back to back, each as long as the panel says (a step more
                // when the unit's answer comes after the first step).
                QCOMPARE(sweeps[i].start, sweeps[i - 1].end);
                const double length = sweeps[i].end - sweeps[i].start;
                QVERIFY(length >= WalkingSurvey::SweepSeconds(3) && length <= WalkingSurvey::SweepSeconds(3) + 2);
            }
            if (!groups[i].aps.empty()) expected.insert({g.x, g.y});
        }
        QVERIFY(!expected.empty());

        // The companion tool reads the same points back.
        QProcess tool;
        tool.start(QStringLiteral(QUORL_TOOL), {QStringLiteral("ssd"), QStringLiteral("dump"),
                                                 QString::fromStdString(file)});
        QVERIFY(tool.waitForFinished(kTimeoutMs));
        QCOMPARE(tool.exitCode(), 0);
        const QStringList rows = QString::fromUtf8(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        std::set<std::pair<int, int>> dumped;
        for (int i = 1; i < rows.size(); ++i) {
            const QStringList f = rows[i].split(',');
            QCOMPARE(f[2], QStringLiteral("2"));
            dumped.insert({f[3].toInt(), f[4].toInt()});
        }
        QCOMPARE(dumped, expected);
    }

    void aPointTheFileRefusesOnTheLinearPlanClosesTheCollection() {
        Program p(sim::DefaultScenario());
        p.ShowSite();
        p.LoadProjection(Demo("demo.lpf"));
        const std::string file = PathOf("refused.ssd");
        p.NewCollection(file);
        p.Channels({1});
        const int cx = p.objects.plan.CentreX();
        const int cy = p.objects.plan.CentreY();
        p.TapPlan(cx, cy);
        QTRY_COMPARE_WITH_TIMEOUT(p.frame->ActiveViewKind(), ViewKind::Site, quorl::test::kHangGuardMs);
        QCOMPARE(p.objects.data.Points().size(), std::size_t{1});

        // The file goes away under the survey: the next point cannot be written.
        QFile::remove(QString::fromStdString(file));
        QVERIFY(QDir().mkdir(QString::fromStdString(file)));
        p.messages.Clear();
        p.TapPlan(cx, cy);
        QCOMPARE(p.frame->ActiveViewKind(), ViewKind::Scan);
        QTRY_COMPARE_WITH_TIMEOUT(p.frame->ActiveViewKind(), ViewKind::Site, quorl::test::kHangGuardMs);
        // One message; the collection closed: nothing drawn, counted or named.
        QCOMPARE(p.messages.Texts().size(), std::size_t{1});
        QVERIFY(p.LastText().find(SurveyWorkflow::kStoreFailedText) != std::string::npos);
        QVERIFY(!p.Site().Workflow().CollectionOpen());
        QVERIFY(p.objects.data.Points().empty());
        QCOMPARE(p.objects.data.PointCount(), 0);
        QVERIFY(p.objects.data.FileName().empty());
        // The next tap asks for a file instead of sweeping to fail again.
        p.TapPlan(cx, cy);
        QCOMPARE(p.LastText(), std::string(SurveyWorkflow::kOpenLogFileText));
        QCOMPARE(p.frame->ActiveViewKind(), ViewKind::Site);
        QVERIFY(!p.objects.engine.ScanRequested());
    }

    void automaticScanningTakesPointsAlongTheTrackUntilStopped() {
        Program p(AlwaysLocked());
        p.ShowSite();
        p.LoadProjection(Demo("demo.gpf"));
        const std::string file = PathOf("gps.ssd");
        p.NewCollection(file);
        p.Channels({1, 6, 11});
        QTRY_COMPARE_WITH_TIMEOUT(p.objects.gps.lock3d.load(), std::uint8_t{1}, quorl::test::kHangGuardMs);

        p.Command(command::kStartScanning);
        QCOMPARE(p.SurveyState(), State::Automatic);
        QTRY_VERIFY_WITH_TIMEOUT(p.objects.data.Points().size() >= 3, quorl::test::kHangGuardMs);
        // A point is always under way: stopping stores it, then nothing more.
        const std::size_t taken = p.objects.data.Points().size();
        p.Command(command::kStopScanning);
        QCOMPARE(p.SurveyState(), State::Stopping);
        QTRY_COMPARE_WITH_TIMEOUT(p.SurveyState(), State::NotCollecting, quorl::test::kHangGuardMs);
        QCOMPARE(p.objects.data.Points().size(), taken + 1);
        QVERIFY(!p.objects.engine.ScanRequested());
        QTest::qWait(timing::ScaledMs(3 * timing::kScanViewStepMs));
        QCOMPARE(p.objects.data.Points().size(), taken + 1);
        QCOMPARE(p.frame->ActiveViewKind(), ViewKind::Site);

        // Kind 0 points where the walker was: on the track, a few metres
        // apart, drawn where the projection puts their fixes.
        const sim::Scenario scenario = AlwaysLocked();
        const auto groups = ReadGroups(file);
        QCOMPARE(groups.size(), taken + 1);
        const auto onTrack = [&](double lat, double lon) {
            const auto& t = scenario.track.points;
            for (std::size_t i = 0; i < t.size(); ++i) {
                const auto& a = t[i];
                const auto& b = t[(i + 1) % t.size()];
                // The legs run north-south or east-west.
                const bool alongLat = std::abs(a.latitude - b.latitude) < 1e-9 && std::abs(lat - a.latitude) < 1e-5 &&
                                      lon >= std::min(a.longitude, b.longitude) - 1e-5 &&
                                      lon <= std::max(a.longitude, b.longitude) + 1e-5;
                const bool alongLon = std::abs(a.longitude - b.longitude) < 1e-9 &&
                                      std::abs(lon - a.longitude) < 1e-5 &&
                                      lat >= std::min(a.latitude, b.latitude) - 1e-5 &&
                                      lat <= std::max(a.latitude, b.latitude) + 1e-5;
                if (alongLat || alongLon) return true;
            }
            return false;
        };
        const auto points = p.objects.data.Points();
        for (std::size_t i = 0; i < groups.size(); ++i) {
            const auto& g = groups[i].point;
            QCOMPARE(g.kind, CSiteData::kGpsPoint);
            QCOMPARE(g.fix, std::uint8_t{2});
            const double lat = g.latitude / collection::kPositionScale;
            const double lon = g.longitude / collection::kPositionScale;
            QVERIFY2(onTrack(lat, lon), qPrintable(QStringLiteral("point %1 off the track").arg(i)));
            const PlanPoint at = p.objects.projection.PlanFromPosition(lat, lon);
            QVERIFY(std::abs(at.x - points[i].x) <= 1 && std::abs(at.y - points[i].y) <= 1);
            QVERIFY(!groups[i].aps.empty());
            if (i > 0) QVERIFY(g.latitude != groups[i - 1].point.latitude || g.longitude != groups[i - 1].point.longitude);
        }

        // A tap takes one point there, swept by the site view itself.
        const QPoint tap(p.Client().Width() / 4, p.Client().Height() / 2);
        const PlanPoint under = p.objects.plan.ScreenToPlan(p.Client(), tap.x(), tap.y());
        p.Tap(tap);
        QCOMPARE(p.SurveyState(), State::SinglePoint);
        const int x = under.x;
        const int y = under.y;
        QTRY_COMPARE_WITH_TIMEOUT(p.SurveyState(), State::NotCollecting, quorl::test::kHangGuardMs);
        QCOMPARE(p.frame->ActiveViewKind(), ViewKind::Site);
        const auto after = ReadGroups(file);
        QCOMPARE(after.size(), taken + 2);
        const auto& tapped = after.back().point;
        QCOMPARE(tapped.kind, CSiteData::kProjectedTap);
        QCOMPARE(tapped.latitude, TruncToInt32(p.objects.projection.LatitudeFromPlan(x, y) * collection::kPositionScale));
        QCOMPARE(tapped.longitude,
                 TruncToInt32(p.objects.projection.LongitudeFromPlan(x, y) * collection::kPositionScale));
        QCOMPARE(p.objects.data.Points().back().x, x);
        QVERIFY(p.messages.Texts().size() == 1);  // the open-or-create question alone
    }

    void losingTheLockEndsAutomaticScanning() {
        // The lock goes 12 s into the unit's run, for longer than the test.
        Program p(NoLockFrom(12.0, 600.0));
        p.ShowSite();
        p.LoadProjection(Demo("demo.gpf"));
        p.NewCollection(PathOf("lock.ssd"));
        p.Channels({1, 6, 11});
        QTRY_COMPARE_WITH_TIMEOUT(p.objects.gps.lock3d.load(), std::uint8_t{1}, quorl::test::kHangGuardMs);
        p.Command(command::kStartScanning);
        QTRY_COMPARE_WITH_TIMEOUT(p.SurveyState(), State::NotCollecting, quorl::test::kHangGuardMs);
        QVERIFY(p.Shown(Kind::Info, SurveyWorkflow::kLockLostText));
        QCOMPARE(p.LastText(), std::string(SurveyWorkflow::kLockLostText));
        // The sweep that found the lock gone still stored its point.
        QVERIFY(!p.objects.data.Points().empty());
        QVERIFY(!p.objects.engine.ScanRequested());
        p.Command(command::kStartScanning);
        QCOMPARE(p.LastText(), std::string(SurveyWorkflow::kNotLockedText));
    }

    void automaticScanningIsRefusedInOrder() {
        {
            // No lock yet: a linear projection is named first, then the lock.
            Program p(NoLockFrom(0.0, 600.0));
            p.ShowSite();
            p.Command(command::kStartScanning);
            QVERIFY(p.Shown(Kind::Info, SurveyWorkflow::kNotLockedText));
            p.LoadProjection(Demo("demo.lpf"));
            p.Command(command::kStartScanning);
            QVERIFY(p.Shown(Kind::Info, SurveyWorkflow::kNeedGpsProjectionText));
        }
        {
            // Locked: the projection, then the collection file.
            Program p(AlwaysLocked());
            p.ShowSite();
            QTRY_COMPARE_WITH_TIMEOUT(p.objects.gps.lock3d.load(), std::uint8_t{1}, quorl::test::kHangGuardMs);
            p.Command(command::kStartScanning);
            QVERIFY(p.Shown(Kind::Plain, SurveyWorkflow::kSelectProjectionText));
            p.LoadProjection(Demo("demo.gpf"));
            p.Command(command::kStartScanning);
            QVERIFY(p.Shown(Kind::Plain, SurveyWorkflow::kSelectCollectionText));
            QCOMPARE(p.messages.Texts().size(), std::size_t{2});
            QCOMPARE(p.SurveyState(), State::NotCollecting);
            QVERIFY(!p.objects.engine.ScanRequested());
        }
    }

    void pointInformationShowsAndDeletesAStoredPoint() {
        Program p(sim::DefaultScenario());
        p.ShowSite();
        p.LoadProjection(Demo("demo.lpf"));
        const std::string file = PathOf("info.ssd");
        p.NewCollection(file);
        p.Channels({1, 6});
        // Two points 30 plan pixels apart, each swept in the scan view.
        const int cx = p.objects.plan.CentreX();
        const int cy = p.objects.plan.CentreY();
        for (int dx : {0, 30}) {
            p.TapPlan(cx + dx, cy);
            QTRY_COMPARE_WITH_TIMEOUT(p.frame->ActiveViewKind(), ViewKind::Site, quorl::test::kHangGuardMs);
        }
        const auto points = p.objects.data.Points();
        QCOMPARE(points.size(), std::size_t{2});
        QVERIFY(points[0].apCount > 0);

        p.Command(command::kPointInformation);
        QVERIFY(p.frame->Action(command::kPointInformation)->isChecked());
        QStringList lines;
        WhenModal<CInfo>([&](CInfo* info) {
            for (int i = 0; i < info->List()->count(); ++i) lines << info->List()->item(i)->text();
            info->DeleteButton()->click();
        });
        p.messages.QueueAnswer(true);
        p.TapPlan(points[0].x, points[0].y);
        QCOMPARE(lines.size(), 3 + 2 * points[0].apCount);
        QCOMPARE(lines[0], QString::asprintf("X = %d          Y = %d", points[0].x, points[0].y));
        QCOMPARE(lines[1], QString());
        QCOMPARE(lines[2], QString::fromLatin1(CInfo::kHeading));
        const auto groups = ReadGroups(file);
        for (int k = 0; k < points[0].apCount; ++k) {
            const auto& ap = groups[0].aps[static_cast<std::size_t>(k)];
            QVERIFY(lines[3 + 2 * k].contains(QString::fromStdString(MacText(ap.mac))));
            QCOMPARE(lines[4 + 2 * k].trimmed(), QString::fromStdString(ap.SsidText()));
        }
        QCOMPARE(p.LastText(), std::string("Deleted."));
        p.frame->UpdateCommandUi();
        QVERIFY(!p.frame->Action(command::kPointInformation)->isChecked());
        QVERIFY(p.Shown(Kind::Question, CInfo::kDeleteQuestion));
        // Byte 0 of its record, in the file.
        const auto deleted = ReadGroups(file);
        QCOMPARE(deleted[0].point.kind, CSiteData::kDeleted);
        QCOMPARE(deleted[1].point.kind, CSiteData::kPlanTap);

        // The deleted point is nearer than the live one: nothing in range.
        p.Command(command::kPointInformation);
        p.TapPlan(points[0].x, points[0].y);
        QCOMPARE(p.LastText(), std::string(SurveyWorkflow::kNoPointInRangeText));
        // More than 40 plan pixels from both.
        p.Command(command::kPointInformation);
        p.TapPlan(points[1].x + 45, points[1].y);
        QCOMPARE(p.LastText(), std::string(SurveyWorkflow::kNoPointInRangeText));
        QVERIFY(!p.Site().Workflow().InformationMode());
        QCOMPARE(ReadGroups(file).size(), std::size_t{2});
    }
};

QTEST_MAIN(SurveyRoutineTest)
#include "SurveyRoutineTest.moc"
