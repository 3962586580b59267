// Bytes from the unit, as the reader thread sees them, into CParser; every
// complete frame goes to CEngine::HandleFrame, with the UI thread's sweep
// steps interleaved where the input says.
//
// Input: a sequence of items, each led by one control byte c:
//   c < 0xFC   the next c + 1 bytes (fewer at the end) are fed to the decoder
//   0xFC       StartScan          0xFD  NextChannel          0xFE  EndSweep
//   0xFF       SetChannelPlan from the next 5 bytes: bits 0-13 the 2.4 GHz
//              channels 1-14, bits 14-37 the 24 5 GHz positions
//
// Checked: a decoded frame encodes back to exactly the bytes it came from;
// the buffer is zero past every body; every command the engine writes is one
// well-formed command frame and exactly the one the message or step calls
// for; dispatched and dropped counts add up to the frames handed over and
// match an independent check of each frame.

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "common/ByteOrder.h"
#include "common/RecordingUserMessages.h"
#include "common/Timing.h"
#include "engine/Engine.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/Harnesses.h"
#include "link/FrameCodec.h"
#include "link/Parser.h"
#include "link/Protocol.h"
#include "tests/link/FakeSerialDriver.h"

namespace quorl::fuzz {

namespace {

constexpr std::uint8_t kOpStartScan = 0xFC;
constexpr std::uint8_t kOpNextChannel = 0xFD;
constexpr std::uint8_t kOpEndSweep = 0xFE;
constexpr std::uint8_t kOpChannelPlan = 0xFF;

struct Command {
    std::uint8_t type;
    Bytes data;
};

std::string Hex(const Bytes& b) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (std::size_t i = 0; i < b.size() && i < 64; ++i) {
        s += digits[b[i] >> 4];
        s += digits[b[i] & 15];
        s += ' ';
    }
    if (b.size() > 64) s += "...";
    return s;
}

Bytes Tune(std::int32_t value) {
    Bytes d(4);
    WriteLe32(d.data(), static_cast<std::uint32_t>(value));
    return d;
}

// Decodes one written command with a decoder of its own: it must complete
// on its last byte and not before, with the command trailer 0x00.
Command DecodeCommand(const Bytes& frame) {
    CParser parser;
    for (std::size_t i = 0; i < frame.size(); ++i) {
        FUZZ_CHECK(!parser.Complete(), "command frame goes on after its end: " + Hex(frame));
        parser.PushByte(frame[i]);
    }
    FUZZ_CHECK(parser.Complete(), "command frame does not complete: " + Hex(frame));
    FUZZ_CHECK(parser.Length() >= 1 && parser.Body()[parser.Length() - 1] == kCommandTrailer,
               "command frame without its 0x00 trailer: " + Hex(frame));
    FUZZ_CHECK(parser.Length() - 1 <= kMaxCommandData, "command frame over 60 data bytes");
    return Command{parser.Type(), Bytes(parser.Body(), parser.Body() + parser.Length() - 1)};
}

class StreamRun {
public:
    StreamRun() {
        engine_.SetNotifier([this] { ++notifications_; });
        plan_.clear();
        for (int c = 1; c <= 14; ++c) plan_.push_back(ChannelToFrequency(c));  // the engine's start-up plan
    }

    void Run(const std::uint8_t* data, std::size_t size) {
        std::size_t i = 0;
        while (i < size) {
            const std::uint8_t c = data[i++];
            if (c < kOpStartScan) {
                const std::size_t n = std::min<std::size_t>(std::size_t{c} + 1, size - i);
                for (std::size_t k = 0; k < n; ++k) Push(data[i + k]);
                i += n;
            } else if (c == kOpChannelPlan) {
                std::uint8_t bits[5] = {};
                for (std::size_t k = 0; k < 5 && i < size; ++k) bits[k] = data[i++];
                SetPlan(bits);
            } else {
                Step(c);
            }
        }
        FUZZ_CHECK(engine_.FramesDispatched() + engine_.FramesDropped() == handed_,
                   "frame counters do not add up to the frames handed over");
        FUZZ_CHECK(engine_.FramesDispatched() == expectDispatched_, "dispatched count differs from the frames that pass");
    }

private:
    void Push(std::uint8_t b) {
        if (parser_.GetState() == CParser::kIdle) raw_.clear();
        raw_.push_back(b);
        parser_.PushByte(b);
        if (!parser_.Complete()) return;
        CheckFrame();
        HandleFrame();
        parser_.Reset();
        FUZZ_CHECK(parser_.Length() == 0 && parser_.GetState() == CParser::kIdle, "reset leaves a frame behind");
    }

    // The frame as decoded against the bytes it came from.
    void CheckFrame() {
        const std::uint8_t* body = parser_.Body();
        const std::uint32_t length = parser_.Length();
        FUZZ_CHECK(length <= CParser::kBufferSize, "body longer than the buffer");
        static const std::array<std::uint8_t, CParser::kBufferSize> zeros{};
        FUZZ_CHECK(std::memcmp(body + length, zeros.data(), CParser::kBufferSize - length) == 0,
                   "buffer not zero past the body");
        Bytes encoded(MaxEncodedSize(length));
        std::size_t n = 0;
        if (length == 0) {
            // No trailer to hand the encoder: lead, start, type, lead, end.
            encoded = {kFrameLead, kFrameStart, parser_.Type()};
            if (parser_.Type() == kFrameLead) encoded.push_back(kFrameLiteralLead);
            encoded.push_back(kFrameLead);
            encoded.push_back(kFrameEnd);
            n = encoded.size();
        } else {
            n = EncodeFrame(parser_.Type(), body, length - 1, body[length - 1], encoded.data(), encoded.size());
        }
        encoded.resize(n);
        FUZZ_CHECK(encoded == raw_, "frame does not encode back to its bytes:\n  read    " + Hex(raw_) +
                                        "\n  encoded " + Hex(encoded));
    }

    void HandleFrame() {
        const std::uint8_t type = parser_.Type();
        const std::uint8_t* body = parser_.Body();
        const std::uint32_t length = parser_.Length();
        std::uint8_t x = type;
        for (std::uint32_t k = 0; k < length; ++k) x ^= body[k];
        const bool passes = x == 0;
        const bool known = type == kMsgFirmware || type == kMsgSerial || type == kMsgScanAck ||
                           type == kMsgHandshakeAck || type == kMsgPowerStatus || type == kMsgGpsReport ||
                           type == kMsgFrameRecord;
        const std::uint32_t dataLength = length > 0 ? length - 1 : 0;

        std::vector<Command> expect;
        int expectNotify = 0;
        const bool scanRequested = engine_.ScanRequested();
        if (passes) {
            switch (type) {
            case kMsgFirmware: expect.push_back({kCmdRequestSerial, {}}); break;
            case kMsgSerial: expect.push_back({kCmdHandshake, {0x01}}); break;
            case kMsgHandshakeAck: expect.push_back({kCmdSetScanning, {0x00}}); break;
            case kMsgScanAck:
                if (scanRequested) {
                    if (!plan_.empty()) expect.push_back({kCmdTune, Tune(plan_[0])});
                    expectNotify = 1;
                }
                break;
            case kMsgGpsReport:
            case kMsgFrameRecord: expectNotify = 1; break;
            default: break;
            }
        }
        const std::size_t apsBefore = engine_.ApCount();
        const std::size_t boxesBefore = messages_.Texts().size();
        const int notifiedBefore = notifications_;

        ++handed_;
        if (passes && known) ++expectDispatched_;
        engine_.HandleFrame(body, type, length);

        ExpectWrites(expect, "message " + std::to_string(type));
        FUZZ_CHECK(notifications_ - notifiedBefore == expectNotify, "wrong notifications for message " + std::to_string(type));
        if (!passes) return;
        if (type == kMsgFirmware || type == kMsgSerial) {
            // Text up to the first NUL, the end of the data or the field's limit.
            const std::size_t limit = type == kMsgFirmware ? 33 : 8;
            std::string text;
            for (std::uint32_t k = 0; k < dataLength && k < limit && body[k] != 0; ++k)
                text += static_cast<char>(body[k]);
            FUZZ_CHECK((type == kMsgFirmware ? engine_.FirmwareText() : engine_.SerialText()) == text,
                       "identity text differs from the message");
        }
        if (type == kMsgHandshakeAck) FUZZ_CHECK(!engine_.ScanRequested(), "handshake leaves a scan requested");
        if (type == kMsgScanAck && scanRequested)
            FUZZ_CHECK(engine_.ChannelIndex() == (plan_.empty() ? 0 : 1), "sweep does not start at the first channel");
        if (type == kMsgPowerStatus) {
            const PowerStatus p = engine_.Power();
            const std::size_t boxes = p.batteryLow == 1 && p.bit2 == 0 ? 2 : 0;
            FUZZ_CHECK(messages_.Texts().size() - boxesBefore == boxes, "battery-low boxes do not follow the status");
        } else {
            FUZZ_CHECK(messages_.Texts().size() == boxesBefore, "a box shown for message " + std::to_string(type));
        }
        const std::size_t aps = engine_.ApCount();
        FUZZ_CHECK(aps == apsBefore || (type == kMsgFrameRecord && aps == apsBefore + 1),
                   "AP table grew by more than one record");
    }

    void Step(std::uint8_t op) {
        std::vector<Command> expect;
        if (op == kOpStartScan) {
            engine_.StartScan();
            expect.push_back({kCmdSetScanning, {0x01}});
            ExpectWrites(expect, "StartScan");
            FUZZ_CHECK(engine_.ScanRequested() && engine_.SweepActive() && engine_.ChannelIndex() == 0 &&
                           engine_.ApCount() == 0 && !engine_.SweepEndHandled(),
                       "StartScan leaves the wrong sweep state");
        } else if (op == kOpNextChannel) {
            const std::int32_t index = engine_.ChannelIndex() + 1;
            const bool tunes = index >= 1 && static_cast<std::size_t>(index) <= plan_.size();
            if (tunes) expect.push_back({kCmdTune, Tune(plan_[static_cast<std::size_t>(index - 1)])});
            const bool wasActive = engine_.SweepActive();
            const std::int32_t got = engine_.NextChannel();
            ExpectWrites(expect, "NextChannel");
            if (tunes) {
                FUZZ_CHECK(got == index && engine_.ChannelIndex() == index && engine_.SweepActive() == wasActive,
                           "NextChannel does not move to the next channel");
                FUZZ_CHECK(engine_.CurrentChannel() ==
                               static_cast<std::uint8_t>(FrequencyToChannel(static_cast<std::uint32_t>(
                                   plan_[static_cast<std::size_t>(index - 1)]))),
                           "NextChannel tunes to another channel than it reports");
            } else {
                FUZZ_CHECK(!engine_.SweepActive(), "a sweep past its last channel is still active");
            }
        } else if (op == kOpEndSweep) {
            const bool due = !engine_.SweepActive() && !engine_.SweepEndHandled();
            if (due) expect.push_back({kCmdSetScanning, {0x00}});
            FUZZ_CHECK(engine_.EndSweep() == due, "EndSweep answers out of turn");
            ExpectWrites(expect, "EndSweep");
            if (due) FUZZ_CHECK(engine_.SweepEndHandled() && !engine_.ScanRequested(), "EndSweep leaves the sweep open");
        }
    }

    void SetPlan(const std::uint8_t bits[5]) {
        std::uint64_t v = 0;
        for (int k = 4; k >= 0; --k) v = (v << 8) | bits[k];
        std::uint8_t bg[15] = {};
        std::uint8_t ah[25] = {};
        plan_.clear();
        for (int c = 1; c <= 14; ++c) {
            bg[c] = (v >> (c - 1)) & 1;
            if (bg[c]) plan_.push_back(ChannelToFrequency(c));
        }
        for (std::size_t k = 0; k < kAhChannels.size(); ++k) {
            ah[k + 1] = (v >> (14 + k)) & 1;
            if (ah[k + 1]) plan_.push_back(ChannelToFrequency(kAhChannels[k]));
        }
        engine_.SetChannelPlan(bg, ah);
        FUZZ_CHECK(engine_.ChannelCount() == static_cast<std::int16_t>(plan_.size()), "channel count differs from the plan");
        for (std::size_t k = 0; k < plan_.size(); ++k)
            FUZZ_CHECK(engine_.FrequencyAt(static_cast<int>(k + 1)) == plan_[k], "plan frequency out of order");
        ExpectWrites({}, "SetChannelPlan");
    }

    void ExpectWrites(const std::vector<Command>& expect, const std::string& after) {
        const auto writes = driver_.Writes();
        driver_.ClearWrites();
        FUZZ_CHECK(writes.size() == expect.size(), after + ": " + std::to_string(writes.size()) +
                                                       " commands written, " + std::to_string(expect.size()) +
                                                       " expected");
        for (std::size_t k = 0; k < writes.size(); ++k) {
            const Command got = DecodeCommand(writes[k]);
            FUZZ_CHECK(got.type == expect[k].type && got.data == expect[k].data,
                       after + ": wrong command " + Hex(writes[k]));
        }
    }

    test::FakeSerialDriver driver_;
    GpsStatus gps_;
    RecordingUserMessages messages_;
    CEngine engine_{driver_, gps_, messages_};
    CParser parser_;
    Bytes raw_;                         // bytes of the frame being decoded, from its lead
    std::vector<std::int32_t> plan_;    // frequencies the plan should hold, in order
    std::uint64_t handed_ = 0;
    std::uint64_t expectDispatched_ = 0;
    int notifications_ = 0;
};

}  // namespace

int FuzzUnitStream(const std::uint8_t* data, std::size_t size) {
    // The battery-low pause is the only wait on this path; keep it short.
    timing::SetTimeScale(1e-6);
    auto run = std::make_unique<StreamRun>();
    run->Run(data, size);
    return 0;
}

}  // namespace quorl::fuzz
