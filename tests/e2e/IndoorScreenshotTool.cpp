// Takes the README's pictures of an indoor survey: the collector on the
// simulated unit, a floor two and a half times the demo office, a walking
// survey in progress at 100 %, then the whole floor at the fitted zoom. Run
// it on a display of its own (docs/make-screenshots.sh runs it under
// xvfb-run). Writes site-view-walking.png and site-view-fitted.png:
//   quorl-indoor-screenshots DEMO_BITMAP OUTPUT_FOLDER

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <fstream>

#include "common/RecordingUserMessages.h"
#include "common/Timing.h"
#include "shell/MainFrame.h"
#include "../shell/ScreenshotSupport.h"
#include "shell/ProgramObjects.h"
#include "sim/SimulatedDriver.h"
#include "siteview/SiteView.h"
#include "survey/AffineTransform.h"
#include "survey/PlanEncoder.h"
#include "survey/ProjectionFormat.h"
#include "survey/SitePlan.h"

using namespace quorl;
using screenshots::GrabScreen;

namespace {

constexpr double kScale = 2.5;

// A linear projection of the demo office drawn kScale times larger.
bool WriteFloor(const QString& bitmap, const std::string& path) {
    const QImage office(bitmap);
    if (office.isNull()) return false;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    office.scaled(office.size() * kScale, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(&buffer, "BMP");
    const auto block = EncodePlanBlock(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                       static_cast<std::size_t>(bytes.size()));
    if (!block) return false;
    AffineTransform transform;
    transform.b = 1000000.0 * kScale;
    transform.e = -8541000.0 * kScale;
    transform.c = -1500000.0 * kScale;
    transform.f = 47.3773 * 1500000.0 * kScale;
    const auto file = projection::MakeFile(CSiteProjection::kLinearProjection, transform, *block);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: quorl-indoor-screenshots DEMO_BITMAP OUTPUT_FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[2]);
    QTemporaryDir dir;
    const std::string floor = dir.filePath(QStringLiteral("floor.lpf")).toStdString();
    if (!WriteFloor(QString::fromLocal8Bit(argv[1]), floor)) {
        std::fprintf(stderr, "cannot make the floor from %s\n", argv[1]);
        return 1;
    }
    // Sweeps of a second, not of eight.
    timing::SetTimeScale(0.125);

    RecordingUserMessages messages;
    ProgramObjects objects(std::make_unique<sim::SimulatedDriver>(), messages);
    CMainFrame frame(objects.engine, objects.session, messages, objects.Views());
    if (!screenshots::ShowOverTheScreen(frame)) return 1;
    QTest::qWait(2500);
    frame.SwitchView(ViewKind::Site);
    auto& site = *static_cast<CSiteView*>(frame.View(ViewKind::Site));

    messages.QueueFile(floor);
    frame.RunCommand(command::kLoadProjection);
    frame.RunCommand(command::kActualSize);
    messages.QueueAnswer(false);
    messages.QueueFile(dir.filePath(QStringLiteral("floor-walk.ssd")).toStdString());
    frame.RunCommand(command::kCollectionFile);
    std::uint8_t bg[15] = {};
    bg[1] = bg[6] = bg[11] = 1;
    objects.engine.SetChannelPlan(bg, nullptr);

    const auto tap = [&](int px, int py) {
        PlanPoint s;
        if (!objects.plan.PlanToScreen(px, py, site.PlanArea(), s)) return false;
        QTest::mouseClick(site.viewport(), Qt::LeftButton, {}, QPoint(s.x, s.y));
        return true;
    };
    // Along the open office and up the corridor, in plan pixels of the floor.
    const PlanPoint corners[] = {{300, 1300}, {750, 1300}, {750, 1000}, {400, 1000}, {400, 800}};
    frame.RunCommand(command::kWalkingSurvey);
    objects.plan.CentreOn(corners[0].x, corners[0].y);
    bool ok = tap(corners[0].x, corners[0].y);
    frame.RunCommand(command::kStartScanning);
    for (int i = 1; i < 4; ++i) {
        QTest::qWait(2500);
        ok &= tap(corners[i].x, corners[i].y);
    }
    QTest::qWait(1400);
    frame.UpdateCommandUi();
    site.viewport()->repaint();
    QTest::qWait(200);
    ok &= GrabScreen(folder + "/site-view-walking.png");

    QTest::qWait(1100);
    ok &= tap(corners[4].x, corners[4].y);
    frame.RunCommand(command::kStopScanning);
    QTest::qWait(2500);
    frame.RunCommand(command::kWalkingSurvey);
    while (objects.plan.CanZoomOut()) frame.RunCommand(command::kZoomOut);
    frame.UpdateCommandUi();
    site.viewport()->repaint();
    QTest::qWait(300);
    ok &= GrabScreen(folder + "/site-view-fitted.png");
    if (!ok) std::fprintf(stderr, "a tap missed the plan or a picture was not written\n");

    frame.ShutdownLink();
    return ok ? 0 : 1;
}
