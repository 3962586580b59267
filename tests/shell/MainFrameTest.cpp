// The main window: view switching, command states, closing, start-up with
// and without a unit.

#include <algorithm>
#include <QAction>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QHelpEvent>
#include <atomic>
#include <fstream>
#include <future>
#include <map>
#include <memory>

#include "common/RecordingUserMessages.h"
#include "common/Timing.h"
#include "engine/DeviceSession.h"
#include "engine/Engine.h"
#include "link/Protocol.h"
#include "shell/AboutDlg.h"
#include "shell/CommandIds.h"
#include "shell/FileKind.h"
#include "shell/MainFrame.h"
#include "shell/QuorlCollectorTabletView.h"
#include "ShellTestSupport.h"
#include "tests/HangGuard.h"

using namespace quorl;
using quorl::test::CountingView;

namespace {

const std::set<int> kSurveyCommands = {32771, 32772, 32773, 32774, 32775, 32776, 32777, 32778,
                                       32779, 32780, 32781, 32782, 32783, 32784, 32785, 32786,
                                       32787, 32788, 32789};

// The objects a main window needs, made the way the program makes them,
// with views the test can watch.
struct Rig {
    explicit Rig(std::unique_ptr<ISerialDriver> d, bool countingStartView = true,
                 DeviceSession::Waiter waiter = {})
        : driver(std::move(d)), engine(*driver, gps, messages), session(*driver, engine) {
        if (waiter) session.UseWaiter(std::move(waiter));
        frame = std::make_unique<CMainFrame>(
            engine, session, messages, [this, countingStartView](ViewKind kind, CMainFrame& f) -> QWidget* {
                ++made[kind];
                if (kind == ViewKind::Start && !countingStartView)
                    return new CQuorlCollectorTabletView(engine, f, f.Printer());
                auto* view = new CountingView(kind == ViewKind::Site ? kSurveyCommands : std::set<int>{});
                views[kind] = view;
                return view;
            });
        frame->StartDevice();
    }
    ~Rig() { frame.reset(); }

    std::unique_ptr<ISerialDriver> driver;
    GpsStatus gps;
    RecordingUserMessages messages;
    CEngine engine;
    DeviceSession session;
    std::map<ViewKind, int> made;
    std::map<ViewKind, CountingView*> views;
    std::unique_ptr<CMainFrame> frame;
};

std::unique_ptr<Rig> NoUnitRig(bool countingStartView = true) {
    return std::make_unique<Rig>(std::make_unique<test::NoUnitDriver>(), countingStartView);
}

// Counts the paints a widget gets.
struct PaintSpy : QObject {
    explicit PaintSpy(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++count;
        return false;
    }
    int count = 0;
};

bool ButtonEnabled(CMainFrame& frame, int id) {
    QWidget* button = frame.ToolBar()->widgetForAction(frame.Action(id));
    return button && button->isEnabled();
}

}  // namespace

class MainFrameTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { timing::SetTimeScale(0.01); }

    void switchToTheActiveViewDoesNothing() {
        auto rig = NoUnitRig();
        CMainFrame& frame = *rig->frame;
        frame.resize(640, 480);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame, quorl::test::kHangGuardMs));
        CountingView* start = rig->views[ViewKind::Start];
        QTest::qWait(50);
        start->ResetCounts();

        frame.SwitchView(ViewKind::Start);
        QTest::qWait(50);
        QCOMPARE(rig->made[ViewKind::Start], 1);
        QVERIFY(start->activations.empty());
        QCOMPARE(start->shows + start->hides + start->resizes + start->paints, 0);
        QCOMPARE(frame.ActiveView(), start);

        // The same holds for the site view once it is active.
        frame.SwitchView(ViewKind::Site);
        CountingView* site = rig->views[ViewKind::Site];
        QTest::qWait(50);
        site->ResetCounts();
        start->ResetCounts();
        frame.SwitchView(ViewKind::Site);
        QTest::qWait(50);
        QVERIFY(site->activations.empty());
        QCOMPARE(site->shows + site->hides + site->resizes + site->paints, 0);
        QCOMPARE(start->shows + start->hides, 0);
    }

    void viewsAreMadeOnceAndReused() {
        auto rig = NoUnitRig();
        CMainFrame& frame = *rig->frame;
        frame.resize(640, 480);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame, quorl::test::kHangGuardMs));
        QCOMPARE(frame.View(ViewKind::Site), nullptr);
        QCOMPARE(frame.View(ViewKind::Scan), nullptr);
        // Made active at creation (and again whenever the window is activated).
        CountingView* start = rig->views[ViewKind::Start];
        QVERIFY(!start->activations.empty());
        QVERIFY(start->activations.front());
        start->ResetCounts();

        frame.SwitchView(ViewKind::Site);
        CountingView* site = rig->views[ViewKind::Site];
        frame.SwitchView(ViewKind::Scan);
        CountingView* scan = rig->views[ViewKind::Scan];
        frame.SwitchView(ViewKind::Site);
        frame.SwitchView(ViewKind::Scan);

        QCOMPARE(rig->made[ViewKind::Site], 1);
        QCOMPARE(rig->made[ViewKind::Scan], 1);
        QCOMPARE(frame.View(ViewKind::Scan), scan);
        QCOMPARE(frame.ActiveView(), scan);
        // Told in order: on, off, on.
        QCOMPARE(scan->activations, (std::vector<bool>{true, false, true}));
        QCOMPARE(site->activations, (std::vector<bool>{true, false, true, false}));
        QCOMPARE(start->activations, std::vector<bool>{false});
        // Only the active view shows, and it fills the client area.
        QVERIFY(scan->isVisible());
        QVERIFY(!site->isVisible());
        QVERIFY(!rig->views[ViewKind::Start]->isVisible());
        QCOMPARE(scan->size(), frame.centralWidget()->size());
    }

    void theStartViewIsNeverShownAgain() {
        auto rig = NoUnitRig(false);
        CMainFrame& frame = *rig->frame;
        frame.resize(640, 480);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame, quorl::test::kHangGuardMs));
        QWidget* start = frame.ActiveView();
        QCOMPARE(frame.ActiveViewKind(), ViewKind::Start);

        // Only the left button leaves it.
        QTest::mouseClick(start, Qt::RightButton, {}, QPoint(100, 100));
        QCOMPARE(frame.ActiveViewKind(), ViewKind::Start);
        QTest::mouseClick(start, Qt::LeftButton, {}, QPoint(100, 100));
        QCOMPARE(frame.ActiveViewKind(), ViewKind::Site);
        QVERIFY(!start->isVisible());

        // File New, by menu action and by its accelerator, keeps the site view.
        frame.Action(command::kFileNew)->trigger();
        QCOMPARE(frame.ActiveViewKind(), ViewKind::Site);
        QTest::keyClick(&frame, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(frame.ActiveViewKind(), ViewKind::Site);
        QVERIFY(!start->isVisible());
        QCOMPARE(rig->made[ViewKind::Start], 1);
        QVERIFY(rig->messages.Entries().empty());
    }

    void commandStatesFollowTheActiveView() {
        auto rig = NoUnitRig(false);
        CMainFrame& frame = *rig->frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame, quorl::test::kHangGuardMs));

        // Tool bar 128: nine buttons in order, no separators, then coverage.
        // The floor chooser after them, hidden without a site.
        const QList<QAction*> buttons = frame.ToolBar()->actions();
        QCOMPARE(buttons.size(), 13);
        QCOMPARE(buttons.back(), frame.FloorChooserAction());
        QVERIFY(!buttons.back()->isVisible());
        for (int i = 0; i < 12; ++i) QCOMPARE(buttons[i]->data().toInt(), CMainFrame::ToolBarCommands()[i]);
        QCOMPARE(CMainFrame::ToolBarCommands()[8], command::kAppAbout);
        QCOMPARE(CMainFrame::ToolBarCommands()[9], command::kCoverage);
        QCOMPARE(CMainFrame::ToolBarCommands()[10], command::kWalkingSurvey);
        QCOMPARE(CMainFrame::ToolBarCommands().back(), command::kSurveyGaps);

        const auto check = [&](bool survey, bool print) {
            for (int id : kSurveyCommands) {
                QCOMPARE(frame.Action(id)->isEnabled(), survey);
                if (id != command::kUndoLastPoint && id < command::kGapsProfileNone)
                    QCOMPARE(ButtonEnabled(frame, id), survey);
            }
            QVERIFY(ButtonEnabled(frame, command::kAppAbout));
            QCOMPARE(frame.Action(command::kFilePrint)->isEnabled(), print);
            QCOMPARE(frame.Action(command::kFilePrintPreview)->isEnabled(), print);
            for (int id : {command::kFileNew, command::kFileOpen, command::kFileSave, command::kFileSaveAs,
                           command::kFilePrintSetup, command::kAppExit, command::kAppAbout,
                           command::kViewToolbar, command::kViewStatusBar})
                QVERIFY2(frame.Action(id)->isEnabled(), qPrintable(QString::number(id)));
            for (int id : {command::kEditUndo, command::kEditCut, command::kEditCopy, command::kEditPaste,
                           command::kHelpFinder, command::kHelp, command::kContextHelp, command::kNextPane,
                           command::kPrevPane})
                QVERIFY2(!frame.Action(id)->isEnabled(), qPrintable(QString::number(id)));
        };
        check(false, true);
        frame.SwitchView(ViewKind::Site);
        check(true, false);
        frame.SwitchView(ViewKind::Scan);
        check(false, false);
        frame.SwitchView(ViewKind::Site);
        check(true, false);

        // A survey button reaches the site view; About goes to the window.
        frame.Action(32775)->trigger();
        QCOMPARE(rig->views[ViewKind::Site]->commandsRun, std::vector<int>{32775});
    }

    void menuAndAccelerators() {
        auto rig = NoUnitRig();
        CMainFrame& frame = *rig->frame;
        QStringList titles;
        for (QAction* menu : frame.menuBar()->actions()) titles << menu->text();
        QCOMPARE(titles, (QStringList{"&File", "&Edit", "&View", "&Help"}));

        QList<int> fileIds;
        for (QAction* a : frame.menuBar()->actions().front()->menu()->actions())
            fileIds << (a->isSeparator() ? 0 : a->data().toInt());
        QCOMPARE(fileIds, (QList<int>{57600, 57601, command::kFileOpenSite, 57603, 57604, 0, 57607, 57609, 57606, 0,
                                      57665}));

        const auto keys = [&](int id) { return frame.Action(id)->shortcuts(); };
        QCOMPARE(keys(command::kFileNew), QList<QKeySequence>{QKeySequence("Ctrl+N")});
        QCOMPARE(keys(command::kFilePrint), QList<QKeySequence>{QKeySequence("Ctrl+P")});
        QCOMPARE(keys(command::kEditUndo), (QList<QKeySequence>{QKeySequence("Ctrl+Z"), QKeySequence("Alt+Backspace")}));
        QCOMPARE(keys(command::kEditPaste), (QList<QKeySequence>{QKeySequence("Ctrl+V"), QKeySequence("Shift+Ins")}));
        QCOMPARE(keys(command::kHelp), QList<QKeySequence>{QKeySequence("F1")});
        QCOMPARE(frame.Action(command::kAppAbout)->text(), QString("&About QuorlCollectorTablet..."));

        // View menu toggles the bars and shows their state.
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame, quorl::test::kHangGuardMs));
        frame.Action(command::kViewToolbar)->trigger();
        QVERIFY(frame.ToolBar()->isHidden());
        QVERIFY(!frame.Action(command::kViewToolbar)->isChecked());
        frame.Action(command::kViewToolbar)->trigger();
        QVERIFY(!frame.ToolBar()->isHidden());
        QVERIFY(frame.Action(command::kViewToolbar)->isChecked());

        // Then the coverage layer, checked while the site view shows it,
        // whichever view is active.
        QList<int> viewIds;
        for (QAction* a : frame.menuBar()->actions()[2]->menu()->actions())
            viewIds << (a->isSeparator() ? 0 : a->menu() ? -1 : a->data().toInt());
        QCOMPARE(viewIds, (QList<int>{59392, 59393, 0, command::kZoomIn, command::kZoomOut, command::kFitPlan,
                                      command::kActualSize, 0, command::kCoverage, command::kWalkingSurvey,
                                      command::kSurveyGaps, command::kLegends, -1, -1}));
        QVERIFY(frame.Action(command::kLegends)->isCheckable());
        QVERIFY(frame.Action(command::kWalkingSurvey)->isCheckable());
        QVERIFY(!frame.Action(command::kWalkingSurvey)->toolTip().isEmpty());
        QVERIFY(!frame.Action(command::kWalkingSurvey)->statusTip().isEmpty());
        // Undo last point follows Undo in the Edit menu, its prompt as tool tip.
        const QList<QAction*> edit = frame.menuBar()->actions()[1]->menu()->actions();
        QCOMPARE(edit[1]->data().toInt(), command::kUndoLastPoint);
        QCOMPARE(edit[1]->toolTip(), edit[1]->statusTip());
        QAction* coverage = frame.Action(command::kCoverage);
        QCOMPARE(coverage->toolTip(), QString("Coverage"));
        QVERIFY(!coverage->statusTip().isEmpty());
        frame.SwitchView(ViewKind::Site);
        QVERIFY(!coverage->isChecked());
        rig->views[ViewKind::Site]->checked.insert(command::kCoverage);
        frame.SwitchView(ViewKind::Scan);
        QVERIFY(coverage->isChecked());

        // Survey gaps: a checkable button with its own picture, and a
        // submenu of profiles, one checked at a time, as the site view says.
        QAction* gaps = frame.Action(command::kSurveyGaps);
        QCOMPARE(gaps->toolTip(), QString("Survey Gaps"));
        QVERIFY(gaps->isCheckable() && !gaps->statusTip().isEmpty());
        QVERIFY(!gaps->icon().isNull());
        QVERIFY(gaps->icon().cacheKey() != coverage->icon().cacheKey());
        const QList<QAction*> viewItems = frame.menuBar()->actions()[2]->menu()->actions();
        QMenu* profiles = viewItems[viewItems.size() - 2]->menu();
        QVERIFY(profiles);
        QList<int> profileIds;
        for (QAction* a : profiles->actions()) {
            profileIds << a->data().toInt();
            QVERIFY(a->isCheckable());
            QCOMPARE(a->toolTip(), a->statusTip());
        }
        QCOMPARE(profileIds, (QList<int>{command::kGapsProfileNone, command::kGapsProfileVoice,
                                         command::kGapsProfileData, command::kGapsProfileBasic}));
        rig->views[ViewKind::Site]->checked.insert(command::kSurveyGaps);
        rig->views[ViewKind::Site]->checked.insert(command::kGapsProfileData);
        frame.SwitchView(ViewKind::Site);
        QMetaObject::invokeMethod(profiles, "aboutToShow");
        QVERIFY(gaps->isChecked());
        for (QAction* a : profiles->actions())
            QCOMPARE(a->isChecked(), a->data().toInt() == command::kGapsProfileData);
        frame.Action(command::kGapsProfileVoice)->trigger();
        QVERIFY(std::count(rig->views[ViewKind::Site]->commandsRun.begin(),
                           rig->views[ViewKind::Site]->commandsRun.end(), command::kGapsProfileVoice) == 1);
    }

    // Zoom from the keyboard reaches the site view; Ctrl+= is Ctrl++
    // without reaching for Shift.
    void zoomKeysReachTheSiteView() {
        auto rig = NoUnitRig();
        CMainFrame& frame = *rig->frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        frame.SwitchView(ViewKind::Site);
        const struct {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            int id;
        } keys[] = {
            {Qt::Key_Plus, Qt::ControlModifier, command::kZoomIn},
            {Qt::Key_Equal, Qt::ControlModifier, command::kZoomIn},
            {Qt::Key_Minus, Qt::ControlModifier, command::kZoomOut},
            {Qt::Key_0, Qt::ControlModifier, command::kFitPlan},
            {Qt::Key_1, Qt::ControlModifier, command::kActualSize},
        };
        std::vector<int>& run = rig->views[ViewKind::Site]->commandsRun;
        QVERIFY(frame.Action(command::kZoomIn)->isEnabled());
        for (const auto& k : keys) {
            run.clear();
            QTest::keyClick(rig->views[ViewKind::Site], k.key, k.modifiers);
            QVERIFY2(run == std::vector<int>{k.id}, qPrintable(QKeySequence(k.key | k.modifiers).toString()));
        }
    }

    // File > Open hands the picked file on by its kind; a file of no kind
    // the collector knows, or one that cannot be read, is named and dropped.
    void fileOpenHandsTheFileOnByItsKind() {
        QTemporaryDir dir;
        const struct {
            const char* name;
            const char* opened;  // what the site view got, "" for nothing
        } cases[] = {
            {"floor.lpf", "projection"}, {"roof.GPF", "projection"}, {"walk.ssd", "collection"},
            {"walk.SSD", "collection"},  {"notes.txt", ""},          {"plan.lpf.bak", ""},
            {".ssd", ""},                {"noextension", ""},
        };
        for (const auto& c : cases) {
            auto rig = NoUnitRig();
            const std::string path = dir.filePath(QString::fromLatin1(c.name)).toStdString();
            std::ofstream(path) << "x";
            rig->messages.QueueFile(path);
            rig->frame->RunCommand(command::kFileOpen);
            const std::string want = *c.opened ? std::string(c.opened) + " " + path : "";
            const auto* site = rig->views.count(ViewKind::Site) ? rig->views[ViewKind::Site] : nullptr;
            QCOMPARE(site ? site->opened : std::vector<std::string>{},
                     want.empty() ? std::vector<std::string>{} : std::vector<std::string>{want});
            if (want.empty()) {
                QCOMPARE(rig->messages.Texts(), std::vector<std::string>{UnknownFileText(path)});
            } else {
                QCOMPARE(rig->frame->ActiveViewKind(), ViewKind::Site);
                QVERIFY(rig->messages.Texts().empty());
            }
            // The dialog offers the kinds first.
            QCOMPARE(rig->messages.FileRequests().back().filter, std::string(kOpenFilter));
        }
        // A site file that is no site: its reader's message, naming it, and
        // no floor chooser.
        {
            auto rig = NoUnitRig();
            const std::string path = dir.filePath("broken.qsite").toStdString();
            std::ofstream(path) << "{ not json";
            rig->messages.QueueFile(path);
            rig->frame->RunCommand(command::kFileOpen);
            QCOMPARE(rig->messages.Texts().size(), std::size_t{1});
            QVERIFY(rig->messages.Texts()[0].find("broken.qsite") != std::string::npos);
            QVERIFY(!rig->frame->FloorChooserAction()->isVisible());
            QVERIFY(!rig->frame->IsCommandEnabled(command::kFloorUp));
        }
        // Unreadable: the document's own message, nothing handed on.
        auto rig = NoUnitRig();
        rig->messages.QueueFile(dir.filePath("absent.lpf").toStdString());
        rig->frame->RunCommand(command::kFileOpen);
        QVERIFY(!rig->views.count(ViewKind::Site));
        QCOMPARE(rig->messages.Texts().size(), std::size_t{1});
    }

    void everyButtonAndMenuCommandSaysWhatItDoes() {
        auto rig = NoUnitRig();
        CMainFrame& frame = *rig->frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame, quorl::test::kHangGuardMs));
        QList<QAction*> commands = frame.ToolBar()->actions();
        for (QAction* menu : frame.menuBar()->actions()) {
            QVERIFY(menu->menu()->toolTipsVisible());
            for (QAction* item : menu->menu()->actions())
                if (!item->isSeparator()) commands << item;
        }
        QCOMPARE(commands.size(), 13 + 9 + 5 + 12 + 2);
        for (QAction* action : commands) {
            const QString id = QString::number(action->data().toInt());
            QVERIFY2(!action->toolTip().isEmpty(), qPrintable(id));
            QVERIFY2(!action->statusTip().isEmpty(), qPrintable(id));
            // The prompt takes the place of the idle text while it shows.
            action->showStatusText(&frame);
            QCOMPARE(frame.statusBar()->currentMessage(), action->statusTip());
        }
        // The buttons carry the prompt their pointer shows.
        for (int id : CMainFrame::ToolBarCommands())
            QCOMPARE(frame.ToolBar()->widgetForAction(frame.Action(id))->statusTip(), frame.Action(id)->statusTip());
        // An open menu shows the tip of the item under the pen.
        QMenu* file = frame.menuBar()->actions().front()->menu();
        file->popup(QPoint(0, 0));
        QVERIFY(QTest::qWaitForWindowExposed(file, quorl::test::kHangGuardMs));
        for (QAction* item : file->actions()) {
            if (item->isSeparator()) continue;
            const QPoint at = file->actionGeometry(item).center();
            QHelpEvent help(QEvent::ToolTip, at, file->mapToGlobal(at));
            QCoreApplication::sendEvent(file, &help);
            QCOMPARE(QToolTip::text(), item->statusTip());
        }
        file->close();
    }

    void aboutBoxFromMenuAndButton() {
        auto rig = NoUnitRig();
        CMainFrame& frame = *rig->frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame, quorl::test::kHangGuardMs));
        frame.SwitchView(ViewKind::Scan);  // available whatever view is active
        QString shownText;
        int shown = 0;
        const auto closeBoxSoon = [&] {
            QTimer::singleShot(50, [&] {
                auto* box = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
                if (!box) return;
                ++shown;
                shownText = box->findChild<QLabel*>("versionText")->text();
                auto* ok = box->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
                QTest::mouseClick(ok, Qt::LeftButton);
            });
        };
        closeBoxSoon();
        frame.Action(command::kAppAbout)->trigger();
        closeBoxSoon();
        qobject_cast<QToolButton*>(frame.ToolBar()->widgetForAction(frame.Action(command::kAppAbout)))->click();
        QCOMPARE(shown, 2);
        QCOMPARE(shownText, QString("QuorlCollectorTablet Version 1.0.0"));
        QVERIFY(rig->messages.Entries().empty());
    }

    void captionAndStatusBar() {
        auto rig = NoUnitRig();
        CMainFrame& frame = *rig->frame;
        QCOMPARE(frame.windowTitle(), QString("Brantel Quorl Collector"));
        auto* pane = frame.statusBar()->findChild<QLabel*>("messagePane");
        QVERIFY(pane);
        QCOMPARE(pane->text(), QString("For Help, press F1"));
        QStringList indicators;
        for (const char* name : {"indicatorCaps", "indicatorNum", "indicatorScroll"}) {
            auto* label = frame.statusBar()->findChild<QLabel*>(name);
            QVERIFY(label);
            // The offscreen platform cannot tell the lock keys: names greyed.
            QVERIFY(!label->isEnabled());
            indicators << label->text();
        }
        QCOMPARE(indicators, (QStringList{"CAP", "NUM", "SCRL"}));

        // Saving the document leaves the caption alone.
        QTemporaryDir dir;
        rig->messages.QueueFile((dir.path() + "/saved").toStdString());
        frame.Action(command::kFileSaveAs)->trigger();
        QCOMPARE(frame.Document().PathName(), (dir.path() + "/saved").toStdString());
        QCOMPARE(frame.windowTitle(), QString("Brantel Quorl Collector"));
    }

    void closingNeverAsks() {
        auto rig = NoUnitRig();
        CMainFrame& frame = *rig->frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame, quorl::test::kHangGuardMs));
        QTemporaryDir dir;
        rig->messages.QueueFile((dir.path() + "/doc").toStdString());
        frame.Action(command::kFileSave)->trigger();
        frame.SwitchView(ViewKind::Site);
        rig->messages.Clear();
        rig->messages.QueueAnswer(false);  // a question would be answered No

        QVERIFY(frame.close());
        QVERIFY(!frame.isVisible());
        QVERIFY(rig->messages.Entries().empty());

        // Exit closes the same way.
        auto second = NoUnitRig();
        second->frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(second->frame.get(), quorl::test::kHangGuardMs));
        second->frame->Action(command::kAppExit)->trigger();
        QVERIFY(!second->frame->isVisible());
        QVERIFY(second->messages.Entries().empty());
    }

    void startsWithoutAUnitAndStaysUsable() {
        auto driver = std::make_unique<test::NoUnitDriver>();
        test::NoUnitDriver* noUnit = driver.get();
        Rig rig(std::move(driver), false);
        CMainFrame& frame = *rig.frame;
        // The busy cursor while the start-up runs behind the window.
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
        QTRY_VERIFY_WITH_TIMEOUT(frame.PollTimerRunning(), quorl::test::kHangGuardMs);
        QVERIFY(!rig.session.Opened());
        QVERIFY(rig.messages.Entries().empty());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        auto* start = qobject_cast<CQuorlCollectorTabletView*>(frame.ActiveView());
        QVERIFY(start);
        QCOMPARE(start->FirmwareLine(), QString("(Firmware 0.00)"));
        QCOMPARE(start->SerialLine(), QString("(SN XXXXXX)"));

        // Command 1 at start-up, then command 10 on every poll tick: the
        // writes fail, silently, and keep coming.
        QTRY_VERIFY_WITH_TIMEOUT(noUnit->Writes() >= 4, quorl::test::kHangGuardMs);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame, quorl::test::kHangGuardMs));
        QTest::mouseClick(start, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(frame.ActiveViewKind(), ViewKind::Site);
        QVERIFY(rig.messages.Entries().empty());
    }

    void engineNotificationsReachTheWindow() {
        auto driver = std::make_unique<test::ScriptedDriver>();
        test::ScriptedDriver* unit = driver.get();
        Rig rig(std::move(driver));
        QTRY_VERIFY_WITH_TIMEOUT(rig.session.Opened(), quorl::test::kHangGuardMs);

        struct Catcher : QObject {
            int count = 0;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == CMainFrame::kEngineNotifyEvent) ++count;
                return false;
            }
        } catcher;
        rig.frame->installEventFilter(&catcher);
        unit->Say(kMsgGpsReport, std::vector<std::uint8_t>(62, 0));
        QTRY_COMPARE_WITH_TIMEOUT(catcher.count, 1, quorl::test::kHangGuardMs);
        // Command 1 went out during start-up.
        QTRY_VERIFY_WITH_TIMEOUT(!unit->Written().empty(), quorl::test::kHangGuardMs);
        QCOMPARE(unit->Written().front()[2], std::uint8_t{kCmdRequestFirmware});
    }

    // The window is up and answers while the start-up's first wait runs;
    // the poll timer starts only once the second is over.
    void windowIsUsableBeforeTheFirstWaitEnds() {
        std::promise<void> release;
        const std::shared_future<void> released = release.get_future().share();
        std::atomic<int> waitsBegun{0};
        auto driver = std::make_unique<test::ScriptedDriver>();
        test::ScriptedDriver* unit = driver.get();
        Rig rig(std::move(driver), false, [&](std::chrono::milliseconds) {
            ++waitsBegun;
            released.wait();
            return true;
        });
        // Never left waiting, whatever fails below.
        const auto releaseOnExit = qScopeGuard([&] {
            if (released.wait_for(std::chrono::seconds(0)) != std::future_status::ready) release.set_value();
        });
        CMainFrame& frame = *rig.frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame, quorl::test::kHangGuardMs));
        QTRY_VERIFY_WITH_TIMEOUT(rig.session.Opened(), quorl::test::kHangGuardMs);
        QCOMPARE(waitsBegun.load(), 1);
        QVERIFY(unit->Written().empty());
        QVERIFY(!frame.PollTimerRunning());
        auto* start = qobject_cast<CQuorlCollectorTabletView*>(frame.ActiveView());
        QVERIFY(start && start->isVisible());
        QCOMPARE(start->FirmwareLine(), QString("(Firmware 0.00)"));
        QCOMPARE(start->SerialLine(), QString("(SN XXXXXX)"));
        QTest::keyClick(&frame, Qt::Key_A);  // the event loop runs
        QVERIFY(frame.IsCommandEnabled(command::kAppAbout));

        release.set_value();
        QTRY_VERIFY_WITH_TIMEOUT(frame.PollTimerRunning(), quorl::test::kHangGuardMs);
        QCOMPARE(unit->Written().front()[2], std::uint8_t{kCmdRequestFirmware});
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);

        // The unit answers: the start view shows it without being asked.
        PaintSpy painted(start);
        QTest::qWait(50);
        painted.count = 0;
        unit->Say(kMsgFirmware, {'2', '.', '1', '4', 0});
        QTRY_COMPARE_WITH_TIMEOUT(start->FirmwareLine(), QString("(Firmware 2.14)"), quorl::test::kHangGuardMs);
        QTRY_VERIFY_WITH_TIMEOUT(painted.count > 0, quorl::test::kHangGuardMs);
        frame.ShutdownLink();
    }
};

QTEST_MAIN(MainFrameTest)
#include "MainFrameTest.moc"
