// The survey gaps layer's update after one more stored point on a
// 1,000-point survey over a 4,000 x 3,000 plan, as the coverage worker
// computes it (the grid, the verdicts and the picture), without a profile
// and with the voice profile (two grids). Target: 20 ms on one core. The
// coverage layer's update the same way: its grid, picture and map error.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "siteview/GapsCoverage.h"
#include "siteview/SignalCoverage.h"

namespace {

using quorl::CSiteData;

constexpr int kWidth = 4000, kHeight = 3000;

// Taps spread over the plan, their two strongest levels falling off with
// the distance to the nearest of a dozen access points.
std::vector<CSiteData::_tap> Taps(int n, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> x(0, kWidth), y(0, kHeight), fade(-4, 4);
    std::vector<std::pair<double, double>> aps;
    for (int i = 0; i < 12; ++i) aps.emplace_back(x(random), y(random));
    std::vector<CSiteData::_tap> taps;
    for (int i = 0; i < n; ++i) {
        const double px = x(random), py = y(random);
        std::vector<int> levels;
        for (const auto& [ax, ay] : aps) {
            const double metres = std::max(1.0, std::hypot(px - ax, py - ay)) / 40.0;
            levels.push_back(static_cast<int>(-30 - 30 * std::log10(metres) + fade(random)));
        }
        std::sort(levels.rbegin(), levels.rend());
        taps.push_back(CSiteData::_tap{int(px), int(py), static_cast<std::int16_t>(levels[0]), 12, CSiteData::kPlanTap,
                                       0, static_cast<std::int16_t>(levels[1])});
    }
    return taps;
}

// One more point to a layer that has seen 1,000, again and again.
template <typename Source>
void AfterOnePoint(benchmark::State& state, const std::string& profile) {
    const auto taps = Taps(1100, 3);
    const auto request = [&](std::size_t n) {
        quorl::CoverageRequest r;
        r.points.assign(taps.begin(), taps.begin() + static_cast<std::ptrdiff_t>(n));
        r.collectionName = "bench.ssd";
        r.planWidth = kWidth;
        r.planHeight = kHeight;
        r.profile = profile;
        return r;
    };
    auto source = std::make_unique<Source>();
    source->Compute(request(1000));
    std::size_t next = 1001;
    for (auto _ : state) {
        state.PauseTiming();
        if (next > taps.size()) {
            source = std::make_unique<Source>();
            source->Compute(request(1000));
            next = 1001;
        }
        const quorl::CoverageRequest r = request(next++);
        state.ResumeTiming();
        const quorl::CoverageLayer layer = source->Compute(r);
        benchmark::DoNotOptimize(layer.image.constBits());
    }
}

void BM_GapsAfterOnePoint(benchmark::State& state) {
    AfterOnePoint<quorl::GapsCoverage>(state, state.range(0) ? "voice" : "");
}
BENCHMARK(BM_GapsAfterOnePoint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SignalLayerAfterOnePoint(benchmark::State& state) { AfterOnePoint<quorl::SignalCoverage>(state, ""); }
BENCHMARK(BM_SignalLayerAfterOnePoint)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
