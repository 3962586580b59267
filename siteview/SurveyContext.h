#pragma once
// The survey objects a site view works on. The program has one of each and
// hands them over here; tests make their own.

namespace quorl {

class CEngine;
class CSiteData;
class CSitePlan;
class CSiteProjection;
class GpsStatus;
class IUserMessages;

struct SurveyContext {
    CEngine& engine;
    GpsStatus& gps;
    CSiteData& data;
    CSitePlan& plan;
    CSiteProjection& projection;
    IUserMessages& messages;
};

}  // namespace quorl
