// Decoding and dispatching the unit's byte stream: a long capture of frame
// records merged into a 300-entry AP table, and the time from a frame
// reaching the serial port to its dispatch.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <new>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/ByteOrder.h"
#include "common/RecordingUserMessages.h"
#include "engine/Engine.h"
#include "link/FrameCodec.h"
#include "link/Parser.h"
#include "link/PosixSerialDriver.h"
#include "link/Protocol.h"
#include "link/ReaderThread.h"

namespace {

std::atomic<std::uint64_t> g_allocations{0};

}  // namespace

// Counting replacements of the global allocator. GCC takes the malloc/free
// pairing below for a mismatch once it sees both replaced operators.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace quorl {
namespace {

class NullDriver : public ISerialDriver {
public:
    DriverStatus CountDevices(std::uint32_t& c) override { c = 0; return kDriverFailed; }
    DriverStatus SerialNumberOf(std::uint32_t, char (&)[64]) override { return kDriverFailed; }
    DriverStatus Open(std::uint32_t) override { return kDriverFailed; }
    DriverStatus ClearRts() override { return kDriverFailed; }
    DriverStatus SetBaudRate(std::uint32_t) override { return kDriverFailed; }
    DriverStatus SetDataCharacteristics(std::uint8_t, std::uint8_t, std::uint8_t) override { return kDriverFailed; }
    DriverStatus SetFlowControl(std::uint16_t, std::uint8_t, std::uint8_t) override { return kDriverFailed; }
    DriverStatus SetRts() override { return kDriverFailed; }
    DriverStatus GetStatus(std::uint32_t& r) override { r = 0; return kDriverFailed; }
    DriverStatus Read(std::uint8_t*, std::uint32_t, std::uint32_t& g) override { g = 0; return kDriverFailed; }
    DriverStatus Write(const std::uint8_t*, std::uint32_t c, std::uint32_t& w) override { w = c; return kDriverOk; }
    void Close() override {}
};

// A beacon as the unit reports it: head, then SSID, rates, DS, TIM, country
// and RSN elements (about 120 bytes).
std::vector<std::uint8_t> Beacon(int ap, std::int16_t rssi, std::uint8_t channel) {
    std::vector<std::uint8_t> r(39, 0);
    WriteLe16(&r[2], static_cast<std::uint16_t>(rssi));
    r[5] = 0x01;
    WriteLe16(&r[10], 0x0080);
    const std::uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x3C, static_cast<std::uint8_t>(ap >> 8), static_cast<std::uint8_t>(ap)};
    std::copy(mac, mac + 6, r.begin() + 18);
    const std::string ssid = "site-net-" + std::to_string(ap);
    auto element = [&](std::uint8_t id, std::vector<std::uint8_t> value) {
        r.push_back(id);
        r.push_back(static_cast<std::uint8_t>(value.size()));
        r.insert(r.end(), value.begin(), value.end());
        ++r[38];
    };
    element(0, std::vector<std::uint8_t>(ssid.begin(), ssid.end()));
    element(1, {0x82, 0x84, 0x8B, 0x96, 0x0C, 0x12, 0x18, 0x24});
    element(3, {channel});
    element(5, {0x00, 0x01, 0x00, 0x00});
    element(7, {'U', 'S', ' ', 0x01, 0x0B, 0x1E});
    element(48, std::vector<std::uint8_t>(20, 0x11));
    return r;
}

constexpr int kAccessPoints = 300;

std::vector<std::uint8_t> Capture(std::size_t records) {
    std::mt19937 rng(7);
    std::vector<std::uint8_t> wire;
    for (std::size_t i = 0; i < records; ++i) {
        const int ap = static_cast<int>(rng() % kAccessPoints);
        const auto rec = Beacon(ap, static_cast<std::int16_t>(-400 - static_cast<int>(rng() % 1200)), 6);
        AppendMessage(kMsgFrameRecord, rec.data(), static_cast<std::uint32_t>(rec.size()), wire);
    }
    return wire;
}

void TuneToChannel6(CEngine& engine) {
    std::uint8_t bg[15] = {};
    bg[6] = 1;
    engine.SetChannelPlan(bg, nullptr);
    engine.StartScan();
    const std::uint8_t check = kMsgScanAck;  // empty body: the check byte is the type
    engine.HandleFrame(&check, kMsgScanAck, 1);
}

void BM_DecodeAndDispatchFrameRecords(benchmark::State& state) {
    NullDriver driver;
    GpsStatus gps;
    RecordingUserMessages messages;
    CEngine engine(driver, gps, messages);
    TuneToChannel6(engine);
    const std::vector<std::uint8_t> wire = Capture(20000);
    auto warm = std::make_unique<CParser>();
    auto parser = std::make_unique<CParser>();
    // Every access point is in the table before timing starts.
    for (int ap = 0; ap < kAccessPoints; ++ap) {
        const auto rec = Beacon(ap, -800, 6);
        engine.AddFrameRecord(rec.data(), static_cast<std::uint32_t>(rec.size()));
    }
    const std::vector<CMac> start = engine.CopyApTable();

    std::uint64_t allocations = 0;
    for (auto _ : state) {
        const std::uint64_t before = g_allocations.load(std::memory_order_relaxed);
        for (std::uint8_t b : wire) {
            parser->PushByte(b);
            if (parser->Complete()) {
                engine.HandleFrame(parser->Body(), parser->Type(), parser->Length());
                parser->Reset();
            }
        }
        allocations += g_allocations.load(std::memory_order_relaxed) - before;
    }
    if (engine.ApCount() != static_cast<std::size_t>(kAccessPoints)) state.SkipWithError("AP table lost entries");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * wire.size()));
    state.counters["records_per_s"] = benchmark::Counter(20000.0 * static_cast<double>(state.iterations()),
                                                         benchmark::Counter::kIsRate);
    state.counters["allocs_per_iter"] =
        static_cast<double>(allocations) / static_cast<double>(state.iterations());
    state.counters["aps"] = static_cast<double>(engine.ApCount());
    benchmark::DoNotOptimize(start);
}
BENCHMARK(BM_DecodeAndDispatchFrameRecords)->Unit(benchmark::kMillisecond);

// Frame written to the master side of a pseudo-terminal until the handler
// runs on the reader thread (which pauses 10 ms whenever nothing is queued).
void BM_FrameToDispatchLatency(benchmark::State& state) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    char name[128];
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    PosixSerialDriver driver(name);
    driver.Open(0);
    std::mutex mutex;
    std::condition_variable cv;
    std::uint64_t seen = 0;
    CReaderThread reader(driver, [&](const std::uint8_t*, std::uint8_t, std::uint32_t) {
        std::lock_guard lock(mutex);
        ++seen;
        cv.notify_one();
    });
    reader.Start();
    const std::uint8_t data[4] = {1, 2, 3, 4};
    const auto frame = EncodeMessage(kMsgPowerStatus, data, 4);
    std::mt19937 rng(3);
    double worst = 0;
    for (auto _ : state) {
        // Arrive at a random point of the reader's pause.
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 12000));
        std::unique_lock lock(mutex);
        const std::uint64_t target = seen + 1;
        const auto sent = std::chrono::steady_clock::now();
        if (::write(master, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) {
            state.SkipWithError("write failed");
            break;
        }
        cv.wait(lock, [&] { return seen >= target; });
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
        worst = std::max(worst, elapsed);
        state.SetIterationTime(elapsed);
    }
    reader.Stop();
    ::close(master);
    state.counters["worst_ms"] = worst * 1000.0;
}
BENCHMARK(BM_FrameToDispatchLatency)->UseManualTime()->Iterations(300)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorl

BENCHMARK_MAIN();
