// Takes the README's screenshots: the collector on the simulated unit, once
// on its start view and once with the File menu open. Run it on a display of
// its own (docs/make-screenshots.sh runs it under xvfb-run). Writes
// start-view.png, main-window-file-menu.png and toolbar.png:
//   quorl-shell-screenshots OUTPUT_FOLDER

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QToolBar>
#include <cstdio>

#include "ScreenshotSupport.h"
#include "shell/MainFrame.h"
#include "shell/ProgramObjects.h"
#include "shell/QtUserMessages.h"
#include "sim/SimulatedDriver.h"
#include "tests/HangGuard.h"

using namespace quorl;
using screenshots::GrabScreen;

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorl-shell-screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QtUserMessages messages;
    ProgramObjects objects(std::make_unique<sim::SimulatedDriver>(), messages);
    CMainFrame frame(objects.engine, objects.session, messages, objects.Views());
    messages.SetParentWindow(&frame);
    if (!screenshots::ShowOverTheScreen(frame)) return 1;
    frame.StartDevice();
    // The unit has told its firmware and serial number by the end of the start-up.
    if (!QTest::qWaitFor([&] { return objects.session.StartedUp(); }, quorl::test::kHangGuardMs)) return 1;
    QTest::qWait(300);
    frame.update();
    QTest::qWait(200);
    bool ok = GrabScreen(folder + "/start-view.png");
    // The tool bar alone, at the screen's pixel density.
    QToolBar* bar = frame.ToolBar();
    const int right = bar->widgetForAction(bar->actions().back())->geometry().right() + 6;
    ok &= bar->grab(QRect(0, 0, right, bar->height())).save(folder + "/toolbar.png");

    QMenu* file = frame.menuBar()->actions().front()->menu();
    file->popup(frame.menuBar()->mapToGlobal(frame.menuBar()->actionGeometry(frame.menuBar()->actions().front()).bottomLeft()));
    QTest::qWait(500);
    ok &= GrabScreen(folder + "/main-window-file-menu.png");
    file->close();

    messages.Close();
    frame.ShutdownLink();
    return ok ? 0 : 1;
}
