// The floor chooser on the simulated unit: a building of three floors
// (two linear plans, one GPS plan, one floor never surveyed) opened in the
// windowed program's own objects, floors chosen from the tool bar's
// drop-down, the View menu and the keyboard, a point taken and never lost,
// a new collection added to the site file, another floor's survey refused.

#include <QComboBox>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <filesystem>
#include <fstream>
#include <memory>
#include <utime.h>

#include "common/RecordingUserMessages.h"
#include "common/Timing.h"
#include "shell/CommandIds.h"
#include "shell/MainFrame.h"
#include "shell/ProgramObjects.h"
#include "sim/DefaultScenario.h"
#include "sim/SimulatedDriver.h"
#include "site/SiteFile.h"
#include "siteview/SiteFloors.h"
#include "siteview/SiteView.h"
#include "survey/CollectionFormat.h"

using namespace quorl;

namespace {

constexpr int kTimeoutMs = 20000;

struct Program {
    Program() : objects(std::make_unique<sim::SimulatedDriver>(sim::DefaultScenario()), messages) {
        frame = std::make_unique<CMainFrame>(objects.engine, objects.session, messages, objects.Views());
        frame->resize(1024, 768);
        frame->show();
        frame->StartDevice();
        if (!QTest::qWaitFor([this] { return objects.session.StartedUp(); }, 10000)) qWarning("the unit did not start");
    }
    ~Program() {
        frame->ShutdownLink();
        frame.reset();
    }
    CSiteView& Site() { return *static_cast<CSiteView*>(frame->View(ViewKind::Site)); }
    QComboBox& Chooser() { return *frame->FloorChooser(); }
    std::string FloorRow() {
        const StatusLines lines = StatusPanelLines(Site().PanelValues());
        return lines.rows[0].toStdString();
    }

    RecordingUserMessages messages;
    ProgramObjects objects;
    std::unique_ptr<CMainFrame> frame;
};

// An empty collection file of the program's own layout.
void EmptyCollection(const std::string& path) {
    const auto start = collection::MakeNewFileStart(0);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(start.data()),
                                                static_cast<std::streamsize>(start.size()));
}

void SetModified(const std::string& path, time_t when) {
    struct utimbuf times {when, when};
    ::utime(path.c_str(), &times);
}

}  // namespace

class FloorChooserTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    std::string PathOf(const char* name) const { return dir_.filePath(QString::fromLatin1(name)).toStdString(); }
    std::string Demo(const char* from, const char* to) const {
        QFile::remove(dir_.filePath(QString::fromLatin1(to)));
        QFile::copy(QStringLiteral(QUORL_DEMO_DIR "/") + QString::fromLatin1(from), dir_.filePath(QString::fromLatin1(to)));
        return PathOf(to);
    }

private slots:
    void initTestCase() {
        timing::SetTimeScale(0.05);
        QVERIFY(dir_.isValid());
    }

    void floorsSwitchWithoutLosingAPointOrMixingPlans() {
        // Ground: two surveys, the one listed first the newer. First: none.
        // Basement: a GPS plan.
        Demo("demo.lpf", "ground.lpf");
        Demo("demo.lpf", "first.lpf");
        Demo("demo.gpf", "basement.gpf");
        EmptyCollection(PathOf("ground-new.ssd"));
        EmptyCollection(PathOf("ground-old.ssd"));
        SetModified(PathOf("ground-old.ssd"), 1000000000);
        SetModified(PathOf("ground-new.ssd"), 1500000000);
        site::Site building;
        building.name = "Test building";
        building.floors = {{"Ground", 0, {}, "ground.lpf", {"ground-new.ssd", "ground-old.ssd"}, {}},
                           {"First", 1, {}, "first.lpf", {}, {}},
                           {"Basement", -1, {}, "basement.gpf", {}, {}}};
        const std::string sitePath = PathOf("building.qsite");
        std::string error;
        QVERIFY2(site::SaveSite(sitePath, building, error), error.c_str());

        Program p;
        // Without a site the chooser is not there.
        QVERIFY(!p.frame->FloorChooserAction()->isVisible());
        QVERIFY(p.frame->OpenSite(sitePath));
        QCOMPARE(p.frame->ActiveViewKind(), ViewKind::Site);
        QVERIFY(p.frame->FloorChooserAction()->isVisible());
        QVERIFY(!p.Chooser().toolTip().isEmpty());
        // Lowest level first; the file's first floor shown, with its newest survey.
        QStringList names;
        for (int i = 0; i < p.Chooser().count(); ++i) names << p.Chooser().itemText(i);
        QCOMPARE(names, (QStringList{"Basement (level -1)", "Ground (level 0)", "First (level 1)"}));
        QCOMPARE(p.Chooser().currentIndex(), 1);
        QVERIFY(p.Site().PlanLoaded());
        QCOMPARE(p.objects.projection.Path(), PathOf("ground.lpf"));
        QCOMPARE(p.objects.data.CollectionPath(), PathOf("ground-new.ssd"));
        QCOMPARE(p.FloorRow(), std::string("Floor: Ground"));

        // A point on the ground floor, swept in the scan view.
        p.frame->RunCommand(command::kActualSize);
        QTest::mouseClick(p.Site().viewport(), Qt::LeftButton, {}, QPoint(150, 150));
        QCOMPARE(p.frame->ActiveViewKind(), ViewKind::Scan);
        QVERIFY(QTest::qWaitFor([&] { return p.frame->ActiveViewKind() == ViewKind::Site; }, kTimeoutMs));
        QCOMPARE(p.objects.data.PointCount(), 1);
        const auto groundPoints = p.objects.data.Points();

        // First, from the drop-down: no survey yet, so a new file is asked
        // for, beside the site, and added to the site file.
        p.messages.QueueFile(PathOf("first-walk.ssd"));
        p.Chooser().setCurrentIndex(2);
        emit p.Chooser().activated(2);
        QCOMPARE(p.messages.FileRequests().back().initialName, PathOf("First.ssd"));
        QCOMPARE(p.objects.projection.Path(), PathOf("first.lpf"));
        QCOMPARE(p.objects.data.CollectionPath(), PathOf("first-walk.ssd"));
        QCOMPARE(p.objects.data.PointCount(), 0);
        QCOMPARE(p.FloorRow(), std::string("Floor: First"));
        site::Site reread;
        QVERIFY2(site::LoadSite(sitePath, reread, error), error.c_str());
        QCOMPARE(reread.FindFloor("First")->surveys, std::vector<std::string>{"first-walk.ssd"});

        // Another floor's survey, by File > Open, is refused; nothing changes.
        p.messages.Clear();
        p.messages.QueueFile(PathOf("ground-new.ssd"));
        p.frame->RunCommand(command::kFileOpen);
        QCOMPARE(p.objects.data.CollectionPath(), PathOf("first-walk.ssd"));
        QCOMPARE(p.messages.Texts().size(), std::size_t{1});
        QVERIFY(p.messages.Texts()[0].find("\"Ground\"") != std::string::npos);

        // Floor Down (Ctrl+Page Down) back to the ground: its point is there.
        QTest::keyClick(&p.Site(), Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(p.Chooser().currentIndex(), 1);
        QCOMPARE(p.objects.data.CollectionPath(), PathOf("ground-new.ssd"));
        QCOMPARE(p.objects.data.Points(), groundPoints);

        // While a walk sweeps, no floor is switched.
        p.frame->RunCommand(command::kWalkingSurvey);
        QTest::mouseClick(p.Site().viewport(), Qt::LeftButton, {}, QPoint(200, 150));
        p.frame->RunCommand(command::kStartScanning);
        QVERIFY(p.Site().Workflow().Walk().Sweeping());
        p.messages.Clear();
        QMenu* floors = p.frame->findChild<QMenu*>(QStringLiteral("floorMenu"));
        QVERIFY(floors);
        QMetaObject::invokeMethod(floors, "aboutToShow");
        floors->actions().at(0)->trigger();  // Basement
        QCOMPARE(p.messages.Texts(), std::vector<std::string>{SurveyWorkflow::kWalkBusyText});
        QCOMPARE(p.Chooser().currentIndex(), 1);
        QCOMPARE(p.objects.data.CollectionPath(), PathOf("ground-new.ssd"));
        p.frame->RunCommand(command::kStopScanning);
        QVERIFY(QTest::qWaitFor([&] { return !p.Site().Workflow().Walk().Sweeping(); }, kTimeoutMs));
        p.frame->RunCommand(command::kWalkingSurvey);

        // Cancelling the new file of an unsurveyed floor leaves no collection
        // open on its plan.
        p.messages.Clear();
        p.messages.QueueFile(std::nullopt);
        floors->actions().at(0)->trigger();
        QCOMPARE(p.objects.projection.Path(), PathOf("basement.gpf"));
        QVERIFY(p.objects.data.CollectionPath().empty());
        QCOMPARE(p.messages.Texts(), std::vector<std::string>{SiteFloors::kNoCollectionText});

        // Another projection opened by hand leaves the floor.
        p.messages.QueueFile(Demo("demo.lpf", "elsewhere.lpf"));
        p.frame->RunCommand(command::kLoadProjection);
        QCOMPARE(p.Chooser().currentIndex(), -1);
        QCOMPARE(p.FloorRow(), std::string());
    }
};

QTEST_MAIN(FloorChooserTest)
#include "FloorChooserTest.moc"
