// The companion's collection and projection commands, run as the user runs
// them: quorl ssd info|dump and quorl proj info|decode|make.

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "common/ByteOrder.h"
#include "common/RecordingUserMessages.h"
#include "survey/CollectionFormat.h"
#include "survey/SiteProjection.h"
#include "tests/survey/SurveyTestSupport.h"

namespace quorl::test {
namespace {

Bytes Group(const collection::PointRecord& p, const std::vector<collection::ApRecord>& aps) {
    Bytes g(collection::kPointRecordSize + aps.size() * collection::kApRecordSize);
    collection::EncodePoint(p, g.data());
    for (std::size_t i = 0; i < aps.size(); ++i)
        collection::EncodeAp(aps[i], g.data() + collection::kPointRecordSize + i * collection::kApRecordSize);
    return g;
}

collection::ApRecord Ap(std::uint32_t channel, std::int16_t signal, std::array<std::uint8_t, 6> mac,
                        const std::string& ssid) {
    collection::ApRecord a;
    a.channel = channel;
    a.signal = signal;
    a.mac = mac;
    std::copy_n(ssid.begin(), std::min<std::size_t>(ssid.size(), 32), a.ssid.begin());
    return a;
}

TEST(ToolCommandsTest, SsdDumpWritesOneCsvRowPerAccessPointRecord) {
    TempDir dir;
    const auto start = collection::MakeNewFileStart(1700000000);
    Bytes file(start.begin(), start.end());
    collection::PointRecord gps;
    gps.kind = 0;
    gps.latitude = static_cast<std::int32_t>(47.3771 * 3600000);
    gps.longitude = -static_cast<std::int32_t>(8.5 * 3600000);
    gps.month = 6, gps.day = 11, gps.year = 44, gps.hour = 9, gps.minute = 5, gps.second = 7, gps.fix = 2;
    gps.apCount = 2;
    const Bytes g1 = Group(gps, {Ap(6, -70 * 16 - 3, {0, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}, "plain"),
                                 Ap(36, -50 * 16, {1, 2, 3, 4, 5, 6}, "say \"hi\", all")});
    collection::PointRecord tap;
    tap.kind = 255;  // deleted, still dumped
    tap.x = 65535, tap.y = 12, tap.year = 0, tap.fix = 3;
    const Bytes g2 = Group(tap, {});
    collection::PointRecord marker;
    marker.kind = 17;
    marker.x = 5, marker.y = 6, marker.apCount = 1;
    const Bytes g3 = Group(marker, {Ap(11, 15, {0xFF, 0xEE, 0xDD, 0xCC, 0xBB, 0xAA}, std::string(32, 'Z'))});
    for (const Bytes* g : {&g1, &g2, &g3}) file.insert(file.end(), g->begin(), g->end());
    WriteBytes(dir / "survey.ssd", file);

    const Outcome o = Quorl(dir, {"ssd", "dump", dir / "survey.ssd"});
    EXPECT_EQ(o.status, 0) << o.err;
    const std::string expected =
        "point,offset,kind,x,y,lat,lon,month,day,year,hour,minute,second,fix,channel,mac,level,ssid\n"
        "0,33,0,0,0,47.3771000,-8.5000000,6,11,2024,9,5,7,2,6,00-0A-1B-2C-3D-4E,-70,plain\n"
        "0,33,0,0,0,47.3771000,-8.5000000,6,11,2024,9,5,7,2,36,01-02-03-04-05-06,-50,\"say \"\"hi\"\", all\"\n"
        "1,161,255,65535,12,,,0,0,1980,0,0,0,3,,,,\n"
        "2,197,17,5,6,,,0,0,1980,0,0,0,0,11,FF-EE-DD-CC-BB-AA,0," +
        std::string(32, 'Z') + "\n";
    EXPECT_EQ(o.out, expected);

    const Outcome info = Quorl(dir, {"ssd", "info", dir / "survey.ssd"});
    EXPECT_EQ(info.status, 0);
    for (const char* line : {"points: 3\n", "access point records: 3\n", "deleted points: 1\n",
                             "point record size: 36\n", "signature: 20 44 53 53\n", "created: 1700000000"})
        EXPECT_NE(info.out.find(line), std::string::npos) << line << "\n" << info.out;

    // A cut-off last group is no point, its bytes told; so is a point
    // record cut short.
    const std::size_t whole = file.size();
    file.resize(whole - 10);
    WriteBytes(dir / "cut.ssd", file);
    Outcome cut = Quorl(dir, {"ssd", "info", dir / "cut.ssd"});
    EXPECT_NE(cut.out.find("points: 2\n"), std::string::npos) << cut.out;
    EXPECT_NE(cut.out.find("last group cut short: 72 bytes from offset 197"), std::string::npos) << cut.out;
    file.resize(whole - 46 - 20);
    WriteBytes(dir / "cut.ssd", file);
    cut = Quorl(dir, {"ssd", "info", dir / "cut.ssd"});
    EXPECT_NE(cut.out.find("points: 2\n"), std::string::npos) << cut.out;
    EXPECT_NE(cut.out.find("last group cut short: 16 bytes from offset 197"), std::string::npos) << cut.out;
    EXPECT_EQ(info.out.find("cut short"), std::string::npos) << info.out;

    // Not a collection file: a message and a failure, no CSV. A white
    // bitmap declares records of 0xFFFFFFFF bytes.
    WriteBytes(dir / "junk.ssd", Bytes(20, 7));
    Bytes white(file.begin(), file.begin() + 25);
    white.resize(4000, 0xFF);
    WriteBytes(dir / "white.ssd", white);
    for (const char* name : {"junk.ssd", "white.ssd"}) {
        for (const char* sub : {"dump", "info"}) {
            const Outcome bad = Quorl(dir, {"ssd", sub, dir / name});
            EXPECT_NE(bad.status, 0);
            EXPECT_TRUE(bad.out.empty());
            EXPECT_NE(bad.err.find("not a readable collection file"), std::string::npos) << bad.err;
        }
    }
    EXPECT_NE(Quorl(dir, {"ssd", "dump", dir / "none.ssd"}).status, 0);
    EXPECT_EQ(Quorl(dir, {"ssd", "list"}).status, 2);
}

// A small bitmap file: header, 40-byte info header, rows of pixels.
Bytes Bitmap(int w, int h) {
    const int stride = (w * 3 + 3) / 4 * 4;
    Bytes f(54 + static_cast<std::size_t>(stride) * h, 0xFF);
    std::fill(f.begin(), f.begin() + 54, 0);
    f[0] = 'B';
    f[1] = 'M';
    WriteLe32(&f[2], static_cast<std::uint32_t>(f.size()));
    WriteLe32(&f[10], 54);
    WriteLe32(&f[14], 40);
    WriteLe32(&f[18], static_cast<std::uint32_t>(w));
    WriteLe32(&f[22], static_cast<std::uint32_t>(h));
    f[26] = 1;
    f[28] = 24;
    for (int x = 0; x < w; ++x) f[54 + 3 * x] = 0;  // a line
    return f;
}

TEST(ToolCommandsTest, ProjMakeInfoDecodeRoundTripThroughLoad) {
    TempDir dir;
    const Bytes image = Bitmap(120, 90);
    WriteBytes(dir / "plan.bmp", image);
    Outcome o = Quorl(dir, {"proj", "make", "--kind", "gps", "--calibrate",
                            "0,0,47.3773,8.541;800,0,47.3773,8.5418;0,600,47.3769,8.541", "--image",
                            dir / "plan.bmp", dir / "site.gpf"});
    ASSERT_EQ(o.status, 0) << o.err;
    o = Quorl(dir, {"proj", "make", "--kind", "linear", "--transform", "1,2,3,4,5,6", "--image", dir / "plan.bmp",
                    dir / "site.lpf"});
    ASSERT_EQ(o.status, 0) << o.err;

    GpsStatus gps;
    RecordingUserMessages messages;
    CSiteProjection projection(gps, messages);
    ASSERT_TRUE(projection.Load(dir / "site.gpf"));
    EXPECT_EQ(ReadBytes(dir / "site.gpfb"), image);
    EXPECT_EQ(projection.Kind(), 0);
    EXPECT_NEAR(projection.B(), 1e6, 1e-3);
    EXPECT_NEAR(projection.C(), -1.5e6, 1e-3);
    EXPECT_NEAR(projection.PlanFromPosition(47.3771, 8.5414).x, 400, 1);
    ASSERT_TRUE(projection.Load(dir / "site.lpf"));
    EXPECT_EQ(projection.Kind(), 1);
    EXPECT_EQ(projection.E(), 5.0);
    EXPECT_EQ(projection.C(), 3.0);

    o = Quorl(dir, {"proj", "info", dir / "site.lpf"});
    EXPECT_EQ(o.status, 0);
    for (const char* line : {"kind: 1 (linear projection)\n", "A: 1\n", "E: 5\n", "F: 6\n", "block offset: 141\n",
                             "decoded length: 32454\n"})
        EXPECT_NE(o.out.find(line), std::string::npos) << line << "\n" << o.out;

    // decode writes what a load writes, and nothing beside the file.
    const std::string out = (dir / "decoded.bmp");
    std::filesystem::create_directory(dir / "only");
    std::filesystem::copy_file(dir / "site.gpf", dir / "only/site.gpf");
    o = Quorl(dir, {"proj", "decode", dir / "only/site.gpf", out});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(ReadBytes(out), ReadBytes(dir / "site.gpfb"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "only"), {}), 1);

    // Refusals: what a load refuses, decode refuses, and OUT is left alone.
    Bytes lying = ReadBytes(dir / "site.gpf");
    WriteLe32(&lying[141 + 4], 0xFFFFFFF0u);
    WriteBytes(dir / "lying.gpf", lying);
    o = Quorl(dir, {"proj", "decode", dir / "lying.gpf", out});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("more bytes than its code can hold"), std::string::npos) << o.err;
    EXPECT_EQ(ReadBytes(out), ReadBytes(dir / "site.gpfb"));
    // info shows what a lying file says, then what is wrong with it.
    o = Quorl(dir, {"proj", "info", dir / "lying.gpf"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.out.find("decoded length: 4294967280\n"), std::string::npos) << o.out;
    EXPECT_NE(o.err.find("more bytes than its code can hold"), std::string::npos) << o.err;
    WriteLe32(&lying[0], 0x7FFFFFFF);
    WriteBytes(dir / "lying.gpf", lying);
    o = Quorl(dir, {"proj", "info", dir / "lying.gpf"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.out.find("block offset: 2147483647\n"), std::string::npos) << o.out;
    EXPECT_EQ(o.out.find("block length"), std::string::npos) << o.out;
    EXPECT_NE(o.err.find("lies past the end of the file"), std::string::npos) << o.err;
    WriteBytes(dir / "short.gpf", Bytes(100, 0));
    EXPECT_EQ(Quorl(dir, {"proj", "info", dir / "short.gpf"}).status, 1);

    EXPECT_EQ(Quorl(dir, {"proj", "make", "--kind", "gps", "--transform", "1,2,2,4,0,0", "--image", dir / "plan.bmp",
                          dir / "x.gpf"}).status, 1);  // cannot be inverted
    EXPECT_EQ(Quorl(dir, {"proj", "make", "--kind", "gps", "--calibrate", "0,0,1,1;1,1,2,2", "--image",
                          dir / "plan.bmp", dir / "x.gpf"}).status, 1);
    EXPECT_EQ(Quorl(dir, {"proj", "make", "--kind", "linear", "--transform", "1,2,3,4,5,6", "--image",
                          dir / "short.gpf", dir / "x.gpf"}).status, 1);  // not a bitmap
    EXPECT_EQ(Quorl(dir, {"proj", "make", "--kind", "linear", "--image", dir / "plan.bmp", dir / "x.gpf"}).status, 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "x.gpf"));
}

}  // namespace
}  // namespace quorl::test
