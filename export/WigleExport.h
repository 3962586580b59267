#pragma once
// WiGLE CSV 1.6, the layout wardriving map sites and their tools read: a
// pre-header line naming the writer, the column header, then one row per
// access point heard at a point with a position on the earth. Only GPS
// points (kinds 0 and 1) have one; plan taps and markers have no latitude
// and longitude and are left out, as are deleted points. A position beyond
// ±90° latitude or ±180° longitude is no place on the earth: its point is
// left out and counted. The unit measures neither the security of a network
// nor altitude or accuracy, so AuthMode, AltitudeMeters, AccuracyMeters,
// RCOIs and MfgrId stay empty, as the format allows. SSIDs are written as
// UTF-8, bytes that are not replaced by U+FFFD each.

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
    // Points left out so far for a position off the earth.
    std::uint64_t OffEarth() const { return offEarth_; }

    // MHz of a channel number (1-14: 2.4 GHz, 32-177: 5 GHz); 0 for none.
    static int FrequencyOf(std::uint32_t channel);

private:
    OutputBuffer& out_;
    std::string release_;
    std::uint64_t offEarth_ = 0;
};

}  // namespace quorl::exports
