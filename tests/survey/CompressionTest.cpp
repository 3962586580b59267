// The plan decoder: the tree build's order and tie rules, the bit walk, the
// table decoder against the walk, and Decompress's chunks, stop and padding.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "common/ByteOrder.h"
#include "survey/Compression.h"
#include "survey/PlanDecoder.h"
#include "survey/PlanEncoder.h"
#include "tests/survey/SurveyTestSupport.h"

namespace quorl::test {
namespace {

using Weights = std::array<std::uint32_t, 256>;

CCompression Tree(const Weights& w) {
    CCompression c("", "");
    c.SetWeights(w);
    c.BuildTree();
    return c;
}

// Packs codes least significant bit first, the way the unit's files do.
Bytes Pack(const std::vector<std::vector<std::uint8_t>>& codes) {
    Bytes out;
    unsigned bit = 0;
    for (const auto& code : codes)
        for (std::uint8_t b : code) {
            if (bit % 8 == 0) out.push_back(0);
            if (b) out.back() |= static_cast<std::uint8_t>(1u << (bit % 8));
            ++bit;
        }
    return out;
}

// The table decoder over input cut into random pieces and output handed
// out in random small capacities.
Bytes TableDecode(const CCompression& tree, const Bytes& code, std::size_t limit, std::mt19937& rng) {
    PlanDecoder decoder(tree.Nodes(), tree.Root());
    Bytes out(limit);
    std::size_t produced = 0, used = 0;
    while (used < code.size() && produced < limit) {
        const std::size_t piece = std::min<std::size_t>(code.size() - used, 1 + rng() % 40);
        std::size_t taken = 0;
        while (produced < limit) {
            // Bits already taken in may still hold codes after the input is
            // used up: stop only when a call leaves room unused.
            const std::size_t room = std::min<std::size_t>(limit - produced, 1 + rng() % 30);
            const auto step = decoder.Decode(code.data() + used + taken, piece - taken, out.data() + produced, room);
            taken += step.consumed;
            produced += step.produced;
            if (taken == piece && step.produced < room) break;
        }
        used += piece;
    }
    out.resize(produced);
    return out;
}

TEST(CompressionTest, TreeFollowsScanOrderAndTieRules) {
    // All weights 0: merges strictly by index, so every code is 8 bits and
    // spells the byte value, most significant bit first.
    const CCompression flat = Tree(Weights{});
    EXPECT_EQ(flat.Root(), 510);
    EXPECT_EQ(flat.Nodes()[256].left, 0);
    EXPECT_EQ(flat.Nodes()[256].right, 1);
    EXPECT_EQ(flat.Nodes()[257].left, 2);
    EXPECT_EQ(flat.Nodes()[383].right, 255);
    EXPECT_EQ(flat.Nodes()[384].left, 256);
    for (int s : {0, 1, 0x41, 0x80, 0xFE, 0xFF}) {
        const auto code = flat.CodeOf(static_cast<std::uint8_t>(s));
        ASSERT_EQ(code.size(), 8u);
        for (int k = 0; k < 8; ++k) EXPECT_EQ(code[k], (s >> (7 - k)) & 1) << s;
    }

    // The lighter node need not be the left child: left is the lower index.
    Weights w;
    w.fill(1000);
    w[0] = 10;
    w[1] = 1;
    const CCompression skew = Tree(w);
    EXPECT_EQ(skew.Nodes()[256].left, 0);
    EXPECT_EQ(skew.Nodes()[256].right, 1);
    EXPECT_EQ(skew.Nodes()[256].weight, 11u);
    EXPECT_EQ(skew.Weights()[256], 11u);
    EXPECT_EQ(skew.Nodes()[0].parent, 256);
    // Node 256 (11) is now the lightest; among equal weights the lowest
    // index goes first.
    EXPECT_EQ(skew.Nodes()[257].left, 2);
    EXPECT_EQ(skew.Nodes()[257].right, 256);
    EXPECT_EQ(skew.Nodes()[258].left, 3);
    EXPECT_EQ(skew.Nodes()[258].right, 4);

    // A byte heavier than all others together gets a 1-bit code.
    Weights dominant;
    dominant.fill(1);
    dominant[0x41] = 256;
    const CCompression dom = Tree(dominant);
    EXPECT_EQ(dom.CodeOf(0x41).size(), 1u);
    EXPECT_EQ(dom.ShortestCodeLength(), 1);
    EXPECT_EQ(dom.Nodes()[dom.Root()].weight, 256u + 255u);
}

TEST(CompressionTest, BitWalkCarriesCodesAcrossBytes) {
    Weights dominant;
    dominant.fill(1);
    dominant['A'] = 1000;
    CCompression tree = Tree(dominant);
    ASSERT_GT(tree.CodeOf('B').size(), 8u);
    // A 1-bit code, then codes of 9 bits that straddle byte boundaries.
    const Bytes code = Pack({tree.CodeOf('A'), tree.CodeOf('B'), tree.CodeOf('C'), tree.CodeOf('A')});
    EXPECT_EQ(tree.WalkDecode(code.data(), code.size(), 4), (Bytes{'A', 'B', 'C', 'A'}));
    // Output stops at the limit however many bits remain.
    EXPECT_EQ(tree.WalkDecode(code.data(), code.size(), 2), (Bytes{'A', 'B'}));

    // DecodeBits itself: a code begun in one byte ends in the next.
    tree.ResetDecodeState();
    int remaining = 8;
    std::uint8_t symbol = 0;
    EXPECT_TRUE(tree.DecodeBits(code[0], remaining, symbol));
    EXPECT_EQ(symbol, 'A');
    EXPECT_EQ(remaining, 7);
    EXPECT_FALSE(tree.DecodeBits(code[0], remaining, symbol));
    EXPECT_EQ(remaining, 0);
    remaining = 8;
    EXPECT_TRUE(tree.DecodeBits(code[1], remaining, symbol));
    EXPECT_EQ(symbol, 'B');
}

TEST(CompressionTest, TableDecoderMatchesBitWalkForAnyWeightsAndBits) {
    std::mt19937 rng(20240611);
    for (int round = 0; round < 120; ++round) {
        Weights w{};
        switch (round % 6) {
            case 0: break;  // all zero
            case 1:
                for (auto& x : w) x = rng() % 1000;
                break;
            case 2:  // powers of two: a chain of codes hundreds of bits deep
                for (int i = 0; i < 256; ++i) w[i] = i < 31 ? (1u << i) : 0;
                break;
            case 3:  // one dominant value, as in a line drawing
                for (auto& x : w) x = rng() % 3;
                w[0xFF] = 1000000;
                break;
            case 4:  // weights near the top of 32 bits: inner sums wrap
                for (auto& x : w) x = 0xF0000000u + rng() % 1000;
                break;
            case 5:
                for (int i = 0; i < 256; ++i) w[i] = static_cast<std::uint32_t>(std::exp2((rng() % 2000) / 100.0));
                break;
        }
        const CCompression tree = Tree(w);
        Bytes code(1 + rng() % 3000);
        for (auto& b : code) b = static_cast<std::uint8_t>(rng());
        if (round % 2) {
            // Real code words too, not only random bits.
            Bytes data(500);
            for (auto& b : data) b = static_cast<std::uint8_t>(rng() % 256);
            code = EncodeCodeBits(w, data.data(), data.size());
            if (code.empty()) continue;
        }
        CCompression walker = Tree(w);
        const Bytes expected = walker.WalkDecode(code.data(), code.size(), UINT64_MAX);
        EXPECT_EQ(TableDecode(tree, code, expected.size() + 5, rng), expected) << "round " << round;
        // Stopping early gives a prefix.
        const std::size_t stop = expected.size() / 2;
        EXPECT_EQ(TableDecode(tree, code, stop, rng), Bytes(expected.begin(), expected.begin() + stop));
    }
}

TEST(CompressionTest, EncodeAndDecodeRoundTrip) {
    std::mt19937 rng(7);
    // Enough code bits for several source reads and many output chunks.
    Bytes data(700000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = (rng() % 2 == 0) ? static_cast<std::uint8_t>(rng()) : 0xFF;
    const auto block = EncodePlanBlock(data.data(), data.size());
    ASSERT_TRUE(block);
    TempDir dir;
    WriteBytes(dir / "block", *block);
    CCompression c(dir / "block", dir / "out");
    const DecompressResult r = c.Decompress();
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(r.padded);
    EXPECT_EQ(ReadBytes(dir / "out"), data);
}

// A block of 8-bit codes (all weights 0): the code byte of value s is s with
// its bits reversed, so blocks of exact shape are easy to write by hand.
Bytes FlatCode(const Bytes& data) {
    Bytes code;
    for (std::uint8_t s : data) {
        std::uint8_t r = 0;
        for (int k = 0; k < 8; ++k) r |= static_cast<std::uint8_t>(((s >> k) & 1) << (7 - k));
        code.push_back(r);
    }
    return code;
}

DecompressResult DecompressBlock(TempDir& dir, const Bytes& block, Bytes& out) {
    WriteBytes(dir / "c", block);
    CCompression c(dir / "c", dir / "b");
    const DecompressResult r = c.Decompress();
    out = ReadBytes(dir / "b");
    return r;
}

TEST(CompressionTest, DecompressStopsPadsAndBoundsItsOutput) {
    TempDir dir;
    Bytes data(25001);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    const Bytes code = FlatCode(data);
    Bytes out;

    // Exactly one output chunk, and one chunk plus a byte.
    auto r = DecompressBlock(dir, AssemblePlanBlock(25000, Weights{}, code), out);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(out, Bytes(data.begin(), data.begin() + 25000));
    r = DecompressBlock(dir, AssemblePlanBlock(25001, Weights{}, code), out);
    EXPECT_EQ(out, data);

    // More code than N: the rest is padding.
    r = DecompressBlock(dir, AssemblePlanBlock(3, Weights{}, code), out);
    EXPECT_EQ(out, Bytes(data.begin(), data.begin() + 3));
    EXPECT_FALSE(r.padded);

    const Bytes abcd = FlatCode({'A', 'B', 'C', 'D'});
    r = DecompressBlock(dir, AssemblePlanBlock(4, Weights{}, abcd), out);
    EXPECT_EQ(out, (Bytes{'A', 'B', 'C', 'D'}));

    // Fewer code bits than N: copies of the second-to-last byte produced.
    // Padding needs short codes: a dominant byte with a 1-bit code lets a
    // few code bytes believably stand for many output bytes.
    Weights dominant;
    dominant.fill(1);
    dominant['x'] = 100000;
    CCompression tree = Tree(dominant);
    const auto x = tree.CodeOf('x');
    const auto y = tree.CodeOf('y');
    const auto z = tree.CodeOf('z');
    // "y" "z" then the first half of another "y": produced y z, then pad with y.
    std::vector<std::uint8_t> half(y.begin(), y.begin() + 4);
    Bytes bits = Pack({y, z, half});
    ASSERT_EQ(bits.size(), 3u);  // 9 + 9 + 4 bits
    r = DecompressBlock(dir, AssemblePlanBlock(4, dominant, bits), out);
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.padded);
    EXPECT_EQ(r.decoded, 2u);
    EXPECT_EQ(out, (Bytes{'y', 'z', 'y', 'y'}));
    // Padding beyond half of the image is refused, though the code could
    // have held it: the output stops at what was decoded.
    r = DecompressBlock(dir, AssemblePlanBlock(5, dominant, bits), out);
    EXPECT_TRUE(r.capped);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(out, (Bytes{'y', 'z'}));
    // Fewer than two bytes produced: the padding is zeros.
    bits = Pack({y, half});
    r = DecompressBlock(dir, AssemblePlanBlock(2, dominant, bits), out);
    EXPECT_EQ(out, (Bytes{'y', 0}));
    bits = Pack({half});
    r = DecompressBlock(dir, AssemblePlanBlock(5, dominant, bits), out);
    EXPECT_TRUE(r.capped);
    EXPECT_EQ(out, Bytes{});
    // The second-to-last byte lies in the chunk already written.
    Bytes many(25000, 'x');
    many.push_back('y');
    std::vector<std::vector<std::uint8_t>> codes(25000, x);
    codes.push_back(y);
    codes.push_back(half);
    r = DecompressBlock(dir, AssemblePlanBlock(25010, dominant, Pack(codes)), out);
    ASSERT_EQ(out.size(), 25010u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 25001), many);
    EXPECT_EQ(Bytes(out.begin() + 25001, out.end()), Bytes(9, 'x'));

    // A decoded length the code cannot hold is not honoured: 4 code bytes
    // of 8-bit codes hold 4 bytes, not four billion.
    r = DecompressBlock(dir, AssemblePlanBlock(0xFFFFFFFFu, Weights{}, abcd), out);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.capped);
    EXPECT_EQ(out, (Bytes{'A', 'B', 'C', 'D'}));
    // With a 1-bit code the bound is eight bytes per code byte.
    r = DecompressBlock(dir, AssemblePlanBlock(1000, dominant, Bytes(3, 0)), out);
    EXPECT_TRUE(r.capped);
    EXPECT_EQ(out.size(), 24u);
    // A block a little short of code is padded up to N, as long as the
    // padding stays at most half of the image.
    for (auto [declared, capped] : {std::pair{48u, false}, {49u, true}}) {
        r = DecompressBlock(dir, AssemblePlanBlock(declared, dominant, Bytes(3, 0)), out);
        EXPECT_EQ(r.capped, capped) << declared;
        EXPECT_EQ(r.ok, !capped) << declared;
        EXPECT_EQ(out.size(), capped ? 24u : declared) << declared;
    }
}

TEST(CompressionTest, PaddingStaysInProportion) {
    constexpr std::uint64_t cap = CCompression::kMaxPaddedLength;
    struct Case {
        std::uint64_t declared, bound;
        bool honoured;
    } cases[] = {
        {0, 0, true},          {100, 100, true},         {200, 100, true},          {201, 100, false},
        {1, 0, false},         {0xFFFFFFFF, 4, false},   {0xFFFFFFFF, 0xFFFFFFFF, true},  // no padding: no cap
        {cap, cap / 2, true},  {cap + 2, cap / 2 + 1, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CCompression::PaddingInProportion(c.declared, c.bound), c.honoured) << c.declared << " " << c.bound;
}

// The padding honoured is the padding added: a plan of mostly white (a
// 1-bit code) with some other bytes (long codes) lets its cut code look able
// to hold the whole image, though it decodes far less.
TEST(CompressionTest, PaddingActuallyAddedStaysInProportion) {
    std::mt19937 rng(3);
    Bytes image(20000);
    for (auto& x : image) x = static_cast<std::uint8_t>(rng() % 4 == 0 ? rng() : 0xFF);
    const auto block = EncodePlanBlock(image.data(), image.size());
    ASSERT_TRUE(block);
    const std::size_t code = block->size() - CCompression::kBlockHeaderSize;
    CCompression tree = Tree([&] {
        Weights w{};
        for (std::size_t i = 0; i < 256; ++i) w[i] = ReadLe32(block->data() + 8 + 4 * i);
        return w;
    }());
    TempDir dir;
    for (const int percent : {35, 45, 60, 90, 100}) {
        const Bytes cut(block->begin(), block->begin() + static_cast<std::ptrdiff_t>(CCompression::kBlockHeaderSize +
                                                                                       code * percent / 100));
        // What the cut code could hold at best always covers the image.
        ASSERT_GE(tree.MaxSymbols(code * percent / 100), image.size()) << percent;
        Bytes out;
        const DecompressResult r = DecompressBlock(dir, cut, out);
        const bool tooMuch = (image.size() - r.decoded) * 2 > image.size();
        EXPECT_EQ(tooMuch, percent < 50) << percent << "% of the code gave " << r.decoded << " bytes";
        EXPECT_EQ(r.capped, tooMuch) << percent;
        EXPECT_EQ(r.ok, !tooMuch) << percent;
        // Refused: only what was decoded; honoured: the whole image, its decoded part exact.
        ASSERT_EQ(out.size(), tooMuch ? r.decoded : image.size()) << percent;
        EXPECT_TRUE(std::equal(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(r.decoded), image.begin()))
            << percent;
    }
}

TEST(CompressionTest, DecompressReportsUnusableFiles) {
    TempDir dir;
    CCompression missing(dir / "none", dir / "out");
    auto r = missing.Decompress();
    EXPECT_TRUE(r.sourceFailed);
    EXPECT_EQ(r.errorNumber, ENOENT);
    EXPECT_FALSE(std::filesystem::exists(dir / "out"));

    WriteBytes(dir / "short", Bytes(1031, 0));
    CCompression shortBlock(dir / "short", dir / "out");
    r = shortBlock.Decompress();
    EXPECT_TRUE(r.shortHeader);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(ReadBytes(dir / "out").size(), 0u);

    WriteBytes(dir / "block", AssemblePlanBlock(1, Weights{}, {0x82}));
    CCompression noFolder(dir / "block", dir / "no/such/folder");
    r = noFolder.Decompress();
    EXPECT_TRUE(r.destinationFailed);

    // A block read from inside a larger file, as the companion tool does.
    Bytes file(100, 0xEE);
    const Bytes block = AssemblePlanBlock(2, Weights{}, FlatCode({'h', 'i'}));
    file.insert(file.end(), block.begin(), block.end());
    file.resize(file.size() + 50, 0x11);
    WriteBytes(dir / "inside", file);
    CCompression inside(dir / "inside", dir / "out");
    inside.SetSourceRange(100, block.size());
    r = inside.Decompress();
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(ReadBytes(dir / "out"), (Bytes{'h', 'i'}));
}

}  // namespace
}  // namespace quorl::test
