// Damaged collections: how well and how fast the walk reads them.
//
// BM_DamageTable/KIND: 300 surveys of 200 points (half dated, half not),
// each damaged one way (DamagedSurveys.h), read by the walk and judged by
// the generator's own record of what it wrote: counters give the untouched
// points, the share of them lost (goal at most 0.1 %) and the phantom
// points read where none was written (goal 0).
//
// BM_Resynchronise: the walk over damage that holds no point: a 4 GiB sparse
// file (zeros, read from the page cache of holes) and 256 MiB of random
// bytes (goal: at least 500 MB/s, the 4 GiB in at most 10 s).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "survey/CollectionScan.h"
#include "tests/survey/DamagedSurveys.h"

namespace {

namespace damage = quorl::test::damage;

std::string TempPath(const char* name) { return (std::filesystem::temp_directory_path() / name).string(); }

void Write(const std::string& path, const damage::Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// (offset, length) of every group the walk reads; false when the file is refused.
bool ReadGroups(const std::string& path, std::vector<std::pair<std::uint64_t, std::uint64_t>>& read) {
    quorl::CollectionScan scan;
    read.clear();
    if (!scan.Open(path)) return false;
    return scan.ForEachGroup([&](const quorl::CollectionGroup& g) { read.emplace_back(g.offset, g.length); });
}

void BM_DamageTable(benchmark::State& state) {
    const auto kind = damage::kKinds[state.range(0)];
    const std::string path = TempPath("quorl-bench-damage.ssd");
    damage::Score total;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> read;
    for (auto _ : state) {
        total = {};
        for (int file = 0; file < 300; ++file) {
            damage::Random rng(static_cast<std::uint64_t>(file) * 977 + static_cast<std::uint64_t>(state.range(0)));
            damage::Survey survey = damage::MakeSurvey(rng, 200, file % 2 == 0);
            damage::Damage(survey, kind, rng);
            Write(path, survey.bytes);
            if (!ReadGroups(path, read)) state.SkipWithError("a damaged survey was refused");
            total += damage::Judge(survey, read);
        }
    }
    std::filesystem::remove(path);
    state.SetLabel(damage::Name(kind));
    state.counters["untouched"] = static_cast<double>(total.untouched);
    state.counters["lost"] = static_cast<double>(total.lost);
    state.counters["lost_pct"] = 100.0 * total.LostShare();
    state.counters["phantom"] = static_cast<double>(total.phantom);
}
BENCHMARK(BM_DamageTable)->DenseRange(0, 7)->Iterations(1)->Unit(benchmark::kMillisecond);

// The header of a new file, then `length` bytes of zeros (a hole) or garbage.
std::string MakeDamage(bool zeros, std::uint64_t length) {
    const std::string path = TempPath(zeros ? "quorl-bench-zeros.ssd" : "quorl-bench-garbage.ssd");
    const auto start = quorl::collection::MakeNewFileStart(0);
    if (zeros) {
        Write(path, damage::Bytes(start.begin(), start.end()));
        std::filesystem::resize_file(path, start.size() + length);
        return path;
    }
    damage::Random rng(7);
    damage::Bytes bytes(start.begin(), start.end());
    bytes.resize(start.size() + length);
    for (std::size_t i = start.size(); i + 8 <= bytes.size(); i += 8) {
        const std::uint64_t r = rng();
        std::memcpy(&bytes[i], &r, 8);
    }
    Write(path, bytes);
    return path;
}

void BM_Resynchronise(benchmark::State& state) {
    const bool zeros = state.range(0) == 1;
    const std::uint64_t length = zeros ? std::uint64_t{4} << 30 : std::uint64_t{256} << 20;
    const std::string path = MakeDamage(zeros, length);
    std::vector<std::pair<std::uint64_t, std::uint64_t>> read;
    ReadGroups(path, read);  // the page cache
    for (auto _ : state) {
        if (!ReadGroups(path, read)) state.SkipWithError("refused");
    }
    std::filesystem::remove(path);
    state.SetLabel(zeros ? "4 GiB sparse (zeros)" : "256 MiB random bytes");
    state.counters["phantom"] = static_cast<double>(read.size());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * length));
}
BENCHMARK(BM_Resynchronise)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
