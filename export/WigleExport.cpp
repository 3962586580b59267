#include "export/WigleExport.h"

#include <cstdlib>

#include "export/TextEscape.h"
#include "export/TextFormat.h"

namespace quorl::exports {

namespace {
constexpr std::int64_t kLatitudeLimit = 90LL * 3600000;
constexpr std::int64_t kLongitudeLimit = 180LL * 3600000;

// "aa:bb:cc:dd:ee:ff": the format's spelling, not the collector's.
char* PutColonMac(char* p, const std::array<std::uint8_t, 6>& mac) {
    static constexpr char kHex[] = "0123456789abcdef";
    for (int i = 0; i < 6; ++i) {
        if (i > 0) *p++ = ':';
        p[0] = kHex[mac[i] >> 4];
        p[1] = kHex[mac[i] & 15];
        p += 2;
    }
    return p;
}

// Readers of the format decode it as UTF-8 and refuse a file that is not:
// each byte that starts no character becomes U+FFFD, as in the JSON and
// XML exports.
std::string UnicodeOf(std::string_view ssid) {
    if (IsValidUtf8(ssid)) return std::string(ssid);
    std::string out;
    for (std::size_t i = 0; i < ssid.size();) {
        std::size_t len = 1;
        while (len <= 4 && i + len <= ssid.size() && !IsValidUtf8(ssid.substr(i, len))) ++len;
        if (len <= 4 && i + len <= ssid.size()) {
            out.append(ssid.substr(i, len));
            i += len;
        } else {
            out.append("\xEF\xBF\xBD");
            ++i;
        }
    }
    return out;
}

// "yyyy-MM-dd HH:mm:ss" in UTC from the ISO form of the GPS time; empty
// when the record holds no date.
char* PutFirstSeen(char* p, const collection::PointRecord& point) {
    char* end = PutIsoTime(p, point, true);
    if (end == p) return p;
    p[10] = ' ';
    return end - 1;  // no "Z"
}
}  // namespace

WigleExport::WigleExport(OutputBuffer& out, std::string release) : out_(out), release_(std::move(release)) {}

int WigleExport::FrequencyOf(std::uint32_t channel) {
    if (channel >= 1 && channel <= 13) return 2407 + 5 * static_cast<int>(channel);
    if (channel == 14) return 2484;
    if (channel >= 32 && channel <= 177) return 5000 + 5 * static_cast<int>(channel);
    return 0;
}

void WigleExport::WriteHeader() {
    out_.Append("WigleWifi-1.6,appRelease=" + release_ + ",model=quorl,release=" + release_ +
                ",device=quorl,display=,board=,brand=quorl,star=Sol,body=3,subBody=0\n"
                "MAC,SSID,AuthMode,FirstSeen,Channel,Frequency,RSSI,CurrentLatitude,CurrentLongitude,"
                "AltitudeMeters,AccuracyMeters,RCOIs,MfgrId,Type\n");
}

WigleExport::Result WigleExport::Add(SurveyScan& scan) {
    const std::uint64_t start = out_.Size();
    std::uint64_t offEarth = 0, withoutFix = 0, onPlanOnly = 0;
    bool any = false;
    const bool ok = scan.ForEachGroup([&](const SurveyGroup& g) {
        const auto& p = g.point;
        if (p.kind == 2 || p.kind == 17) ++onPlanOnly;
        if (p.kind != 0 && p.kind != 1) return;
        // 1: 2D, 2: 3D; without a lock the position is the last one known.
        if (p.fix != 1 && p.fix != 2) {
            ++withoutFix;
            return;
        }
        const PointFacts f = FactsOf(g, nullptr);
        // A position off the earth is no position, but it is counted.
        if (f.offEarth || std::llabs(p.latitude) > kLatitudeLimit || std::llabs(p.longitude) > kLongitudeLimit) {
            ++offEarth;
            return;
        }
        if (!f.hasPosition) return;
        any = true;
        // Everything after the SSID is the same for each access point of the point.
        char when[32];
        const char* whenEnd = PutFirstSeen(when, p);
        for (const auto& ap : g.aps) {
            char* o = out_.Room(256 + 32 * kMaxEscaped);
            o = PutColonMac(o, ap.mac);
            *o++ = ',';
            std::size_t n = 0;
            while (n < ap.ssid.size() && ap.ssid[n] != '\0') ++n;
            o = PutCsvField(o, UnicodeOf(std::string_view(ap.ssid.data(), n)));
            o = PutLiteral(o, ",,");
            o = PutText(o, when, static_cast<std::size_t>(whenEnd - when));
            *o++ = ',';
            o = PutUnsigned(o, ap.channel);
            *o++ = ',';
            if (const int mhz = FrequencyOf(ap.channel); mhz != 0) o = PutSigned(o, mhz);
            *o++ = ',';
            o = PutSigned(o, ap.Level());
            *o++ = ',';
            o = PutDegrees(o, p.latitude);
            *o++ = ',';
            o = PutDegrees(o, p.longitude);
            o = PutLiteral(o, ",,,,,WIFI\n");
            out_.Commit(o);
        }
    });
    if (!ok) {
        out_.CutBackTo(start);
        return Result::ReadFailed;
    }
    offEarth_ += offEarth;
    withoutFix_ += withoutFix;
    onPlanOnly_ += onPlanOnly;
    return any ? Result::Added : Result::NoPosition;
}

}  // namespace quorl::exports
