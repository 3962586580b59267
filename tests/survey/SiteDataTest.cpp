// The collection file: its bytes, reading it back, selection, deletion, the
// information lines, and files that are locked, damaged or oddly declared.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>

#include <cerrno>

#include "common/ByteOrder.h"
#include "survey/CollectionFormat.h"
#include "survey/FileHandle.h"
#include "survey/PlanEncoder.h"
#include "survey/ProjectionFormat.h"
#include "survey/SiteData.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/survey/SurveyTestSupport.h"

namespace quorl::test {
namespace {

using Tap = CSiteData::_tap;

struct Rig {
    EngineRig unit;
    CSiteProjection projection{unit.gps, unit.messages};
    CSiteData data{unit.engine, unit.gps, projection, unit.messages};
    TempDir dir;
    std::string path = dir / "Data.ssd";

    Rig() {
        data.SetCollectionPath(path);
        TuneTo(unit.engine, 6);
    }
    // The access points the sweep "hears".
    void Hear(const Mac6& mac, std::int16_t rssi, const std::string& ssid, std::uint8_t channel = 6) {
        const Bytes r = Record(mac, rssi, {Ssid(ssid), Ds(channel)});
        unit.engine.AddFrameRecord(r.data(), static_cast<std::uint32_t>(r.size()));
    }
    void LoadDemoProjection(const AffineTransform& demo = {0.0, 1e6, -1.5e6, 0.0, -8541000.0, 47.3773 * 1.5e6}) {
        const Bytes image(64, 0x11);
        WriteBytes(dir / "demo.gpf", projection::MakeFile(0, demo, *EncodePlanBlock(image.data(), image.size())));
        ASSERT_TRUE(projection.Load(dir / "demo.gpf"));
    }
    Bytes File() const { return ReadBytes(path); }
};

TEST(SiteDataTest, NewCollectionIsHeaderAndSizes) {
    Rig rig;
    ASSERT_TRUE(rig.data.CreateCollection());
    const Bytes f = rig.File();
    ASSERT_EQ(f.size(), 33u);
    EXPECT_EQ(ReadLe32(&f[0]), 25u);
    EXPECT_EQ((Bytes(f.begin() + 4, f.begin() + 8)), (Bytes{0x20, 0x44, 0x53, 0x53}));
    EXPECT_EQ(ReadLe16(&f[8]), 1);
    EXPECT_NEAR(static_cast<double>(ReadLe64(&f[13])), static_cast<double>(std::time(nullptr)), 5);
    EXPECT_EQ(ReadLe32(&f[21]), 25u);
    EXPECT_EQ(ReadLe32(&f[25]), 36u);
    EXPECT_EQ(ReadLe32(&f[29]), 46u);
    EXPECT_EQ(rig.data.FileName(), "Data.ssd");
    EXPECT_EQ(rig.data.FileLength(), 33u);
}

TEST(SiteDataTest, PlanTapGroupOnDisk) {
    Rig rig;
    ASSERT_TRUE(rig.data.CreateCollection());
    rig.data.BeginPoint(CSiteData::kPlanTap, 120, 340);
    rig.Hear({0, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}, -70 * 16, "office");
    rig.Hear({1, 2, 3, 4, 5, 6}, -50 * 16 - 5, std::string(32, 'S'));  // level -50, 32-character SSID
    rig.Hear({1, 2, 3, 4, 5, 6}, -54 * 16 - 5, "");                      // second hit: average -52*16-5
    EXPECT_TRUE(rig.data.RecordPoint());
    EXPECT_FALSE(rig.data.NoAccessPoint());
    EXPECT_EQ(rig.data.PointCount(), 1);
    EXPECT_EQ(rig.data.FileLength(), 33u);  // taken when opened, before the append

    const Bytes f = rig.File();
    ASSERT_EQ(f.size(), 33u + 36 + 2 * 46);
    const std::uint8_t* p = &f[33];
    EXPECT_EQ(p[0], 2);
    EXPECT_EQ(ReadLe32(p + 1), 0u);
    EXPECT_EQ(ReadLe16(p + 9), 120);
    EXPECT_EQ(ReadLe16(p + 11), 340);
    EXPECT_GE(p[13], 1);
    EXPECT_LE(p[13], 12);
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    EXPECT_EQ(p[15], static_cast<std::uint8_t>(local.tm_year + 1900 - 1980));
    EXPECT_EQ(p[33], 3);
    EXPECT_EQ(ReadLe16(p + 34), 2);
    const std::uint8_t* a = p + 36;
    EXPECT_EQ(ReadLe32(a), 6u);
    EXPECT_EQ(static_cast<std::int16_t>(ReadLe16(a + 4)), -70 * 16);
    EXPECT_EQ((Bytes(a + 8, a + 14)), (Bytes{0, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(a + 14)), "office");
    const std::uint8_t* b = a + 46;
    EXPECT_EQ(static_cast<std::int16_t>(ReadLe16(b + 4)), (-50 * 16 - 5 + -54 * 16 - 5) / 2);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 14), 32), std::string(32, 'S'));

    const auto points = rig.data.Points();
    ASSERT_EQ(points.size(), 1u);
    // The two strongest levels, as stored and as read back.
    EXPECT_EQ(points[0], (Tap{120, 340, -52, 2, 2, 33, -70}));
    ASSERT_TRUE(rig.data.LoadCollection());
    EXPECT_EQ(rig.data.Points(), points);

    // The information lines of the selected point.
    EXPECT_EQ(rig.data.FindNearestPoint(125, 335), 2);
    EXPECT_EQ(rig.data.FormatApLine(1), "06    00-0A-1B-2C-3D-4E                   -70");
    EXPECT_EQ(rig.data.FormatSsidLine(1), "         office");
    EXPECT_EQ(rig.data.FormatSsidLine(2), "         " + std::string(32, 'S'));
    EXPECT_EQ(rig.data.FormatApLine(3), "");  // past the end of the file
    EXPECT_EQ(rig.data.FormatApLine(0), "");
}

TEST(SiteDataTest, PointWithoutAccessPointsAndCoordinateWrap) {
    Rig rig;
    ASSERT_TRUE(rig.data.CreateCollection());
    rig.data.BeginPoint(CSiteData::kPlanTap, 70000, -1);
    EXPECT_FALSE(rig.data.RecordPoint());
    EXPECT_TRUE(rig.data.NoAccessPoint());
    EXPECT_FALSE(rig.data.LastFileFailed());
    Bytes f = rig.File();
    ASSERT_EQ(f.size(), 33u + 36);
    EXPECT_EQ(ReadLe16(&f[33 + 34]), 0);
    EXPECT_EQ(rig.data.Points()[0].strongest, -100);

    // Plan pixels are stored in 16 bits: they read back reduced.
    ASSERT_TRUE(rig.data.LoadCollection());
    ASSERT_EQ(rig.data.Points().size(), 1u);
    EXPECT_EQ(rig.data.Points()[0].x, 70000 - 65536);
    EXPECT_EQ(rig.data.Points()[0].y, 65535);
}

TEST(SiteDataTest, GpsPointsStoreDegreesAndReloadThroughTheProjection) {
    Rig rig;
    rig.LoadDemoProjection();
    ASSERT_TRUE(rig.data.CreateCollection());
    rig.unit.gps.latitude = 47.3771;
    rig.unit.gps.longitude = 8.5414;
    rig.unit.gps.lock3d = 1;
    rig.unit.gps.year = 2024;
    rig.unit.gps.month = 6;
    rig.unit.gps.day = 14;
    rig.unit.gps.keptField = 123456789;
    rig.unit.gps.fineTime = 42;
    rig.data.BeginPoint(CSiteData::kGpsPoint, 400, 300);
    rig.Hear({9, 9, 9, 9, 9, 9}, -60 * 16, "gps");
    EXPECT_TRUE(rig.data.RecordPoint());
    // A tap on the GPS projection stores the position computed from the tap.
    rig.data.BeginPoint(CSiteData::kProjectedTap, 123, 457);
    EXPECT_FALSE(rig.data.RecordPoint());

    const Bytes f = rig.File();
    const std::uint8_t* p = &f[33];
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(static_cast<std::int32_t>(ReadLe32(p + 1)), static_cast<std::int32_t>(47.3771 * 3600000.0));
    EXPECT_EQ(static_cast<std::int32_t>(ReadLe32(p + 5)), static_cast<std::int32_t>(8.5414 * 3600000.0));
    EXPECT_EQ(ReadLe16(p + 9), 0);
    EXPECT_EQ(p[13], 6);
    EXPECT_EQ(p[15], 44);  // 2024 - 1980
    EXPECT_EQ(ReadLe32(p + 19), 42u);
    EXPECT_EQ(ReadLe32(p + 23), 123u);
    EXPECT_EQ(p[33], 2);  // 3D lock
    const std::uint8_t* q = p + 36 + 46;
    EXPECT_EQ(q[0], 1);
    EXPECT_EQ(ReadLe16(q + 9), 0);

    ASSERT_TRUE(rig.data.LoadCollection());
    const auto points = rig.data.Points();
    ASSERT_EQ(points.size(), 2u);
    EXPECT_NEAR(points[0].x, 400, 1);
    EXPECT_NEAR(points[0].y, 300, 1);
    EXPECT_EQ(points[0].strongest, -60);
    EXPECT_NEAR(points[1].x, 123, 1);
    EXPECT_NEAR(points[1].y, 457, 1);
}

TEST(SiteDataTest, SelectionDeletionAndReopening) {
    Rig rig;
    ASSERT_TRUE(rig.data.CreateCollection());
    for (auto [x, y] : {std::pair{100, 100}, {140, 100}, {100, 100}}) {
        rig.data.BeginPoint(CSiteData::kPlanTap, x, y);
        rig.data.RecordPoint();
    }
    EXPECT_EQ(rig.data.FindNearestPoint(100, 60), 2);  // exactly 40 away
    EXPECT_EQ(rig.data.SelectedIndex(), 0);             // the tie goes to the earlier entry
    EXPECT_EQ(rig.data.FindNearestPoint(181, 100), 255);  // 41 away
    EXPECT_EQ(rig.data.SelectedIndex(), 0);               // unchanged
    EXPECT_EQ(rig.data.FindNearestPoint(139, 100), 2);
    EXPECT_EQ(rig.data.SelectedIndex(), 1);
    EXPECT_EQ(rig.data.FindNearestPoint(INT32_MAX, INT32_MIN), 255);  // no wrap into range

    EXPECT_TRUE(rig.data.DeleteSelectedPoint());
    EXPECT_EQ(rig.unit.messages.Texts().back(), "Deleted.");
    EXPECT_EQ(rig.data.PointCount(), 2);
    EXPECT_EQ(rig.File()[33 + 36], 255);
    // A deleted entry can still be picked, and answers like no point.
    EXPECT_EQ(rig.data.FindNearestPoint(140, 100), 255);
    EXPECT_EQ(rig.data.SelectedIndex(), 1);

    ASSERT_TRUE(rig.data.LoadCollection());
    EXPECT_EQ(rig.data.PointCount(), 3);  // every record read counts
    const auto points = rig.data.Points();
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[1].offset, 33u + 72);
    EXPECT_EQ(rig.data.SelectedIndex(), -1);  // a new list, no selection
    EXPECT_FALSE(rig.data.DeleteSelectedPoint());

    // Creating a file empties the list and counts: no old offset can reach it.
    rig.data.FindNearestPoint(100, 100);
    ASSERT_TRUE(rig.data.CreateCollection());
    EXPECT_TRUE(rig.data.Points().empty());
    EXPECT_EQ(rig.data.PointCount(), 0);
    EXPECT_FALSE(rig.data.DeleteSelectedPoint());
    EXPECT_EQ(rig.File().size(), 33u);
}

// Far-off positions saturate to the ends of the int32 range; their squared
// distance to a tap at the other end must not wrap into range.
TEST(SiteDataTest, NearestPointSearchCannotOverflow) {
    Rig rig;
    rig.LoadDemoProjection({0.0, 1e10, -1e10, 0.0, 0.0, 0.0});
    ASSERT_TRUE(rig.data.CreateCollection());
    for (double degrees : {-100.0, 100.0, 0.0}) {
        rig.unit.gps.latitude = degrees;
        rig.unit.gps.longitude = degrees;
        rig.data.BeginPoint(CSiteData::kGpsPoint, 0, 0);
        rig.data.RecordPoint();
    }
    ASSERT_TRUE(rig.data.LoadCollection());
    const auto points = rig.data.Points();
    ASSERT_EQ(points.size(), 3u);
    ASSERT_EQ(points[0].x, INT32_MIN);
    ASSERT_EQ(points[0].y, INT32_MAX);
    ASSERT_EQ(points[1].x, INT32_MAX);
    ASSERT_EQ(points[1].y, INT32_MIN);
    struct Tap {
        std::int32_t x, y;
        std::int32_t selected;  // -1: nothing in range
    };
    for (const Tap& tap : {Tap{INT32_MAX, INT32_MIN, 1}, Tap{INT32_MIN, INT32_MAX, 0}, Tap{INT32_MIN, INT32_MIN, -1},
                           Tap{INT32_MAX, INT32_MAX, -1}, Tap{30, -24, 2}, Tap{INT32_MAX - 40, INT32_MIN, 1},
                           Tap{INT32_MAX - 41, INT32_MIN, -1}}) {
        SCOPED_TRACE(testing::Message() << tap.x << "," << tap.y);
        rig.data.FindNearestPoint(100000, 100000);  // clears nothing: keeps the last selection
        const std::int32_t before = rig.data.SelectedIndex();
        EXPECT_EQ(rig.data.FindNearestPoint(tap.x, tap.y), tap.selected < 0 ? 255 : CSiteData::kGpsPoint);
        EXPECT_EQ(rig.data.SelectedIndex(), tap.selected < 0 ? before : tap.selected);
    }
}

// A file put together by hand: markers with access points, odd sizes,
// a truncated last group.
Bytes HandFile(std::uint32_t pointSize, std::uint32_t apSize, const std::vector<std::pair<std::uint8_t, int>>& groups,
               std::size_t cut = 0) {
    Bytes f(25, 0);
    WriteLe32(&f[0], 25);
    WriteLe32(&f[21], 25);
    f.resize(33);
    WriteLe32(&f[25], pointSize);
    WriteLe32(&f[29], apSize);
    int n = 0;
    for (auto [kind, aps] : groups) {
        Bytes point(pointSize, 0xAB);
        collection::PointRecord r;
        r.kind = kind;
        r.x = static_cast<std::uint16_t>(10 * ++n);
        r.y = 7;
        r.apCount = static_cast<std::uint16_t>(aps);
        collection::EncodePoint(r, point.data());
        f.insert(f.end(), point.begin(), point.end());
        for (int i = 0; i < aps; ++i) {
            Bytes ap(apSize, 0xCD);
            collection::ApRecord a;
            a.channel = 11;
            a.signal = static_cast<std::int16_t>((-40 - i) * 16);
            collection::EncodeAp(a, ap.data());
            f.insert(f.end(), ap.begin(), ap.end());
        }
    }
    f.resize(f.size() - cut);
    return f;
}

TEST(SiteDataTest, ReadingMarkersOddSizesAndTruncatedGroups) {
    Rig rig;
    // The cut leaves 36 bytes of the last record: the unfinished last group
    // is no point. Kind 99 is none the unit writes: no point follows the
    // second, so all after it is the unfinished end, cut off and kept beside.
    const Bytes odd = HandFile(36, 46, {{17, 2}, {2, 3}, {99, 1}, {2, 4}}, 10);
    WriteBytes(rig.path, odd);
    ASSERT_TRUE(rig.data.LoadCollection());
    EXPECT_EQ(rig.data.PointCount(), 2);
    auto points = rig.data.Points();
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0], (Tap{10, 7, -100, 0, 17, 33}));
    EXPECT_EQ(points[1], (Tap{20, 7, -40, 3, 2, 33 + 36 + 92, -41}));
    EXPECT_EQ(rig.File(), HandFile(36, 46, {{17, 2}, {2, 3}}));
    EXPECT_EQ(ReadBytes(rig.path + ".torn-at-335"), Bytes(odd.begin() + 335, odd.end()));

    // Larger declared records: the extra bytes are skipped, and appends use
    // the declared sizes so that the file stays readable.
    WriteBytes(rig.path, HandFile(40, 50, {{2, 2}, {2, 1}}));
    ASSERT_TRUE(rig.data.LoadCollection());
    points = rig.data.Points();
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[1], (Tap{20, 7, -40, 1, 2, 33 + 40 + 100}));
    rig.data.BeginPoint(CSiteData::kPlanTap, 5, 5);
    rig.Hear({7, 7, 7, 7, 7, 7}, -33 * 16, "big");
    EXPECT_TRUE(rig.data.RecordPoint());
    EXPECT_EQ(rig.File().size(), 33u + 40 + 100 + 40 + 50 + 40 + 50);
    EXPECT_TRUE(rig.data.FindNearestPoint(5, 5) == 2);
    EXPECT_EQ(rig.data.FormatSsidLine(1), "         big");
    ASSERT_TRUE(rig.data.LoadCollection());
    EXPECT_EQ(rig.data.Points().back(), (Tap{5, 5, -33, 1, 2, 33 + 40 + 100 + 40 + 50}));

    // Smaller ones (0 included) are refused with a message, never looped on;
    // so are ones above the bound (a bitmap's white pixels, 100 MiB), never
    // allocated or appended at that size.
    for (auto [ps, as] : {std::pair{0u, 46u}, {36u, 0u}, {35u, 46u}, {36u, 45u}, {4097u, 46u}, {36u, 0xFFFFFFFFu},
                          {0xFFFFFFFFu, 0xFFFFFFFFu}, {100u << 20, 46u}}) {
        rig.unit.messages.Clear();
        WriteBytes(rig.path, HandFile(36, 46, {{2, 1}}));
        Bytes f = rig.File();
        WriteLe32(&f[25], ps);
        WriteLe32(&f[29], as);
        WriteBytes(rig.path, f);
        EXPECT_FALSE(rig.data.LoadCollection());
        EXPECT_TRUE(rig.data.Points().empty());
        ASSERT_EQ(rig.unit.messages.Texts().size(), 1u);
        EXPECT_NE(rig.unit.messages.Texts()[0].find("Data.ssd cannot be used as a log file"), std::string::npos);
        rig.data.BeginPoint(CSiteData::kPlanTap, 1, 1);
        EXPECT_FALSE(rig.data.RecordPoint());
        EXPECT_TRUE(rig.data.LastFileFailed());
        EXPECT_EQ(rig.File(), f);
    }

    // Too short for a header, or a size pair past the end.
    WriteBytes(rig.path, Bytes(10, 0));
    EXPECT_FALSE(rig.data.LoadCollection());
    Bytes f = HandFile(36, 46, {});
    WriteLe32(&f[21], 1000);
    WriteBytes(rig.path, f);
    EXPECT_FALSE(rig.data.LoadCollection());
}

// A group cut short by a kill: loading cuts it off and says so once, and the
// next append follows the last complete group, never the fragment, whether
// the file was reloaded or not.
TEST(SiteDataTest, TornLastGroupIsCutBeforeAppending) {
    const auto recordPoint = [](Rig& rig, int x, int aps) {
        rig.data.BeginPoint(CSiteData::kPlanTap, x, 9);
        for (int k = 0; k < aps; ++k) rig.Hear({3, 3, 3, 3, static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(k)}, -60 * 16, "t");
        rig.data.RecordPoint();
        EXPECT_FALSE(rig.data.LastFileFailed());
    };
    const std::size_t last = 36 + 3 * 46;  // the last group's bytes
    // Cuts inside an access point record, at a record boundary, inside the
    // point record, and all but its first byte.
    for (std::size_t cut : {std::size_t{1}, std::size_t{46}, std::size_t{3 * 46 + 20}, last - 1}) {
        for (bool reload : {true, false}) {
            SCOPED_TRACE(testing::Message() << "cut " << cut << (reload ? " reloaded" : ""));
            Rig rig;
            ASSERT_TRUE(rig.data.CreateCollection());
            recordPoint(rig, 10, 2);
            recordPoint(rig, 20, 3);
            const Bytes whole = rig.File();
            const Bytes kept(whole.begin(), whole.end() - static_cast<std::ptrdiff_t>(last));
            WriteBytes(rig.path, Bytes(whole.begin(), whole.end() - static_cast<std::ptrdiff_t>(cut)));
            rig.unit.messages.Clear();
            if (reload) {
                ASSERT_TRUE(rig.data.LoadCollection());
                EXPECT_EQ(rig.data.PointCount(), 1);
                EXPECT_EQ(rig.File(), kept);
                EXPECT_EQ(rig.data.FileLength(), kept.size());
            }
            recordPoint(rig, 30, 1);
            const auto entries = rig.unit.messages.Entries();
            ASSERT_EQ(entries.size(), 1u);  // told once, on whichever came first
            EXPECT_EQ(entries[0].kind, RecordingUserMessages::Kind::Info);
            EXPECT_NE(entries[0].text.find(rig.path), std::string::npos) << entries[0].text;
            const std::size_t n = last - cut;
            const std::string bytes = std::to_string(n) + (n == 1 ? " byte" : " bytes") + " from offset " +
                                      std::to_string(kept.size());
            EXPECT_NE(entries[0].text.find("(" + bytes), std::string::npos) << entries[0].text;
            ASSERT_EQ(rig.File().size(), kept.size() + 36 + 46);
            EXPECT_TRUE(std::equal(kept.begin(), kept.end(), rig.File().begin()));
            ASSERT_TRUE(rig.data.LoadCollection());
            const auto points = rig.data.Points();
            ASSERT_EQ(points.size(), 2u);
            EXPECT_EQ(points[1], (Tap{30, 9, -60, 1, 2, static_cast<std::uint32_t>(kept.size())}));
            EXPECT_EQ(rig.unit.messages.Entries().size(), 1u);
        }
    }

    // Bytes another writer left after the known end: its complete groups are
    // kept, its unfinished one is cut off before appending.
    Rig rig;
    ASSERT_TRUE(rig.data.CreateCollection());
    recordPoint(rig, 10, 2);
    const Bytes start = rig.File();
    Bytes group(start.begin() + 33, start.end());
    group[9] = 11;  // another point than the first (an exact copy would be read once)
    Bytes grown = start;
    grown.insert(grown.end(), group.begin(), group.end());
    const std::size_t complete = grown.size();
    grown.insert(grown.end(), group.begin(), group.begin() + 50);
    WriteBytes(rig.path, grown);
    recordPoint(rig, 40, 0);
    EXPECT_EQ(rig.File().size(), complete + 36);
    EXPECT_EQ(rig.unit.messages.Entries().size(), 1u);
    ASSERT_TRUE(rig.data.LoadCollection());
    EXPECT_EQ(rig.data.PointCount(), 3);
}

// A new file that cannot be written (a full disk; here a limit on file
// sizes) is removed again, so that no empty file is left to be refused when
// opened; a file that was there before is not removed.
TEST(SiteDataTest, ACollectionThatCannotBeWrittenIsNotLeftBehind) {
    Rig rig;
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    rlimit small = limit;
    small.rlim_cur = 10;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    for (const bool existed : {false, true}) {
        SCOPED_TRACE(existed ? "file there before" : "new file");
        if (existed) WriteBytes(rig.path, Bytes(5, 7));
        rig.unit.messages.Clear();
        EXPECT_FALSE(rig.data.CreateCollection());
        EXPECT_EQ(std::filesystem::exists(rig.path), existed);
        ASSERT_EQ(rig.unit.messages.Texts().size(), 1u);
        EXPECT_NE(rig.unit.messages.Texts()[0].find("Cannot write"), std::string::npos);
    }
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, previous);
    EXPECT_TRUE(rig.data.CreateCollection());
    EXPECT_EQ(rig.File().size(), 33u);
}

TEST(SiteDataTest, FailuresAreReportedAndNothingIsWritten) {
    Rig rig;
    rig.data.SetCollectionPath(rig.dir / "missing.ssd");
    EXPECT_FALSE(rig.data.LoadCollection());
    ASSERT_EQ(rig.unit.messages.Texts().size(), 1u);
    EXPECT_NE(rig.unit.messages.Texts()[0].find(SystemErrorText(ENOENT)), std::string::npos);
    rig.data.BeginPoint(CSiteData::kPlanTap, 1, 1);
    EXPECT_FALSE(rig.data.RecordPoint());
    EXPECT_TRUE(rig.data.LastFileFailed());
    EXPECT_EQ(rig.data.PointCount(), 1);  // raised before the open failed
    EXPECT_FALSE(std::filesystem::exists(rig.dir / "missing.ssd"));

    rig.data.SetCollectionPath(rig.dir / "no/such/folder.ssd");
    EXPECT_FALSE(rig.data.CreateCollection());

    // Another collector holds the file: a clear message, the file untouched.
    rig.data.SetCollectionPath(rig.path);
    ASSERT_TRUE(rig.data.CreateCollection());
    FileHandle other = FileHandle::Open(rig.path, O_RDWR);
    ASSERT_TRUE(other.LockExclusive());
    rig.unit.messages.Clear();
    rig.data.BeginPoint(CSiteData::kPlanTap, 1, 1);
    EXPECT_FALSE(rig.data.RecordPoint());
    ASSERT_EQ(rig.unit.messages.Texts().size(), 1u);
    EXPECT_NE(rig.unit.messages.Texts()[0].find("in use by another program"), std::string::npos);
    EXPECT_FALSE(rig.data.CreateCollection());
    EXPECT_FALSE(rig.data.LoadCollection());
    EXPECT_EQ(rig.File().size(), 33u);
    other.Close();
    rig.data.RecordPoint();  // once released, it goes on
    EXPECT_FALSE(rig.data.LastFileFailed());
    EXPECT_EQ(rig.File().size(), 33u + 36);
}

}  // namespace
}  // namespace quorl::test
