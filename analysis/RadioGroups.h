#pragma once
// One access point radio often broadcasts several networks (SSIDs), each
// under a BSSID of its own that its maker derives from the radio's MAC
// address by changing the last hex digit. Two BSSIDs count as one radio
// when
//   - their first five bytes are the same and the last byte differs only in
//     its low hex digit (00-0A-1B-2C-3D-40 to ...-4F are one block; ...-3F
//     and ...-40 are not),
//   - they are on the same channel: one radio sends on one channel, so the
//     2.4 and 5 GHz radios of one box stay two radios, and
//   - they were heard at the same points at the same strength: one antenna
//     sends both, so the median difference of their levels over the points
//     that heard both is at most kSameRadioDb. Two boxes whose addresses
//     happen to share a block and a channel differ far more; BSSIDs never
//     heard together are not joined.
// A radio is a connected set of such pairs.

#include <string>
#include <vector>

#include "analysis/SurveyPoints.h"
#include "analysis/SurveySummary.h"

namespace quorl::analysis {

// The first five bytes and the high digit of the last agree.
bool SameAddressBlock(const MacAddress& a, const MacAddress& b);

// "00-0A-1B-2C-3D-4x": the block of a MAC address.
std::string AddressBlockText(const MacAddress& mac);

inline constexpr int kSameRadioDb = 6;

struct RadioGroup {
    MacAddress block{};  // the members' block, last digit 0
    int channel = 0;
    int strongest = -200;                // dBm, the strongest member's
    std::vector<std::size_t> members;    // indices into the rows, strongest first
};

// The survey's access point rows grouped by radio, strongest radio first;
// every row in exactly one group.
std::vector<RadioGroup> GroupByRadio(const std::vector<AccessPointRow>& rows, const Survey& survey);

// The BSSIDs and channels of the radio `mac` belongs to in the survey;
// empty when `mac` is not heard there.
std::vector<std::pair<MacAddress, int>> RadioMembers(const Survey& survey, const MacAddress& mac);

}  // namespace quorl::analysis
