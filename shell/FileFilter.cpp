#include "shell/FileFilter.h"

#include <vector>

namespace quorl {

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : text) {
        if (c == separator) {
            parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    parts.push_back(current);
    return parts;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string QtPatterns(const std::string& patterns) {
    std::string out;
    for (const std::string& raw : Split(patterns, ';')) {
        std::string pattern = Trim(raw);
        if (pattern.empty()) continue;
        if (pattern == "*.*") pattern = "*";
        if (!out.empty()) out += ' ';
        out += pattern;
    }
    return out;
}

}  // namespace

std::string ToQtFileFilter(const std::string& filter) {
    const std::vector<std::string> fields = Split(filter, '|');
    std::string out;
    for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
        std::string name = Trim(fields[i]);
        const std::string patterns = QtPatterns(fields[i + 1]);
        if (name.empty() || patterns.empty()) continue;
        if (name.back() == ')') {
            const auto open = name.rfind('(');
            if (open != std::string::npos) name = Trim(name.substr(0, open));
        }
        if (!out.empty()) out += ";;";
        out += name.empty() ? "(" + patterns + ")" : name + " (" + patterns + ")";
    }
    return out;
}

}  // namespace quorl
