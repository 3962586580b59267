// The input as an existing collection file: opened and listed, a point
// selected and deleted, a point appended, and the file opened again.
//
// Checked, by count arithmetic and byte comparison rather than a second
// copy of the walk's rule: a refused file is reported and stays byte for
// byte as it was, even when a point is recorded after the refusal; an
// accepted file afterwards reads by its stored counts to its very end, and
// is either as it was (nothing told), or cut at a torn tail kept beside it,
// or a clean copy whose groups all come, in order, from the input, the input
// kept whole as data.ssd.damaged-1 (told once either way); the point list
// and count are the groups of the file; deleting changes exactly the kind
// byte of the selected point; the new group lands at the end, reads back
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
#include "tests/survey/CleanCopy.h"

namespace quorl::fuzz {

namespace {

using Tap = CSiteData::_tap;

// The groups of the opened file, as the point list must show them.
struct Walk {
    test::GroupSpans groups;
    std::vector<Tap> points;
    std::uint64_t end = 0;  // of the last group: the file's length
};

Walk ListGroups(const Bytes& file, const test::GroupSpans& groups, std::uint64_t pointSize, std::uint64_t apSize,
                const CSiteProjection& projection) {
    Walk w;
    w.groups = groups;
    w.end = file.size();
    for (const auto& [offset, length] : groups) {
        const collection::PointRecord r = collection::DecodePoint(file.data() + offset);
        // The two highest levels, none below -100.
        std::vector<std::int16_t> levels{-100, -100};
        for (std::uint32_t i = 0; i < r.apCount; ++i)
            levels.push_back(static_cast<std::int16_t>(
                static_cast<std::int16_t>(ReadLe16(file.data() + offset + pointSize + i * apSize + 4)) / 16));
        std::sort(levels.rbegin(), levels.rend());
        std::int32_t x = r.x, y = r.y;
        if (r.kind == CSiteData::kGpsPoint || r.kind == CSiteData::kProjectedTap) {
            const PlanPoint p = projection.PlanFromPosition(r.latitude / collection::kPositionScale,
                                                            r.longitude / collection::kPositionScale);
            x = p.x;
            y = p.y;
        }
        const auto at = static_cast<std::uint32_t>(offset);
        const bool addressable = offset <= UINT32_MAX;  // groups past 4 GiB are walked, not listed
        if (addressable &&
            (r.kind == CSiteData::kGpsPoint || r.kind == CSiteData::kProjectedTap || r.kind == CSiteData::kPlanTap))
            w.points.push_back(Tap{x, y, levels[0], static_cast<std::int16_t>(r.apCount), r.kind, at, levels[1]});
        else if (addressable && r.kind == CSiteData::kApMarker)
            w.points.push_back(Tap{x, y, -100, 0, CSiteData::kApMarker, at});
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
        const Bytes opened = ReadFile(path_);
        const std::uint64_t first = std::uint64_t{ReadLe32(input.data() + 21)} + 8;
        const std::uint64_t pointSize = data_.PointRecordSize();
        const std::uint64_t apSize = data_.ApRecordSize();
        const auto groups = test::GroupsByCounts(opened, first, pointSize, apSize);
        FUZZ_CHECK(groups.has_value(), "the opened file does not read by its counts");
        CheckHowItChanged(input, opened, *groups, first);
        const Walk walk = ListGroups(opened, *groups, pointSize, apSize, projection_);
        FUZZ_CHECK(data_.Points() == walk.points, "the point list differs from the groups in the file");
        FUZZ_CHECK(data_.PointCount() == static_cast<std::int32_t>(groups->size()),
                   "the point count differs from the groups in the file");

        Bytes expected = opened;
        if (!walk.points.empty()) Delete(walk, size % walk.points.size(), expected);
        Append(walk, size % 3, expected);
        Reopen();
    }

private:
    // As it was; or cut, the rest kept beside; or a clean copy, the input
    // kept whole beside. Side files go afterwards, so that the next input
    // starts from an empty folder.
    void CheckHowItChanged(const Bytes& input, const Bytes& opened, const test::GroupSpans& groups,
                           std::uint64_t first) {
        std::vector<std::string> expected{"data.ssd"};
        const auto sideHolds = [&](const std::string& name, const Bytes& bytes) {
            expected.push_back(name);
            FUZZ_CHECK(ReadFile(ScratchDir() + "/" + name) == bytes, "a side file does not hold the bytes it should");
        };
        const bool same = opened == input;
        // A clean copy may also be the start of the file, when all it left out came after.
        const std::vector<std::string> names = FileNames(ScratchDir());
        const bool copied = std::find(names.begin(), names.end(), "data.ssd.damaged-1") != names.end();
        const bool cut = !same && !copied && opened.size() < input.size() &&
                         std::equal(opened.begin(), opened.end(), input.begin());
        FUZZ_CHECK(same || copied || cut, "the file changed other than by a cut or a clean copy");
        if (cut) {
            sideHolds("data.ssd.torn-at-" + std::to_string(opened.size()),
                      Bytes(input.begin() + static_cast<std::ptrdiff_t>(opened.size()), input.end()));
        } else if (!same) {
            sideHolds("data.ssd.damaged-1", input);
            FUZZ_CHECK(std::equal(opened.begin(), opened.begin() + static_cast<std::ptrdiff_t>(first), input.begin()),
                       "the clean copy does not start as the file did");
            FUZZ_CHECK(test::TakenFrom(opened, groups, input, first), "the clean copy holds a group the file did not");
        }
        FUZZ_CHECK(messages_.Texts().size() == (same ? 0u : 1u), "a repair was not reported once");
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
