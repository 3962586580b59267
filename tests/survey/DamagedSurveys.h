#pragma once
// Surveys written as the collector writes them, then damaged, with the
// generator's own record of what it wrote: where each group it wrote lies
// after the damage, and whether the damage touched it. That record is the
// truth a reading is judged by (Judge): untouched groups it lost, and
// phantom groups it read where no group was written (apart from copies of a
// written group, which a duplicated group whose original was then damaged
// leaves: those are counted on their own). It knows nothing of
// how the walk reads; the benchmark bench_survey_damage and the tests share it.

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "common/ByteOrder.h"
#include "survey/CollectionFormat.h"

namespace quorl::test::damage {

using Bytes = std::vector<std::uint8_t>;

enum class Kind { RandomSpan, Zeros, CountByte, Cut, Insert, DuplicatedGroup, AppendedGarbage, Several };
inline constexpr Kind kKinds[] = {Kind::RandomSpan, Kind::Zeros,           Kind::CountByte,      Kind::Cut,
                                  Kind::Insert,     Kind::DuplicatedGroup, Kind::AppendedGarbage, Kind::Several};

inline const char* Name(Kind kind) {
    switch (kind) {
        case Kind::RandomSpan: return "random span";
        case Kind::Zeros: return "zeros";
        case Kind::CountByte: return "one count byte";
        case Kind::Cut: return "cut";
        case Kind::Insert: return "insert";
        case Kind::DuplicatedGroup: return "duplicated group";
        case Kind::AppendedGarbage: return "appended garbage";
        case Kind::Several: return "several at once";
    }
    return "?";
}

struct Written {
    std::uint64_t offset = 0;  // in the file as it is now
    std::uint64_t length = 0;
    bool touched = false;  // some of its bytes changed, or it is gone
    bool gone = false;     // cut off
};

struct Survey {
    Bytes bytes;
    std::vector<Written> groups;
    std::vector<Bytes> originals;  // each group's bytes as written

    // Bytes replaced in place.
    void Overwrite(std::uint64_t at, const Bytes& with) {
        std::copy(with.begin(), with.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
        for (Written& g : groups)
            if (!g.gone && g.offset < at + with.size() && at < g.offset + g.length) g.touched = true;
    }
    // Bytes put in at `at`; a group they fall inside is touched, later ones move.
    void Insert(std::uint64_t at, const Bytes& what) {
        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), what.begin(), what.end());
        for (Written& g : groups) {
            if (g.gone) continue;
            if (g.offset < at && at < g.offset + g.length) g.touched = true;
            if (g.offset >= at) g.offset += what.size();
        }
    }
    void Cut(std::uint64_t at) {
        bytes.resize(at);
        for (Written& g : groups) {
            if (g.offset + g.length > at) g.touched = true;
            if (g.offset >= at) g.gone = true;
        }
    }
};

using Random = std::mt19937_64;

inline std::uint64_t Uniform(Random& rng, std::uint64_t from, std::uint64_t to) {
    return std::uniform_int_distribution<std::uint64_t>(from, to)(rng);
}

inline Bytes Garbage(Random& rng, std::size_t n) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng());
    return b;
}

// `points` groups as the collector stores them: plan taps, GPS points and
// projected taps near 47 N 8 E, a marker and a deleted point now and then,
// 0 to 14 access points each; with dates, or none (older units).
inline Survey MakeSurvey(Random& rng, int points, bool dated) {
    Survey s;
    const auto start = collection::MakeNewFileStart(1700000000);
    s.bytes.assign(start.begin(), start.end());
    for (int i = 0; i < points; ++i) {
        collection::PointRecord p;
        const auto pick = Uniform(rng, 0, 19);
        p.kind = pick < 12 ? 2 : pick < 16 ? 0 : pick < 18 ? 1 : pick < 19 ? 17 : 255;
        if (p.kind != 2 && p.kind != 17) {
            p.latitude = static_cast<std::int32_t>(Uniform(rng, 170000000, 171000000));
            p.longitude = static_cast<std::int32_t>(Uniform(rng, 30000000, 31000000));
            p.fineTime = static_cast<std::uint32_t>(rng());
            p.keptField = static_cast<std::uint32_t>(Uniform(rng, 0, 500));
            p.scaledA = static_cast<std::uint16_t>(rng());
            p.scaledB = static_cast<std::uint16_t>(rng());
            p.fix = static_cast<std::uint8_t>(Uniform(rng, 1, 2));
        } else {
            p.x = static_cast<std::uint16_t>(Uniform(rng, 0, 4000));
            p.y = static_cast<std::uint16_t>(Uniform(rng, 0, 3000));
            p.fix = 3;
        }
        if (dated) {
            p.month = static_cast<std::uint8_t>(Uniform(rng, 1, 12));
            p.day = static_cast<std::uint8_t>(Uniform(rng, 1, 28));
            p.year = 112;
            p.hour = static_cast<std::uint8_t>(Uniform(rng, 0, 23));
            p.minute = static_cast<std::uint8_t>(Uniform(rng, 0, 59));
            p.second = static_cast<std::uint8_t>(Uniform(rng, 0, 59));
        }
        p.apCount = p.kind == 17 ? 0 : static_cast<std::uint16_t>(Uniform(rng, 0, 14));
        Bytes group(collection::kPointRecordSize + p.apCount * collection::kApRecordSize);
        collection::EncodePoint(p, group.data());
        static constexpr std::uint8_t kChannels[] = {1, 6, 11, 3, 36, 44, 100, 149};
        for (int k = 0; k < p.apCount; ++k) {
            collection::ApRecord ap;
            ap.channel = kChannels[Uniform(rng, 0, 7)];
            ap.signal = static_cast<std::int16_t>(-16 * static_cast<int>(Uniform(rng, 30, 95)));
            for (auto& m : ap.mac) m = static_cast<std::uint8_t>(rng());
            const auto n = Uniform(rng, 0, 32);
            for (std::uint64_t c = 0; c < n; ++c) ap.ssid[c] = static_cast<char>(Uniform(rng, 'A', 'z'));
            collection::EncodeAp(ap, group.data() + collection::kPointRecordSize + k * collection::kApRecordSize);
        }
        s.groups.push_back({s.bytes.size(), group.size()});
        s.originals.push_back(group);
        s.bytes.insert(s.bytes.end(), group.begin(), group.end());
    }
    return s;
}

inline void Damage(Survey& s, Kind kind, Random& rng) {
    const std::uint64_t first = collection::kFirstGroup;
    const std::uint64_t n = s.bytes.size();
    if (n <= first + 1 || s.groups.empty()) return;
    const auto somewhere = [&] { return Uniform(rng, first, s.bytes.size() - 1); };
    switch (kind) {
        case Kind::RandomSpan: {
            const std::uint64_t at = somewhere();
            s.Overwrite(at, Garbage(rng, static_cast<std::size_t>(std::min<std::uint64_t>(Uniform(rng, 1, 4096), n - at))));
            break;
        }
        case Kind::Zeros: {
            // A block of the disk, 512 bytes aligned, one to sixteen long.
            const std::uint64_t at = std::max(first, somewhere() / 512 * 512);
            const std::uint64_t length = std::min<std::uint64_t>(512 * Uniform(rng, 1, 16), n - at);
            s.Overwrite(at, Bytes(static_cast<std::size_t>(length), 0));
            break;
        }
        case Kind::CountByte: {
            const Written& g = s.groups[Uniform(rng, 0, s.groups.size() - 1)];
            if (g.gone) break;
            const std::uint64_t at = g.offset + 34 + Uniform(rng, 0, 1);
            std::uint8_t b = s.bytes[at];
            while (b == s.bytes[at]) b = static_cast<std::uint8_t>(rng());
            s.Overwrite(at, {b});
            break;
        }
        case Kind::Cut: s.Cut(Uniform(rng, first, n - 1)); break;
        case Kind::Insert: s.Insert(somewhere(), Garbage(rng, static_cast<std::size_t>(Uniform(rng, 1, 300)))); break;
        case Kind::DuplicatedGroup: {
            const Written g = s.groups[Uniform(rng, 0, s.groups.size() - 1)];
            if (g.gone) break;
            const Bytes copy(s.bytes.begin() + static_cast<std::ptrdiff_t>(g.offset),
                             s.bytes.begin() + static_cast<std::ptrdiff_t>(g.offset + g.length));
            s.Insert(g.offset + g.length, copy);
            break;
        }
        case Kind::AppendedGarbage: s.Insert(n, Garbage(rng, static_cast<std::size_t>(Uniform(rng, 1, 2000)))); break;
        case Kind::Several:
            for (int i = 0; i < 3; ++i) Damage(s, kKinds[Uniform(rng, 0, 6)], rng);
            break;
    }
}

struct Score {
    std::uint64_t written = 0;    // groups the generator wrote
    std::uint64_t untouched = 0;  // of them, untouched by the damage
    std::uint64_t lost = 0;       // untouched, not read as written
    std::uint64_t phantom = 0;    // read where no group was written, holding what none held
    std::uint64_t copies = 0;     // read where no group was written, a written group's bytes
    Score& operator+=(const Score& o) {
        written += o.written;
        untouched += o.untouched;
        lost += o.lost;
        phantom += o.phantom;
        copies += o.copies;
        return *this;
    }
    double LostShare() const { return untouched == 0 ? 0.0 : static_cast<double>(lost) / static_cast<double>(untouched); }
};

// A reading, as (offset, length) of each group read in file order, judged
// against the generator's record.
inline Score Judge(const Survey& s, const std::vector<std::pair<std::uint64_t, std::uint64_t>>& read) {
    Score score;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> sorted = read;
    std::sort(sorted.begin(), sorted.end());
    std::vector<std::uint64_t> starts;
    for (const Written& g : s.groups) {
        ++score.written;
        if (!g.gone) starts.push_back(g.offset);
        if (g.touched) continue;
        ++score.untouched;
        const auto it = std::lower_bound(sorted.begin(), sorted.end(), std::make_pair(g.offset, std::uint64_t{0}));
        if (it == sorted.end() || it->first != g.offset || it->second != g.length) ++score.lost;
    }
    std::sort(starts.begin(), starts.end());
    for (const auto& [offset, length] : read) {
        if (std::binary_search(starts.begin(), starts.end(), offset)) continue;
        const auto at = s.bytes.begin() + static_cast<std::ptrdiff_t>(offset);
        const bool copy = std::any_of(s.originals.begin(), s.originals.end(), [&](const Bytes& g) {
            return g.size() == length && std::equal(g.begin(), g.end(), at);
        });
        ++(copy ? score.copies : score.phantom);
    }
    return score;
}

}  // namespace quorl::test::damage
