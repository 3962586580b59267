// Takes the README's pictures of a sweep: the main window on the scan view
// part-way through a sweep of the simulated unit, the channel list, and the
// information dialog of the point that sweep stored. Run it on a display of
// its own (docs/make-screenshots.sh runs it under xvfb-run):
//   quorl-scan-screenshots OUTPUT_FOLDER
// Writes scan-view.png, channel-list.png and point-information.png.

#include <QApplication>
#include <QCheckBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "common/Timing.h"
#include "dialogs/ChannelList.h"
#include "dialogs/Info.h"
#include "ScreenshotSupport.h"
#include "shell/MainFrame.h"
#include "shell/ProgramObjects.h"
#include "shell/QtUserMessages.h"
#include "sim/SimulatedDriver.h"
#include "tests/HangGuard.h"

using namespace quorl;
using screenshots::Save;

namespace {

bool GrabDialog(QDialog& dialog, const QString& path) {
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog, quorl::test::kHangGuardMs)) return false;
    QTest::qWait(200);
    const bool ok = Save(dialog.grab(), path);
    dialog.close();
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorl-scan-screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir scratch;
    // Half-second channel steps: the picture is taken mid-sweep, and the
    // simulated unit keeps pace.
    timing::SetTimeScale(0.25);
    QtUserMessages messages;
    ProgramObjects objects(std::make_unique<sim::SimulatedDriver>(), messages);
    CMainFrame frame(objects.engine, objects.session, messages, objects.Views());
    messages.SetParentWindow(&frame);
    frame.resize(640, 480);
    frame.show();
    if (!QTest::qWaitForWindowExposed(&frame, quorl::test::kHangGuardMs)) return 1;
    frame.StartDevice();
    if (!QTest::qWaitFor([&] { return objects.session.StartedUp(); }, quorl::test::kHangGuardMs)) return 1;
    frame.SwitchView(ViewKind::Site);

    // A plan of both bands, chosen the way the user would.
    bool ok = true;
    {
        CChannelList channels(objects.engine, messages);
        channels.BgBox(2)->setChecked(false);
        channels.BgBox(13)->setChecked(false);
        channels.BgBox(14)->setChecked(false);
        channels.AhBox(1)->setChecked(true);
        channels.AhBox(20)->setChecked(true);
        ok &= GrabDialog(channels, folder + "/channel-list.png");
        std::uint8_t bg[15] = {0, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0};
        std::uint8_t ah[25] = {};
        ah[1] = ah[20] = 1;
        objects.engine.SetChannelPlan(bg, ah);
    }

    // A point tapped on a plan, swept in the scan view.
    objects.data.SetCollectionPath(scratch.filePath(QStringLiteral("demo.ssd")).toStdString());
    if (!objects.data.CreateCollection()) return 1;
    objects.data.BeginPoint(CSiteData::kPlanTap, 200, 150);
    objects.engine.StartScan();
    frame.SwitchView(ViewKind::Scan);
    if (!QTest::qWaitFor([&] { return objects.engine.ChannelIndex() >= 7; }, quorl::test::kHangGuardMs)) return 1;
    QTest::qWait(300);
    ok &= Save(frame.grab(), folder + "/scan-view.png");

    // The stored point, as the information dialog lists it.
    if (!QTest::qWaitFor([&] { return frame.ActiveViewKind() == ViewKind::Site; }, quorl::test::kHangGuardMs)) return 1;
    if (objects.data.FindNearestPoint(200, 150) == CSiteData::kNoPoint) return 1;
    {
        CInfo info(objects.data, messages, &frame);
        ok &= GrabDialog(info, folder + "/point-information.png");
    }

    messages.Close();
    frame.ShutdownLink();
    return ok ? 0 : 1;
}
