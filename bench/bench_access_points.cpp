// How long the access point model takes: `quorl aps`'s work (walls from
// the plan, radio groups, every fit) on a walled floor of 160 x 100 m with
// 50 access points and 10,000 survey points at random, each storing every
// access point above -90 dBm; and the demo-sized case, 1,000 points and 6
// access points on 80 x 50 m.

#include <benchmark/benchmark.h>

#include "analysis/AccessPointPositions.h"
#include "bench/WalledFloor.h"

namespace {

using namespace quorl::analysis;
using quorl::bench::WalledFloor;

void BM_LocateAccessPoints(benchmark::State& state) {
    const int points = static_cast<int>(state.range(0)), aps = static_cast<int>(state.range(1));
    const int width = aps > 10 ? 1600 : 800, height = aps > 10 ? 1000 : 500;
    const WalledFloor floor(1, width, height, aps);
    std::vector<std::pair<double, double>> at;
    std::mt19937 random(5);
    std::uniform_real_distribution<double> x(1, width - 1), y(1, height - 1);
    for (int i = 0; i < points; ++i) at.emplace_back(x(random), y(random));
    const Survey survey = floor.TakeAt(at, 3, 5);
    const PlanFrame frame{width, height, 1 / WalledFloor::kPxPerMetre};
    std::size_t readings = 0;
    for (const SurveyPoint& p : survey.points) readings += p.aps.size();
    for (auto _ : state) {
        const PlanWalls walls = PlanWalls::FromPlan(floor.Plan(), frame.metresPerPixel);
        const AccessPointMap map = LocateAccessPoints(survey, walls, frame);
        benchmark::DoNotOptimize(map.accessPoints.data());
    }
    state.counters["readings"] = static_cast<double>(readings);
}
BENCHMARK(BM_LocateAccessPoints)->Args({1000, 6})->Args({10000, 50})->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace
BENCHMARK_MAIN();
