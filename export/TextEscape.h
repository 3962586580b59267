#pragma once
// Text from the unit (SSIDs: up to 32 arbitrary bytes) made safe for each
// export format. Each writes into a buffer with room for the worst case
// (kMaxEscaped per input byte) and returns the end.
//
//   format      quotes, separators, markup        control bytes     bytes that are not UTF-8
//   CSV         field in "..." with "" when it    kept (inside      kept as they are
//               holds , " CR or LF (RFC 4180)     quotes if CR/LF)
//   JSON        \" and \\                         \u00XX            U+FFFD each
//   XML/HTML    &amp; &lt; &gt; &quot; &apos;     U+FFFD (XML 1.0   U+FFFD each, and
//                                                 cannot hold them) for U+FFFE, U+FFFF
//
// CSV stays byte-exact, as `quorl ssd dump` always was; JSON and XML must be
// Unicode, so the lossless bytes go alongside where a format has room (the
// GeoJSON "ssid_hex" property, a BLOB in the database).

#include <cstddef>
#include <string>
#include <string_view>

namespace quorl::exports {

inline constexpr std::size_t kMaxEscaped = 6;

char* PutCsvField(char* p, std::string_view text);
// For a spreadsheet: text that starts with = + - @ (or a tab or CR, which
// some strip before looking) would be taken for a formula, so it gets a
// leading apostrophe, as the spreadsheets themselves write text that looks
// like one. Other text is left as it is.
char* PutSpreadsheetField(char* p, std::string_view text);
// For a terminal: control bytes (C0, DEL, C1 whether raw or UTF-8) and bytes
// that are not UTF-8 as \xHH, a backslash as \\; the rest as it is. Nothing
// from the air can move the cursor, clear the screen or set the title.
char* PutTerminalText(char* p, std::string_view text);
// With the surrounding quotes.
char* PutJsonString(char* p, std::string_view text);
char* PutMarkupText(char* p, std::string_view text);
std::string MarkupText(std::string_view text);

// The text as UTF-8: bytes that are not become U+FFFD each.
char* PutUtf8Text(char* p, std::string_view text);

bool IsValidUtf8(std::string_view text);
// Lower-case hex of every byte.
char* PutHex(char* p, std::string_view bytes);

}  // namespace quorl::exports
