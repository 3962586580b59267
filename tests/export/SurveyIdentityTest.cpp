// A survey's identity in the database: what a repair keeps (header, record
// sizes and complete groups), not the file's bytes.

#include <gtest/gtest.h>

#include "common/ByteOrder.h"
#include "export/SurveyIdentity.h"
#include "tests/survey/SurveyTestSupport.h"

namespace quorl::exports {
namespace {

using test::Bytes;

// Three plan taps of 0, 1 and 2 access points.
Bytes ThreePoints() {
    const auto start = collection::MakeNewFileStart(1700000000);
    Bytes b(start.begin(), start.end());
    for (std::uint16_t n = 0; n < 3; ++n) {
        collection::PointRecord p;
        p.kind = 2, p.x = static_cast<std::uint16_t>(10 * n), p.apCount = n;
        Bytes g(collection::kPointRecordSize + n * collection::kApRecordSize);
        collection::EncodePoint(p, g.data());
        for (std::uint16_t k = 0; k < n; ++k) {
            collection::ApRecord ap;
            ap.channel = 6, ap.signal = -800, ap.mac[5] = static_cast<std::uint8_t>(k);
            collection::EncodeAp(ap, g.data() + collection::kPointRecordSize + k * collection::kApRecordSize);
        }
        b.insert(b.end(), g.begin(), g.end());
    }
    return b;
}

TEST(SurveyIdentityTest, ARepairKeepsTheIdentityAndAChangeDoesNot) {
    test::TempDir dir;
    const auto identify = [&](const Bytes& bytes) {
        test::WriteBytes(dir / "s.ssd", bytes);
        SurveyScan scan;
        SurveyIdentity id;
        EXPECT_TRUE(scan.Open(dir / "s.ssd")) << scan.Error();
        EXPECT_TRUE(IdentifySurvey(scan, id)) << scan.Error();
        EXPECT_EQ(id.sha256.size(), 64u);
        return id;
    };
    const Bytes whole = ThreePoints();
    const SurveyIdentity base = identify(whole);
    EXPECT_EQ(base.groups, 3u);

    Bytes torn = whole;  // an unfinished fourth point: its record and half an access point
    const Bytes tail(whole.end() - collection::kPointRecordSize - 2 * collection::kApRecordSize, whole.end() - 23);
    torn.insert(torn.end(), tail.begin(), tail.end());
    struct Case {
        const char* what;
        Bytes bytes;
        bool same;
    };
    const auto changed = [&](std::size_t at, std::uint8_t value) {
        Bytes b = whole;
        b[at] = value;
        return b;
    };
    const std::size_t second = collection::kFirstGroup + collection::kPointRecordSize;
    const Case cases[] = {
        {"a torn last group", torn, true},
        {"the torn group cut away", Bytes(torn.begin(), torn.begin() + static_cast<std::ptrdiff_t>(whole.size())), true},
        {"a point deleted", changed(second, 255), false},
        {"a level changed", changed(whole.size() - collection::kApRecordSize + 4, 0x10), false},
        {"another creation time", changed(13, 0x42), false},
        {"the last point cut away", Bytes(whole.begin(), whole.end() - collection::kPointRecordSize - 2 * collection::kApRecordSize), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(identify(c.bytes).sha256 == base.sha256, c.same);
    }
}

}  // namespace
}  // namespace quorl::exports
