// `quorl report` on a 1,000-point survey of the demo site, the whole
// command as a user runs it (process start, reading, every map, PNG files
// and the page). Target: under 5 s.

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

// 1,000 plan taps over the 800 x 600 demo plan, each hearing 24 access
// points of six networks on both bands.
std::string Survey() {
    const std::string path = (fs::temp_directory_path() / "quorl-bench-report.ssd").string();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const auto start = quorl::collection::MakeNewFileStart(0);
    out.write(reinterpret_cast<const char*>(start.data()), start.size());
    std::mt19937 random(3);
    std::uniform_real_distribution<double> x(0, 800), y(0, 600), fade(-4, 4);
    const char* ssids[] = {"Office", "Guest", "Lab", "Printers", "Voice", "Cameras"};
    std::vector<std::pair<double, double>> aps;
    for (int i = 0; i < 24; ++i) aps.emplace_back(x(random), y(random));
    for (int n = 0; n < 1000; ++n) {
        quorl::collection::PointRecord point;
        point.kind = 2;
        point.x = static_cast<std::uint16_t>(x(random));
        point.y = static_cast<std::uint16_t>(y(random));
        point.month = 3;
        point.day = 2;
        point.year = 46;
        point.apCount = 24;
        std::uint8_t record[quorl::collection::kPointRecordSize];
        quorl::collection::EncodePoint(point, record);
        out.write(reinterpret_cast<const char*>(record), sizeof record);
        for (int i = 0; i < 24; ++i) {
            quorl::collection::ApRecord ap;
            ap.channel = i % 2 ? 1 + 5 * (i % 3) : 36 + 4 * (i % 8);
            const double d = std::max(1.0, std::hypot(point.x - aps[i].first, point.y - aps[i].second)) / 13.0;
            ap.signal = static_cast<std::int16_t>((-30 - 30 * std::log10(d) + fade(random)) * 16);
            ap.mac = {0, 0x0A, 0, 0, 1, static_cast<std::uint8_t>(i)};
            const std::string ssid = ssids[i % 6];
            std::copy(ssid.begin(), ssid.end(), ap.ssid.begin());
            std::uint8_t bytes[quorl::collection::kApRecordSize];
            quorl::collection::EncodeAp(ap, bytes);
            out.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
        }
    }
    return path;
}

void BM_Report1000Points(benchmark::State& state) {
    const std::string survey = Survey();
    const std::string dir = (fs::temp_directory_path() / "quorl-bench-report").string();
    const std::string command = std::string(QUORL_TOOL) + " report " + survey + " --projection " QUORL_DEMO_DIR
                                "/demo.gpf -o " + dir + " >/dev/null";
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
