#include "export/CsvExport.h"

#include "export/TextEscape.h"
#include "export/TextFormat.h"

namespace quorl::exports {

namespace {
// File column (escaped name, at most 4 KB of it) and the point's fields.
constexpr std::size_t kMaxHead = 4096 * 4 + 2 + 256 + 256 * 4 + 2 + 16;
// The access point's fields after the head.
constexpr std::size_t kMaxTail = 64 + 32 * kMaxEscaped;
}  // namespace

CsvExport::CsvExport(OutputBuffer& out, bool fileColumn, const AffineTransform* projection, Text text)
    : out_(out), fileColumn_(fileColumn), projection_(projection), text_(text) {}

char* CsvExport::PutTextField(char* p, std::string_view text) const {
    switch (text_) {
        case Text::Exact: break;
        case Text::Spreadsheet: return PutSpreadsheetField(p, text);
        case Text::Terminal: {
            std::string shown(text.size() * 4, '\0');
            shown.resize(static_cast<std::size_t>(PutTerminalText(shown.data(), text) - shown.data()));
            return PutCsvField(p, shown);
        }
    }
    return PutCsvField(p, text);
}

void CsvExport::SetFloor(const std::string& name, int level) {
    std::string field(256 * 4 + 2 + 16, '\0');
    char* p = PutTextField(field.data(), std::string_view(name).substr(0, 256));
    *p++ = ',';
    p = PutSigned(p, level);
    *p++ = ',';
    field.resize(static_cast<std::size_t>(p - field.data()));
    floor_ = std::move(field);
}

void CsvExport::WriteHeader() {
    if (fileColumn_) out_.Append("file,");
    if (floorColumns_) out_.Append("floor,level,");
    out_.Append("point,offset,kind,x,y,lat,lon,month,day,year,hour,minute,second,fix,channel,mac,level,ssid");
    out_.Append(plan_.Metres() ? ",x_m,y_m\n" : "\n");
}

bool CsvExport::Add(SurveyScan& scan, const std::string& name) {
    const std::uint64_t start = out_.Size();
    char head[kMaxHead];
    char* nameEnd = head;
    if (fileColumn_) {
        nameEnd = PutTextField(head, std::string_view(name).substr(0, 4096));
        *nameEnd++ = ',';
    }
    if (floorColumns_) nameEnd = PutText(nameEnd, floor_.data(), floor_.size());
    const bool ok = scan.ForEachGroup([&](const SurveyGroup& g) {
        const auto& p = g.point;
        std::int32_t x = p.x, y = p.y;
        const PointFacts facts = FactsOf(g, projection_);
        if (projection_ && facts.hasPlan) x = facts.x, y = facts.y;
        // What a point of no GPS kind stores as latitude and longitude is no position.
        const bool gpsKind = p.kind == 0 || p.kind == 1 || (p.kind == 255 && (p.latitude != 0 || p.longitude != 0));
        // ",x_m,y_m" after the SSID: the same for every row of the point.
        char metres[96];
        char* metresEnd = metres;
        if (plan_.Metres()) {
            *metresEnd++ = ',';
            if (facts.hasPlan) metresEnd = PutFixed(metresEnd, plan_.X(x), 3);
            *metresEnd++ = ',';
            if (facts.hasPlan) metresEnd = PutFixed(metresEnd, plan_.Y(y), 3);
        }
        const std::size_t metresSize = static_cast<std::size_t>(metresEnd - metres);
        char* h = nameEnd;
        h = PutUnsigned(h, g.number);
        *h++ = ',';
        h = PutUnsigned(h, g.offset);
        *h++ = ',';
        h = PutUnsigned(h, p.kind);
        *h++ = ',';
        h = PutSigned(h, x);
        *h++ = ',';
        h = PutSigned(h, y);
        *h++ = ',';
        if (gpsKind) h = PutDegrees(h, p.latitude);
        *h++ = ',';
        if (gpsKind) h = PutDegrees(h, p.longitude);
        for (unsigned v : {unsigned{p.month}, unsigned{p.day}, 1980u + p.year, unsigned{p.hour}, unsigned{p.minute},
                           unsigned{p.second}, unsigned{p.fix}}) {
            *h++ = ',';
            h = PutUnsigned(h, v);
        }
        const std::size_t headSize = static_cast<std::size_t>(h - head);
        if (g.aps.empty()) {
            char* o = out_.Room(headSize + 8 + metresSize);
            o = PutText(o, head, headSize);
            o = PutLiteral(o, ",,,,");
            o = PutText(o, metres, metresSize);
            *o++ = '\n';
            out_.Commit(o);
            return;
        }
        for (const auto& ap : g.aps) {
            char* o = out_.Room(headSize + kMaxTail + metresSize);
            o = PutText(o, head, headSize);
            *o++ = ',';
            o = PutUnsigned(o, ap.channel);
            *o++ = ',';
            o = PutMac(o, ap.mac);
            *o++ = ',';
            o = PutSigned(o, ap.Level());
            *o++ = ',';
            std::size_t n = 0;
            while (n < ap.ssid.size() && ap.ssid[n] != '\0') ++n;
            o = PutTextField(o, std::string_view(ap.ssid.data(), n));
            o = PutText(o, metres, metresSize);
            *o++ = '\n';
            out_.Commit(o);
        }
    });
    if (!ok) out_.CutBackTo(start);
    return ok;
}

}  // namespace quorl::exports
