// Makes the demo survey: the simulated unit walks the demo office five
// times round while the program's own engine, reader thread and collection
// code take points on the GPS projection, as automatic scanning does: a
// point at the GPS fix, one channel every two seconds, stored when the
// sweep ends and the next one begun at once. While the receiver has no
// lock the surveyor taps a few points where they stand instead. No window;
// the unit's clock is virtual and moves in two-second steps as fast as the
// reader thread keeps up, so the walk of eighteen minutes takes seconds.
//   quorl_make_demo_survey DEMO.gpf OUT.ssd

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "common/RecordingUserMessages.h"
#include "common/Timing.h"
#include "engine/DeviceSession.h"
#include "engine/Engine.h"
#include "engine/GpsStatus.h"
#include "sim/DefaultScenario.h"
#include "sim/SimulatedDriver.h"
#include "sim/TrackModel.h"
#include "survey/SiteData.h"
#include "survey/SiteProjection.h"

using namespace quorl;

namespace {

constexpr double kTimeScale = 0.001;       // start-up waits of 2 ms
constexpr int kStepMs = 2000;              // one channel dwell
constexpr double kWalkSeconds = 5 * 209.0; // five rounds of the office
constexpr int kMaxTaps = 8;
// 2026-03-02 09:00:00 UTC, so that the demo's dates do not depend on the build.
constexpr std::int64_t kStartTime = 1772442000;

std::atomic<std::int64_t> virtualNanos{0};

std::chrono::steady_clock::time_point VirtualNow() {
    return std::chrono::steady_clock::time_point(std::chrono::nanoseconds(virtualNanos.load()));
}

// Waits until the reader thread has taken everything the unit sent and had
// a moment to dispatch it.
void Drain(sim::SimulatedDriver& driver) {
    for (int i = 0; i < 2000 && driver.WithUnit([](sim::SimulatedUnit& u) { return u.Pending(); }) > 0; ++i)
        std::this_thread::sleep_for(std::chrono::microseconds(250));
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quorl_make_demo_survey DEMO.gpf OUT.ssd\n");
        return 2;
    }
    const std::string projectionPath = argv[1], out = argv[2], temp = out + ".part";
    timing::SetTimeScale(kTimeScale);

    sim::Scenario scenario = sim::DefaultScenario();
    scenario.startTime = kStartTime;
    const sim::TrackModel walk(scenario.track);
    sim::SimulatedDriver driver(scenario, VirtualNow);
    RecordingUserMessages messages;
    GpsStatus gps;
    CEngine engine(driver, gps, messages);
    DeviceSession session(driver, engine);

    CSiteProjection projection(gps, messages);
    if (!projection.Load(projectionPath) || projection.Kind() != CSiteProjection::kGpsProjection) {
        std::fprintf(stderr, "quorl_make_demo_survey: %s is not a usable GPS projection\n", projectionPath.c_str());
        return 1;
    }
    CSiteData data(engine, gps, projection, messages);
    data.SetDurableWrites(false);
    data.SetCollectionPath(temp);
    if (!data.CreateCollection()) {
        std::fprintf(stderr, "quorl_make_demo_survey: cannot create %s\n", temp.c_str());
        return 1;
    }

    std::uint8_t bg[15] = {};
    bg[1] = bg[6] = bg[11] = 1;
    std::uint8_t ah[25] = {};
    ah[1] = 1;   // 36
    ah[20] = 1;  // 149
    engine.SetChannelPlan(bg, ah);
    session.StartUp();

    const auto stepNanos = static_cast<std::int64_t>(kStepMs * 1e6 * kTimeScale);
    bool sweeping = false;
    int taps = 0, stored = 0;
    double lastTap = -1e9;
    auto unitSeconds = [&] { return driver.WithUnit([](sim::SimulatedUnit& u) { return u.Now().count() / 1e6; }); };
    for (;;) {
        virtualNanos += stepNanos;
        Drain(driver);
        const double now = unitSeconds();
        if (sweeping) {
            if (engine.SweepActive()) {
                engine.NextChannel();
            } else if (engine.EndSweep()) {
                data.RecordPoint();
                if (data.LastFileFailed()) return 1;
                ++stored;
                sweeping = false;
            }
        }
        if (now > kWalkSeconds) break;
        if (!sweeping && gps.lock3d.load() == 1) {
            data.BeginPoint(CSiteData::kGpsPoint, projection.PlanXFromGps(), projection.PlanYFromGps());
            engine.StartScan();
            sweeping = true;
        } else if (!sweeping && taps < kMaxTaps && now - lastTap > 10) {
            // No lock: tap where the walker stands.
            const sim::GeoPoint at = walk.PositionAt(now);
            const PlanPoint p = projection.PlanFromPosition(at.latitude, at.longitude);
            data.BeginPoint(CSiteData::kProjectedTap, p.x, p.y);
            engine.StartScan();
            sweeping = true;
            lastTap = now;
            ++taps;
        }
        Drain(driver);
    }
    session.Shutdown();
    if (stored < 20) {
        std::fprintf(stderr, "quorl_make_demo_survey: only %d points were stored\n", stored);
        std::filesystem::remove(temp);
        return 1;
    }
    std::error_code ec;
    std::filesystem::rename(temp, out, ec);
    if (ec) {
        std::fprintf(stderr, "quorl_make_demo_survey: cannot create %s: %s\n", out.c_str(), ec.message().c_str());
        return 1;
    }
    std::printf("%s: %d points, %d of them tapped\n", out.c_str(), stored, taps);
    return 0;
}
