#include "link/FrameCodec.h"

#include <gtest/gtest.h>

#include <vector>

#include "link/Parser.h"

namespace quorl {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Command(std::uint8_t type, Bytes data) {
    std::array<std::uint8_t, kCommandFrameSize> frame{};
    const std::size_t n = EncodeCommand(type, data.data(), static_cast<std::uint32_t>(data.size()), frame);
    return Bytes(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(n));
}

TEST(FrameCodec, CommandsCarryTheZeroTrailer) {
    EXPECT_EQ(Command(1, {}), (Bytes{0x11, 0x12, 0x01, 0x00, 0x11, 0x13}));
    EXPECT_EQ(Command(3, {0x01}), (Bytes{0x11, 0x12, 0x03, 0x01, 0x00, 0x11, 0x13}));
    EXPECT_EQ(Command(4, {0x1C, 0x2F, 0x00, 0x00}),
              (Bytes{0x11, 0x12, 0x04, 0x1C, 0x2F, 0x00, 0x00, 0x00, 0x11, 0x13}));
    // The trailer stays 0x00 whatever the type and data.
    EXPECT_EQ(Command(0x42, {0x42}), (Bytes{0x11, 0x12, 0x42, 0x42, 0x00, 0x11, 0x13}));
}

TEST(FrameCodec, LeadBytesAreEscapedInTypeAndData) {
    EXPECT_EQ(Command(0x11, {0x11, 0x13}),
              (Bytes{0x11, 0x12, 0x11, 0x14, 0x11, 0x14, 0x13, 0x00, 0x11, 0x13}));
    // Only 0x11 is escaped.
    EXPECT_EQ(Command(0x12, {0x12, 0x13, 0x14}), (Bytes{0x11, 0x12, 0x12, 0x12, 0x13, 0x14, 0x00, 0x11, 0x13}));
}

TEST(FrameCodec, CommandsAboveSixtyDataBytesAreRefused) {
    const Bytes full(60, 0x11);  // worst case: every byte escaped
    const Bytes frame = Command(0x11, full);
    ASSERT_FALSE(frame.empty());
    EXPECT_LE(frame.size(), kCommandFrameSize);
    EXPECT_TRUE(Command(1, Bytes(61, 0)).empty());
    EXPECT_TRUE(Command(1, Bytes(4000, 0x11)).empty());

    std::uint8_t small[5];
    EXPECT_EQ(EncodeFrame(1, nullptr, 0, 0, small, sizeof small), 0u);  // needs 6
}

TEST(FrameCodec, UnitMessagesCarryACheckThatTheDecoderAccepts) {
    const Bytes text = {'1', '.', '0', 0x00};
    EXPECT_EQ(EncodeMessage(1, text.data(), 4), (Bytes{0x11, 0x12, 0x01, 0x31, 0x2E, 0x30, 0x00, 0x2E, 0x11, 0x13}));
    // A check byte of 0x11 is escaped like any body byte, and a record of
    // type 17 starts 11 12 11 14.
    const Bytes data = {0x00};
    const Bytes frame = EncodeMessage(0x11, data.data(), 1);
    EXPECT_EQ(frame, (Bytes{0x11, 0x12, 0x11, 0x14, 0x00, 0x11, 0x14, 0x11, 0x13}));

    CParser parser;
    for (std::uint8_t b : frame) parser.PushByte(b);
    ASSERT_TRUE(parser.Complete());
    EXPECT_EQ(parser.Type(), 0x11);
    ASSERT_EQ(parser.Length(), 2u);
    EXPECT_TRUE(FrameCheckPasses(parser.Type(), parser.Body(), parser.Length()));
    EXPECT_FALSE(FrameCheckPasses(0x10, parser.Body(), parser.Length()));
    // An empty body of a non-zero type can never pass.
    EXPECT_FALSE(FrameCheckPasses(0x05, parser.Body(), 0));
}

}  // namespace
}  // namespace quorl
