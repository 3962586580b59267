// Takes the README's picture of the floor chooser: the collector on the
// simulated unit with a building of three floors, the demo survey on the
// ground floor with its coverage layer, the tool bar's floor list open.
// Run it on a display of its own (docs/make-screenshots.sh runs it under
// xvfb-run). Writes floor-chooser.png:
//   quorl-floor-screenshots DEMO_FOLDER OUTPUT_FOLDER

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "../shell/ScreenshotSupport.h"
#include "common/RecordingUserMessages.h"
#include "shell/MainFrame.h"
#include "shell/ProgramObjects.h"
#include "sim/SimulatedDriver.h"
#include "site/SiteFile.h"
#include "siteview/CommandTarget.h"
#include "siteview/SiteView.h"

using namespace quorl;

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: quorl-floor-screenshots DEMO_FOLDER OUTPUT_FOLDER\n");
        return 2;
    }
    const QString demo = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir dir;
    const auto copy = [&](const char* from, const char* to) {
        return QFile::copy(demo + "/" + QString::fromLatin1(from), dir.filePath(QString::fromLatin1(to)));
    };
    if (!copy("demo.gpf", "ground.gpf") || !copy("demo.ssd", "ground-walk.ssd") || !copy("demo.lpf", "first.lpf") ||
        !copy("demo.lpf", "second.lpf")) {
        std::fprintf(stderr, "cannot copy the demo site from %s\n", argv[1]);
        return 1;
    }
    site::Site building;
    building.name = "Office building";
    building.floors = {{"Ground floor", 0, {}, "ground.gpf", {"ground-walk.ssd"}, {}},
                       {"First floor", 1, {}, "first.lpf", {}, {}},
                       {"Second floor", 2, {}, "second.lpf", {}, {}}};
    const std::string sitePath = dir.filePath(QStringLiteral("office.qsite")).toStdString();
    std::string error;
    if (!site::SaveSite(sitePath, building, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }

    RecordingUserMessages messages;
    ProgramObjects objects(std::make_unique<sim::SimulatedDriver>(), messages);
    CMainFrame frame(objects.engine, objects.session, messages, objects.Views());
    if (!screenshots::ShowOverTheScreen(frame)) return 1;
    frame.StartDevice();
    QTest::qWait(2500);
    if (!frame.OpenSite(sitePath)) {
        for (const auto& text : messages.Texts()) std::fprintf(stderr, "%s\n", text.c_str());
        return 1;
    }
    auto& site = *static_cast<CSiteView*>(frame.View(ViewKind::Site));
    frame.RunCommand(command::kCoverage);
    if (!QTest::qWaitFor([&] { return !site.Coverage().image.isNull(); }, 20000)) return 1;
    frame.UpdateCommandUi();
    site.viewport()->repaint();
    QTest::qWait(300);
    frame.FloorChooser()->showPopup();
    QTest::qWait(500);
    const bool ok = screenshots::GrabScreen(QString::fromLocal8Bit(argv[2]) + "/floor-chooser.png");
    frame.FloorChooser()->hidePopup();
    frame.ShutdownLink();
    return ok ? 0 : 1;
}
