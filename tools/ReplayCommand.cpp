// quorl replay FILE [--scan]: runs a captured unit-to-program byte stream
// through the reader's decoder and the engine's dispatcher, exactly as the
// reader thread does, and prints what the program made of it as one JSON
// document. Frames the program writes in reply are recorded, not sent.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/RecordingUserMessages.h"
#include "common/UserMessages.h"
#include "common/Timing.h"
#include "engine/Engine.h"
#include "engine/GpsStatus.h"
#include "link/ReaderThread.h"
#include "tools/CommandRegistry.h"
#include "tools/ReplayDriver.h"

namespace quorl::tools {

namespace {

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        text.push_back(digits[b >> 4]);
        text.push_back(digits[b & 0x0F]);
    }
    return text;
}

std::string MacText(const std::array<std::uint8_t, 6>& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2], mac[3], mac[4],
                  mac[5]);
    return text;
}

nlohmann::ordered_json Describe(const CEngine& engine, const ReplayDriver& driver) {
    using nlohmann::ordered_json;
    ordered_json doc;
    doc["firmware"] = engine.FirmwareText();
    doc["serial"] = engine.SerialText();
    doc["scan"] = {
        {"requested", engine.ScanRequested() ? 1 : 0},
        {"active", engine.SweepActive() ? 1 : 0},
        {"end_handled", engine.SweepEndHandled() ? 1 : 0},
        {"index", engine.ChannelIndex()},
        {"channel", engine.CurrentChannel()},
        {"count", engine.ChannelCount()},
    };
    ordered_json aps = ordered_json::array();
    for (const CMac& ap : engine.CopyApTable()) {
        aps.push_back({
            {"mac", MacText(ap.mac)},
            {"ssid", ap.SsidText()},
            {"channel", ap.channel},
            {"rssi_sum", ap.rssiSum},
            {"hits", ap.hits},
        });
    }
    doc["aps"] = std::move(aps);
    const GpsSnapshot gps = engine.Gps().Snapshot();
    doc["gps"] = {
        {"lat", gps.latitude},   {"lon", gps.longitude},   {"month", gps.month},      {"day", gps.day},
        {"year", gps.year},      {"hour", gps.hour},       {"minute", gps.minute},    {"second", gps.second},
        {"lock3d", gps.lock3d},  {"lock2d", gps.lock2d},   {"scaled_a", gps.scaledA}, {"scaled_b", gps.scaledB},
        {"fine_time", gps.fineTime},
    };
    const PowerStatus power = engine.Power();
    doc["power"] = {{"battery_low", power.batteryLow}, {"level", power.level}, {"counter", power.lowCounter}};
    ordered_json sent = ordered_json::array();
    for (const auto& frame : driver.Written()) sent.push_back(Hex(frame));
    doc["sent"] = std::move(sent);
    doc["frames"] = {{"dispatched", engine.FramesDispatched()}, {"dropped", engine.FramesDropped()}};
    return doc;
}

struct ReplayArgs {
    std::string path;
    bool scan = false;
};

int Replay(const Command& command, const ReplayArgs& args) {
    const std::string& path = args.path;
    if (path.empty()) return command.UsageError("a capture file is needed");
    ReplayDriver driver(path);
    if (!driver.Good()) {
        std::fprintf(stderr, "quorl replay: %s: cannot be read: %s\n", path.c_str(),
                     SystemErrorText(driver.Error()).c_str());
        return 1;
    }
    // Nobody is there to read the battery-low boxes: their texts go to
    // standard error, and the pause before them shrinks to nothing.
    timing::SetTimeScale(1e-9);
    RecordingUserMessages messages(true);
    GpsStatus gps;
    CEngine engine(driver, gps, messages);
    CReaderThread reader(driver, [&engine](const std::uint8_t* body, std::uint8_t type, std::uint32_t length) {
        engine.HandleFrame(body, type, length);
    });
    if (args.scan) engine.StartScan();
    // The reader's own loop, without its pauses: status, read, decode,
    // until the capture is used up.
    while (!driver.Exhausted()) {
        if (reader.RunOnce() == CReaderThread::Step::Idle) break;
    }

    const std::string text =
        Describe(engine, driver).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    std::printf("%s\n", text.c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
}

const RegisterCommand kRegister("replay", "decode a captured byte stream, print JSON",
                                "usage: quorl replay FILE [--scan]\n", [](Command& c) {
                                    auto args = std::make_shared<ReplayArgs>();
                                    c.Positional("FILE", args->path, "captured unit-to-tablet bytes");
                                    c.Flag("--scan", args->scan, "start a sweep first, as the Scan button does");
                                    c.Does([&c, args] { return Replay(c, *args); });
                                });

}  // namespace

}  // namespace quorl::tools
