// The pieces every export format is made of: escaping of text from the
// unit, positions, times and the content hash.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "common/GpsTime.h"
#include "export/GeoPackageGeometry.h"
#include "export/Sha256.h"
#include "export/TextEscape.h"
#include "export/TextFormat.h"

namespace quorl::exports {
namespace {

template <typename Put>
std::string Escaped(Put put, std::string_view in) {
    std::string out(in.size() * kMaxEscaped + 2, '\0');
    out.resize(static_cast<std::size_t>(put(out.data(), in) - out.data()));
    return out;
}

TEST(ExportTextTest, SsidEscapingPerFormat) {
    const std::string fffd = "\xEF\xBF\xBD";
    struct Case {
        std::string ssid, csv, json, markup;
        bool utf8;
    };
    const Case cases[] = {
        {"plain", "plain", "\"plain\"", "plain", true},
        {"", "", "\"\"", "", true},
        {"a,b", "\"a,b\"", "\"a,b\"", "a,b", true},
        {"say \"hi\"", "\"say \"\"hi\"\"\"", "\"say \\\"hi\\\"\"", "say &quot;hi&quot;", true},
        {"<b>&'x'", "<b>&'x'", "\"<b>&'x'\"", "&lt;b&gt;&amp;&apos;x&apos;", true},
        {"back\\slash", "back\\slash", "\"back\\\\slash\"", "back\\slash", true},
        {"line\nbreak\r", "\"line\nbreak\r\"", "\"line\\u000abreak\\u000d\"", "line" + fffd + "break" + fffd, true},
        {std::string("nul\0x\x01\x1f\x7f", 8), std::string("nul\0x\x01\x1f\x7f", 8), "\"nul\\u0000x\\u0001\\u001f\x7f\"",
         "nul" + fffd + "x" + fffd + fffd + "\x7f", true},
        {"Caf\xC3\xA9 \xE2\x98\x95 \xF0\x9F\x93\xB6", "Caf\xC3\xA9 \xE2\x98\x95 \xF0\x9F\x93\xB6",
         "\"Caf\xC3\xA9 \xE2\x98\x95 \xF0\x9F\x93\xB6\"", "Caf\xC3\xA9 \xE2\x98\x95 \xF0\x9F\x93\xB6", true},
        {"bad\xFF", "bad\xFF", "\"bad" + fffd + "\"", "bad" + fffd, false},
        {"cut\xE2\x82", "cut\xE2\x82", "\"cut" + fffd + fffd + "\"", "cut" + fffd + fffd, false},        // sequence cut short
        {"\xC0\xAF", "\xC0\xAF", "\"" + fffd + fffd + "\"", fffd + fffd, false},                        // overlong '/'
        {"\xED\xA0\x80", "\xED\xA0\x80", "\"" + fffd + fffd + fffd + "\"", fffd + fffd + fffd, false},  // surrogate
        {"\xF4\x90\x80\x80", "\xF4\x90\x80\x80", "\"" + fffd + fffd + fffd + fffd + "\"", fffd + fffd + fffd + fffd,
         false},  // beyond U+10FFFF
        {"\x80" "a", "\x80" "a", "\"" + fffd + "a\"", fffd + "a", false},  // stray continuation
        // U+FFFE, U+FFFF: UTF-8, but no XML character; U+FFFD and U+10FFFF are.
        {"a\xEF\xBF\xBE\xEF\xBF\xBF", "a\xEF\xBF\xBE\xEF\xBF\xBF", "\"a\xEF\xBF\xBE\xEF\xBF\xBF\"", "a" + fffd + fffd, true},
        {"\xEF\xBF\xBD\xF4\x8F\xBF\xBF", "\xEF\xBF\xBD\xF4\x8F\xBF\xBF", "\"\xEF\xBF\xBD\xF4\x8F\xBF\xBF\"",
         "\xEF\xBF\xBD\xF4\x8F\xBF\xBF", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ssid);
        EXPECT_EQ(Escaped(PutCsvField, c.ssid), c.csv);
        EXPECT_EQ(Escaped(PutJsonString, c.ssid), c.json);
        EXPECT_EQ(Escaped(PutMarkupText, c.ssid), c.markup);
        EXPECT_EQ(MarkupText(c.ssid), c.markup);
        EXPECT_EQ(IsValidUtf8(c.ssid), c.utf8);
    }
    // The worst case stays within the room the writers reserve.
    const std::string worst(32, '\x01');
    EXPECT_EQ(Escaped(PutJsonString, worst).size(), 32 * kMaxEscaped + 2);
    EXPECT_EQ(Escaped(PutHex, std::string("\x00\xFFz", 3)), "00ff7a");
}

TEST(ExportTextTest, TextForSpreadsheetsAndTerminals) {
    struct Case {
        std::string text, spreadsheet, terminal;
    };
    const Case cases[] = {
        {"plain", "plain", "plain"},
        {"", "", ""},
        {"=1+2", "\"'=1+2\"", "=1+2"},
        {"+1", "\"'+1\"", "+1"},
        {"-1", "\"'-1\"", "-1"},
        {"@SUM(A1)", "\"'@SUM(A1)\"", "@SUM(A1)"},
        {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\"", "=HYPERLINK(\"x\")"},
        {"\t=1", "\"'\t=1\"", "\\x09=1"},
        {"a=b,c", "\"a=b,c\"", "a=b,c"},
        {"\x1b]0;title\x07", "\x1b]0;title\x07", "\\x1b]0;title\\x07"},
        {std::string("nul\0\x7f", 5), std::string("nul\0\x7f", 5), "nul\\x00\\x7f"},
        {"back\\slash", "back\\slash", "back\\\\slash"},
        {"csi\xc2\x9b\x9b", "csi\xc2\x9b\x9b", "csi\\xc2\\x9b\\x9b"},  // C1 as UTF-8 and raw
        {"Caf\xC3\xA9 \xC2\xA0\xF0\x9F\x93\xB6", "Caf\xC3\xA9 \xC2\xA0\xF0\x9F\x93\xB6", "Caf\xC3\xA9 \xC2\xA0\xF0\x9F\x93\xB6"},
        {"cut\xE2\x82", "cut\xE2\x82", "cut\\xe2\\x82"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Escaped(PutSpreadsheetField, c.text), c.spreadsheet);
        EXPECT_EQ(Escaped(PutTerminalText, c.text), c.terminal);
    }
    const std::string worst(32, '\x9b');
    EXPECT_LE(Escaped(PutTerminalText, worst).size(), 32 * kMaxEscaped);
}

TEST(ExportTextTest, DegreesMatchPrintfForEveryStoredValue) {
    std::mt19937 random(7);
    std::uniform_int_distribution<std::int32_t> any(INT32_MIN, INT32_MAX);
    std::uniform_int_distribution<std::int32_t> near(-1000, 1000);
    std::vector<std::int32_t> values = {0, 1, -1, 4, -4, 5, -5, 9, 36, -36, INT32_MIN, INT32_MAX,
                                        static_cast<std::int32_t>(47.3771 * 3600000), -648000000, 648000000};
    for (int i = 0; i < 20000; ++i) values.push_back(i % 2 ? any(random) : near(random));
    for (std::int32_t v : values) {
        char expected[64], got[64];
        std::snprintf(expected, sizeof expected, "%.7f", v / 3600000.0);
        *PutDegrees(got, v) = '\0';
        ASSERT_STREQ(got, expected) << v;
    }
}

TEST(ExportTextTest, TimesAndAddresses) {
    collection::PointRecord p;
    p.month = 2, p.day = 29, p.year = 44, p.hour = 23, p.minute = 59, p.second = 60;
    char text[64];
    // GPS time is written as UTC, 18 leap seconds behind; local time as it stands.
    EXPECT_EQ(std::string(text, PutIsoTime(text, p, true)), "2024-02-29T23:59:42Z");
    EXPECT_EQ(std::string(text, PutIsoTime(text, p, false)), "2024-02-29T23:59:60");
    p.year = 255;
    EXPECT_EQ(std::string(text, PutIsoTime(text, p, false)), "");  // 2235 is no leap year
    p.day = 28;
    EXPECT_EQ(std::string(text, PutIsoTime(text, p, false)), "2235-02-28T23:59:60");
    // Days of each month; 29 February only in leap years (2000 was one, 2100 is none).
    struct Day {
        unsigned year, month, day;
        bool real;
    };
    const Day days[] = {{2024, 2, 29, true},  {2023, 2, 29, false}, {2000, 2, 29, true},  {2100, 2, 29, false},
                        {2023, 2, 28, true},  {2023, 4, 30, true},  {2023, 4, 31, false}, {2023, 12, 31, true},
                        {2023, 12, 32, false}, {2023, 13, 1, false}, {1980, 1, 1, true},   {2235, 6, 31, false}};
    for (const Day& d : days) {
        collection::PointRecord r;
        r.year = static_cast<std::uint8_t>(d.year - 1980), r.month = static_cast<std::uint8_t>(d.month);
        r.day = static_cast<std::uint8_t>(d.day);
        SCOPED_TRACE(std::to_string(d.year) + "-" + std::to_string(d.month) + "-" + std::to_string(d.day));
        EXPECT_EQ(IsRealTime(r), d.real);
        EXPECT_EQ(PutIsoTime(text, r, false) != text, d.real);
    }
    p.day = 29;
    // Fields that are no date give no time at all.
    for (auto broken : {&collection::PointRecord::month, &collection::PointRecord::day}) {
        collection::PointRecord q = p;
        q.*broken = 0;
        EXPECT_EQ(PutIsoTime(text, q, true), text);
    }
    collection::PointRecord q = p;
    q.month = 4, q.day = 31;
    EXPECT_EQ(PutIsoTime(text, q, true), text);
    q = p;
    q.hour = 24;
    EXPECT_EQ(PutIsoTime(text, q, true), text);
    // Exactly 17 characters: callers give it no more room.
    char guarded[18];
    guarded[17] = '#';
    EXPECT_EQ(std::string(guarded, PutMac(guarded, {0x00, 0x0A, 0x1B, 0xC2, 0xFF, 0x09})), "00-0A-1B-C2-FF-09");
    EXPECT_EQ(guarded[17], '#');
}

// GPS to UTC at and around leap seconds, against published pairs; the
// calendar arithmetic against the C library's gmtime.
TEST(ExportTextTest, GpsTimeBecomesUtc) {
    struct Pair {
        CivilTime gps, utc;
    };
    const Pair pairs[] = {
        {{1980, 1, 6, 0, 0, 0}, {1980, 1, 6, 0, 0, 0}},          // the GPS epoch: no leap second yet
        {{1981, 7, 1, 0, 0, 0}, {1981, 6, 30, 23, 59, 60}},      // the first one inserted
        {{1981, 7, 1, 0, 0, 1}, {1981, 7, 1, 0, 0, 0}},
        {{1999, 8, 22, 0, 0, 0}, {1999, 8, 21, 23, 59, 47}},     // the unit's week 0
        {{2016, 12, 31, 23, 59, 59}, {2016, 12, 31, 23, 59, 42}},
        {{2017, 1, 1, 0, 0, 16}, {2016, 12, 31, 23, 59, 59}},
        {{2017, 1, 1, 0, 0, 17}, {2016, 12, 31, 23, 59, 60}},    // the last one inserted
        {{2017, 1, 1, 0, 0, 18}, {2017, 1, 1, 0, 0, 0}},
        {{2024, 3, 1, 0, 0, 10}, {2024, 2, 29, 23, 59, 52}},     // back over a leap day
        {{2025, 1, 1, 0, 0, 5}, {2024, 12, 31, 23, 59, 47}},     // and over a new year
        {{2012, 7, 1, 0, 0, 15}, {2012, 6, 30, 23, 59, 60}},
        {{2012, 7, 1, 0, 0, 14}, {2012, 6, 30, 23, 59, 59}},
    };
    for (const Pair& p : pairs) {
        const CivilTime utc = GpsToUtc(p.gps);
        EXPECT_EQ(utc, p.utc) << p.gps.year << "-" << p.gps.month << "-" << p.gps.day << " " << p.gps.hour << ":"
                              << p.gps.minute << ":" << p.gps.second << " gave " << utc.year << "-" << utc.month << "-"
                              << utc.day << " " << utc.hour << ":" << utc.minute << ":" << utc.second;
    }
    EXPECT_EQ(LeapSecondsAtUtc(SecondsOf({2016, 12, 31, 23, 59, 59})), 17);
    EXPECT_EQ(LeapSecondsAtUtc(SecondsOf({2017, 1, 1, 0, 0, 0})), 18);
    EXPECT_EQ(LeapSecondsAtUtc(SecondsOf({1999, 8, 22, 0, 0, 0})), 13);
    // Every UTC second near each leap goes to GPS and back to itself.
    for (int year = 1981; year <= 2030; ++year)
        for (unsigned month : {1u, 7u})
            for (int d = -3; d <= 3; ++d) {
                const std::int64_t utc = SecondsOf({year, month, 1, 0, 0, 0}) + d;
                EXPECT_EQ(SecondsOf(GpsToUtc(CivilOf(utc + LeapSecondsAtUtc(utc)))), utc) << year << "/" << month << d;
            }
    for (std::int64_t s = -86400LL * 800; s < 86400LL * 366 * 300; s += 86400 * 7 + 3601) {
        const std::time_t t = static_cast<std::time_t>(s);
        std::tm tm{};
        ASSERT_TRUE(gmtime_r(&t, &tm));
        const CivilTime c = CivilOf(s);
        ASSERT_EQ(c, (CivilTime{tm.tm_year + 1900, static_cast<unsigned>(tm.tm_mon + 1), static_cast<unsigned>(tm.tm_mday),
                                static_cast<unsigned>(tm.tm_hour), static_cast<unsigned>(tm.tm_min),
                                static_cast<unsigned>(tm.tm_sec)}))
            << s;
        ASSERT_EQ(SecondsOf(c), s);
    }
}

// GeoPackage binary built by hand: header flags, optional envelope, then WKB.
struct Blob {
    std::vector<std::uint8_t> bytes;
    Blob& U8(std::uint8_t v) { bytes.push_back(v); return *this; }
    Blob& U32(std::uint32_t v, bool little = true) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (little ? 8 * i : 24 - 8 * i)));
        return *this;
    }
    Blob& F64(double d, bool little = true) {
        std::uint64_t v;
        std::memcpy(&v, &d, 8);
        for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (little ? 8 * i : 56 - 8 * i)));
        return *this;
    }
    static Blob Header(std::uint8_t flags) { return Blob().U8('G').U8('P').U8(0).U8(flags).U32(4326); }
};

TEST(ExportTextTest, GeoPackageGeometryEnvelopes) {
    using geopackage::Envelope;
    const double nan = std::nan("");
    struct Case {
        const char* name;
        Blob blob;
        bool valid, empty;
        double minX, maxX, minY, maxY;
    };
    const Case cases[] = {
        {"point", Blob::Header(1).U8(1).U32(1).F64(8.5).F64(47.3), true, false, 8.5, 8.5, 47.3, 47.3},
        {"big-endian point", Blob::Header(0).U8(0).U32(1, false).F64(-2, false).F64(3, false), true, false, -2, -2, 3, 3},
        {"envelope in the header wins", Blob::Header(3).F64(0).F64(10).F64(-5).F64(5).U8(1).U32(1).F64(99).F64(99), true,
         false, 0, 10, -5, 5},
        {"empty flag", Blob::Header(1 | 0x10).U8(1).U32(1).F64(nan).F64(nan), true, true, 0, 0, 0, 0},
        {"empty point (NaN)", Blob::Header(1).U8(1).U32(1).F64(nan).F64(nan), true, true, 0, 0, 0, 0},
        {"line string Z", Blob::Header(1).U8(1).U32(1002).U32(2).F64(1).F64(2).F64(9).F64(-1).F64(7).F64(9), true, false,
         -1, 1, 2, 7},
        {"polygon", Blob::Header(1).U8(1).U32(3).U32(1).U32(4).F64(0).F64(0).F64(4).F64(0).F64(4).F64(3).F64(0).F64(0),
         true, false, 0, 4, 0, 3},
        {"multipoint ZM", Blob::Header(1).U8(1).U32(3004).U32(2).U8(1).U32(3001).F64(5).F64(6).F64(0).F64(0).U8(1).U32(3001)
                              .F64(-5).F64(-6).F64(0).F64(0),
         true, false, -5, 5, -6, 6},
        {"collection nested", Blob::Header(1).U8(1).U32(7).U32(1).U8(1).U32(7).U32(1).U8(1).U32(1).F64(1).F64(1), true,
         false, 1, 1, 1, 1},
        {"count larger than the bytes", Blob::Header(1).U8(1).U32(2).U32(0x7FFFFFFF).F64(1).F64(2), false, false, 0, 0, 0, 0},
        {"cut short", Blob::Header(1).U8(1).U32(1).F64(1), false, false, 0, 0, 0, 0},
        {"unknown type", Blob::Header(1).U8(1).U32(99).F64(1).F64(2), false, false, 0, 0, 0, 0},
        {"not GP", Blob().U8('X').U8('P').U8(0).U8(1).U32(4326).U8(1).U32(1).F64(1).F64(2), false, false, 0, 0, 0, 0},
        {"envelope past the end", Blob::Header(9).F64(0), false, false, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Envelope e;
        ASSERT_EQ(geopackage::EnvelopeOf(c.blob.bytes.data(), c.blob.bytes.size(), e), c.valid);
        if (!c.valid) continue;
        EXPECT_EQ(e.empty, c.empty);
        if (c.empty) continue;
        EXPECT_EQ(e.minX, c.minX);
        EXPECT_EQ(e.maxX, c.maxX);
        EXPECT_EQ(e.minY, c.minY);
        EXPECT_EQ(e.maxY, c.maxY);
    }
    // The same through SQL, as a spatial-index trigger calls them: NULL for what is no geometry.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    ASSERT_TRUE(geopackage::RegisterGeometryFunctions(db));
    const auto query = [&](const std::string& sql, const Blob& blob) {
        sqlite3_stmt* s = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr), SQLITE_OK);
        sqlite3_bind_blob(s, 1, blob.bytes.data(), static_cast<int>(blob.bytes.size()), SQLITE_STATIC);
        EXPECT_EQ(sqlite3_step(s), SQLITE_ROW);
        std::string row;
        for (int i = 0; i < sqlite3_column_count(s); ++i)
            row += (i ? "|" : "") + std::string(sqlite3_column_type(s, i) == SQLITE_NULL
                                                    ? "null"
                                                    : reinterpret_cast<const char*>(sqlite3_column_text(s, i)));
        sqlite3_finalize(s);
        return row;
    };
    const std::string all = "SELECT ST_IsEmpty(?1), ST_MinX(?1), ST_MaxX(?1), ST_MinY(?1), ST_MaxY(?1)";
    EXPECT_EQ(query(all, cases[5].blob), "0|-1.0|1.0|2.0|7.0");
    EXPECT_EQ(query(all, cases[3].blob), "1|null|null|null|null");
    EXPECT_EQ(query(all, cases[10].blob), "null|null|null|null|null");
    EXPECT_EQ(query("SELECT ST_MinX(NULL), ST_IsEmpty('text')", Blob()), "null|null");
    sqlite3_close(db);
}

TEST(ExportTextTest, Sha256KnownAnswers) {
    const auto digest = [](const std::string& text, std::size_t chunk) {
        Sha256 h;
        for (std::size_t i = 0; i < text.size(); i += chunk) h.Update(text.data() + i, std::min(chunk, text.size() - i));
        return Sha256::Hex(h.Finish());
    };
    const std::string million(1000000, 'a');
    for (std::size_t chunk : {std::size_t{1}, std::size_t{63}, std::size_t{64}, std::size_t{1000}}) {
        EXPECT_EQ(digest("", chunk), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
        EXPECT_EQ(digest("abc", chunk), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
        EXPECT_EQ(digest("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", chunk),
                  "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    }
    EXPECT_EQ(digest(million, 4099), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

}  // namespace
}  // namespace quorl::exports
