#pragma once
// CSV (RFC 4180), one row per access point record and one for a point
// without any: point, offset, kind, plan x and y, latitude, longitude, date,
// time, fix, channel, MAC address, level and SSID. `quorl ssd dump` prints
// it; the export puts the file's name in front when it joins several.

#include <string>

#include "export/OutputBuffer.h"
#include "export/SurveyScan.h"

namespace quorl::exports {

class CsvExport {
public:
    // `projection` (may be null) gives GPS points their plan x and y.
    CsvExport(OutputBuffer& out, bool fileColumn, const AffineTransform* projection = nullptr);
    void WriteHeader();
    // The rows of one collection, `name` in the file column. False (scan's
    // Error() set) when reading failed; what it wrote is then taken back.
    bool Add(SurveyScan& scan, const std::string& name);

private:
    OutputBuffer& out_;
    bool fileColumn_;
    const AffineTransform* projection_;
};

}  // namespace quorl::exports
