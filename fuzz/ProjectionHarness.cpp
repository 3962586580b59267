// The input as a projection file through CSiteProjection::Load, with another
// projection loaded before it.
//
// Checked: a refused file is reported once and leaves the loaded projection,
// its derived files and the derived files of the refused one's name exactly
// as they were, with no temporary file behind; an accepted file is loaded
// silently, its block copied out byte for byte and its plan image equal to
// what the bit-by-bit tree walk (CCompression::WalkDecode) produces, padded
// to the declared length with copies of the second-to-last byte.

#include <array>
#include <cstring>
#include <memory>
#include <string>

#include "common/ByteOrder.h"
#include "common/RecordingUserMessages.h"
#include "engine/GpsStatus.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/Harnesses.h"
#include "survey/Compression.h"
#include "survey/PlanEncoder.h"
#include "survey/ProjectionFormat.h"
#include "survey/SiteProjection.h"

namespace quorl::fuzz {

namespace {

const Bytes kOldBlock = {'o', 'l', 'd', ' ', 'b', 'l', 'o', 'c', 'k'};
const Bytes kOldImage = {'o', 'l', 'd', ' ', 'i', 'm', 'a', 'g', 'e'};

bool SameTransform(const AffineTransform& x, const AffineTransform& y) {
    const double a[] = {x.a, x.b, x.c, x.d, x.e, x.f};
    const double b[] = {y.a, y.b, y.c, y.d, y.e, y.f};
    return std::memcmp(a, b, sizeof a) == 0;  // bit for bit, NaN included
}

// The plan image an accepted file must give: the tree walk of the code bits
// up to N symbols, padded to N with the second-to-last byte (0 when fewer
// than two were decoded).
Bytes ExpectedImage(const std::uint8_t* block, std::size_t blockLength) {
    const std::uint32_t declared = ReadLe32(block + 4);
    std::array<std::uint32_t, 256> weights{};
    for (int i = 0; i < 256; ++i) weights[i] = ReadLe32(block + 8 + 4 * i);
    CCompression tree("", "");
    tree.SetWeights(weights);
    tree.BuildTree();
    const std::size_t codeBytes = blockLength - CCompression::kBlockHeaderSize;
    Bytes image = tree.WalkDecode(block + CCompression::kBlockHeaderSize, codeBytes, declared);
    const std::uint8_t pad = image.size() >= 2 ? image[image.size() - 2] : 0;
    image.resize(declared, pad);
    return image;
}

// Two names take turns: each input goes under the name that is not loaded,
// so the loaded projection's derived files are there to be compared and no
// reload is needed between inputs.
class ProjectionRig {
public:
    ProjectionRig() : dir_(ScratchDir()) {
        // A small plan made the way the companion tool makes one.
        Bytes image(300);
        for (std::size_t i = 0; i < image.size(); ++i) image[i] = i % 17 == 0 ? static_cast<std::uint8_t>(i) : 0xFF;
        const AffineTransform transform{0.0, 1e6, -1.5e6, 0.0, -8541000.0, 71065950.0};
        WriteFile(Path(0), projection::MakeFile(0, transform, *EncodePlanBlock(image.data(), image.size())));
        WriteFile(Path(1), Bytes{});
        FUZZ_CHECK(projection_.Load(Path(0)), "the first projection does not load");
        FUZZ_CHECK(ReadFile(Path(0) + "b") == image, "the first projection does not decode");
    }

    void Run(const std::uint8_t* data, std::size_t size) {
        const std::string loaded = Path(loaded_);
        const std::string input = Path(1 - loaded_);
        const Bytes loadedImage = ReadFile(loaded + "b");
        const Bytes loadedBlock = ReadFile(loaded + "c");
        WriteFile(input + "c", kOldBlock);
        WriteFile(input + "b", kOldImage);
        WriteFile(input, data, size);
        messages_.Clear();
        const auto header = projection_.Header();
        const auto transform = projection_.Transform();

        const bool accepted = projection_.Load(input);
        FUZZ_CHECK(ReadFile(loaded + "b") == loadedImage && ReadFile(loaded + "c") == loadedBlock,
                   "a load changed another projection's derived files");
        CheckNoStrayFiles();
        if (!accepted) {
            FUZZ_CHECK(messages_.Texts().size() == 1, "a refused file is not reported exactly once");
            FUZZ_CHECK(projection_.Loaded() && projection_.Path() == loaded && projection_.ImagePath() == loaded + "b" &&
                           projection_.Header() == header && SameTransform(projection_.Transform(), transform),
                       "a refused file changed the loaded projection");
            FUZZ_CHECK(ReadFile(input + "c") == kOldBlock && ReadFile(input + "b") == kOldImage,
                       "a refused file changed the derived files of its name");
            return;
        }

        const std::string texts = messages_.Texts().empty() ? "" : messages_.Texts().front();
        FUZZ_CHECK(messages_.Texts().empty(), "an accepted file was reported: " + texts);
        FUZZ_CHECK(size >= projection::kHeaderSize, "a file shorter than its header was accepted");
        FUZZ_CHECK(std::memcmp(projection_.Header().data(), data, projection::kHeaderSize) == 0 &&
                       projection_.Path() == input && projection_.ImagePath() == input + "b" &&
                       projection_.FileLength() == size,
                   "the loaded projection is not the accepted file");
        FUZZ_CHECK(SameTransform(projection_.Transform(), projection::TransformOf(projection_.Header())),
                   "the transform is not the header's");
        const std::uint64_t offset = ReadLe32(data);
        FUZZ_CHECK(offset + 8 <= size, "a block past the end of the file was accepted");
        const std::uint64_t length = ReadLe32(data + offset);
        FUZZ_CHECK(length >= CCompression::kBlockHeaderSize && offset + length <= size,
                   "a block that does not fit was accepted");
        const std::uint8_t* block = data + offset;
        FUZZ_CHECK(ReadFile(input + "c") == Bytes(block, block + length), "the block copy differs from the block");
        FUZZ_CHECK(ReadFile(input + "b") == ExpectedImage(block, length), "the plan image differs from the tree walk");
        loaded_ = 1 - loaded_;
    }

private:
    std::string Path(int which) const { return dir_ + (which == 0 ? "/a.gpf" : "/b.gpf"); }

    // The two projections' files and nothing else: no temporary left behind.
    void CheckNoStrayFiles() const {
        static const std::vector<std::string> expected = {"a.gpf", "a.gpfb", "a.gpfc", "b.gpf", "b.gpfb", "b.gpfc"};
        const auto names = FileNames(dir_);
        std::string list;
        for (const auto& n : names) list += n + " ";
        FUZZ_CHECK(names == expected, "files left behind: " + list);
    }

    std::string dir_;
    int loaded_ = 0;  // which of the two names is loaded
    GpsStatus gps_;
    RecordingUserMessages messages_;
    CSiteProjection projection_{gps_, messages_};
};

}  // namespace

int FuzzProjection(const std::uint8_t* data, std::size_t size) {
    static ProjectionRig rig;
    rig.Run(data, size);
    return 0;
}

}  // namespace quorl::fuzz
