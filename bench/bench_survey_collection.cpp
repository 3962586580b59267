// Collection file speed: reading a 200 MB collection back (LoadCollection,
// from the page cache; argument 1 dated as the collector writes, 0 without
// dates), and RecordPoint with 300 access points, with and
// without the flush to disk that makes each point durable.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "common/ByteOrder.h"
#include "survey/CollectionFormat.h"
#include "survey/SiteData.h"
#include "tests/engine/EngineTestSupport.h"

namespace {

using quorl::test::Bytes;

std::string TempPath(const char* name) { return (std::filesystem::temp_directory_path() / name).string(); }

// About 200 MB: points of 20 access points each; dated as the collector
// stores every point, or without dates (such a file makes the walk look
// harder at each group).
std::string MakeBigCollection(bool dated) {
    const std::string p = TempPath(dated ? "quorl-bench-200mb-dated.ssd" : "quorl-bench-200mb.ssd");
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    const auto start = quorl::collection::MakeNewFileStart(0);
    out.write(reinterpret_cast<const char*>(start.data()), start.size());
    Bytes group(36 + 20 * 46);
    quorl::collection::PointRecord point;
    point.kind = 2;
    point.apCount = 20;
    if (dated) {
        point.month = 6;
        point.day = 14;
        point.year = 44;
        point.hour = 10;
    }
    std::uint64_t written = start.size();
    for (int i = 0; written < 200u * 1000 * 1000; ++i) {
        point.x = static_cast<std::uint16_t>(i % 800);
        point.y = static_cast<std::uint16_t>(i % 600);
        quorl::collection::EncodePoint(point, group.data());
        for (int k = 0; k < 20; ++k) {
            quorl::collection::ApRecord ap;
            ap.channel = 1 + k % 11;
            ap.signal = static_cast<std::int16_t>(-(40 + (i + k) % 50) * 16);
            ap.mac = {0, 1, 2, 3, static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(i)};
            quorl::collection::EncodeAp(ap, group.data() + 36 + 46 * k);
        }
        out.write(reinterpret_cast<const char*>(group.data()), static_cast<std::streamsize>(group.size()));
        written += group.size();
    }
    return p;
}

void BM_LoadCollection(benchmark::State& state) {
    static const std::string undated = MakeBigCollection(false), dated = MakeBigCollection(true);
    const std::string& path = state.range(0) ? dated : undated;
    quorl::test::EngineRig unit;
    quorl::CSiteProjection projection(unit.gps, unit.messages);
    quorl::CSiteData data(unit.engine, unit.gps, projection, unit.messages);
    data.SetCollectionPath(path);
    data.LoadCollection();  // warm the page cache
    for (auto _ : state) {
        if (!data.LoadCollection()) state.SkipWithError("load failed");
    }
    state.counters["points"] = static_cast<double>(data.PointCount());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * std::filesystem::file_size(path)));
}
BENCHMARK(BM_LoadCollection)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_RecordPoint300(benchmark::State& state) {
    const bool flush = state.range(0) != 0;
    quorl::test::EngineRig unit;
    quorl::CSiteProjection projection(unit.gps, unit.messages);
    quorl::CSiteData data(unit.engine, unit.gps, projection, unit.messages);
    data.SetCollectionPath(TempPath("quorl-bench-record.ssd"));
    data.SetDurableWrites(flush);
    data.CreateCollection();
    quorl::test::TuneTo(unit.engine, 6);
    data.BeginPoint(quorl::CSiteData::kPlanTap, 100, 100);
    for (int k = 0; k < 300; ++k) {
        const Bytes r = quorl::test::Record(
            {2, 0, 0, 0, static_cast<std::uint8_t>(k >> 8), static_cast<std::uint8_t>(k)},
            static_cast<std::int16_t>(-60 * 16), {quorl::test::Ssid("ap" + std::to_string(k)), quorl::test::Ds(6)});
        unit.engine.AddFrameRecord(r.data(), static_cast<std::uint32_t>(r.size()));
    }
    if (unit.engine.ApCount() != 300) state.SkipWithError("AP table not filled");
    int n = 0;
    for (auto _ : state) {
        if (!data.RecordPoint()) state.SkipWithError("record failed");
        if (++n % 1000 == 0) {
            state.PauseTiming();
            data.CreateCollection();
            state.ResumeTiming();
        }
    }
    std::filesystem::remove(data.CollectionPath());
    state.SetLabel(flush ? "with flush" : "without flush");
}
BENCHMARK(BM_RecordPoint300)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove(TempPath("quorl-bench-200mb.ssd"), ignored);
    return 0;
}
