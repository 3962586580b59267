// `quorl check` on a 10,000-point survey of the demo site, the whole command
// as a user runs it (process start, reading, one map per metric, the
// leave-one-out error, the verdict): voice profile plus the two counts.
// Target: under 1 s.

#include <benchmark/benchmark.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "bench/DemoSiteSurvey.h"

namespace {

namespace fs = std::filesystem;

void BM_Check10000Points(benchmark::State& state) {
    const std::string survey =
        WriteDemoSiteSurvey("quorl-bench-check.ssd", 10000, 12, {"Office", "Guest", "Voice"}, 5, 2);
    const std::string command = std::string(QUORL_TOOL) + " check " + survey +
                                " --projection " QUORL_DEMO_DIR
                                "/demo.gpf --profile voice --require 'ap-count>=2' 'co-channel<=2' --json >/dev/null";
    for (auto _ : state) {
        const int status = std::system(command.c_str());
        // 0 or 1 are verdicts; anything else is a failure to check.
        if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) {
            state.SkipWithError("quorl check failed");
            break;
        }
    }
    fs::remove(survey);
}
BENCHMARK(BM_Check10000Points)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
