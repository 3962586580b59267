#include "export/GeoJsonExport.h"

#include "export/TextEscape.h"
#include "export/TextFormat.h"

namespace quorl::exports {

GeoJsonExport::GeoJsonExport(OutputBuffer& out, const AffineTransform* projection, const PlanFrame* plan)
    : out_(out), projection_(projection), plan_(plan) {}

void GeoJsonExport::Begin() { out_.Append("{\"type\":\"FeatureCollection\",\"features\":[\n"); }

void GeoJsonExport::End() { out_.Append("\n]}\n"); }

bool GeoJsonExport::Add(SurveyScan& scan, const std::string& name) {
    const std::uint64_t start = out_.Size();
    const std::uint64_t featuresBefore = features_;
    std::string quotedName(name.size() * kMaxEscaped + 2, '\0');
    quotedName.resize(static_cast<std::size_t>(PutJsonString(quotedName.data(), name) - quotedName.data()));

    const bool ok = scan.ForEachGroup([&](const SurveyGroup& g) {
        const auto& p = g.point;
        if (p.kind == 255) return;
        const PointFacts f = FactsOf(g, projection_);
        if (plan_ && !f.hasPlan) return;
        char* o = out_.Room(quotedName.size() + floor_.size() + 512);
        if (features_++ > 0) o = PutLiteral(o, ",\n");
        o = PutLiteral(o, "{\"type\":\"Feature\",\"geometry\":");
        if (plan_) {
            o = PutLiteral(o, "{\"type\":\"Point\",\"coordinates\":[");
            o = PutDouble(o, plan_->X(f.x));
            *o++ = ',';
            o = PutDouble(o, plan_->Y(f.y));
            o = PutLiteral(o, "]}");
        } else if (f.hasPosition) {
            o = PutLiteral(o, "{\"type\":\"Point\",\"coordinates\":[");
            o = PutDegrees(o, p.longitude);
            *o++ = ',';
            o = PutDegrees(o, p.latitude);
            o = PutLiteral(o, "]}");
        } else {
            o = PutLiteral(o, "null");
        }
        o = PutLiteral(o, ",\"properties\":{\"file\":");
        o = PutText(o, quotedName.data(), quotedName.size());
        o = PutText(o, floor_.data(), floor_.size());
        o = PutLiteral(o, ",\"point\":");
        o = PutUnsigned(o, g.number);
        o = PutLiteral(o, ",\"kind\":\"");
        const char* kind = KindName(p.kind);
        o = PutText(o, kind, std::char_traits<char>::length(kind));
        o = PutLiteral(o, "\",\"x\":");
        o = f.hasPlan ? PutSigned(o, f.x) : PutLiteral(o, "null");
        o = PutLiteral(o, ",\"y\":");
        o = f.hasPlan ? PutSigned(o, f.y) : PutLiteral(o, "null");
        o = PutLiteral(o, ",\"time\":");
        char* timeStart = o + 1;
        char* timeEnd = PutIsoTime(timeStart, p, f.gpsTime);
        if (timeEnd == timeStart) {
            o = PutLiteral(o, "null");
        } else {
            *o = '"';
            o = timeEnd;
            *o++ = '"';
        }
        o = PutLiteral(o, ",\"fix\":");
        o = PutUnsigned(o, p.fix);
        o = PutLiteral(o, ",\"strongest\":");
        o = f.anyAp ? PutSigned(o, f.strongestHeard) : PutLiteral(o, "null");
        o = PutLiteral(o, ",\"access_points\":[");
        out_.Commit(o);
        bool first = true;
        for (const auto& ap : g.aps) {
            o = out_.Room(128 + 32 * (kMaxEscaped + 2));
            if (!first) *o++ = ',';
            first = false;
            o = PutLiteral(o, "{\"mac\":\"");
            o = PutMac(o, ap.mac);
            o = PutLiteral(o, "\",\"ssid\":");
            std::size_t n = 0;
            while (n < ap.ssid.size() && ap.ssid[n] != '\0') ++n;
            const std::string_view ssid(ap.ssid.data(), n);
            o = PutJsonString(o, ssid);
            if (!IsValidUtf8(ssid)) {
                o = PutLiteral(o, ",\"ssid_hex\":\"");
                o = PutHex(o, ssid);
                *o++ = '"';
            }
            o = PutLiteral(o, ",\"channel\":");
            o = PutUnsigned(o, ap.channel);
            o = PutLiteral(o, ",\"level\":");
            o = PutSigned(o, ap.Level());
            *o++ = '}';
            out_.Commit(o);
        }
        out_.Append("]}}");
    });
    if (!ok) {
        out_.CutBackTo(start);
        features_ = featuresBefore;
    }
    return ok;
}

void GeoJsonExport::SetFloor(const std::string& name, int level, const AffineTransform* projection) {
    std::string quoted(name.size() * kMaxEscaped + 2, '\0');
    quoted.resize(static_cast<std::size_t>(PutJsonString(quoted.data(), name) - quoted.data()));
    floor_ = ",\"floor\":" + quoted + ",\"level\":" + std::to_string(level);
    projection_ = projection;
}

}  // namespace quorl::exports
