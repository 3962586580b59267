// Damaged collections opened by the collector and by `quorl ssd info`, each
// checked against the walk's rule read independently (IndependentWalk.h):
// every complete group kept, counts found written back, only an unfinished
// tail cut, and the side files holding exactly the bytes taken out or
// overwritten. Then a file replaced between two operations.

#include <gtest/gtest.h>

#include <cstdio>

#include "common/ByteOrder.h"
#include "survey/SiteData.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/survey/IndependentWalk.h"
#include "tests/survey/SurveyTestSupport.h"

namespace quorl::test {
namespace {

constexpr std::size_t kGroup3 = 36 + 3 * 46;  // a point with three access points

struct Rig {
    EngineRig unit;
    CSiteProjection projection{unit.gps, unit.messages};
    CSiteData data{unit.engine, unit.gps, projection, unit.messages};
    TempDir dir;
    std::string path = dir / "Data.ssd";

    Rig() {
        data.SetCollectionPath(path);
        data.SetDurableWrites(false);
        TuneTo(unit.engine, 6);
    }
    void Take(int x, int aps) {
        data.BeginPoint(CSiteData::kPlanTap, x, 7);
        for (int k = 0; k < aps; ++k) {
            const Bytes r = Record({0x10, 0x32, 0x54, static_cast<std::uint8_t>(x >> 8), static_cast<std::uint8_t>(x),
                                    static_cast<std::uint8_t>(k)},
                                   static_cast<std::int16_t>(-16 * (40 + k)), {Ssid("net" + std::to_string(k)), Ds(6)});
            unit.engine.AddFrameRecord(r.data(), static_cast<std::uint32_t>(r.size()));
        }
        data.RecordPoint();
        ASSERT_FALSE(data.LastFileFailed());
    }
    // A new file of `points` points of `aps` access points, from x = `first` on.
    Bytes Survey(int points, int aps, int first = 0) {
        EXPECT_TRUE(data.CreateCollection());
        for (int i = 0; i < points; ++i) Take(first + i, aps);
        return ReadBytes(path);
    }
};

Bytes Slice(const Bytes& b, std::size_t from, std::size_t to = SIZE_MAX) {
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from),
                 b.begin() + static_cast<std::ptrdiff_t>(std::min(to, b.size())));
}

struct Case {
    const char* name;
    Bytes (*make)(Rig&);
    std::size_t groups;  // what the file holds: every complete point
    std::size_t recounted;
    std::size_t skipped;
    bool tail;
};

const Case kCases[] = {
    {"count 0xFFFF in the 10th of 200 points",
     [](Rig& rig) {
         Bytes f = rig.Survey(200, 3);
         EXPECT_EQ(f.size(), 34833u);
         WriteLe16(&f[33 + 9 * kGroup3 + 34], 0xFFFF);
         return f;
     },
     200, 1, 0, false},
    {"two-step write stopped after 2 of 5 access points, then 54 points from a restarted collector",
     [](Rig& rig) {
         Bytes f = rig.Survey(20, 3);
         const Bytes five = Slice(rig.Survey(1, 5, 500), 33);
         Bytes interrupted = Slice(five, 0, 36 + 2 * 46);
         WriteLe16(&interrupted[34], 0);
         const Bytes later = Slice(rig.Survey(54, 2, 1000), 33);
         f.insert(f.end(), interrupted.begin(), interrupted.end());
         f.insert(f.end(), later.begin(), later.end());
         return f;
     },
     75, 1, 0, false},
    {"two-step write stopped inside its third access point, nothing after",
     [](Rig& rig) {
         Bytes f = rig.Survey(5, 3);
         Bytes interrupted = Slice(Slice(rig.Survey(1, 5, 500), 33), 0, 36 + 2 * 46 + 30);
         WriteLe16(&interrupted[34], 0);
         f.insert(f.end(), interrupted.begin(), interrupted.end());
         return f;
     },
     6, 1, 0, true},
    {"torn tail: the last group cut inside an access point",
     [](Rig& rig) {
         const Bytes f = rig.Survey(20, 3);
         return Slice(f, 0, f.size() - 20);
     },
     19, 0, 0, true},
    {"a zeroed block after the 12th of 30 points",
     [](Rig& rig) {
         Bytes f = rig.Survey(30, 3);
         f.insert(f.begin() + 33 + 12 * kGroup3, 1000, 0);
         return f;
     },
     30, 0, 1, false},
    {"foreign bytes over the 5th of 12 points and a torn tail",
     [](Rig& rig) {
         Bytes f = rig.Survey(12, 3);
         for (std::size_t i = 0; i < 100; ++i) f[33 + 4 * kGroup3 + 3 + i] = static_cast<std::uint8_t>('A' + i % 26);
         f.resize(f.size() - 100);
         return f;
     },
     10, 0, 1, true},
};

TEST(DamagedCollectionsTest, EveryCompleteGroupIsKeptAndEveryChangeSavedBeside) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        const Bytes damaged = c.make(rig);
        WriteBytes(rig.path, damaged);
        walk::Rule rule(damaged);
        const walk::Result expected = rule.Walk();
        // What the case is about, by the independent rule.
        std::size_t recounted = 0;
        for (const auto& g : expected.groups) recounted += g.apCount != g.stored;
        ASSERT_EQ(expected.groups.size(), c.groups);
        EXPECT_EQ(recounted, c.recounted);
        EXPECT_EQ(expected.skipped.size(), c.skipped);
        EXPECT_EQ(expected.tailLength > 0, c.tail);

        // The companion reads the same, and changes nothing.
        const Outcome info = Quorl(rig.dir, {"ssd", "info", rig.path});
        EXPECT_EQ(info.status, 0) << info.err;
        EXPECT_NE(info.out.find("points: " + std::to_string(c.groups) + "\n"), std::string::npos) << info.out;
        for (const auto& [offset, length] : expected.skipped)
            EXPECT_NE(info.out.find("unreadable: " + std::to_string(length) + " bytes from offset " + std::to_string(offset)),
                      std::string::npos) << info.out;
        for (const auto& g : expected.groups) {
            if (g.apCount == g.stored) continue;
            EXPECT_NE(info.out.find("the point at offset " + std::to_string(g.offset) + " says " +
                                        std::to_string(g.stored) + " access points and has " + std::to_string(g.apCount)),
                          std::string::npos) << info.out;
        }
        EXPECT_EQ(info.out.find("last group cut short: " + std::to_string(expected.tailLength) + " bytes from offset " +
                                std::to_string(expected.tailOffset)) != std::string::npos, c.tail) << info.out;
        ASSERT_EQ(ReadBytes(rig.path), damaged);

        // The collector lists every group, repairs, and says so once.
        rig.unit.messages.Clear();
        ASSERT_TRUE(rig.data.LoadCollection());
        EXPECT_EQ(rig.data.PointCount(), static_cast<std::int32_t>(c.groups));
        std::vector<walk::Group> listed;
        for (const auto& p : rig.data.Points()) listed.push_back({p.offset, static_cast<std::uint32_t>(p.apCount), 0});
        ASSERT_EQ(listed.size(), expected.groups.size());
        for (std::size_t i = 0; i < listed.size(); ++i) {
            EXPECT_EQ(listed[i].offset, expected.groups[i].offset) << i;
            EXPECT_EQ(listed[i].apCount, expected.groups[i].apCount) << i;
        }
        const Bytes repaired = rule.Repaired(expected);
        EXPECT_EQ(ReadBytes(rig.path), repaired);
        const auto texts = rig.unit.messages.Texts();
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_NE(texts[0].find(rig.path), std::string::npos);

        // Beside the file: exactly the bytes cut and the counts overwritten.
        std::vector<std::string> sideNames;
        for (const auto& g : expected.groups) {
            if (g.apCount == g.stored) continue;
            const std::string name = "Data.ssd.count-at-" + std::to_string(g.offset + 34);
            sideNames.push_back(name);
            EXPECT_EQ(ReadBytes(rig.dir / name), Slice(damaged, g.offset + 34, g.offset + 36)) << name;
            EXPECT_NE(texts[0].find(name), std::string::npos) << texts[0];
        }
        if (c.tail) {
            const std::string name = "Data.ssd.torn-at-" + std::to_string(expected.tailOffset);
            sideNames.push_back(name);
            EXPECT_EQ(ReadBytes(rig.dir / name), Slice(damaged, expected.tailOffset)) << name;
            EXPECT_NE(texts[0].find(name), std::string::npos) << texts[0];
        }
        sideNames.push_back("Data.ssd");
        std::sort(sideNames.begin(), sideNames.end());
        EXPECT_EQ(rig.dir.Names(), sideNames);

        // The next point follows the last group; the file then opens whole,
        // telling only of the spans passed over, which stay.
        rig.Take(4000, 1);
        EXPECT_EQ(ReadBytes(rig.path).size(), repaired.size() + 36 + 46);
        rig.unit.messages.Clear();
        ASSERT_TRUE(rig.data.LoadCollection());
        EXPECT_EQ(rig.data.PointCount(), static_cast<std::int32_t>(c.groups + 1));
        EXPECT_EQ(rig.data.Points().back().x, 4000);
        EXPECT_EQ(rig.unit.messages.Texts().size(), c.skipped > 0 ? 1u : 0u);
    }
}

// The end remembered from one file is never used in another put in its
// place: copied over it (same inode, longer), renamed over it (another
// inode, shorter); nor is a point of the old file deleted in the new one.
TEST(DamagedCollectionsTest, AFileReplacedBetweenOperationsIsWalkedAgain) {
    for (const bool rename : {false, true}) {
        SCOPED_TRACE(rename ? "renamed over" : "copied over");
        Rig rig;
        const Bytes other = rig.Survey(rename ? 3 : 100, 3, 200);
        const Bytes mine = rig.Survey(rename ? 10 : 5, 3);
        ASSERT_TRUE(rig.data.LoadCollection());
        ASSERT_EQ(rig.data.FindNearestPoint(0, 7), CSiteData::kPlanTap);
        if (rename) {
            WriteBytes(rig.dir / "B.ssd", other);
            ASSERT_EQ(std::rename((rig.dir / "B.ssd").c_str(), rig.path.c_str()), 0);
        } else {
            WriteBytes(rig.path, other);
        }
        rig.unit.messages.Clear();
        EXPECT_FALSE(rig.data.DeleteSelectedPoint());
        EXPECT_EQ(ReadBytes(rig.path), other);

        rig.Take(4000, 2);
        const Bytes after = ReadBytes(rig.path);
        ASSERT_EQ(after.size(), other.size() + 36 + 2 * 46);
        EXPECT_EQ(Slice(after, 0, other.size()), other);
        const std::size_t points = (other.size() - 33) / kGroup3 + 1;
        EXPECT_EQ(rig.data.Points().size(), points);
        EXPECT_EQ(rig.data.PointCount(), static_cast<std::int32_t>(points));
        EXPECT_EQ(rig.data.Points().front().x, 200);
        ASSERT_TRUE(rig.data.LoadCollection());
        EXPECT_EQ(rig.data.Points().size(), points);
        EXPECT_EQ(rig.data.Points().back().offset, other.size());
    }
}

}  // namespace
}  // namespace quorl::test
