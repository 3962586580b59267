#include "link/Parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace quorl {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Frame {
    std::uint8_t type;
    Bytes body;
    bool operator==(const Frame&) const = default;
};

// Feeds bytes as the reader thread does and collects the frames.
std::vector<Frame> Decode(CParser& parser, const Bytes& bytes) {
    std::vector<Frame> frames;
    for (std::uint8_t b : bytes) {
        parser.PushByte(b);
        if (parser.Complete()) {
            frames.push_back({parser.Type(), Bytes(parser.Body(), parser.Body() + parser.Length())});
            parser.Reset();
        }
    }
    return frames;
}

std::vector<Frame> Decode(const Bytes& bytes) {
    CParser parser;
    return Decode(parser, bytes);
}

bool BufferAllZero(const CParser& parser) {
    return std::all_of(parser.Body(), parser.Body() + CParser::kBufferSize, [](std::uint8_t b) { return b == 0; });
}

TEST(Parser, StatesHaveTheirWireValues) {
    EXPECT_EQ(CParser::kIdle, 0x00);
    EXPECT_EQ(CParser::kLead, 0x10);
    EXPECT_EQ(CParser::kType, 0x20);
    EXPECT_EQ(CParser::kTypeEscape, 0x30);
    EXPECT_EQ(CParser::kBody, 0x40);
    EXPECT_EQ(CParser::kBodyEscape, 0x50);
    EXPECT_EQ(CParser::kComplete, 0x60);

    CParser parser;
    const Bytes walk = {0x11, 0x12, 0x11, 0x14, 0x11, 0x13};
    const CParser::State expected[] = {CParser::kLead, CParser::kType,      CParser::kTypeEscape,
                                       CParser::kBody, CParser::kBodyEscape, CParser::kComplete};
    for (std::size_t i = 0; i < walk.size(); ++i) {
        parser.PushByte(walk[i]);
        EXPECT_EQ(parser.GetState(), expected[i]) << "byte " << i;
    }
    parser.PushByte(0x11);  // ignored until the caller resets
    EXPECT_EQ(parser.GetState(), CParser::kComplete);
}

TEST(Parser, DecodesEscapesAndEmptyBodies) {
    EXPECT_EQ(Decode({0x11, 0x12, 0x11, 0x14, 0x05, 0x11, 0x14, 0x07, 0x11, 0x13}),
              (std::vector<Frame>{{0x11, {0x05, 0x11, 0x07}}}));
    EXPECT_EQ(Decode({0x11, 0x12, 0x05, 0x11, 0x13}), (std::vector<Frame>{{0x05, {}}}));
    // Noise before, between and after frames is ignored.
    EXPECT_EQ(Decode({0x00, 0x13, 0x12, 0x11, 0x12, 0x01, 0xAA, 0x11, 0x13, 0x55, 0x14, 0x11, 0x12, 0x02, 0x11,
                      0x13, 0x7F}),
              (std::vector<Frame>{{0x01, {0xAA}}, {0x02, {}}}));
}

TEST(Parser, AbandonedFramesDoNotRestartOnTheAbandoningByte) {
    // A second lead byte abandons the lead; the 0x12 after it is noise.
    EXPECT_TRUE(Decode({0x11, 0x11, 0x12, 0x01, 0x00, 0x11, 0x13}).empty());
    // Type 0x11 must be followed by 0x14.
    EXPECT_TRUE(Decode({0x11, 0x12, 0x11, 0x41, 0x00, 0x11, 0x13}).empty());
    EXPECT_TRUE(Decode({0x11, 0x12, 0x11, 0x11, 0x12, 0x01, 0x11, 0x13}).empty());
    // Inside a body a new start abandons the frame and is not itself a start.
    EXPECT_TRUE(Decode({0x11, 0x12, 0x01, 0x33, 0x11, 0x12, 0x02, 0x44, 0x11, 0x13}).empty());
    // A double lead inside a body abandons too, and is not a new lead.
    EXPECT_TRUE(Decode({0x11, 0x12, 0x01, 0x33, 0x11, 0x11, 0x12, 0x02, 0x11, 0x13}).empty());
    // After any of these, the next clean frame decodes.
    EXPECT_EQ(Decode({0x11, 0x12, 0x01, 0x33, 0x11, 0x12, 0x11, 0x12, 0x09, 0x01, 0x11, 0x13}),
              (std::vector<Frame>{{0x09, {0x01}}}));
}

TEST(Parser, IdleMeansAnEmptyZeroBuffer) {
    CParser parser;
    // A long frame abandoned half way leaves nothing behind.
    Bytes bytes = {0x11, 0x12, 0x11, 0x14};
    bytes.insert(bytes.end(), 500, 0xA5);
    bytes.push_back(0x11);
    bytes.push_back(0x55);  // not an escape: abandon
    EXPECT_TRUE(Decode(parser, bytes).empty());
    EXPECT_EQ(parser.GetState(), CParser::kIdle);
    EXPECT_EQ(parser.Length(), 0u);
    EXPECT_TRUE(BufferAllZero(parser));

    // A short frame after a long one reads zeros past its body.
    Bytes longFrame = {0x11, 0x12, 0x10};
    longFrame.insert(longFrame.end(), 300, 0xEE);
    longFrame.insert(longFrame.end(), {0x11, 0x13, 0x11, 0x12, 0x10, 0x01, 0x11});
    for (std::uint8_t b : longFrame) {
        parser.PushByte(b);
        if (parser.Complete()) parser.Reset();
    }
    parser.PushByte(0x13);
    ASSERT_TRUE(parser.Complete());
    ASSERT_EQ(parser.Length(), 1u);
    EXPECT_TRUE(std::all_of(parser.Body() + 1, parser.Body() + CParser::kBufferSize,
                            [](std::uint8_t b) { return b == 0; }));
    parser.Reset();
    EXPECT_TRUE(BufferAllZero(parser));
}

TEST(Parser, BodiesLongerThanTheBufferAreAbandoned) {
    auto frameOf = [](std::size_t bodySize, std::uint8_t fill) {
        Bytes bytes = {0x11, 0x12, 0x01};
        for (std::size_t i = 0; i < bodySize; ++i) {
            bytes.push_back(fill);
            if (fill == 0x11) bytes.push_back(0x14);
        }
        bytes.push_back(0x11);
        bytes.push_back(0x13);
        return bytes;
    };
    // The buffer holds 8192 body bytes exactly.
    auto frames = Decode(frameOf(CParser::kBufferSize, 0x11));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].body.size(), CParser::kBufferSize);

    CParser parser;
    Bytes bytes = frameOf(CParser::kBufferSize + 1, 0x7E);
    const Bytes next = {0x11, 0x12, 0x02, 0x05, 0x11, 0x13};
    bytes.insert(bytes.end(), next.begin(), next.end());
    bytes.insert(bytes.end(), {0x11, 0x12, 0x03});
    bytes.insert(bytes.end(), 20000, 0x7E);  // a never-ending body
    frames = Decode(parser, bytes);
    EXPECT_EQ(frames, (std::vector<Frame>{{0x02, {0x05}}}));
    EXPECT_EQ(parser.GetState(), CParser::kIdle);
    EXPECT_TRUE(BufferAllZero(parser));
}

}  // namespace
}  // namespace quorl
