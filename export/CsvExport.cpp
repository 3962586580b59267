#include "export/CsvExport.h"

#include "export/TextEscape.h"
#include "export/TextFormat.h"

namespace quorl::exports {

namespace {
// File column (escaped name, at most 4 KB of it) and the point's fields.
constexpr std::size_t kMaxHead = 4096 * 4 + 2 + 256;
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

void CsvExport::WriteHeader() {
    if (fileColumn_) out_.Append("file,");
    out_.Append("point,offset,kind,x,y,lat,lon,month,day,year,hour,minute,second,fix,channel,mac,level,ssid\n");
}

bool CsvExport::Add(SurveyScan& scan, const std::string& name) {
    const std::uint64_t start = out_.Size();
    char head[kMaxHead];
    char* nameEnd = head;
    if (fileColumn_) {
        nameEnd = PutTextField(head, std::string_view(name).substr(0, 4096));
        *nameEnd++ = ',';
    }
    const bool ok = scan.ForEachGroup([&](const SurveyGroup& g) {
        const auto& p = g.point;
        std::int32_t x = p.x, y = p.y;
        if (projection_) {
            const PointFacts facts = FactsOf(g, projection_);
            if (facts.hasPlan) x = facts.x, y = facts.y;
        }
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
        h = PutDegrees(h, p.latitude);
        *h++ = ',';
        h = PutDegrees(h, p.longitude);
        for (unsigned v : {unsigned{p.month}, unsigned{p.day}, 1980u + p.year, unsigned{p.hour}, unsigned{p.minute},
                           unsigned{p.second}, unsigned{p.fix}}) {
            *h++ = ',';
            h = PutUnsigned(h, v);
        }
        const std::size_t headSize = static_cast<std::size_t>(h - head);
        if (g.aps.empty()) {
            char* o = out_.Room(headSize + 8);
            o = PutText(o, head, headSize);
            out_.Commit(PutLiteral(o, ",,,,\n"));
            return;
        }
        for (const auto& ap : g.aps) {
            char* o = out_.Room(headSize + kMaxTail);
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
            *o++ = '\n';
            out_.Commit(o);
        }
    });
    if (!ok) out_.CutBackTo(start);
    return ok;
}

}  // namespace quorl::exports
