#pragma once
// Helpers shared by the simulated unit's tests: sending commands as the
// program encodes them, and splitting the unit's output into frames.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "link/FrameCodec.h"
#include "link/Parser.h"
#include "sim/ScenarioLoader.h"
#include "sim/SimulatedUnit.h"

namespace quorl::sim::testing {

struct Frame {
    std::uint8_t type = 0;
    std::vector<std::uint8_t> data;  // without the check byte
    bool checkPasses = false;
};

inline std::vector<Frame> Frames(const std::vector<std::uint8_t>& bytes) {
    std::vector<Frame> frames;
    CParser parser;
    for (std::uint8_t b : bytes) {
        parser.PushByte(b);
        if (!parser.Complete()) continue;
        Frame f;
        f.type = parser.Type();
        f.checkPasses = FrameCheckPasses(parser.Type(), parser.Body(), parser.Length());
        if (parser.Length() > 0) f.data.assign(parser.Body(), parser.Body() + parser.Length() - 1);
        frames.push_back(std::move(f));
        parser.Reset();
    }
    return frames;
}

inline void SendCommand(SimulatedUnit& unit, std::uint8_t type, std::vector<std::uint8_t> data, double seconds) {
    std::array<std::uint8_t, kCommandFrameSize> frame;
    const std::size_t n = EncodeCommand(type, data.data(), static_cast<std::uint32_t>(data.size()), frame);
    unit.Receive(frame.data(), n, Micros(static_cast<std::int64_t>(seconds * 1e6)));
}

inline Micros At(double seconds) { return Micros(static_cast<std::int64_t>(seconds * 1e6)); }

inline Scenario ScenarioFrom(const std::string& json) {
    Scenario s;
    std::string error;
    if (!ParseScenario(json, s, error)) ADD_FAILURE() << error;
    return s;
}

}  // namespace quorl::sim::testing
