// `quorl check` on a 10,000-point survey of the demo site, the whole command
// as a user runs it (process start, reading, one map per metric, the
// leave-one-out error, the verdict): voice profile plus the two counts.
// Target: under 1 s.

#include <benchmark/benchmark.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "survey/CollectionFormat.h"

namespace {

namespace fs = std::filesystem;

// Plan taps over the 800 x 600 demo plan, each hearing 12 access points of
// three networks on both bands, levels falling with distance.
std::string Survey(int points) {
    const std::string path = (fs::temp_directory_path() / "quorl-bench-check.ssd").string();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const auto start = quorl::collection::MakeNewFileStart(0);
    out.write(reinterpret_cast<const char*>(start.data()), start.size());
    std::mt19937 random(5);
    std::uniform_real_distribution<double> x(0, 800), y(0, 600), fade(-4, 4);
    const char* ssids[] = {"Office", "Guest", "Voice"};
    constexpr int kAps = 12;
    std::vector<std::pair<double, double>> aps;
    for (int i = 0; i < kAps; ++i) aps.emplace_back(x(random), y(random));
    for (int n = 0; n < points; ++n) {
        quorl::collection::PointRecord point;
        point.kind = 2;
        point.x = static_cast<std::uint16_t>(x(random));
        point.y = static_cast<std::uint16_t>(y(random));
        point.month = 3;
        point.day = 2;
        point.year = 46;
        point.apCount = kAps;
        std::uint8_t record[quorl::collection::kPointRecordSize];
        quorl::collection::EncodePoint(point, record);
        out.write(reinterpret_cast<const char*>(record), sizeof record);
        for (int i = 0; i < kAps; ++i) {
            quorl::collection::ApRecord ap;
            ap.channel = i % 2 ? 1 + 5 * (i % 3) : 36 + 4 * (i % 8);
            const double d = std::max(1.0, std::hypot(point.x - aps[i].first, point.y - aps[i].second)) / 13.0;
            ap.signal = static_cast<std::int16_t>((-30 - 30 * std::log10(d) + fade(random)) * 16);
            ap.mac = {0, 0x0A, 0, 0, 2, static_cast<std::uint8_t>(i)};
            const std::string ssid = ssids[i % 3];
            std::copy(ssid.begin(), ssid.end(), ap.ssid.begin());
            std::uint8_t bytes[quorl::collection::kApRecordSize];
            quorl::collection::EncodeAp(ap, bytes);
            out.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
        }
    }
    return path;
}

void BM_Check10000Points(benchmark::State& state) {
    const std::string survey = Survey(10000);
    const std::string command = std::string(QUORL_TOOL) + " check " + survey + " --projection " QUORL_DEMO_DIR
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
