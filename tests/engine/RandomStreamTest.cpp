// Long random and mutated byte streams through the decoder and the
// dispatcher, as the reader thread feeds them. Seeded, so a failure repeats.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "common/Timing.h"
#include "link/Parser.h"
#include "tests/engine/EngineTestSupport.h"

namespace quorl {
namespace {

using namespace test;

// Counts what the user would be shown without keeping it.
class CountingMessages : public IUserMessages {
public:
    int shown = 0;
    void ShowPlain(const std::string&) override { ++shown; }
    bool AskYesNo(const std::string&) override { return false; }
    void ShowInfo(const std::string&) override { ++shown; }
    std::optional<std::string> ChooseFile(const FileDialogRequest&) override { return std::nullopt; }
};

// Sends nowhere; keeps no history, so the stream can be long.
class NullDriver : public FakeSerialDriver {
public:
    std::uint64_t written = 0;
    DriverStatus Write(const std::uint8_t*, std::uint32_t count, std::uint32_t& done) override {
        written += count;
        done = count;
        return kDriverOk;
    }
};

class StreamMaker {
public:
    explicit StreamMaker(std::uint32_t seed) : rng_(seed) {}

    std::uint32_t Below(std::uint32_t n) { return std::uniform_int_distribution<std::uint32_t>(0, n - 1)(rng_); }
    std::uint8_t Byte() { return static_cast<std::uint8_t>(Below(256)); }

    // A plausible message: known types with bodies of about their size,
    // frame records with element lists that may lie about their lengths.
    Bytes Message(std::uint8_t& type) {
        static const std::uint8_t kTypes[] = {1, 2, 3, 9, 10, 16, 17, 17, 17, 17, 0x11, 5, 0, 0xFF};
        type = kTypes[Below(sizeof kTypes)];
        if (type == 10 && Below(8) != 0) type = 17;  // keep the battery path rare: it pauses
        Bytes data;
        switch (type) {
        case 16: data.resize(Below(70)); break;
        case 10: data.resize(Below(10)); break;
        case 17: {
            const Mac6 mac = {0, 1, 2, 3, static_cast<std::uint8_t>(Below(4)), static_cast<std::uint8_t>(Below(64))};
            std::vector<Element> elements;
            for (std::uint32_t n = Below(5); n > 0; --n) {
                Bytes value(Below(48));
                for (auto& b : value) b = Byte();
                elements.push_back({static_cast<std::uint8_t>(Below(5)), value});
            }
            static const std::uint16_t kFc[] = {kFcBeacon, kFcProbeResponse, kFcProbeRequest, kFcData, 0xFFFF};
            data = Record(mac, static_cast<std::int16_t>(Below(2000)) - 1500, elements, kFc[Below(5)],
                          static_cast<std::uint8_t>(Below(4)));
            if (Below(4) == 0) data[38] = Byte();                                 // lying element count
            if (Below(4) == 0) data.resize(Below(static_cast<std::uint32_t>(data.size()) + 1));  // cut short
            return data;
        }
        default: data.resize(Below(Below(16) == 0 ? 9000 : 40)); break;
        }
        for (auto& b : data) b = Byte();
        return data;
    }

    // Wire bytes: frames, some mutated, with noise between them.
    void Append(Bytes& stream) {
        std::uint8_t type = 0;
        const Bytes data = Message(type);
        Bytes frame = EncodeMessage(type, data.data(), static_cast<std::uint32_t>(data.size()));
        switch (Below(6)) {
        case 0:  // flip, drop or insert a byte
            if (!frame.empty()) {
                const std::size_t at = Below(static_cast<std::uint32_t>(frame.size()));
                const std::uint32_t how = Below(3);
                if (how == 0) frame[at] = Byte();
                else if (how == 1) frame.erase(frame.begin() + static_cast<std::ptrdiff_t>(at));
                else frame.insert(frame.begin() + static_cast<std::ptrdiff_t>(at), Below(2) ? 0x11 : Byte());
            }
            break;
        case 1:  // cut the frame short
            frame.resize(Below(static_cast<std::uint32_t>(frame.size()) + 1));
            break;
        default:
            break;
        }
        stream.insert(stream.end(), frame.begin(), frame.end());
        for (std::uint32_t n = Below(4) == 0 ? Below(64) : 0; n > 0; --n)
            stream.push_back(Below(3) == 0 ? static_cast<std::uint8_t>(0x11 + Below(4)) : Byte());
    }

private:
    std::mt19937 rng_;
};

TEST(RandomStream, AnyBytesAreSafeAndKeepTheInvariants) {
    timing::SetTimeScale(0.0001);
    NullDriver driver;
    GpsStatus gps;
    CountingMessages messages;
    CEngine engine(driver, gps, messages);
    CParser parser;
    StreamMaker maker(20240611);
    std::uint64_t frames = 0;

    for (int round = 0; round < 120; ++round) {
        // Move the engine about: other channels, empty plans, sweeps.
        std::uint8_t bg[15];
        std::uint8_t ah[25];
        for (auto& f : bg) f = static_cast<std::uint8_t>(maker.Below(3) == 0);
        for (auto& f : ah) f = static_cast<std::uint8_t>(maker.Below(6) == 0);
        engine.SetChannelPlan(bg, maker.Below(2) ? ah : nullptr);
        if (maker.Below(2)) engine.StartScan();

        Bytes stream;
        while (stream.size() < 60000) {
            if (maker.Below(10) == 0) {
                for (int n = 0; n < 200; ++n) stream.push_back(maker.Byte());  // plain noise
            } else {
                maker.Append(stream);
            }
        }
        for (std::uint8_t b : stream) {
            parser.PushByte(b);
            if (parser.Complete()) {
                ASSERT_LE(parser.Length(), CParser::kBufferSize);
                engine.HandleFrame(parser.Body(), parser.Type(), parser.Length());
                parser.Reset();
                ++frames;
                if (maker.Below(4) == 0) engine.NextChannel();
            }
            if (parser.GetState() == CParser::kIdle) {
                ASSERT_EQ(parser.Length(), 0u);
            }
        }
        parser.Reset();
        ASSERT_TRUE(std::all_of(parser.Body(), parser.Body() + CParser::kBufferSize,
                                [](std::uint8_t b) { return b == 0; }));
        engine.EndSweep();

        ASSERT_LE(engine.FirmwareText().size(), 33u);
        ASSERT_LE(engine.SerialText().size(), 8u);
        ASSERT_LE(engine.ApCount(), 4u * 64u);  // MACs the maker can produce
        engine.ForEachAp([](const CMac& ap) {
            ASSERT_GE(ap.hits, 1);
            ASSERT_GT(ap.channel, 0);
        });
        ASSERT_LE(engine.ChannelIndex(), std::max<std::int32_t>(engine.ChannelCount(), 14));
    }
    EXPECT_GT(frames, 10000u);
    EXPECT_GT(engine.FramesDispatched(), 1000u);
    EXPECT_GT(engine.FramesDropped(), 1000u);
    timing::SetTimeScale(1.0);
}

}  // namespace
}  // namespace quorl
