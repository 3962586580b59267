#include "export/TextEscape.h"

#include <cstdint>
#include <cstring>

namespace quorl::exports {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD
constexpr char kHex[] = "0123456789abcdef";

// Length of the well-formed UTF-8 sequence at s[0..n), 0 when there is none
// (stray continuation, overlong form, surrogate, beyond U+10FFFF, cut short).
std::size_t SequenceLength(const unsigned char* s, std::size_t n) {
    const unsigned char c = s[0];
    if (c < 0x80) return 1;
    std::size_t len;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (n < len || s[1] < lo || s[1] > hi) return 0;
    for (std::size_t i = 2; i < len; ++i)
        if ((s[i] & 0xC0) != 0x80) return 0;
    return len;
}

// U+FFFE and U+FFFF: well-formed UTF-8, yet outside XML 1.0's Char
// production, so a single one makes a whole document unreadable.
bool IsXmlNonCharacter(const unsigned char* s, std::size_t len) {
    return len == 3 && s[0] == 0xEF && s[1] == 0xBF && (s[2] == 0xBE || s[2] == 0xBF);
}

// Copies the Unicode text, calling `escape` for every ASCII byte; bytes that
// are not UTF-8 become U+FFFD, and so do U+FFFE and U+FFFF for XML.
template <typename Escape>
char* PutUnicode(char* p, std::string_view text, bool xml, Escape&& escape) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        if (s[i] < 0x80) {
            p = escape(p, static_cast<char>(s[i]));
            ++i;
            continue;
        }
        const std::size_t len = SequenceLength(s + i, n - i);
        if (xml && IsXmlNonCharacter(s + i, len)) {
            std::memcpy(p, kReplacement, 3);
            p += 3;
            i += len;
        } else if (len == 0) {
            std::memcpy(p, kReplacement, 3);
            p += 3;
            ++i;
        } else {
            std::memcpy(p, s + i, len);
            p += len;
            i += len;
        }
    }
    return p;
}

}  // namespace

char* PutCsvField(char* p, std::string_view text) {
    bool quote = false;
    for (char c : text)
        if (c == ',' || c == '"' || c == '\r' || c == '\n') {
            quote = true;
            break;
        }
    if (!quote) {
        std::memcpy(p, text.data(), text.size());
        return p + text.size();
    }
    *p++ = '"';
    for (char c : text) {
        if (c == '"') *p++ = '"';
        *p++ = c;
    }
    *p++ = '"';
    return p;
}

char* PutSpreadsheetField(char* p, std::string_view text) {
    const bool formula = !text.empty() && std::strchr("=+-@\t\r", text[0]) != nullptr && text[0] != '\0';
    if (!formula) return PutCsvField(p, text);
    *p++ = '"';
    *p++ = '\'';
    for (char c : text) {
        if (c == '"') *p++ = '"';
        *p++ = c;
    }
    *p++ = '"';
    return p;
}

char* PutTerminalText(char* p, std::string_view text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    const auto escaped = [&](std::size_t from, std::size_t len) {
        for (std::size_t k = from; k < from + len; ++k) {
            std::memcpy(p, "\\x", 2);
            p[2] = kHex[s[k] >> 4];
            p[3] = kHex[s[k] & 15];
            p += 4;
        }
    };
    for (std::size_t i = 0; i < n;) {
        const std::size_t len = SequenceLength(s + i, n - i);
        const bool c1 = len == 2 && s[i] == 0xC2 && s[i + 1] < 0xA0;  // U+0080 to U+009F
        if (len == 0 || c1 || s[i] < 0x20 || s[i] == 0x7F) {
            escaped(i, len == 0 ? 1 : len);
            i += len == 0 ? 1 : len;
        } else if (s[i] == '\\') {
            *p++ = '\\';
            *p++ = '\\';
            ++i;
        } else {
            std::memcpy(p, s + i, len);
            p += len;
            i += len;
        }
    }
    return p;
}

char* PutJsonString(char* p, std::string_view text) {
    *p++ = '"';
    p = PutUnicode(p, text, false, [](char* q, char c) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20) {
            std::memcpy(q, "\\u00", 4);
            q[4] = kHex[u >> 4];
            q[5] = kHex[u & 15];
            return q + 6;
        }
        if (c == '"' || c == '\\') *q++ = '\\';
        *q++ = c;
        return q;
    });
    *p++ = '"';
    return p;
}

char* PutMarkupText(char* p, std::string_view text) {
    return PutUnicode(p, text, true, [](char* q, char c) {
        switch (c) {
            case '&': std::memcpy(q, "&amp;", 5); return q + 5;
            case '<': std::memcpy(q, "&lt;", 4); return q + 4;
            case '>': std::memcpy(q, "&gt;", 4); return q + 4;
            case '"': std::memcpy(q, "&quot;", 6); return q + 6;
            case '\'': std::memcpy(q, "&apos;", 6); return q + 6;
            default: break;
        }
        if (static_cast<unsigned char>(c) < 0x20) {
            std::memcpy(q, kReplacement, 3);
            return q + 3;
        }
        *q++ = c;
        return q;
    });
}

char* PutUtf8Text(char* p, std::string_view text) {
    return PutUnicode(p, text, false, [](char* q, char c) {
        *q = c;
        return q + 1;
    });
}

std::string MarkupText(std::string_view text) {
    std::string out(text.size() * kMaxEscaped, '\0');
    out.resize(static_cast<std::size_t>(PutMarkupText(out.data(), text) - out.data()));
    return out;
}

bool IsValidUtf8(std::string_view text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = SequenceLength(s + i, text.size() - i);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

char* PutHex(char* p, std::string_view bytes) {
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        *p++ = kHex[u >> 4];
        *p++ = kHex[u & 15];
    }
    return p;
}

}  // namespace quorl::exports
