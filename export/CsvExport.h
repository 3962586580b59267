#pragma once
// CSV (RFC 4180), one row per access point record and one for a point
// without any: point, offset, kind, plan x and y, latitude, longitude, date,
// time, fix, channel, MAC address, level and SSID. `quorl ssd dump` prints
// it; the export puts the file's name in front when it joins several.

#include <string>
#include <string_view>

#include "export/OutputBuffer.h"
#include "export/SurveyScan.h"

namespace quorl::exports {

class CsvExport {
public:
    // How text fields (SSID, file name) go out: the exact bytes; made safe
    // for a spreadsheet (no formulas, see PutSpreadsheetField); or made safe
    // for a terminal (no control bytes, see PutTerminalText).
    enum class Text { Exact, Spreadsheet, Terminal };

    // `projection` (may be null) gives GPS points their plan x and y.
    CsvExport(OutputBuffer& out, bool fileColumn, const AffineTransform* projection = nullptr,
              Text text = Text::Exact);
    void WriteHeader();
    // The rows of one collection, `name` in the file column. False (scan's
    // Error() set) when reading failed; what it wrote is then taken back.
    bool Add(SurveyScan& scan, const std::string& name);

private:
    char* PutTextField(char* p, std::string_view text) const;

    OutputBuffer& out_;
    bool fileColumn_;
    const AffineTransform* projection_;
    Text text_;
};

}  // namespace quorl::exports
