#pragma once
// What makes a survey the same survey in the database: the header and
// record sizes and every complete group, as the walk reports them. A
// repair cuts an unfinished tail (and may skip damaged spans), never a
// complete group, so a torn file imported before and after its repair is
// one survey. Groups are hashed as decoded and encoded again: the bytes
// a wider record carries past our fields are not part of a survey's content.

#include <cstdint>
#include <string>

#include "export/SurveyScan.h"

namespace quorl::exports {

struct SurveyIdentity {
    std::string sha256;        // lower-case hex
    std::uint64_t groups = 0;  // groups the walk visited, complete or not
};

// False with scan.Error() set when a read failed.
bool IdentifySurvey(SurveyScan& scan, SurveyIdentity& identity);

// A group whose access point records are all there.
inline bool IsComplete(const SurveyGroup& group) { return group.aps.size() == group.point.apCount; }

}  // namespace quorl::exports
