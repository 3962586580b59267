#pragma once
// CCompression decodes the plan image block of a projection file: a static
// Huffman code over byte values. The block stores the 256 weights; BuildTree
// rebuilds the code tree from them exactly as the tool that made the file
// did, and the code bits (least significant bit of each byte first) are
// decoded into the plan image file.
//
// Decompress is table-driven (PlanDecoder); DecodeBits is the plain
// bit-by-bit walk of the tree, kept as the reference the table decoder is
// tested against.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quorl {

class CNode {
public:
    CNode() = default;
    CNode(const CNode&) = default;
    CNode& operator=(const CNode&) = default;
    virtual ~CNode() = default;

    std::int16_t left = -1;
    std::int16_t right = -1;
    std::int16_t parent = -1;
    std::uint8_t leaf = 0;
    std::uint8_t symbol = 0;
    std::uint32_t weight = 0;
};

// What one Decompress run did.
struct DecompressResult {
    bool ok = false;              // the output file holds `written` bytes
    int errorNumber = 0;          // errno of a failed open, read or write
    bool sourceFailed = false;    // the source could not be opened or read
    bool destinationFailed = false;  // the destination could not be created or written
    bool shortHeader = false;     // the source ends inside the 1032-byte header
    std::uint64_t declaredLength = 0;  // N
    std::uint64_t decoded = 0;    // bytes decoded from code bits
    std::uint64_t written = 0;    // bytes in the output, padding included
    bool padded = false;          // the code bits ran out before N
    bool capped = false;          // N exceeded what the code bits can (or did) encode
};

class CCompression {
public:
    static constexpr std::size_t kBlockHeaderSize = 1032;  // L, N and 256 weights
    static constexpr std::size_t kOutputChunk = 25000;
    static constexpr int kNodeCount = 513;
    static constexpr std::int16_t kNoNode = -1;

    CCompression(std::string source, std::string destination);
    virtual ~CCompression() = default;

    // Reads the block from `offset` of the source, at most `length` bytes of
    // it (the rest of the file by default), so that a block can be decoded
    // from inside a projection file without copying it out first.
    void SetSourceRange(std::uint64_t offset, std::uint64_t length);

    // Decodes the block into the destination (created or truncated). Output
    // stops at N bytes; when the code bits run out first the output is
    // padded to N with copies of the second-to-last byte produced (0 when
    // fewer than two were produced). An N that would need padding out of
    // proportion (PaddingInProportion) is not honoured: the output stops at
    // what the code bits can encode and the result says `capped`. The
    // proportion is checked twice: against MaxSymbols before decoding, and
    // against the bytes the code really produced before any padding.
    DecompressResult Decompress();

    // The largest image a block short of code bits is padded up to.
    static constexpr std::uint64_t kMaxPaddedLength = std::uint64_t{1} << 30;
    // Whether a decoded length N is honoured when the code bits can encode
    // at most `bound` bytes (MaxSymbols): always when N fits, and for a block
    // missing some of its code when the padding stays at most half of the
    // image and the image within kMaxPaddedLength. A few missing bytes are
    // padded; a few bytes of file asking for gigabytes are not.
    static bool PaddingInProportion(std::uint64_t declared, std::uint64_t bound);

    // Weights of byte values 0..255; the inner-node weights are cleared.
    void SetWeights(const std::array<std::uint32_t, 256>& weights);
    void BuildTree();

    std::int16_t Root() const { return root_; }
    const std::array<CNode, kNodeCount>& Nodes() const { return nodes_; }
    const std::array<std::uint32_t, kNodeCount>& Weights() const { return weights_; }
    // The code of a byte value, root first, one 0 or 1 per element.
    std::vector<std::uint8_t> CodeOf(std::uint8_t symbol) const;
    // Length in bits of the shortest code (1 at least).
    int ShortestCodeLength() const;
    // The most symbols `codeBytes` bytes of code bits can hold.
    std::uint64_t MaxSymbols(std::uint64_t codeBytes) const;

    // The bit walk: consumes bits of `byte` from the current mask while
    // `remaining` > 0; true with `symbol` set when a code completed. Call it
    // again while `remaining` is not 0. The state carries across bytes.
    bool DecodeBits(std::uint8_t byte, int& remaining, std::uint8_t& symbol);
    void ResetDecodeState();

    // Reference decoding by the bit walk: at most `limit` symbols from the
    // code bits, no padding.
    std::vector<std::uint8_t> WalkDecode(const std::uint8_t* code, std::size_t size, std::uint64_t limit);

private:
    std::string source_;
    std::string destination_;
    std::uint64_t sourceOffset_ = 0;
    std::uint64_t sourceLength_ = UINT64_MAX;
    std::array<std::uint32_t, kNodeCount> weights_{};
    std::array<std::uint8_t, kNodeCount> active_{};
    std::array<CNode, kNodeCount> nodes_{};
    std::int16_t root_ = kNoNode;
    std::int16_t current_ = kNoNode;
    std::uint8_t mask_ = 1;
};

}  // namespace quorl
