// Writes the replay regression captures into a folder: what the simulated
// unit sends in a few situations, and one stream of garbage and broken frames
// put together by hand. Run once; the captures and the expected `quorl
// replay` output beside them are checked in. Usage: make_replay_captures DIR

#include <array>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "common/ByteOrder.h"
#include "link/FrameCodec.h"
#include "link/Protocol.h"
#include "sim/DefaultScenario.h"
#include "sim/ScenarioLoader.h"
#include "sim/SimulatedUnit.h"

namespace {

using quorl::sim::Micros;
using quorl::sim::Scenario;
using quorl::sim::SimulatedUnit;
using Bytes = std::vector<std::uint8_t>;

Micros At(double seconds) { return Micros(static_cast<std::int64_t>(seconds * 1e6)); }

// A program's side of the conversation: commands at given times.
struct Step {
    double at;
    std::uint8_t type;
    Bytes data;
};

Bytes Converse(const Scenario& scenario, const std::vector<Step>& steps, double until) {
    SimulatedUnit unit(scenario, 0);
    for (const Step& s : steps) {
        std::array<std::uint8_t, quorl::kCommandFrameSize> frame;
        const std::size_t n = quorl::EncodeCommand(s.type, s.data.data(), static_cast<std::uint32_t>(s.data.size()), frame);
        unit.Receive(frame.data(), n, At(s.at));
    }
    unit.AdvanceTo(At(until));
    return unit.TakeAllOutput();
}

Scenario FromJson(const char* json) {
    Scenario s;
    std::string error;
    if (!quorl::sim::ParseScenario(json, s, error)) {
        std::fprintf(stderr, "scenario: %s\n", error.c_str());
        std::exit(1);
    }
    return s;
}

void Append(Bytes& out, std::initializer_list<std::uint8_t> bytes) { out.insert(out.end(), bytes); }

void AppendMessage(Bytes& out, std::uint8_t type, const Bytes& data) {
    quorl::AppendMessage(type, data.data(), static_cast<std::uint32_t>(data.size()), out);
}

// Garbage, truncated and malformed frames between a few good ones.
Bytes Garbage() {
    Bytes out;
    Append(out, {0x00, 0xFF, 0x13, 0x12, 0x14, 0x7E});                 // noise
    Append(out, {0x11, 0x11, 0x12, 0x01, 0x00});                       // 11 11 12 is no frame start
    Append(out, {0x11, 0x12, 0x01, 0x31, 0x2E, 0x30, 0x00, 0x2F, 0x11, 0x13});  // firmware, check wrong
    Append(out, {0x11, 0x12, 0x01, 0x31, 0x2E, 0x30, 0x00, 0x2E, 0x11, 0x13});  // firmware 1.0, check right
    Append(out, {0x11, 0x12, 0x05, 0x05, 0x11, 0x13});                 // unknown type, check right
    Append(out, {0x11, 0x12, 0x11, 0x41});                             // type 0x11 without 0x14
    Append(out, {0x11, 0x12, 0x02, 0x41, 0x42, 0x11, 0x12, 0x43});     // a start inside a body
    AppendMessage(out, quorl::kMsgSerial, Bytes{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J'});  // ten characters
    AppendMessage(out, quorl::kMsgFrameRecord, Bytes{0x06, 0x00, 0x40, 0xF1, 0x01, 0x01});  // cut short
    {
        // A beacon claiming 200 elements, the last running past the body.
        Bytes r(39, 0);
        quorl::WriteLe16(&r[2], static_cast<std::uint16_t>(-900));
        r[5] = 0x01;
        r[10] = 0x80;
        for (int i = 0; i < 6; ++i) r[18 + i] = static_cast<std::uint8_t>(0xA0 + i);
        r[38] = 200;
        Append(r, {0x00, 0x05, 'S', 'h', 'o', 'r', 't', 0x03, 0x01, 0x01, 0x00, 0x30, 'x'});
        AppendMessage(out, quorl::kMsgFrameRecord, r);
        // The same access point with a 40-byte SSID and a lead byte in its RSSI.
        Bytes longer(39, 0);
        quorl::WriteLe16(&longer[2], static_cast<std::uint16_t>(-751));  // FD11: escaped on the wire
        longer[5] = 0x01;
        longer[10] = 0x80;
        for (int i = 0; i < 6; ++i) longer[18 + i] = static_cast<std::uint8_t>(0xB0 + i);
        longer[38] = 2;
        longer.push_back(0x00);
        longer.push_back(40);
        for (int i = 0; i < 40; ++i) longer.push_back(static_cast<std::uint8_t>('a' + i % 26));
        Append(longer, {0x03, 0x01, 0x01});
        AppendMessage(out, quorl::kMsgFrameRecord, longer);
    }
    AppendMessage(out, quorl::kMsgGpsReport, Bytes{0x00, 0x00, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x40});  // short
    AppendMessage(out, quorl::kMsgPowerStatus, Bytes{0x00, 0x20});     // short: level 32, no battery low
    {
        // A body longer than the decoder's buffer, then a good frame.
        Bytes big(9000, 0x55);
        AppendMessage(out, quorl::kMsgFrameRecord, big);
        AppendMessage(out, quorl::kMsgHandshakeAck, {});
    }
    Append(out, {0x11, 0x12, 0x10, 0x00, 0x01});                       // cut off at the end
    return out;
}

bool Write(const std::string& dir, const std::string& name, const Bytes& bytes) {
    const std::string path = dir + "/" + name + ".bin";
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        std::fprintf(stderr, "%s: cannot be written\n", path.c_str());
        return false;
    }
    std::printf("%s: %zu bytes\n", path.c_str(), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_replay_captures DIR\n");
        return 2;
    }
    const std::string dir = argv[1];

    Scenario demo = quorl::sim::DefaultScenario();
    demo.startTime = 1715679000;  // 2024-05-14 09:30:00 UTC

    // The start-up handshake and one power poll, with the GPS reports of the
    // first seconds between them.
    const Bytes handshake = Converse(demo,
                                     {{0.5, quorl::kCmdRequestFirmware, {}},
                                      {0.6, quorl::kCmdRequestSerial, {}},
                                      {0.7, quorl::kCmdHandshake, {0x01}},
                                      {0.8, quorl::kCmdSetScanning, {0x00}},
                                      {2.5, quorl::kCmdRequestPower, {}}},
                                     3.2);

    // Three seconds of channel 1 in a small office: two access points on 1
    // (one hidden), a neighbour on 2 heard faintly, one on 6 not heard at all,
    // clients probing, data traffic and a few damaged frames.
    const Scenario office = FromJson(R"({
      "seed": 11, "start_time": "2024-05-14T09:30:00Z",
      "access_points": [
        {"mac": "00-0A-1B-2C-3D-4E", "ssid": "Office",    "channel": 1, "lat": 47.37715, "lon": 8.54120, "tx_power_dbm": 18},
        {"mac": "00-0A-1B-2C-3D-4F", "ssid": "",          "channel": 1, "lat": 47.37700, "lon": 8.54160, "tx_power_dbm": 17},
        {"mac": "00-0A-1B-2C-3D-50", "ssid": "Next-Door", "channel": 2, "lat": 47.37725, "lon": 8.54105, "tx_power_dbm": 20},
        {"mac": "00-0A-1B-2C-3D-51", "ssid": "Far-Six",   "channel": 6, "lat": 47.37710, "lon": 8.54130, "tx_power_dbm": 18}
      ],
      "track": {"points": [{"lat": 47.37712, "lon": 8.54125}]},
      "battery": [{"at": 0, "flags": 1, "level": 87, "reading_a": 3710, "reading_b": 520}]
    })");
    const Bytes sweep = Converse(office,
                                 {{0.1, quorl::kCmdSetScanning, {0x01}}, {0.12, quorl::kCmdTune, {0x1C, 0x2F, 0x00, 0x00}}},
                                 3.1);

    // GPS reports walking through the demo office into a stretch without lock.
    Scenario lost = demo;
    lost.noLock = {{5.0, 20.0, 0.0}};
    const Bytes gps = Converse(lost, {}, 8.0);

    // A battery running down: both readings low on three polls in a row.
    Scenario flat = demo;
    flat.battery = {{0, 0x01, 9, 3000, 400}};
    const Bytes battery = Converse(flat,
                                   {{0.2, quorl::kCmdRequestPower, {}},
                                    {0.4, quorl::kCmdRequestPower, {}},
                                    {0.6, quorl::kCmdRequestPower, {}}},
                                   0.9);

    const bool ok = Write(dir, "handshake", handshake) && Write(dir, "sweep-channel1", sweep) &&
                    Write(dir, "gps-nolock", gps) && Write(dir, "battery-low", battery) &&
                    Write(dir, "garbage", Garbage());
    return ok ? 0 : 1;
}
