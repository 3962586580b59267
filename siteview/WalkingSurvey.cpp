#include "siteview/WalkingSurvey.h"

#include <algorithm>
#include <chrono>

#include "common/Timing.h"
#include "siteview/SurveyWorkflow.h"
#include "survey/SiteData.h"
#include "survey/SiteProjection.h"

namespace quorl {

namespace {

double SteadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

WalkingSurvey::WalkingSurvey(const SurveyContext& survey) : survey_(survey), clock_(SteadySeconds) {}

std::uint8_t WalkingSurvey::PointKind() const {
    return survey_.projection.Kind() == CSiteProjection::kLinearProjection ? CSiteData::kPlanTap
                                                                            : CSiteData::kProjectedTap;
}

int WalkingSurvey::SweepSeconds(int channelCount) {
    const int stepMs = timing::kSweepStepTicks * timing::kSiteViewTickMs;
    return (std::max(channelCount, 0) + 1) * stepMs / 1000;
}

void WalkingSurvey::Enter() {
    if (phase_ != Phase::Off) return;
    phase_ = Phase::Placing;
    path_.Clear();
    stored_.clear();
}

bool WalkingSurvey::Leave() {
    if (Sweeping()) return false;
    phase_ = Phase::Off;
    path_.Clear();
    return true;
}

bool WalkingSurvey::ClearPath() {
    if (Sweeping()) return false;
    path_.Clear();
    stored_.clear();
    return true;
}

bool WalkingSurvey::Tap(PlanPoint at, std::string& failure) {
    switch (phase_) {
        case Phase::Placing:
            // Until play, the last tap is the start.
            path_.Clear();
            path_.Add(Now(), at);
            return true;
        case Phase::Walking:
            path_.Add(Now(), at);
            return StoreWaiting(false, failure);
        default:
            return true;
    }
}

bool WalkingSurvey::Start() {
    if (phase_ != Phase::Placing || path_.Empty()) return false;
    // The walk begins now, from the start tap.
    const PlanPoint start = path_.Taps().front().at;
    path_.Clear();
    path_.Add(Now(), start);
    stored_.clear();
    waiting_.clear();
    discard_ = false;
    phase_ = Phase::Walking;
    BeginSweep();
    return true;
}

void WalkingSurvey::Stop() {
    if (phase_ == Phase::Walking) phase_ = Phase::Stopping;
}

void WalkingSurvey::BeginSweep() {
    sweepStart_ = Now();
    survey_.engine.StartScan();
}

bool WalkingSurvey::Step(std::string& failure) {
    CEngine& engine = survey_.engine;
    if (!Sweeping()) return true;
    if (engine.SweepActive()) {
        engine.NextChannel();
        return true;
    }
    if (!engine.EndSweep()) return true;
    if (discard_) {
        waiting_.clear();
        phase_ = Phase::Placing;
        return true;
    }
    if (!engine.UnitAnswering()) {
        // No unit, no survey: this sweep heard nothing and is not stored;
        // the walk ends here with what was heard before.
        phase_ = Phase::Placing;
        unitLost_ = true;
        return StoreWaiting(true, failure);
    }
    // The table holds this sweep alone: the next StartScan empties it.
    waiting_.push_back(Waiting{sweepStart_, Now(), engine.CopyApTable(), phase_ == Phase::Stopping});
    if (phase_ == Phase::Stopping) {
        phase_ = Phase::Placing;
        return StoreWaiting(true, failure);
    }
    BeginSweep();
    if (StoreWaiting(false, failure)) return true;
    // Nothing more can be stored: this sweep ends the walk unstored.
    discard_ = true;
    phase_ = Phase::Stopping;
    return false;
}

bool WalkingSurvey::StoreWaiting(bool all, std::string& failure) {
    std::size_t done = 0;
    bool ok = true;
    for (; done < waiting_.size(); ++done) {
        const Waiting& sweep = waiting_[done];
        const double middle = (sweep.start + sweep.end) / 2;
        if (!all && !path_.Covers(middle)) break;
        const PlanPoint at = sweep.atLastTap ? path_.Taps().back().at : path_.PositionAt(middle);
        CSiteData& data = survey_.data;
        // The file's own report and what follows from it, in one box.
        data.SetReportFailures(false);
        // Stored now, heard then: the point carries the time of its sweep's middle.
        data.RecordPointAt(PointKind(), at.x, at.y, sweep.heard, std::max(Now() - middle, 0.0));
        data.SetReportFailures(true);
        if (data.LastFileFailed()) {
            failure = data.LastFailureText() + "\n\n" + SurveyWorkflow::kStoreFailedText;
            data.CloseCollection();
            waiting_.clear();
            ok = false;
            done = 0;
            break;
        }
        stored_.push_back(Sweep{sweep.start, sweep.end, at});
    }
    waiting_.erase(waiting_.begin(), waiting_.begin() + static_cast<std::ptrdiff_t>(done));
    if (!ok && Sweeping()) {
        discard_ = true;
        phase_ = Phase::Stopping;
    }
    return ok;
}

}  // namespace quorl
