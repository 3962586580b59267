#pragma once
// The status panel over the right fifth of the site view: a fill whose
// colour tells the GPS lock, the sweep's progress bar, and lines for the
// zoom, the collection and projection files and the GPS fix.

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/GpsStatus.h"
#include "siteview/SiteLayout.h"

class QPainter;

namespace quorl {

struct SurveyContext;

// What the panel shows, read once per paint.
struct StatusValues {
    bool sweepActive = false;
    std::int32_t channelIndex = 0;
    std::int16_t channelCount = 0;
    std::uint8_t currentChannel = 0;
    std::string collectionName;
    std::uint64_t collectionLength = 0;
    bool collectionReadOnly = false;
    // False: no unit answers (none attached, or the cable is out).
    bool unitAnswering = true;
    std::int32_t pointCount = 0;
    std::string projectionName;
    std::uint64_t projectionLength = 0;
    std::int32_t zoomPercent = 100;
    // How long one sweep of the chosen channels takes.
    std::int32_t sweepSeconds = 0;
    // The walking survey's state, empty outside that mode.
    std::string walk;
    // The floor of the site on show, empty without one.
    std::string floor;
    GpsSnapshot gps;

    static StatusValues Read(const SurveyContext& survey);
};

// Share of the sweep done, channel index x 100 / channel count. An empty
// channel plan has nothing to sweep: 0.
std::uint16_t SweepPercent(std::int32_t channelIndex, std::int16_t channelCount);

// The panel's texts: one per row (empty rows stay empty), the progress
// bar's percentage while a sweep runs, and the lock text.
struct StatusLines {
    std::array<QString, SiteLayout::kRowCount> rows;
    std::optional<std::uint16_t> barPercent;
    QString lock;
    bool operator==(const StatusLines&) const = default;
};
StatusLines StatusPanelLines(const StatusValues& values);

// Fills the panel and writes its lines in the painter's font.
void DrawStatusPanel(QPainter& painter, const SiteLayout& layout, const StatusValues& values);

}  // namespace quorl
