// Draws the site view for the documentation: the demo projection, a walked
// survey with points of every signal class and an access point marker, and
// the status panel in the middle of a sweep with a 3D lock. Given a
// collection file, it shows that survey (a copy) instead, with the coverage
// layer on; given `--gaps PROFILE`, the walked survey with the survey gaps
// layer on and that requirement profile chosen.
//
//   siteview_screenshot PROJECTION OUTPUT.png [SURVEY.ssd | --gaps PROFILE]

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "SiteViewTestSupport.h"

using namespace quorl;
using namespace quorl::test;

namespace {

struct WalkPoint {
    int x, y;
    int level;  // strongest level heard; 0 for an access point marker
};

// Through the open office, up the corridor and into the rooms; the
// marker stands for an access point found in the open office.
constexpr WalkPoint kWalk[] = {
    {70, 540, -44},  {200, 545, -28}, {330, 540, -36}, {450, 470, -58}, {330, 470, -25},
    {200, 470, -47}, {80, 400, -66},  {145, 290, -73}, {110, 180, -92}, {80, 100, -97},
    {200, 290, -62}, {300, 180, -84}, {330, 290, -69}, {440, 290, -52}, {460, 180, -29},
    {260, 380, 0},
};

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    const bool gaps = argc == 5 && std::string(argv[3]) == "--gaps";
    if (argc != 3 && argc != 4 && !gaps) {
        std::fprintf(stderr, "usage: siteview_screenshot PROJECTION OUTPUT.png [SURVEY.ssd | --gaps PROFILE]\n");
        return 2;
    }
    SiteFixture f;
    auto view = f.MakeView(800, 600);
    f.messages.QueueFile(std::string(argv[1]));
    view->RunCommand(command::kLoadProjection);
    if (!view->PlanLoaded()) {
        for (const auto& text : f.messages.Texts()) std::fprintf(stderr, "%s\n", text.c_str());
        return 1;
    }

    // GPS points, stored as the positions the demo site's transform gives.
    std::vector<TestPoint> points;
    for (const WalkPoint& w : kWalk) {
        if (w.level == 0) {
            points.push_back({CSiteData::kApMarker, std::uint16_t(w.x), std::uint16_t(w.y), {}});
            continue;
        }
        points.push_back({CSiteData::kGpsPoint, 0, 0, {w.level - 12, w.level}});
        points.back().latitude = 47.3773 - (w.y + 0.5) / 1500000.0;
        points.back().longitude = 8.541 + (w.x + 0.5) / 1000000.0;
    }
    if (argc == 4) {
        // A copy under its own name, which the panel and the legend show.
        const QString copy =
            QString::fromStdString(f.PathOf(QFileInfo(QString::fromLocal8Bit(argv[3])).fileName().toStdString()));
        if (!QFile::copy(QString::fromLocal8Bit(argv[3]), copy)) {
            std::fprintf(stderr, "cannot read %s\n", argv[3]);
            return 1;
        }
        f.data.SetCollectionPath(copy.toStdString());
        if (!f.data.LoadCollection()) return 1;
        view->RunCommand(command::kCoverage);
        QElapsedTimer waited;
        waited.start();
        while (view->Coverage().image.isNull() && waited.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (view->Coverage().image.isNull()) {
            std::fprintf(stderr, "no coverage layer for %s\n", argv[3]);
            return 1;
        }
    } else if (gaps) {
        // Half way round: the open office and the corridor walked, the rooms not yet.
        points.resize(8);
        f.UsePoints(points, "office-survey.ssd");
    } else {
        f.UsePoints(points, "office-survey.ssd");
    }
    if (gaps) {
        const std::string profile = argv[4];
        view->RunCommand(profile == "voice"  ? command::kGapsProfileVoice
                         : profile == "data"  ? command::kGapsProfileData
                         : profile == "basic" ? command::kGapsProfileBasic
                                              : command::kGapsProfileNone);
        view->RunCommand(command::kSurveyGaps);
        QElapsedTimer waited;
        waited.start();
        while (view->Gaps().image.isNull() && waited.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (view->Gaps().image.isNull()) {
            std::fprintf(stderr, "no survey gaps layer\n");
            return 1;
        }
    }

    f.gps.month = 6, f.gps.day = 14, f.gps.year = 2024;
    f.gps.hour = 10, f.gps.minute = 42, f.gps.second = 17;
    f.gps.latitude = 47.377105, f.gps.longitude = 8.541423;
    f.gps.lock3d = 1, f.gps.lock2d = 1;
    const std::uint8_t bg[15] = {0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    std::uint8_t ah[25] = {};
    ah[1] = 1;   // 36
    ah[20] = 1;  // 149
    f.engine.SetChannelPlan(bg, ah);
    f.engine.StartScan();
    f.engine.BeginSweep();
    f.engine.NextChannel();
    f.engine.NextChannel();

    if (!view->grab().save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
