#pragma once
// Hand-made collection files for the analysis tests.

#include <cstring>
#include <string>
#include <vector>

#include "survey/CollectionFormat.h"
#include "tests/survey/SurveyTestSupport.h"

namespace quorl::test {

struct Ap {
    int last;  // last MAC byte: 00-00-00-00-00-last
    int channel;
    int level;
    std::string ssid;
};

// Collection file bytes, one group per call.
class CollectionBuilder {
public:
    CollectionBuilder() {
        const auto start = collection::MakeNewFileStart(0);
        bytes_.assign(start.begin(), start.end());
    }
    // Kind 2 (or 17, 255): a plan pixel.
    CollectionBuilder& Plan(int x, int y, const std::vector<Ap>& aps, std::uint8_t kind = 2) {
        collection::PointRecord p;
        p.kind = kind;
        p.x = static_cast<std::uint16_t>(x);
        p.y = static_cast<std::uint16_t>(y);
        return Group(p, aps);
    }
    // Kind 0 (or 1): degrees.
    CollectionBuilder& Gps(double lat, double lon, const std::vector<Ap>& aps, std::uint8_t kind = 0) {
        collection::PointRecord p;
        p.kind = kind;
        p.latitude = static_cast<std::int32_t>(lat * collection::kPositionScale);
        p.longitude = static_cast<std::int32_t>(lon * collection::kPositionScale);
        p.month = 3;
        p.day = 2;
        p.year = 46;
        return Group(p, aps);
    }
    const Bytes& Get() const { return bytes_; }

private:
    CollectionBuilder& Group(collection::PointRecord p, const std::vector<Ap>& aps) {
        p.apCount = static_cast<std::uint16_t>(aps.size());
        std::uint8_t record[collection::kPointRecordSize];
        collection::EncodePoint(p, record);
        bytes_.insert(bytes_.end(), record, record + sizeof record);
        for (const Ap& a : aps) {
            collection::ApRecord r;
            r.channel = static_cast<std::uint32_t>(a.channel);
            r.signal = static_cast<std::int16_t>(a.level * 16);
            r.mac = {0, 0, 0, 0, 0, static_cast<std::uint8_t>(a.last)};
            std::memcpy(r.ssid.data(), a.ssid.data(), std::min<std::size_t>(a.ssid.size(), 32));
            std::uint8_t ap[collection::kApRecordSize];
            collection::EncodeAp(r, ap);
            bytes_.insert(bytes_.end(), ap, ap + sizeof ap);
        }
        return *this;
    }
    Bytes bytes_;
};

}  // namespace quorl::test
