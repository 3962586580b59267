// The input as an existing collection file: opened and listed, a point
// selected and deleted, a point appended, and the file opened again.
//
// Checked: the point list and count match an independent reading of the
// walk's rule (tests/survey/IndependentWalk.h); a refused file is reported
// and stays byte for byte as it was, even when a point is recorded after the
// refusal; an accepted file changes only by the counts the rule finds and the
// unfinished tail it cuts, each kept beside the file byte for byte, and the
// user is told once; deleting changes exactly the kind byte of the selected
// point; the new group lands right after the last complete one, reads back
// field by field, and the file then opens with the same points.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/ByteOrder.h"
#include "common/RecordingUserMessages.h"
#include "engine/Engine.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/Harnesses.h"
#include "survey/CollectionFormat.h"
#include "survey/SiteData.h"
#include "survey/SiteProjection.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/survey/IndependentWalk.h"

namespace quorl::fuzz {

namespace {

using Tap = CSiteData::_tap;

// The groups the rule finds, as the point list must show them.
struct Walk {
    test::walk::Result found;
    Bytes repaired;  // the file after the collector's repairs
    std::vector<Tap> points;
    std::int32_t groups = 0;
    std::uint64_t end = 0;  // of the last complete group
};

Walk WalkGroups(const Bytes& file, const CSiteProjection& projection) {
    Walk w;
    test::walk::Rule rule(file);
    w.found = rule.Walk();
    w.repaired = rule.Repaired(w.found);
    w.end = w.found.tailOffset;
    const std::uint64_t pointSize = rule.PointSize();
    const std::uint64_t apSize = rule.ApSize();
    for (const test::walk::Group& g : w.found.groups) {
        const collection::PointRecord r = collection::DecodePoint(file.data() + g.offset);
        // The two highest levels, none below -100.
        std::vector<std::int16_t> levels{-100, -100};
        for (std::uint32_t i = 0; i < g.apCount; ++i)
            levels.push_back(static_cast<std::int16_t>(
                static_cast<std::int16_t>(ReadLe16(file.data() + g.offset + pointSize + i * apSize + 4)) / 16));
        std::sort(levels.rbegin(), levels.rend());
        std::int32_t x = r.x, y = r.y;
        if (r.kind == CSiteData::kGpsPoint || r.kind == CSiteData::kProjectedTap) {
            const PlanPoint p = projection.PlanFromPosition(r.latitude / collection::kPositionScale,
                                                            r.longitude / collection::kPositionScale);
            x = p.x;
            y = p.y;
        }
        const auto offset = static_cast<std::uint32_t>(g.offset);
        const bool addressable = g.offset <= UINT32_MAX;  // groups past 4 GiB are walked, not listed
        if (addressable &&
            (r.kind == CSiteData::kGpsPoint || r.kind == CSiteData::kProjectedTap || r.kind == CSiteData::kPlanTap))
            w.points.push_back(Tap{x, y, levels[0], static_cast<std::int16_t>(g.apCount), r.kind, offset, levels[1]});
        else if (addressable && r.kind == CSiteData::kApMarker)
            w.points.push_back(Tap{x, y, -100, 0, CSiteData::kApMarker, offset});
        ++w.groups;
    }
    return w;
}

std::vector<Tap> Listed(const std::vector<Tap>& points) {
    std::vector<Tap> listed;
    for (const Tap& p : points)
        if (p.kind != CSiteData::kDeleted) listed.push_back(p);
    return listed;
}

class CollectionRun {
public:
    CollectionRun() : path_(ScratchDir() + "/data.ssd") {
        data_.SetCollectionPath(path_);
        data_.SetDurableWrites(false);  // tmpfs, and thousands of runs a second
    }

    void Run(const std::uint8_t* bytes, std::size_t size) {
        const Bytes input(bytes, bytes + size);
        WriteFile(path_, input);
        if (!data_.LoadCollection()) {
            Refused(input);
            return;
        }
        FUZZ_CHECK(size >= collection::kHeaderSize, "a file shorter than its header was opened");
        const Walk walk = WalkGroups(input, projection_);
        FUZZ_CHECK(ReadFile(path_) == walk.repaired, "opening changed more than the counts found and the tail");
        CheckSideFiles(input, walk);
        const bool told = walk.found.tailLength > 0 || !walk.found.skipped.empty() || walk.repaired.size() < size ||
                          !std::equal(walk.repaired.begin(), walk.repaired.end(), input.begin());
        FUZZ_CHECK(messages_.Texts().size() == (told ? 1u : 0u), "a repair was not reported once");
        FUZZ_CHECK(data_.Points() == walk.points, "the point list differs from the groups in the file");
        FUZZ_CHECK(data_.PointCount() == walk.groups, "the point count differs from the groups in the file");

        Bytes expected = walk.repaired;
        if (!walk.points.empty()) Delete(walk, size % walk.points.size(), expected);
        Append(walk, size % 3, expected);
        Reopen();
    }

private:
    // Beside the file: the tail cut and each count overwritten, exactly; then
    // they go, so that the next input starts from an empty folder.
    void CheckSideFiles(const Bytes& input, const Walk& walk) {
        std::vector<std::string> expected{"data.ssd"};
        const auto holds = [&](const std::string& name, std::uint64_t from, std::uint64_t length) {
            expected.push_back(name);
            const Bytes side = ReadFile(ScratchDir() + "/" + name);
            FUZZ_CHECK(side.size() == length && std::equal(side.begin(), side.end(), input.begin() + static_cast<std::ptrdiff_t>(from)),
                       "a side file does not hold the bytes it replaced");
        };
        for (const test::walk::Group& g : walk.found.groups)
            if (g.apCount != g.stored) holds("data.ssd.count-at-" + std::to_string(g.offset + 34), g.offset + 34, 2);
        if (walk.found.tailLength > 0)
            holds("data.ssd.torn-at-" + std::to_string(walk.found.tailOffset), walk.found.tailOffset, walk.found.tailLength);
        std::sort(expected.begin(), expected.end());
        FUZZ_CHECK(FileNames(ScratchDir()) == expected, "other files than the side files were made");
        for (const std::string& name : expected)
            if (name != "data.ssd") std::remove((ScratchDir() + "/" + name).c_str());
    }

    void Refused(const Bytes& input) {
        FUZZ_CHECK(!messages_.Texts().empty(), "a refused file was not reported");
        FUZZ_CHECK(data_.Points().empty() && data_.PointCount() == 0, "a refused file left points listed");
        data_.BeginPoint(CSiteData::kPlanTap, 10, 20);
        AddAccessPoints(1);
        FUZZ_CHECK(!data_.RecordPoint() && data_.LastFileFailed(), "a point was recorded into a refused file");
        FUZZ_CHECK(ReadFile(path_) == input, "a refused file was written to");
    }

    void Delete(const Walk& walk, std::size_t pick, Bytes& expected) {
        const Tap target = walk.points[pick];
        // The tap selects the first point at that very place.
        std::size_t first = 0;
        while (walk.points[first].x != target.x || walk.points[first].y != target.y) ++first;
        FUZZ_CHECK(data_.FindNearestPoint(target.x, target.y) == walk.points[first].kind &&
                       data_.SelectedIndex() == static_cast<std::int32_t>(first),
                   "a tap on a point selects another");
        FUZZ_CHECK(data_.DeleteSelectedPoint(), "deleting a listed point failed");
        expected[walk.points[first].offset] = CSiteData::kDeleted;
        FUZZ_CHECK(ReadFile(path_) == expected, "deleting changed more than the point's kind byte");
        FUZZ_CHECK(data_.Points()[first].kind == CSiteData::kDeleted, "the deleted point is still listed as it was");
    }

    void Append(const Walk& walk, std::size_t accessPoints, Bytes& expected) {
        data_.BeginPoint(CSiteData::kPlanTap, 123, 45);
        AddAccessPoints(accessPoints);
        const bool recorded = data_.RecordPoint();
        FUZZ_CHECK(!data_.LastFileFailed(), "appending to an opened file failed");
        FUZZ_CHECK(recorded == (accessPoints > 0), "RecordPoint answers wrongly about its access points");

        const Bytes after = ReadFile(path_);
        const std::uint64_t pointSize = data_.PointRecordSize();
        const std::uint64_t apSize = data_.ApRecordSize();
        FUZZ_CHECK(after.size() == walk.end + pointSize + accessPoints * apSize &&
                       std::equal(expected.begin(), expected.end(), after.begin()),
                   "the new group does not follow the last complete group");
        const collection::PointRecord r = collection::DecodePoint(after.data() + walk.end);
        FUZZ_CHECK(r.kind == CSiteData::kPlanTap && r.x == 123 && r.y == 45 && r.apCount == accessPoints,
                   "the new point record does not read back");
        // The listed point carries the two highest levels read back.
        std::vector<std::int16_t> levels{-100, -100};
        for (std::size_t i = 0; i < accessPoints; ++i) {
            const collection::ApRecord ap = collection::DecodeAp(after.data() + walk.end + pointSize + i * apSize);
            FUZZ_CHECK(ap.mac[5] == i && ap.channel == 1 && ap.SsidText() == "net" + std::to_string(i),
                       "an access point record does not read back");
            levels.push_back(static_cast<std::int16_t>(ap.Level()));
        }
        std::sort(levels.rbegin(), levels.rend());
        const Tap added{123, 45, levels[0], static_cast<std::int16_t>(accessPoints), CSiteData::kPlanTap,
                        static_cast<std::uint32_t>(walk.end), levels[1]};
        FUZZ_CHECK(!data_.Points().empty() && data_.Points().back() == added, "the new point is not listed");
    }

    void Reopen() {
        CSiteData again(engine_, gps_, projection_, messages_);
        again.SetCollectionPath(path_);
        FUZZ_CHECK(again.LoadCollection(), "the file does not open after an append");
        FUZZ_CHECK(again.Points() == Listed(data_.Points()), "the file opens with other points than were listed");
    }

    // Beacons heard on channel 1, strongest first.
    void AddAccessPoints(std::size_t n) {
        test::TuneTo(engine_, 1);
        driver_.ClearWrites();
        for (std::size_t i = 0; i < n; ++i) {
            const Bytes r = test::Record({2, 0, 0, 0, 0, static_cast<std::uint8_t>(i)},
                                         static_cast<std::int16_t>((-40 - static_cast<int>(i)) * 16),
                                         {test::Ssid("net" + std::to_string(i)), test::Ds(1)});
            engine_.AddFrameRecord(r.data(), static_cast<std::uint32_t>(r.size()));
        }
        FUZZ_CHECK(engine_.ApCount() == n, "the access points were not heard");
    }

    std::string path_;
    test::FakeSerialDriver driver_;
    GpsStatus gps_;
    RecordingUserMessages messages_;
    CEngine engine_{driver_, gps_, messages_};
    CSiteProjection projection_{gps_, messages_};
    CSiteData data_{engine_, gps_, projection_, messages_};
};

}  // namespace

int FuzzCollection(const std::uint8_t* data, std::size_t size) {
    auto run = std::make_unique<CollectionRun>();
    run->Run(data, size);
    return 0;
}

}  // namespace quorl::fuzz
