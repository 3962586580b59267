// Projection loading: the derived files, the header's coefficient order,
// the transforms, and files that lie about themselves.

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <random>

#include "common/ByteOrder.h"
#include "common/RecordingUserMessages.h"
#include "survey/PlanEncoder.h"
#include "survey/ProjectionFormat.h"
#include "survey/SiteProjection.h"
#include "tests/survey/SurveyTestSupport.h"

namespace quorl::test {
namespace {

// The demo site: 1e6 plan pixels per degree east, 1.5e6 per degree south.
const AffineTransform kDemo{0.0, 1e6, -1.5e6, 0.0, -8541000.0, 47.3773 * 1.5e6};

Bytes Image(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(size);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng() % 5 == 0 ? rng() : 0xFF);
    return b;
}

Bytes ProjectionFile(std::uint8_t kind, const AffineTransform& t, const Bytes& image) {
    return projection::MakeFile(kind, t, *EncodePlanBlock(image.data(), image.size()));
}

struct Rig {
    GpsStatus gps;
    RecordingUserMessages messages;
    CSiteProjection projection{gps, messages};
    TempDir dir;
};

TEST(SiteProjectionTest, LoadWritesDerivedFilesAndReadsCoefficients) {
    Rig rig;
    EXPECT_FALSE(rig.projection.Loaded());
    EXPECT_EQ(rig.projection.Kind(), 0);

    const Bytes image = Image(30000, 1);
    // Distinct coefficients show that A..F come from their own offsets.
    const AffineTransform t{1.5, 2.5, 3.5, 4.5, 5.5, 6.5};
    const Bytes file = ProjectionFile(CSiteProjection::kLinearProjection, t, image);
    const std::string path = rig.dir / "floor1.lpf";
    WriteBytes(path, file);

    ASSERT_TRUE(rig.projection.Load(path));
    EXPECT_TRUE(rig.messages.Texts().empty());
    EXPECT_TRUE(rig.projection.Loaded());
    EXPECT_EQ(rig.projection.Kind(), 1);
    EXPECT_EQ(rig.projection.FileName(), "floor1.lpf");
    EXPECT_EQ(rig.projection.FileLength(), file.size());
    EXPECT_EQ(rig.projection.ImagePath(), path + "b");
    EXPECT_EQ(ReadBytes(path + "b"), image);
    EXPECT_EQ(ReadBytes(path + "c"), Bytes(file.begin() + 141, file.end()));
    EXPECT_EQ(rig.projection.A(), 1.5);
    EXPECT_EQ(rig.projection.B(), 2.5);
    EXPECT_EQ(rig.projection.C(), 3.5);
    EXPECT_EQ(rig.projection.D(), 4.5);
    EXPECT_EQ(rig.projection.E(), 5.5);
    EXPECT_EQ(rig.projection.F(), 6.5);
    EXPECT_EQ(ReadLeDouble(file.data() + 37), 5.5);  // E sits before C in the file
    EXPECT_EQ(ReadLeDouble(file.data() + 45), 3.5);
    EXPECT_EQ(rig.dir.Names(), (std::vector<std::string>{"floor1.lpf", "floor1.lpfb", "floor1.lpfc"}));

    // Loading again overwrites the same files with the same result; a
    // second projection decodes independently of the first.
    WriteBytes(path + "b", Bytes{1, 2, 3});
    ASSERT_TRUE(rig.projection.Load(path));
    EXPECT_EQ(ReadBytes(path + "b"), image);
    const Bytes other = Image(5000, 2);
    const std::string second = rig.dir / "floor2.gpf";
    WriteBytes(second, ProjectionFile(CSiteProjection::kGpsProjection, kDemo, other));
    ASSERT_TRUE(rig.projection.Load(second));
    EXPECT_EQ(ReadBytes(second + "b"), other);
    EXPECT_EQ(ReadBytes(path + "b"), image);
    EXPECT_EQ(rig.projection.Kind(), 0);
}

TEST(SiteProjectionTest, TransformsBothWays) {
    Rig rig;
    const std::string path = rig.dir / "demo.gpf";
    WriteBytes(path, ProjectionFile(CSiteProjection::kGpsProjection, kDemo, Image(100, 3)));
    ASSERT_TRUE(rig.projection.Load(path));

    rig.gps.latitude = 47.3771;
    rig.gps.longitude = 8.5414;
    EXPECT_EQ(rig.projection.PlanXFromGps(), 400);
    EXPECT_EQ(rig.projection.PlanYFromGps(), 300);
    // Left of and above the plan: negative, truncated toward zero.
    rig.gps.latitude = 47.3773 + 0.5 / 1.5e6;
    rig.gps.longitude = 8.541 - 0.7e-6;
    EXPECT_EQ(rig.projection.PlanXFromGps(), 0);  // -0.7 truncates to 0
    EXPECT_EQ(rig.projection.PlanYFromGps(), 0);
    rig.gps.longitude = 8.541 - 12.9e-6;
    EXPECT_EQ(rig.projection.PlanXFromGps(), -12);

    for (auto [x, y] : {std::pair{0, 0}, {800, 600}, {123, 456}, {-40, 700}}) {
        const double lat = rig.projection.LatitudeFromPlan(x, y);
        const double lon = rig.projection.LongitudeFromPlan(x, y);
        EXPECT_NEAR(lat, 47.3773 - y / 1.5e6, 1e-9);
        EXPECT_NEAR(lon, 8.541 + x / 1e6, 1e-9);
        const PlanPoint back = rig.projection.PlanFromPosition(lat, lon);
        EXPECT_LE(std::abs(back.x - x), 1);
        EXPECT_LE(std::abs(back.y - y), 1);
    }

    // Positions far off the plan saturate instead of overflowing.
    EXPECT_EQ(rig.projection.PlanFromPosition(0, 1e9).x, INT32_MAX);
    EXPECT_EQ(rig.projection.PlanFromPosition(NAN, 0).x, 0);
}

TEST(SiteProjectionTest, CalibrationFromThreeReferencePoints) {
    const auto t = AffineTransform::Solve({AffineTransform::Reference{0, 0, 47.3773, 8.541},
                                           AffineTransform::Reference{800, 0, 47.3773, 8.5418},
                                           AffineTransform::Reference{0, 600, 47.3769, 8.541}});
    ASSERT_TRUE(t);
    EXPECT_NEAR(t->a, 0.0, 1e-3);
    EXPECT_NEAR(t->b, 1e6, 1e-3);
    EXPECT_NEAR(t->c, -1.5e6, 1e-3);
    EXPECT_NEAR(t->d, 0.0, 1e-3);
    EXPECT_NEAR(t->Forward(47.3771, 8.5414).x, 400, 1);
    // Three points on one line fix nothing.
    EXPECT_FALSE(AffineTransform::Solve({AffineTransform::Reference{0, 0, 1, 1}, {1, 1, 2, 2}, {2, 2, 3, 3}}));
}

// Each lying file is refused with a message naming it, and the projection
// loaded before stays, derived files included.
TEST(SiteProjectionTest, FilesThatLieLeaveThePreviousProjection) {
    Rig rig;
    const Bytes image = Image(20000, 4);
    const std::string good = rig.dir / "good.gpf";
    WriteBytes(good, ProjectionFile(CSiteProjection::kGpsProjection, kDemo, image));
    ASSERT_TRUE(rig.projection.Load(good));
    const Bytes goodFile = ReadBytes(good);
    const std::string bad = rig.dir / "bad.gpf";

    auto refused = [&](const Bytes& file, const char* what) {
        rig.messages.Clear();
        WriteBytes(bad, file);
        EXPECT_FALSE(rig.projection.Load(bad)) << what;
        const auto texts = rig.messages.Texts();
        EXPECT_EQ(texts.size(), 1u) << what;
        if (!texts.empty()) {
            EXPECT_NE(texts[0].find("bad.gpf"), std::string::npos) << texts[0];
        }
        EXPECT_EQ(rig.projection.Path(), good) << what;
        EXPECT_EQ(rig.projection.ImagePath(), good + "b") << what;
        EXPECT_EQ(rig.projection.FileLength(), goodFile.size()) << what;
        EXPECT_EQ(rig.projection.B(), 1e6) << what;
        EXPECT_EQ(ReadBytes(good + "b"), image) << what;
        // Nothing new beside the bad file, temporaries included.
        EXPECT_EQ(rig.dir.Names(), (std::vector<std::string>{"bad.gpf", "good.gpf", "good.gpfb", "good.gpfc"}))
            << what;
    };

    refused(Bytes(goodFile.begin(), goodFile.begin() + 140), "short header");
    Bytes f = goodFile;
    WriteLe32(f.data(), static_cast<std::uint32_t>(f.size()));
    refused(f, "block offset at the end");
    f = goodFile;
    WriteLe32(f.data(), 0xFFFFFFF0u);
    refused(f, "block offset far past the end");
    f = goodFile;
    WriteLe32(f.data() + 141, 1031);
    refused(f, "block shorter than its header");
    f = goodFile;
    WriteLe32(f.data() + 141, 0xFFFFFFFFu);
    refused(f, "block length past the end");
    f = goodFile;
    WriteLe32(f.data() + 141 + 4, 0xFFFFFFFFu);
    refused(f, "decoded length the code cannot hold");
    refused(ProjectionFile(CSiteProjection::kGpsProjection, AffineTransform{1, 2, 2, 4, 0, 0}, image),
            "singular GPS transform");

    // A stored projection missing a few bytes of code is padded with copies
    // of the second-to-last byte; one missing most of it is refused. A white
    // image gives a 1-bit code: 8 bytes of image per code byte.
    const Bytes white(8000, 0xFF);
    const Bytes whole = ProjectionFile(CSiteProjection::kGpsProjection, kDemo, white);
    ASSERT_EQ(whole.size(), 141u + 1032 + 1000);
    const auto shortBy = [&](std::uint32_t missing) {
        Bytes cut(whole.begin(), whole.end() - missing);
        WriteLe32(&cut[141], 1032 + 1000 - missing);
        return cut;
    };
    const std::string padded = rig.dir / "padded.gpf";
    WriteBytes(padded, shortBy(5));
    rig.messages.Clear();
    ASSERT_TRUE(rig.projection.Load(padded));
    EXPECT_TRUE(rig.messages.Texts().empty());
    EXPECT_EQ(ReadBytes(padded + "b"), white);
    for (const char* suffix : {"", "b", "c"}) std::filesystem::remove(padded + suffix);
    ASSERT_TRUE(rig.projection.Load(good));
    refused(shortBy(501), "padding more than half of the image");

    // A linear projection never inverts its transform: a singular one loads.
    const std::string flat = rig.dir / "flat.lpf";
    WriteBytes(flat, ProjectionFile(CSiteProjection::kLinearProjection, AffineTransform{}, image));
    EXPECT_TRUE(rig.projection.Load(flat));

    // A file that cannot be opened: the system's words for it.
    rig.messages.Clear();
    EXPECT_FALSE(rig.projection.Load(rig.dir / "missing.gpf"));
    ASSERT_EQ(rig.messages.Texts().size(), 1u);
    EXPECT_NE(rig.messages.Texts()[0].find(SystemErrorText(ENOENT)), std::string::npos);
    EXPECT_EQ(rig.projection.Path(), flat);
}

TEST(SiteProjectionTest, DerivedFileThatCannotBeCreatedIsReported) {
    Rig rig;
    // A name at the file system's limit leaves no room for the derived names.
    const std::string path = rig.dir / (std::string(250, 'p') + ".gpf");
    WriteBytes(path, ProjectionFile(CSiteProjection::kGpsProjection, kDemo, Image(100, 5)));
    EXPECT_FALSE(rig.projection.Load(path));
    EXPECT_FALSE(rig.projection.Loaded());
    ASSERT_EQ(rig.messages.Texts().size(), 1u);
    EXPECT_EQ(rig.messages.Texts()[0], "Cannot create " + path + "c: " + SystemErrorText(ENAMETOOLONG));
}

}  // namespace
}  // namespace quorl::test
