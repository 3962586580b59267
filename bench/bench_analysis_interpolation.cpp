// Coverage interpolation speed: the `signal` map of a survey with 50 access
// points per point over a 4,000 x 3,000 plan (the metric of every point,
// the default radius and the whole grid), for 1,000 and 10,000 points; and
// the update after one more point on a 1,000-point grid, as the site view
// does after every stored point. Targets: 100 ms, 1 s and 20 ms. The map
// error of 1,000 points is measured too: the site view's legend gives it. The second
// argument fixes the kernel (1 scattered, 2 even, 3 noisy); 0 lets the map
// choose, and the label names the one it took.

#include <benchmark/benchmark.h>

#include <cmath>
#include <optional>
#include <random>

#include "analysis/CoverageGrid.h"
#include "analysis/CrossValidation.h"
#include "analysis/LiveCoverage.h"
#include "analysis/Metrics.h"

namespace {

using namespace quorl::analysis;

constexpr int kWidth = 4000, kHeight = 3000, kAps = 50;

// Points spread over the plan, each hearing 50 APs by a log-distance model.
std::vector<SurveyPoint> Survey(int n, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> x(0, kWidth), y(0, kHeight), fade(-4, 4);
    std::vector<std::pair<double, double>> aps;
    for (int i = 0; i < kAps; ++i) aps.emplace_back(x(random), y(random));
    std::vector<SurveyPoint> points(n);
    for (SurveyPoint& p : points) {
        p.x = x(random);
        p.y = y(random);
        for (int i = 0; i < kAps; ++i) {
            const double d = std::max(1.0, std::hypot(p.x - aps[i].first, p.y - aps[i].second)) / 40.0;  // metres
            const int level = static_cast<int>(-30 - 30 * std::log10(d) + fade(random));
            p.aps.push_back(ApReading{{0, 0, 0, 0, 0, static_cast<std::uint8_t>(i)}, "net", 1 + i % 11, level});
        }
    }
    return points;
}

std::optional<CoverageKernel> KernelArg(std::int64_t arg) {
    switch (arg) {
        case 1:
            return CoverageKernel::Scattered();
        case 2:
            return CoverageKernel::Even();
        case 3:
            return CoverageKernel::Noisy();
        default:
            return std::nullopt;
    }
}

std::vector<ValuePoint> Values(const std::vector<SurveyPoint>& points) {
    std::vector<ValuePoint> values;
    const MetricOptions options = DefaultOptions(Metric::Signal);
    for (const SurveyPoint& p : points)
        if (auto v = PointValue(p, options)) values.push_back({p.x, p.y, *v});
    return values;
}

void BM_InterpolateSignal(benchmark::State& state) {
    const auto points = Survey(static_cast<int>(state.range(0)), 1);
    const GridGeometry geometry = GridGeometry::ForPlan(kWidth, kHeight);
    for (auto _ : state) {
        auto values = Values(points);
        CoverageGrid grid(geometry, DefaultRadius(values, geometry), KernelArg(state.range(1)));
        grid.Build(std::move(values));
        benchmark::DoNotOptimize(grid.Values().data());
        state.SetLabel(grid.Kernel().Name());
    }
    state.counters["cells"] = static_cast<double>(geometry.CellCount());
}
BENCHMARK(BM_InterpolateSignal)
    ->ArgsProduct({{1000, 10000}, {0, 1, 2, 3}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_AddOnePoint(benchmark::State& state) {
    const auto points = Survey(1100, 2);
    const GridGeometry geometry = GridGeometry::ForPlan(kWidth, kHeight);
    std::vector<ValuePoint> values = Values(points);
    const std::vector<ValuePoint> first(values.begin(), values.begin() + 1000);
    const double radius = DefaultRadius(first, geometry);
    CoverageGrid grid(geometry, radius, KernelArg(state.range(0)));
    grid.Build(first);
    state.SetLabel(grid.Kernel().Name());
    std::size_t next = 1000;
    for (auto _ : state) {
        if (next == values.size()) {
            state.PauseTiming();
            grid.Build(first);
            next = 1000;
            state.ResumeTiming();
        }
        grid.Add(values[next++]);
        benchmark::DoNotOptimize(grid.Values().data());
    }
    state.counters["radius"] = radius;
}
BENCHMARK(BM_AddOnePoint)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

// The site view's path: the point list after one more stored point,
// radius from the spacing (compared, and kept unless it drifted).
void BM_LiveUpdateOnePoint(benchmark::State& state) {
    using quorl::CSiteData;
    const auto values = Values(Survey(1100, 4));
    std::vector<CSiteData::_tap> taps;
    for (const ValuePoint& v : values)
        taps.push_back({int(v.x), int(v.y), static_cast<std::int16_t>(v.value), 50, CSiteData::kGpsPoint, 0});
    const std::vector<CSiteData::_tap> first(taps.begin(), taps.begin() + 1000);
    LiveCoverage live(kWidth, kHeight);
    live.Update(first);
    std::vector<CSiteData::_tap> list = first;
    int rebuilds = 0;
    for (auto _ : state) {
        if (list.size() == taps.size()) {
            state.PauseTiming();
            live = LiveCoverage(kWidth, kHeight);
            live.Update(first);
            list = first;
            state.ResumeTiming();
        }
        list.push_back(taps[list.size()]);
        live.Update(list);
        rebuilds += live.LastWasRebuild();
    }
    state.counters["rebuilds"] = rebuilds;
}
BENCHMARK(BM_LiveUpdateOnePoint)->Unit(benchmark::kMillisecond)->UseRealTime();

// The map error of a 1,000-point map (every point left out in turn), as the
// site view's coverage legend recomputes it after a stored point.
void BM_MapError(benchmark::State& state) {
    const GridGeometry geometry = GridGeometry::ForPlan(kWidth, kHeight);
    auto values = Values(Survey(1000, 5));
    CoverageGrid grid(geometry, DefaultRadius(values, geometry));
    grid.Build(std::move(values));
    for (auto _ : state) benchmark::DoNotOptimize(LeaveOneOut(grid).rms);
    state.SetLabel(grid.Kernel().Name());
}
BENCHMARK(BM_MapError)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
