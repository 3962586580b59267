// Makes the seed inputs of fuzz/corpus/ with the program's own code (see
// make-seeds.sh, which also runs `quorl proj make` on the bitmaps made here):
//
//   quorl_fuzz_seeds stream CAPTURES_DIR OUT_DIR   captures in the stream harness's layout
//   quorl_fuzz_seeds collection OUT_DIR            collections written by CSiteData, and damaged ones
//   quorl_fuzz_seeds export OUT_DIR                those, and collections holding what broke exports
//   quorl_fuzz_seeds bitmaps OUT_DIR               small plan bitmaps for `quorl proj make`

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/ByteOrder.h"
#include "common/RecordingUserMessages.h"
#include "fuzz/FuzzSupport.h"
#include "link/FrameCodec.h"
#include "link/Protocol.h"
#include "survey/CollectionFormat.h"
#include "survey/SiteData.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/survey/DamagedSurveys.h"

namespace quorl::fuzz {
namespace {

namespace fs = std::filesystem;

// Feed items of 64 bytes, a NextChannel step after every `every` items.
Bytes Wrap(const Bytes& stream, int every = 0) {
    Bytes out;
    int items = 0;
    for (std::size_t i = 0; i < stream.size(); i += 64) {
        const std::size_t n = std::min<std::size_t>(64, stream.size() - i);
        out.push_back(static_cast<std::uint8_t>(n - 1));
        out.insert(out.end(), stream.begin() + static_cast<std::ptrdiff_t>(i),
                   stream.begin() + static_cast<std::ptrdiff_t>(i + n));
        if (every > 0 && ++items % every == 0) out.push_back(0xFD);
    }
    return out;
}

int Stream(const std::string& captures, const std::string& out) {
    for (const char* name : {"handshake", "battery-low", "gps-nolock", "garbage"})
        WriteFile(out + "/" + name, Wrap(ReadFile(captures + "/" + name + ".bin")));
    // A sweep: scan request, the capture with steps between, end of sweep.
    Bytes sweep = {0xFC};
    const Bytes body = Wrap(ReadFile(captures + "/sweep-channel1.bin"), 6);
    sweep.insert(sweep.end(), body.begin(), body.end());
    sweep.push_back(0xFE);
    WriteFile(out + "/sweep-channel1", sweep);
    // Plan of channels 1, 6 and 36; the unit's acknowledgement; steps past the end.
    const Bytes ack = EncodeMessage(kMsgScanAck, nullptr, 0);
    Bytes steps = {0xFF, 0x21, 0x40, 0x00, 0x00, 0x00, 0xFC, static_cast<std::uint8_t>(ack.size() - 1)};
    steps.insert(steps.end(), ack.begin(), ack.end());
    steps.insert(steps.end(), {0xFD, 0xFD, 0xFD, 0xFE, 0xFE});
    WriteFile(out + "/sweep-steps", steps);
    return 0;
}

// Points of each kind, with 0 to 3 access points, one of them deleted.
void RecordPoints(test::EngineRig& unit, CSiteData& data, int points) {
    test::TuneTo(unit.engine, 1);
    for (int i = 0; i < points; ++i) {
        const std::uint8_t kinds[] = {CSiteData::kPlanTap, CSiteData::kGpsPoint, CSiteData::kApMarker,
                                      CSiteData::kProjectedTap};
        unit.gps.latitude.store(47.3772 + i * 1e-5);
        unit.gps.longitude.store(8.5412 + i * 1e-5);
        data.BeginPoint(kinds[i % 4], 100 + 10 * i, 50 + 5 * i);
        for (int k = 0; k < i % 4; ++k) {
            const Bytes r = test::Record({1, 2, 3, 4, 5, static_cast<std::uint8_t>(k)},
                                         static_cast<std::int16_t>((-50 - 7 * k) * 16),
                                         {test::Ssid("net" + std::to_string(k)), test::Ds(1)});
            unit.engine.AddFrameRecord(r.data(), static_cast<std::uint32_t>(r.size()));
        }
        data.RecordPoint();
    }
    if (points > 2 && data.FindNearestPoint(110, 55) != CSiteData::kNoPoint) data.DeleteSelectedPoint();
}

int Collection(const std::string& out) {
    test::EngineRig unit;
    CSiteProjection projection(unit.gps, unit.messages);
    auto make = [&](const std::string& name, int points, std::uint32_t pointSize, std::uint32_t apSize) {
        const std::string path = out + "/" + name;
        CSiteData data(unit.engine, unit.gps, projection, unit.messages);
        data.SetCollectionPath(path);
        data.SetDurableWrites(false);
        if (!data.CreateCollection()) return false;
        if (pointSize != collection::kPointRecordSize || apSize != collection::kApRecordSize) {
            // A file from a writer with larger records: the collector skips the extra bytes.
            Bytes b = ReadFile(path);
            WriteLe32(b.data() + collection::kPairOffset, pointSize);
            WriteLe32(b.data() + collection::kPairOffset + 4, apSize);
            WriteFile(path, b);
        }
        if (!data.LoadCollection()) return false;
        RecordPoints(unit, data, points);
        return true;
    };
    const bool ok = make("empty.ssd", 0, 36, 46) && make("points.ssd", 6, 36, 46) && make("wide.ssd", 3, 40, 50);
    if (!ok) return 1;
    // A write cut short: the last group loses its last 20 bytes.
    Bytes torn = ReadFile(out + "/points.ssd");
    torn.resize(torn.size() - 20);
    WriteFile(out + "/torn.ssd", torn);
    // Each kind of damage the walk is measured on, over 30 points.
    for (const test::damage::Kind kind : test::damage::kKinds) {
        test::damage::Random rng(static_cast<std::uint64_t>(kind) + 1);
        test::damage::Survey survey = test::damage::MakeSurvey(rng, 30, kind != test::damage::Kind::Zeros);
        test::damage::Damage(survey, kind, rng);
        std::string name = test::damage::Name(kind);
        for (char& c : name)
            if (c == ' ') c = '-';
        WriteFile(out + "/damage-" + name + ".ssd", survey.bytes);
    }
    return 0;
}

// Collections with what once broke an export: SSIDs XML cannot hold,
// markup and control bytes, a position off the earth, 29 February of a
// year that has none.
int Export(const std::string& out) {
    if (Collection(out) != 0) return 1;
    const auto start = collection::MakeNewFileStart(1700000000);
    Bytes file(start.begin(), start.end());
    const auto add = [&](collection::PointRecord p, const std::vector<std::string>& ssids) {
        p.apCount = static_cast<std::uint16_t>(ssids.size());
        Bytes g(collection::kPointRecordSize + ssids.size() * collection::kApRecordSize);
        collection::EncodePoint(p, g.data());
        for (std::size_t i = 0; i < ssids.size(); ++i) {
            collection::ApRecord ap;
            ap.channel = 6;
            ap.signal = static_cast<std::int16_t>(-(45 + 10 * static_cast<int>(i)) * 16);
            ap.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, static_cast<std::uint8_t>(i)};
            std::copy_n(ssids[i].begin(), std::min<std::size_t>(ssids[i].size(), 32), ap.ssid.begin());
            collection::EncodeAp(ap, g.data() + collection::kPointRecordSize + i * collection::kApRecordSize);
        }
        file.insert(file.end(), g.begin(), g.end());
    };
    collection::PointRecord p;
    p.kind = 0, p.fix = 2, p.latitude = 170557560, p.longitude = 30749040;
    p.month = 2, p.day = 29, p.year = 43, p.hour = 12;
    add(p, {"\xEF\xBF\xBE\xEF\xBF\xBF", "]]><x a='\"'>&", std::string("\x1b]0;title\x07\r\n", 12), "=cmd|' /c calc'!A0",
            "\xED\xA0\x80\xFF"});
    p.latitude = 0x7FFFFFFF, p.longitude = static_cast<std::int32_t>(0x80000000u);
    add(p, {"far"});
    p.kind = 2, p.x = 65535, p.y = 0;
    add(p, {});
    WriteFile(out + "/awkward.ssd", file);
    return 0;
}

// A bitmap: 14-byte file header, 40-byte info header, 24-bit rows padded to 4 bytes.
Bytes Bitmap(int width, int height, std::uint8_t (*pixel)(int x, int y)) {
    const int row = (width * 3 + 3) / 4 * 4;
    Bytes b(54 + static_cast<std::size_t>(row * height), 0);
    b[0] = 'B';
    b[1] = 'M';
    WriteLe32(&b[2], static_cast<std::uint32_t>(b.size()));
    WriteLe32(&b[10], 54);
    WriteLe32(&b[14], 40);
    WriteLe32(&b[18], static_cast<std::uint32_t>(width));
    WriteLe32(&b[22], static_cast<std::uint32_t>(height));
    WriteLe16(&b[26], 1);
    WriteLe16(&b[28], 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) b[54 + static_cast<std::size_t>(y * row + x * 3 + c)] = pixel(x, y);
    return b;
}

int Bitmaps(const std::string& out) {
    // A line drawing (long runs of white) and a many-valued gradient.
    WriteFile(out + "/lines.bmp", Bitmap(24, 12, [](int x, int y) -> std::uint8_t {
                  return x == 3 || y == 6 || x == y ? 0 : 255;
              }));
    WriteFile(out + "/gradient.bmp", Bitmap(8, 8, [](int x, int y) -> std::uint8_t {
                  return static_cast<std::uint8_t>(x * 31 + y * 7);
              }));
    return 0;
}

}  // namespace
}  // namespace quorl::fuzz

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "";
    if (what == "stream" && argc == 4) return quorl::fuzz::Stream(argv[2], argv[3]);
    if (what == "collection" && argc == 3) return quorl::fuzz::Collection(argv[2]);
    if (what == "export" && argc == 3) return quorl::fuzz::Export(argv[2]);
    if (what == "bitmaps" && argc == 3) return quorl::fuzz::Bitmaps(argv[2]);
    std::fprintf(stderr, "usage: quorl_fuzz_seeds stream CAPTURES OUT | collection OUT | export OUT | bitmaps OUT\n");
    return 2;
}
