// Randomly damaged projection and collection files fed to the loaders and
// the decoder: nothing may crash, hang, write without bound or touch the
// files loaded before. Runs under the sanitizers with the other core tests;
// a fixed seed keeps any failure reproducible.

#include <gtest/gtest.h>

#include <random>

#include "common/ByteOrder.h"
#include "survey/Compression.h"
#include "survey/PlanEncoder.h"
#include "survey/ProjectionFormat.h"
#include "survey/SiteData.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/survey/CleanCopy.h"
#include "tests/survey/SurveyTestSupport.h"

namespace quorl::test {
namespace {

// Flips bits, overwrites 32-bit fields with extreme values, cuts or extends.
Bytes Mutate(Bytes b, std::mt19937& rng) {
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits && !b.empty(); ++e) {
        const std::size_t at = rng() % b.size();
        switch (rng() % 5) {
            case 0:
                b[at] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
                break;
            case 1:
                if (at + 4 <= b.size()) {
                    static const std::uint32_t extremes[] = {0, 1, 35, 36, 45, 1031, 1032, 0x7FFFFFFF, 0xFFFFFFFF};
                    WriteLe32(&b[at], extremes[rng() % 9]);
                }
                break;
            case 2:
                b.resize(at);
                break;
            case 3:
                b.insert(b.end(), rng() % 100, static_cast<std::uint8_t>(rng()));
                break;
            case 4:
                b[at] = static_cast<std::uint8_t>(rng());
                break;
        }
    }
    return b;
}

TEST(MutatedFilesTest, ProjectionLoaderAndDecoder) {
    std::mt19937 rng(1234);
    TempDir dir;
    GpsStatus gps;
    RecordingUserMessages messages;
    CSiteProjection projection(gps, messages);

    Bytes image(3000);
    for (auto& x : image) x = static_cast<std::uint8_t>(rng() % 7 == 0 ? rng() : 0xFF);
    const AffineTransform demo{0.0, 1e6, -1.5e6, 0.0, -8541000.0, 71065950.0};
    const Bytes good = projection::MakeFile(0, demo, *EncodePlanBlock(image.data(), image.size()));
    WriteBytes(dir / "good.gpf", good);
    ASSERT_TRUE(projection.Load(dir / "good.gpf"));

    for (int round = 0; round < 120; ++round) {
        const Bytes bad = Mutate(good, rng);
        WriteBytes(dir / "bad.gpf", bad);
        messages.Clear();
        if (projection.Load(dir / "bad.gpf")) {
            EXPECT_TRUE(messages.Texts().empty());
            // Whatever it decoded stays within what its code bits can hold,
            // padded with at most as much again.
            const auto out = std::filesystem::file_size(dir / "bad.gpfb");
            EXPECT_LE(out, 16 * bad.size()) << round;
            ASSERT_TRUE(projection.Load(dir / "good.gpf"));
        } else {
            EXPECT_EQ(messages.Texts().size(), 1u) << round;
            EXPECT_EQ(projection.Path(), dir / "good.gpf");
        }
        EXPECT_EQ(ReadBytes(dir / "good.gpfb"), image);
    }
    // Only the files of the two projections remain: no temporaries.
    for (const auto& name : dir.Names()) EXPECT_TRUE(name.rfind("good.gpf", 0) == 0 || name.rfind("bad.gpf", 0) == 0) << name;
    EXPECT_LE(dir.Names().size(), 6u);

    // Blocks decoded straight, with weights and lengths of any kind.
    const Bytes block(good.begin() + 141, good.end());
    for (int round = 0; round < 120; ++round) {
        WriteBytes(dir / "block", Mutate(block, rng));
        CCompression c(dir / "block", dir / "out");
        const DecompressResult r = c.Decompress();
        EXPECT_LE(r.written, 16 * std::filesystem::file_size(dir / "block")) << round;
    }
}

TEST(MutatedFilesTest, CollectionLoaderAndEditing) {
    std::mt19937 rng(99);
    TempDir dir;
    EngineRig unit;
    CSiteProjection projection(unit.gps, unit.messages);
    CSiteData data(unit.engine, unit.gps, projection, unit.messages);
    const std::string path = dir / "data.ssd";
    data.SetCollectionPath(path);
    data.SetDurableWrites(false);  // thousands of writes: no flush each time
    ASSERT_TRUE(data.CreateCollection());
    TuneTo(unit.engine, 1);
    for (int i = 0; i < 6; ++i) {
        data.BeginPoint(CSiteData::kPlanTap, 10 * i, 20 * i);
        for (int k = 0; k < i; ++k) {
            const Bytes r = Record({1, 2, 3, 4, 5, static_cast<std::uint8_t>(k)}, static_cast<std::int16_t>(-40 * 16 - k),
                                   {Ssid("net" + std::to_string(k)), Ds(1)});
            unit.engine.AddFrameRecord(r.data(), static_cast<std::uint32_t>(r.size()));
        }
        data.RecordPoint();
    }
    const Bytes good = ReadBytes(path);

    for (int round = 0; round < 200; ++round) {
        const Bytes bad = Mutate(good, rng);
        WriteBytes(path, bad);
        data.LoadCollection();
        // Loading at most cuts off an unfinished last group; a file damaged
        // otherwise is kept whole beside the clean copy that replaces it.
        const Bytes loaded = ReadBytes(path);
        if (std::filesystem::exists(path + ".damaged-1")) {
            EXPECT_EQ(ReadBytes(path + ".damaged-1"), bad) << round;
            EXPECT_TRUE(GroupsByCounts(loaded, ReadLe32(&loaded[21]) + 8, data.PointRecordSize(), data.ApRecordSize())
                            .has_value())
                << round;
            std::filesystem::remove(path + ".damaged-1");
        } else {
            ASSERT_LE(loaded.size(), bad.size());
            EXPECT_TRUE(std::equal(loaded.begin(), loaded.end(), bad.begin())) << round;
        }
        EXPECT_LE(data.Points().size(), bad.size() / 36 + 1) << round;
        for (const auto& p : data.Points()) {
            data.FindNearestPoint(p.x, p.y);
            for (std::uint16_t i = 1; i <= 3; ++i) {
                data.FormatApLine(i);
                data.FormatSsidLine(i);
            }
        }
        if (!data.Points().empty() && data.FindNearestPoint(data.Points()[0].x, data.Points()[0].y) != 255) {
            data.DeleteSelectedPoint();
            // Deleting rewrites one byte at most.
            const Bytes after = ReadBytes(path);
            ASSERT_EQ(after.size(), loaded.size());
            std::size_t changed = 0;
            for (std::size_t i = 0; i < after.size(); ++i) changed += after[i] != loaded[i];
            EXPECT_LE(changed, 1u) << round;
        }
        // A file that loaded takes an append that reads back as its last point.
        if (data.LoadCollection()) {
            data.BeginPoint(CSiteData::kPlanTap, 7, 8);
            data.RecordPoint();
            ASSERT_TRUE(data.LoadCollection()) << round;
            ASSERT_FALSE(data.Points().empty()) << round;
            EXPECT_EQ(data.Points().back().x, 7) << round;
            EXPECT_EQ(data.Points().back().y, 8) << round;
        }
    }
}

}  // namespace
}  // namespace quorl::test
