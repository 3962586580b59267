// `quorl report` on a 1,000-point survey of the demo site, the whole
// command as a user runs it (process start, reading, every map, PNG files
// and the page). Target: under 5 s.

#include <benchmark/benchmark.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "bench/DemoSiteSurvey.h"

namespace {

namespace fs = std::filesystem;

void BM_Report1000Points(benchmark::State& state) {
    const std::string survey = WriteDemoSiteSurvey("quorl-bench-report.ssd", 1000, 24,
                                                   {"Office", "Guest", "Lab", "Printers", "Voice", "Cameras"}, 3, 1);
    const std::string dir = (fs::temp_directory_path() / "quorl-bench-report").string();
    const std::string command = std::string(QUORL_TOOL) + " report " + survey +
                                " --projection " QUORL_DEMO_DIR "/demo.gpf -o " + dir + " >/dev/null";
    for (auto _ : state) {
        const int status = std::system(command.c_str());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("quorl report failed");
            break;
        }
    }
    fs::remove_all(dir);
    fs::remove(survey);
}
BENCHMARK(BM_Report1000Points)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
