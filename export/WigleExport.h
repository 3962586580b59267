#pragma once
// WiGLE CSV 1.6, the layout wardriving map sites and their tools read: a
// pre-header line naming the writer, the column header, then one row per
// access point heard at a point with a position on the earth. Only GPS
// points (kinds 0 and 1) taken with a GPS fix (2D or 3D) have one; points
// without a fix, plan taps and markers are left out and counted, deleted
// points left out. A position beyond ±90° latitude or ±180° longitude is
// no place on the earth: its point is left out and counted. FirstSeen is
// UTC (the GPS time less its leap seconds). The unit measures neither the
// security of a network nor altitude or accuracy (its fix says 2D or 3D,
// no error in metres), so AuthMode, AltitudeMeters, AccuracyMeters, RCOIs
// and MfgrId stay empty, as the format allows. SSIDs are written as UTF-8,
// bytes that are not replaced by U+FFFD each.

#include <cstdint>
#include <string>

#include "export/OutputBuffer.h"
#include "export/SurveyScan.h"

namespace quorl::exports {

class WigleExport {
public:
    enum class Result { Added, ReadFailed, NoPosition };

    // `release` is the writer's version, given in the pre-header.
    WigleExport(OutputBuffer& out, std::string release);
    void WriteHeader();
    // The rows of one collection. A file without a single geolocated point
    // adds nothing (NoPosition); one that fails to read has its rows taken
    // back (ReadFailed).
    Result Add(SurveyScan& scan);
    // Points left out so far: for a position off the earth; GPS points
    // taken without a fix; plan taps and markers (no place on the earth).
    std::uint64_t OffEarth() const { return offEarth_; }
    std::uint64_t WithoutFix() const { return withoutFix_; }
    std::uint64_t OnPlanOnly() const { return onPlanOnly_; }

    // MHz of a channel number (1-14: 2.4 GHz, 32-177: 5 GHz); 0 for none.
    static int FrequencyOf(std::uint32_t channel);

private:
    OutputBuffer& out_;
    std::string release_;
    std::uint64_t offEarth_ = 0;
    std::uint64_t withoutFix_ = 0;
    std::uint64_t onPlanOnly_ = 0;
};

}  // namespace quorl::exports
