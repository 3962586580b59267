// Damaged collections. The walk is judged against the generator's own record
// of what it wrote (DamagedSurveys.h): per kind of damage, no phantom point
// and at most 0.1 % of the untouched points lost. Hand-made damage opened by
// the collector and by `quorl ssd info`: a torn tail alone is cut, kept
// beside the file; anything else leaves the file whole as FILE.damaged-1 and
// continues in a clean copy that reads by its counts, and a point appended
// then is never lost. Then a file replaced between two operations.

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>

#include "common/ByteOrder.h"
#include "survey/CollectionScan.h"
#include "survey/SiteData.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/survey/CleanCopy.h"
#include "tests/survey/DamagedSurveys.h"
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

using Reading = std::vector<std::pair<std::uint64_t, std::uint64_t>>;

Reading ReadWithScan(const std::string& path) {
    Reading read;
    CollectionScan scan;
    EXPECT_TRUE(scan.Open(path)) << scan.Error();
    EXPECT_TRUE(scan.ForEachGroup([&](const CollectionGroup& g) { read.emplace_back(g.offset, g.length); }));
    return read;
}

TEST(DamagedCollectionsTest, NoPhantomAndAlmostNoUntouchedPointLostPerKindOfDamage) {
    TempDir dir;
    const std::string path = dir / "damaged.ssd";
    for (const damage::Kind kind : damage::kKinds) {
        SCOPED_TRACE(damage::Name(kind));
        damage::Score total;
        for (int seed = 0; seed < 40; ++seed) {
            damage::Random rng(static_cast<std::uint64_t>(seed) * 8 + static_cast<std::uint64_t>(kind));
            damage::Survey survey = damage::MakeSurvey(rng, 120, seed % 2 == 0);
            damage::Damage(survey, kind, rng);
            WriteBytes(path, survey.bytes);
            const damage::Score score = damage::Judge(survey, ReadWithScan(path));
            EXPECT_EQ(score.phantom, 0u) << "seed " << seed;
            total += score;
        }
        EXPECT_EQ(total.phantom, 0u);
        EXPECT_LE(total.lost * 1000, total.untouched) << total.lost << " of " << total.untouched;
        EXPECT_GT(total.untouched, total.written / 3);  // the damage is local
    }
}

struct Case {
    const char* name;
    Bytes (*make)(Rig&);
    std::size_t groups;  // every complete point
    bool tailOnly;       // a torn tail and nothing else
};

const Case kCases[] = {
    {"count 0xFFFF in the 10th of 200 points",
     [](Rig& rig) {
         Bytes f = rig.Survey(200, 3);
         WriteLe16(&f[33 + 9 * kGroup3 + 34], 0xFFFF);
         return f;
     },
     200, false},
    {"count 0 raised to 1 in the 3rd of 8 points",
     [](Rig& rig) {
         Bytes f = rig.Survey(8, 0);
         f[33 + 2 * 36 + 34] = 1;
         return f;
     },
     8, false},
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
     75, false},
    {"two-step write stopped inside its third access point, nothing after",
     [](Rig& rig) {
         Bytes f = rig.Survey(5, 3);
         Bytes interrupted = Slice(Slice(rig.Survey(1, 5, 500), 33), 0, 36 + 2 * 46 + 30);
         WriteLe16(&interrupted[34], 0);
         f.insert(f.end(), interrupted.begin(), interrupted.end());
         return f;
     },
     6, false},
    {"torn tail: the last group cut inside an access point",
     [](Rig& rig) {
         const Bytes f = rig.Survey(20, 3);
         return Slice(f, 0, f.size() - 20);
     },
     19, true},
    {"a zeroed block after the 12th of 30 points",
     [](Rig& rig) {
         Bytes f = rig.Survey(30, 3);
         f.insert(f.begin() + 33 + 12 * kGroup3, 1000, 0);
         return f;
     },
     30, false},
    {"foreign bytes over the 5th of 12 points and a torn tail",
     [](Rig& rig) {
         Bytes f = rig.Survey(12, 3);
         for (std::size_t i = 0; i < 100; ++i) f[33 + 4 * kGroup3 + 3 + i] = static_cast<std::uint8_t>('A' + i % 26);
         f.resize(f.size() - 100);
         return f;
     },
     10, false},
    {"the 4th of 10 points written twice",
     [](Rig& rig) {
         Bytes f = rig.Survey(10, 3);
         const Bytes copy = Slice(f, 33 + 3 * kGroup3, 33 + 4 * kGroup3);
         f.insert(f.begin() + 33 + 4 * kGroup3, copy.begin(), copy.end());
         return f;
     },
     10, false},
};

TEST(DamagedCollectionsTest, ADamagedFileIsKeptWholeAndContinuedInACleanCopy) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        const Bytes damaged = c.make(rig);
        WriteBytes(rig.path, damaged);

        // The companion reads the same, and changes nothing.
        const Outcome info = Quorl(rig.dir, {"ssd", "info", rig.path});
        EXPECT_EQ(info.status, 0) << info.err;
        EXPECT_NE(info.out.find("points: " + std::to_string(c.groups) + "\n"), std::string::npos) << info.out;
        ASSERT_EQ(ReadBytes(rig.path), damaged);

        rig.unit.messages.Clear();
        ASSERT_TRUE(rig.data.LoadCollection());
        EXPECT_EQ(rig.data.PointCount(), static_cast<std::int32_t>(c.groups));
        const Bytes opened = ReadBytes(rig.path);
        const auto groups = GroupsByCounts(opened);
        ASSERT_TRUE(groups.has_value()) << "the file does not read by its counts";
        ASSERT_EQ(groups->size(), c.groups);
        const auto points = rig.data.Points();
        for (std::size_t i = 0; i < points.size(); ++i) EXPECT_EQ(points[i].offset, (*groups)[i].first) << i;
        const auto texts = rig.unit.messages.Texts();
        ASSERT_EQ(texts.size(), 1u);
        if (c.tailOnly) {
            // Cut, the bytes kept beside: the rest of the file as it was.
            EXPECT_EQ(opened, Slice(damaged, 0, opened.size()));
            const std::string side = "Data.ssd.torn-at-" + std::to_string(opened.size());
            EXPECT_EQ(ReadBytes(rig.dir / side), Slice(damaged, opened.size()));
            EXPECT_EQ(rig.dir.Names(), (std::vector<std::string>{"Data.ssd", side}));
        } else {
            EXPECT_EQ(ReadBytes(rig.dir / "Data.ssd.damaged-1"), damaged);
            EXPECT_NE(texts[0].find("Data.ssd.damaged-1"), std::string::npos) << texts[0];
            EXPECT_TRUE(TakenFrom(opened, *groups, damaged));
            EXPECT_EQ(rig.dir.Names(), (std::vector<std::string>{"Data.ssd", "Data.ssd.damaged-1"}));
        }

        // The next point follows the last group and is there on every open.
        rig.Take(4000, 1);
        EXPECT_EQ(ReadBytes(rig.path).size(), opened.size() + 36 + 46);
        for (int open = 0; open < 2; ++open) {
            rig.unit.messages.Clear();
            ASSERT_TRUE(rig.data.LoadCollection());
            EXPECT_TRUE(rig.unit.messages.Texts().empty());
            EXPECT_EQ(rig.data.PointCount(), static_cast<std::int32_t>(c.groups + 1));
            EXPECT_EQ(rig.data.Points().back().x, 4000);
        }
    }
}

// Open, append, open again over every kind of damage: each point listed
// after the first open, and the one appended, are listed after the second.
TEST(DamagedCollectionsTest, OpenThenAppendLosesNoAcknowledgedPoint) {
    for (const damage::Kind kind : damage::kKinds) {
        for (int seed = 0; seed < 6; ++seed) {
            SCOPED_TRACE(std::string(damage::Name(kind)) + " seed " + std::to_string(seed));
            Rig rig;
            damage::Random rng(1000 + static_cast<std::uint64_t>(seed) * 8 + static_cast<std::uint64_t>(kind));
            damage::Survey survey = damage::MakeSurvey(rng, 40, seed % 2 == 1);
            damage::Damage(survey, kind, rng);
            WriteBytes(rig.path, survey.bytes);
            ASSERT_TRUE(rig.data.LoadCollection());
            auto before = rig.data.Points();
            rig.Take(4000 + seed, seed % 3);
            before.push_back(rig.data.Points().back());
            ASSERT_TRUE(rig.data.LoadCollection());
            EXPECT_EQ(rig.data.Points(), before);
            EXPECT_TRUE(GroupsByCounts(ReadBytes(rig.path)).has_value());
        }
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
