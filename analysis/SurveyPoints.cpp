#include "analysis/SurveyPoints.h"

#include <cmath>
#include <cstdio>
#include <iterator>

#include "common/UserMessages.h"
#include "survey/CollectionFormat.h"
#include "survey/CollectionScan.h"

namespace quorl::analysis {

std::string PointTime::Text() const {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
    return text;
}

std::string MacText(const MacAddress& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

bool ParseMac(const std::string& text, MacAddress& mac) {
    if (text.size() != 17) return false;
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    const char separator = text[2];
    if (separator != '-' && separator != ':') return false;
    for (int i = 0; i < 6; ++i) {
        const int hi = hex(text[i * 3]), lo = hex(text[i * 3 + 1]);
        if (hi < 0 || lo < 0) return false;
        if (i < 5 && text[i * 3 + 2] != separator) return false;
        mac[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    return true;
}

namespace {

bool IsGpsKind(std::uint8_t kind) { return kind == 0 || kind == 1; }
bool IsPlanKind(std::uint8_t kind) { return kind == 2 || kind == 17; }

}  // namespace

bool LoadSurvey(const std::string& path, const Placement& placement, Survey& survey, std::string& error) {
    survey = Survey{};
    survey.name = FileNameOf(path);
    CollectionScan scan;
    if (!scan.Open(path)) {
        error = scan.Error();
        return false;
    }

    const bool invertible = placement.transform.Invertible();
    std::uint32_t positioned = 0;
    bool placeable = true;
    const bool read = scan.ForEachGroup([&](const CollectionGroup& group) {
        const collection::PointRecord& record = group.point;
        SurveyPoint point;
        point.kind = record.kind;
        point.index = survey.groups++;
        ++survey.groupsByKind[record.kind];
        point.time = PointTime{1980 + record.year, record.month, record.day, record.hour, record.minute, record.second};
        for (const collection::ApRecord& ap : group.aps)
            point.aps.push_back(ApReading{ap.mac, ap.SsidText(), static_cast<int>(ap.channel & 0xFF), ap.Level()});

        if (record.kind == 255) {
            ++survey.deleted;
            return;
        }
        if (IsPlanKind(record.kind)) {
            point.x = record.x;
            point.y = record.y;
        } else if (IsGpsKind(record.kind)) {
            if (record.latitude == 0 && record.longitude == 0) {
                ++survey.withoutPosition;
                return;
            }
            if (!invertible) {
                placeable = false;
                return;
            }
            const double lat = record.latitude / collection::kPositionScale;
            const double lon = record.longitude / collection::kPositionScale;
            const AffineTransform& t = placement.transform;
            point.x = t.a * lat + t.b * lon + t.e;
            point.y = t.c * lat + t.d * lon + t.f;
            ++survey.gpsPoints;
        } else {
            ++survey.unknownKind;
            return;
        }
        ++positioned;
        if (!std::isfinite(point.x) || !std::isfinite(point.y) || point.x < 0 || point.y < 0 ||
            point.x >= placement.planWidth || point.y >= placement.planHeight) {
            ++survey.offPlan;
            return;
        }
        survey.points.push_back(std::move(point));
    });
    if (!placeable) {
        error = "the projection's transform cannot be inverted, so the GPS points of " + path +
                " cannot be placed on its plan.";
        return false;
    }
    if (!read) {
        error = scan.Error();
        return false;
    }
    survey.unfinishedBytes = scan.Tail().length;
    if (positioned == 0) {
        error = path + " holds no survey point with a position (" + std::to_string(survey.groups) +
                " records read, " + std::to_string(survey.deleted) + " deleted, " +
                std::to_string(survey.withoutPosition) + " without a position).";
        return false;
    }
    if (survey.offPlan * 2 > positioned) {
        error = std::to_string(survey.offPlan) + " of the " + std::to_string(positioned) + " points of " + path +
                " lie outside the plan (" + std::to_string(placement.planWidth) + " x " +
                std::to_string(placement.planHeight) +
                " pixels): the projection does not belong to this survey.";
        return false;
    }
    return true;
}

void AppendSurvey(Survey& all, Survey&& more) {
    all.name += " + " + more.name;
    all.points.insert(all.points.end(), std::make_move_iterator(more.points.begin()),
                      std::make_move_iterator(more.points.end()));
    for (const auto& [kind, n] : more.groupsByKind) all.groupsByKind[kind] += n;
    all.groups += more.groups;
    all.deleted += more.deleted;
    all.withoutPosition += more.withoutPosition;
    all.offPlan += more.offPlan;
    all.unknownKind += more.unknownKind;
    all.unfinishedBytes += more.unfinishedBytes;
    all.gpsPoints += more.gpsPoints;
}

}  // namespace quorl::analysis
