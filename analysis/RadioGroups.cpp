#include "analysis/RadioGroups.h"

#include <algorithm>
#include <map>
#include <cstdlib>

namespace quorl::analysis {

bool SameAddressBlock(const MacAddress& a, const MacAddress& b) {
    return std::equal(a.begin(), a.begin() + 5, b.begin()) && (a[5] & 0xF0) == (b[5] & 0xF0);
}

std::string AddressBlockText(const MacAddress& mac) {
    std::string text = MacText(mac);
    text.back() = 'x';
    return text;
}

namespace {

// Each BSSID's strongest level at each point that heard it, by point.
using Hearings = std::map<std::size_t, int>;

std::map<MacAddress, Hearings> HearingsOf(const Survey& survey) {
    std::map<MacAddress, Hearings> out;
    for (std::size_t i = 0; i < survey.points.size(); ++i)
        for (const ApReading& ap : survey.points[i].aps) {
            auto [it, added] = out[ap.mac].try_emplace(i, ap.level);
            if (!added) it->second = std::max(it->second, ap.level);
        }
    return out;
}

bool HeardAlike(const Hearings& a, const Hearings& b) {
    std::vector<int> differences;
    for (const auto& [point, level] : a)
        if (auto it = b.find(point); it != b.end()) differences.push_back(std::abs(level - it->second));
    if (differences.empty()) return false;
    auto middle = differences.begin() + static_cast<std::ptrdiff_t>(differences.size() / 2);
    std::nth_element(differences.begin(), middle, differences.end());
    return *middle <= kSameRadioDb;
}

std::size_t Root(std::vector<std::size_t>& parent, std::size_t i) {
    while (parent[i] != i) i = parent[i] = parent[parent[i]];
    return i;
}

}  // namespace

std::vector<RadioGroup> GroupByRadio(const std::vector<AccessPointRow>& rows, const Survey& survey) {
    const std::map<MacAddress, Hearings> hearings = HearingsOf(survey);
    static const Hearings kNone;
    auto heard = [&](const MacAddress& mac) -> const Hearings& {
        const auto it = hearings.find(mac);
        return it == hearings.end() ? kNone : it->second;
    };
    // Candidates share block and channel; within them, join pairs heard alike.
    std::vector<std::size_t> parent(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) parent[i] = i;
    for (std::size_t i = 0; i < rows.size(); ++i)
        for (std::size_t j = i + 1; j < rows.size(); ++j)
            if (rows[i].channel == rows[j].channel && SameAddressBlock(rows[i].mac, rows[j].mac) &&
                Root(parent, i) != Root(parent, j) && HeardAlike(heard(rows[i].mac), heard(rows[j].mac)))
                parent[Root(parent, i)] = Root(parent, j);

    std::map<std::size_t, std::size_t> index;  // root -> group
    std::vector<RadioGroup> groups;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto [it, added] = index.try_emplace(Root(parent, i), groups.size());
        if (added) {
            MacAddress block = rows[i].mac;
            block[5] &= 0xF0;
            groups.push_back(RadioGroup{block, rows[i].channel, rows[i].strongest, {}});
        }
        RadioGroup& g = groups[it->second];
        g.members.push_back(i);
        g.strongest = std::max(g.strongest, rows[i].strongest);
    }
    for (RadioGroup& g : groups)
        std::stable_sort(g.members.begin(), g.members.end(),
                         [&](std::size_t a, std::size_t b) { return rows[a].strongest > rows[b].strongest; });
    std::stable_sort(groups.begin(), groups.end(),
                     [](const RadioGroup& a, const RadioGroup& b) { return a.strongest > b.strongest; });
    return groups;
}

std::vector<std::pair<MacAddress, int>> RadioMembers(const Survey& survey, const MacAddress& mac) {
    const SurveySummary summary = Summarise(survey);
    std::vector<std::pair<MacAddress, int>> members;
    for (const RadioGroup& g : GroupByRadio(summary.accessPoints, survey)) {
        bool ours = false;
        for (std::size_t i : g.members) ours = ours || summary.accessPoints[i].mac == mac;
        if (!ours) continue;
        for (std::size_t i : g.members) members.emplace_back(summary.accessPoints[i].mac, summary.accessPoints[i].channel);
    }
    return members;
}

}  // namespace quorl::analysis
