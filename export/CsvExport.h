#pragma once
// CSV (RFC 4180), one row per access point record and one for a point
// without any: point, offset, kind, plan x and y, latitude, longitude, date,
// time, fix, channel, MAC address, level and SSID. `quorl ssd dump` prints
// it; the export puts the file's name in front when it joins several.
// Latitude and longitude are empty for plan taps and markers (they store
// none; 0,0 would be a place in the ocean). Given a plan scale, two more
// columns x_m and y_m hold the point's place on the plan in metres, in the
// plan's own system (PlanFrame.h: y up, so negative on the plan).

#include <string>
#include <string_view>

#include "export/OutputBuffer.h"
#include "export/PlanFrame.h"
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
    // Adds floor and level after the file column (a building's export);
    // call before WriteHeader(), then SetFloor before each Add.
    void SetFloorColumns() { floorColumns_ = true; }
    // The floor of the rows the next Add writes (its name cut at 256 bytes).
    void SetFloor(const std::string& name, int level);
    // The projection for the next Add's GPS points (each floor has its own).
    void SetProjection(const AffineTransform* projection) { projection_ = projection; }
    // Adds x_m and y_m when the frame is in metres; call before WriteHeader().
    void SetPlanFrame(const PlanFrame& frame) { plan_ = frame; }
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
    PlanFrame plan_;
    bool floorColumns_ = false;
    std::string floor_;  // "NAME,LEVEL," as the rows carry it
};

}  // namespace quorl::exports
