#include "export/KmlExport.h"

#include "export/TextEscape.h"
#include "export/TextFormat.h"

namespace quorl::exports {

namespace {
// aabbggrr of the site view's brushes: black, red, green, blue, white.
constexpr const char* kClassColours[5] = {"ff000000", "ff0000c0", "ff00c000", "ffc00000", "ffffffff"};
constexpr const char* kClassNames[5] = {"below -90 dBm", "-90 to -71 dBm", "-70 to -51 dBm", "-50 to -31 dBm",
                                        "above -31 dBm"};
}  // namespace

KmlExport::KmlExport(OutputBuffer& out, const AffineTransform* projection) : out_(out), projection_(projection) {}

int KmlExport::SignalClass(int strongest) {
    if (strongest < -90) return 1;
    if (strongest <= -71) return 2;
    if (strongest <= -51) return 3;
    if (strongest <= -31) return 4;
    return 5;
}

void KmlExport::Begin() {
    out_.Append(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n<name>Quorl survey points</name>\n"
        "<Schema name=\"quorl_point\" id=\"quorl_point\">"
        "<SimpleField name=\"file\" type=\"string\"/><SimpleField name=\"point\" type=\"int\"/>"
        "<SimpleField name=\"kind\" type=\"string\"/><SimpleField name=\"x\" type=\"int\"/>"
        "<SimpleField name=\"y\" type=\"int\"/><SimpleField name=\"time\" type=\"string\"/>"
        "<SimpleField name=\"fix\" type=\"int\"/><SimpleField name=\"strongest\" type=\"int\"/>"
        "<SimpleField name=\"access_points\" type=\"int\"/></Schema>\n");
    for (int i = 0; i < 5; ++i) {
        out_.Append("<Style id=\"level-" + std::to_string(i + 1) + "\"><IconStyle><color>" + kClassColours[i] +
                    "</color><scale>0.8</scale><Icon><href>http://maps.google.com/mapfiles/kml/shapes/"
                    "placemark_circle.png</href></Icon></IconStyle><LabelStyle><scale>0</scale></LabelStyle>"
                    "</Style>\n");
    }
}

void KmlExport::End() { out_.Append("</Document>\n</kml>\n"); }

KmlExport::Result KmlExport::Add(SurveyScan& scan, const std::string& name) {
    const std::uint64_t start = out_.Size();
    bool folderOpen = false;
    const std::string folderName = MarkupText(name);
    const std::string fileData = "<SimpleData name=\"file\">" + folderName + "</SimpleData>";
    const bool ok = scan.ForEachGroup([&](const SurveyGroup& g) {
        const auto& p = g.point;
        if (p.kind == 255) return;
        const PointFacts f = FactsOf(g, projection_);
        if (!f.hasPosition) return;
        if (!folderOpen) {
            out_.Append("<Folder>\n<name>" + folderName + "</name>\n");
            folderOpen = true;
        }
        const int cls = SignalClass(f.strongest);
        char* o = out_.Room(1024);
        o = PutLiteral(o, "<Placemark><name>");
        o = PutUnsigned(o, g.number);
        o = PutLiteral(o, "</name><description><![CDATA[<p>Point ");
        o = PutUnsigned(o, g.number);
        *o++ = ' ';
        const char* kind = KindName(p.kind);
        o = PutText(o, kind, std::char_traits<char>::length(kind));
        o = PutLiteral(o, ", fix ");
        o = PutUnsigned(o, p.fix);
        o = PutLiteral(o, ", ");
        o = PutText(o, kClassNames[cls - 1], std::char_traits<char>::length(kClassNames[cls - 1]));
        o = PutLiteral(o, "</p><table><tr><th>MAC</th><th>SSID</th><th>Channel</th><th>Level</th></tr>");
        out_.Commit(o);
        for (const auto& ap : g.aps) {
            o = out_.Room(128 + 32 * kMaxEscaped);
            o = PutLiteral(o, "<tr><td>");
            o = PutMac(o, ap.mac);
            o = PutLiteral(o, "</td><td>");
            std::size_t n = 0;
            while (n < ap.ssid.size() && ap.ssid[n] != '\0') ++n;
            o = PutMarkupText(o, std::string_view(ap.ssid.data(), n));
            o = PutLiteral(o, "</td><td>");
            o = PutUnsigned(o, ap.channel);
            o = PutLiteral(o, "</td><td>");
            o = PutSigned(o, ap.Level());
            o = PutLiteral(o, "</td></tr>");
            out_.Commit(o);
        }
        o = out_.Room(512);
        o = PutLiteral(o, "</table>]]></description>");
        char when[32];
        const char* whenEnd = PutIsoTime(when, p, f.gpsTime);
        if (whenEnd != when) {
            o = PutLiteral(o, "<TimeStamp><when>");
            o = PutText(o, when, static_cast<std::size_t>(whenEnd - when));
            o = PutLiteral(o, "</when></TimeStamp>");
        }
        o = PutLiteral(o, "<styleUrl>#level-");
        *o++ = static_cast<char>('0' + cls);
        o = PutLiteral(o, "</styleUrl>");
        out_.Commit(o);
        out_.Append("<ExtendedData><SchemaData schemaUrl=\"#quorl_point\">");
        out_.Append(fileData);
        o = out_.Room(1024);
        o = PutLiteral(o, "<SimpleData name=\"point\">");
        o = PutUnsigned(o, g.number);
        o = PutLiteral(o, "</SimpleData><SimpleData name=\"kind\">");
        o = PutText(o, kind, std::char_traits<char>::length(kind));
        o = PutLiteral(o, "</SimpleData>");
        if (f.hasPlan) {
            o = PutLiteral(o, "<SimpleData name=\"x\">");
            o = PutSigned(o, f.x);
            o = PutLiteral(o, "</SimpleData><SimpleData name=\"y\">");
            o = PutSigned(o, f.y);
            o = PutLiteral(o, "</SimpleData>");
        }
        if (whenEnd != when) {
            o = PutLiteral(o, "<SimpleData name=\"time\">");
            o = PutText(o, when, static_cast<std::size_t>(whenEnd - when));
            o = PutLiteral(o, "</SimpleData>");
        }
        o = PutLiteral(o, "<SimpleData name=\"fix\">");
        o = PutUnsigned(o, p.fix);
        o = PutLiteral(o, "</SimpleData>");
        if (f.anyAp) {
            o = PutLiteral(o, "<SimpleData name=\"strongest\">");
            o = PutSigned(o, f.strongestHeard);
            o = PutLiteral(o, "</SimpleData>");
        }
        o = PutLiteral(o, "<SimpleData name=\"access_points\">");
        o = PutUnsigned(o, g.aps.size());
        o = PutLiteral(o, "</SimpleData></SchemaData></ExtendedData>");
        o = PutLiteral(o, "<Point><coordinates>");
        o = PutDegrees(o, p.longitude);
        *o++ = ',';
        o = PutDegrees(o, p.latitude);
        o = PutLiteral(o, "</coordinates></Point></Placemark>\n");
        out_.Commit(o);
    });
    if (!ok) {
        out_.CutBackTo(start);
        return Result::ReadFailed;
    }
    if (!folderOpen) return Result::NoPosition;
    out_.Append("</Folder>\n");
    return Result::Added;
}

}  // namespace quorl::exports
