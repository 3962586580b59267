// `quorl check` and `quorl report` on a site of 10 floors with 1,000 points
// each (the demo plan as every floor's linear projection, a survey of its
// own per floor), the whole command as a user runs it. Targets: check
// under 2 s, report under 15 s.

#include <benchmark/benchmark.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "bench/DemoSiteSurvey.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFloors = 10;

// The site's folder: floor-N.lpf, floor-N.ssd and building.qsite.
fs::path WriteSite() {
    const fs::path dir = fs::temp_directory_path() / "quorl-bench-site";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream site(dir / "building.qsite");
    site << "{\"format\": \"quorl-site\", \"version\": 1, \"name\": \"Bench\", \"floors\": [";
    for (int f = 0; f < kFloors; ++f) {
        const std::string name = "floor-" + std::to_string(f);
        fs::copy_file(QUORL_DEMO_DIR "/demo.lpf", dir / (name + ".lpf"));
        const std::string survey =
            WriteDemoSiteSurvey("quorl-bench-site-" + name + ".ssd", 1000, 12, {"Office", "Guest", "Voice"},
                                static_cast<unsigned>(f + 1), static_cast<std::uint8_t>(f));
        fs::rename(survey, dir / (name + ".ssd"));
        site << (f ? ", " : "") << "{\"name\": \"" << name << "\", \"level\": " << f << ", \"projection\": \""
             << name << ".lpf\", \"surveys\": [\"" << name << ".ssd\"]}";
    }
    site << "], \"requirements\": {\"profile\": \"voice\"}}\n";
    return dir;
}

void Run(benchmark::State& state, const std::string& command) {
    for (auto _ : state) {
        const int status = std::system(command.c_str());
        // 0 or 1 are verdicts; anything else is a failure.
        if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) {
            state.SkipWithError("quorl failed");
            break;
        }
    }
}

void BM_CheckSite10x1000(benchmark::State& state) {
    const fs::path dir = WriteSite();
    Run(state, std::string(QUORL_TOOL) + " check " + (dir / "building.qsite").string() + " --json >/dev/null");
    fs::remove_all(dir);
}
BENCHMARK(BM_CheckSite10x1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_ReportSite10x1000(benchmark::State& state) {
    const fs::path dir = WriteSite();
    Run(state, std::string(QUORL_TOOL) + " report " + (dir / "building.qsite").string() + " -o " +
                   (dir / "report").string() + " >/dev/null");
    fs::remove_all(dir);
}
BENCHMARK(BM_ReportSite10x1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
