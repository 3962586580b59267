// The pieces every export format is made of: escaping of text from the
// unit, positions, times and the content hash.

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

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
    EXPECT_EQ(std::string(text, PutIsoTime(text, p, true)), "2024-02-29T23:59:60Z");
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
