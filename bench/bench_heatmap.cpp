// `quorl heatmap` of 10,000 points on a 4000 x 3000 plan, the whole command
// as a user runs it (process start, plan decode, interpolation, picture,
// PNG), with the CPU time and peak memory of the process as counters; and
// the same with --radius 1, which leaves mostly the cost that does not
// depend on the points. Targets: 0.5 s CPU, 120 MiB.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/DemoSiteSurvey.h"

namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 4000, kHeight = 3000;

void Put32(std::ofstream& out, std::uint32_t v) {
    const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    out.write(b, 4);
}

// A white 24-bit plan with a grid of dark walls.
std::string WritePlanBmp() {
    const std::string path = (fs::temp_directory_path() / "quorl-bench-heatmap.bmp").string();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::uint32_t stride = (kWidth * 3 + 3) & ~3u, size = stride * kHeight;
    out.write("BM", 2);
    Put32(out, 54 + size);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, kWidth);
    Put32(out, kHeight);
    Put32(out, 1 | (24 << 16));
    Put32(out, 0);
    Put32(out, size);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    std::vector<char> line(stride);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const bool wall = x % 400 < 6 || y % 300 < 6;
            const char v = wall ? char(40) : char(250);
            line[3 * x] = line[3 * x + 1] = line[3 * x + 2] = v;
        }
        out.write(line.data(), stride);
    }
    return path;
}

struct Files {
    std::string bmp, plan, survey, out;
    Files() {
        bmp = WritePlanBmp();
        plan = (fs::temp_directory_path() / "quorl-bench-heatmap.lpf").string();
        out = (fs::temp_directory_path() / "quorl-bench-heatmap.png").string();
        const std::string make = std::string(QUORL_TOOL) + " proj make --kind linear --image " + bmp +
                                 " --transform 1,0,0,1,0,0 " + plan + " >/dev/null";
        if (std::system(make.c_str()) != 0) plan.clear();
        survey = WriteDemoSiteSurvey("quorl-bench-heatmap.ssd", 10000, 12, {"Office", "Guest", "Voice"}, 5, 2,
                                     kWidth, kHeight);
    }
    ~Files() {
        if (std::getenv("QUORL_BENCH_KEEP")) return;  // to profile the command by hand
        for (const std::string* p : {&bmp, &plan, &survey, &out}) fs::remove(*p);
    }
};

double ChildrenCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void RunHeatmap(benchmark::State& state, const std::string& extra) {
    static Files files;
    if (files.plan.empty()) {
        state.SkipWithError("quorl proj make failed");
        return;
    }
    const std::string command = std::string(QUORL_TOOL) + " heatmap " + files.survey + " --projection " +
                                files.plan + extra + " -o " + files.out + " >/dev/null";
    double cpu = 0;
    for (auto _ : state) {
        const double before = ChildrenCpuSeconds();
        const int status = std::system(command.c_str());
        cpu += ChildrenCpuSeconds() - before;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("quorl heatmap failed");
            break;
        }
    }
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    state.counters["cpu_s"] = cpu / double(state.iterations());
    // The largest of any child so far: the heatmap is the largest.
    state.counters["peak_MiB"] = double(usage.ru_maxrss) / 1024.0;
}

void BM_Heatmap10000Points(benchmark::State& state) { RunHeatmap(state, ""); }
void BM_HeatmapRadius1(benchmark::State& state) { RunHeatmap(state, " --radius 1"); }
BENCHMARK(BM_HeatmapRadius1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Heatmap10000Points)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
