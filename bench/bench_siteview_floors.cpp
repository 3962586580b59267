// Switching floors in the collector: a site of two floors, each a 2,500 x
// 1,875 plan (the demo office drawn two and a half times larger, as a
// floor of a real building comes) with a collection of 1,000 points; one
// iteration chooses the other floor and composes the frame the window then
// shows, so the plan and its points are on screen at the end of it. The
// goal is 300 ms a switch.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>

#include "../tests/siteview/SiteViewTestSupport.h"
#include "site/SiteFile.h"
#include "siteview/SiteFloors.h"

namespace {

using namespace quorl;
using namespace quorl::test;

constexpr int kPlanWidth = 2500;
constexpr int kPlanHeight = 1875;
constexpr int kPoints = 1000;

// White with a wall grid, so the plan is no flat colour.
QImage FloorPlan(int shade) {
    QImage image(kPlanWidth, kPlanHeight, QImage::Format_RGB32);
    image.fill(qRgb(255, 255, 255));
    for (int y = 0; y < kPlanHeight; ++y)
        for (int x = 0; x < kPlanWidth; ++x)
            if (x % 250 < 4 || y % 250 < 4) image.setPixel(x, y, qRgb(shade, shade, shade));
    return image;
}

struct Floors {
    SiteFixture f;
    std::unique_ptr<CSiteView> view;
    std::unique_ptr<SiteFloors> floors;

    Floors() {
        view = f.MakeView(1280, 800);
        site::Site building;
        building.name = "bench";
        for (int i = 0; i < 2; ++i) {
            const std::string n = std::to_string(i);
            f.WriteProjection("floor" + n + ".lpf", SiteFixture::Bitmap(FloorPlan(40 + 60 * i)));
            std::vector<TestPoint> points;
            for (int k = 0; k < kPoints; ++k)
                points.push_back({CSiteData::kPlanTap, std::uint16_t(40 + (k % 40) * 60),
                                  std::uint16_t(40 + (k / 40) * 70), {-50 - k % 40, -80}});
            f.UsePoints(points, "floor" + n + ".ssd");
            site::Floor floor;
            floor.name = "Floor " + n;
            floor.level = i;
            floor.projection = "floor" + n + ".lpf";
            floor.surveys = {"floor" + n + ".ssd"};
            building.floors.push_back(floor);
        }
        f.data.CloseCollection();
        std::string error;
        const std::string sitePath = f.PathOf("bench.qsite");
        if (!site::SaveSite(sitePath, building, error)) std::fprintf(stderr, "%s\n", error.c_str());
        floors = std::make_unique<SiteFloors>(*view, f.messages);
        floors->Open(sitePath);
    }
};

void BM_SwitchFloor(benchmark::State& state) {
    Floors b;
    int floor = 0;
    // Each floor once first: the projections write their decoded plans
    // beside them on the first load, as they do the first time in the field.
    b.floors->Choose(1);
    b.floors->Choose(0);
    for (auto _ : state) {
        floor = 1 - floor;
        if (!b.floors->Choose(floor)) state.SkipWithError("the floor did not load");
        const QImage frame = b.view->ComposeFrame();
        benchmark::DoNotOptimize(frame.constBits());
    }
    if (b.f.data.Points().size() != std::size_t{kPoints}) state.SkipWithError("the points did not load");
}
BENCHMARK(BM_SwitchFloor)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
