#include "siteview/SurveyWorkflow.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "common/Timing.h"
#include "common/UserMessages.h"
#include "engine/Engine.h"
#include "engine/GpsStatus.h"
#include "survey/SiteData.h"
#include "survey/SitePlan.h"
#include "survey/SiteProjection.h"

namespace quorl {

namespace {

FileDialogRequest CollectionDialog(bool open) {
    FileDialogRequest request;
    request.open = open;
    request.defaultExtension = SurveyWorkflow::kCollectionExtension;
    request.initialName = SurveyWorkflow::kCollectionInitialName;
    request.filter = SurveyWorkflow::kCollectionFilter;
    // Open: the folder must exist, the file need not. Save: an existing
    // survey is never emptied without a question.
    request.mustExist = false;
    request.confirmOverwrite = true;
    return request;
}

}  // namespace

SurveyWorkflow::SurveyWorkflow(const SurveyContext& survey) : survey_(survey), walk_(survey) {}

SurveyWorkflow::State SurveyWorkflow::CurrentState() const {
    if (walk_.Sweeping()) return State::Walking;
    if (collectionIdle_) return State::NotCollecting;
    if (singlePoint_) return State::SinglePoint;
    return stopRequested_ ? State::Stopping : State::Automatic;
}

bool SurveyWorkflow::ChooseCollection(bool planShown) {
    IUserMessages& messages = survey_.messages;
    if (!planShown) {
        messages.ShowPlain(kLoadProjectionText);
        return true;
    }
    // The walk's points belong to the file it began with.
    if (walk_.Sweeping()) {
        messages.ShowPlain(kWalkBusyText);
        return true;
    }
    const IUserMessages::Answer answer = messages.Ask(kOpenExistingQuestion);
    if (answer == IUserMessages::Answer::Escaped) return true;
    const bool open = answer == IUserMessages::Answer::Yes;
    const auto path = messages.ChooseFile(CollectionDialog(open));
    if (!path) {
        if (open) return true;
        messages.ShowPlain(kNoCollectionText);
        CloseCollection();
        return false;
    }
    UseCollection(*path, !open);
    return true;
}

bool SurveyWorkflow::UseCollection(const std::string& path, bool create) {
    CSiteData& data = survey_.data;
    // Refused: what was open stays open.
    if (guard_ && !guard_->AllowCollection(path)) return false;
    walk_.ClearPath();
    data.SetCollectionPath(path);
    // A file that cannot be read or made has been reported; taps then ask
    // for a file rather than sweeping for a point that cannot be stored.
    if (create ? data.CreateCollection() : data.LoadCollection()) {
        collectionOpen_ = true;
        if (guard_) guard_->CollectionOpened(path);
        return true;
    }
    CloseCollection();
    return false;
}

bool SurveyWorkflow::Busy(bool tell) const {
    const char* why = walk_.Sweeping() ? kWalkBusyText : !collectionIdle_ ? kPointBusyText : nullptr;
    if (why && tell) survey_.messages.ShowPlain(why);
    return why != nullptr;
}

bool SurveyWorkflow::OpenCollection(const std::string& path, bool create, bool planShown) {
    if (!planShown) {
        survey_.messages.ShowPlain(kLoadProjectionText);
        return false;
    }
    if (Busy(true)) return false;
    return UseCollection(path, create);
}

bool SurveyWorkflow::CollectionOpen() const { return collectionOpen_ && !survey_.data.CollectionPath().empty(); }

void SurveyWorkflow::CloseCollection() {
    survey_.data.CloseCollection();
    collectionOpen_ = false;
    // A sweep under way ends without storing: there is no file for it.
    if (!collectionIdle_) stopRequested_ = true;
}

void SurveyWorkflow::StartAutomatic() {
    IUserMessages& messages = survey_.messages;
    if (walk_.On()) {
        // Play for the walk, on either projection.
        if (!CollectionOpen())
            messages.ShowPlain(kSelectCollectionText);
        else if (!walk_.Sweeping() && !survey_.engine.UnitAnswering())
            messages.ShowPlain(kNoUnitText);
        else if (!walk_.Sweeping() && !walk_.Start())
            messages.ShowPlain(kWalkStartText);
        return;
    }
    if (survey_.projection.Kind() == CSiteProjection::kLinearProjection) {
        ShowMessage(messages, "%s", kNeedGpsProjectionText);
        return;
    }
    if (survey_.gps.lock3d.load(std::memory_order_relaxed) != 1) {
        ShowMessage(messages, "%s", kNotLockedText);
        return;
    }
    if (!survey_.projection.Loaded()) {
        messages.ShowPlain(kSelectProjectionText);
        return;
    }
    if (survey_.data.CollectionPath().empty()) {
        messages.ShowPlain(kSelectCollectionText);
        return;
    }
    // Refused before a sweep is spent on a point that cannot be stored.
    if (!survey_.data.CheckWritable()) return;
    if (!survey_.engine.UnitAnswering()) {
        messages.ShowPlain(kNoUnitText);
        return;
    }
    // A tapped point is never thrown away half-swept.
    if (singlePoint_) {
        messages.ShowPlain(kPointBusyText);
        return;
    }
    if (!StoreFinishedSweep()) return;
    stopRequested_ = false;
    BeginAutomaticPoint();
}

void SurveyWorkflow::StopAutomatic() {
    if (walk_.On()) {
        walk_.Stop();
        return;
    }
    // Also between a sweep's last channel and the step that stores its
    // point: a press then must not go unheard.
    if (!collectionIdle_) stopRequested_ = true;
}

void SurveyWorkflow::ToggleWalking() {
    if (walk_.On()) {
        if (!walk_.Leave()) survey_.messages.ShowPlain(kWalkBusyText);
        return;
    }
    // A point under way is finished first.
    if (!collectionIdle_) {
        survey_.messages.ShowPlain(kPointBusyText);
        return;
    }
    walk_.Enter();
}

bool SurveyWorkflow::UndoLastPoint() {
    IUserMessages& messages = survey_.messages;
    CSiteData& data = survey_.data;
    if (!CollectionOpen()) {
        messages.ShowPlain(kOpenLogFileText);
        return false;
    }
    // Only points this run appended, found by their place in the file (a
    // walk again after another writer's append renumbers the list, never
    // the offsets); access point markers are never taken here.
    const std::vector<CSiteData::_tap> points = data.Points();
    std::unordered_map<std::uint32_t, std::size_t> byOffset;
    for (std::size_t i = 0; i < points.size(); ++i) byOffset[points[i].offset] = i;
    std::optional<std::size_t> newest;
    const std::vector<std::uint32_t>& appended = data.AppendedOffsets();
    for (auto at = appended.rbegin(); at != appended.rend() && !newest; ++at) {
        const auto found = byOffset.find(*at);
        if (found == byOffset.end()) continue;
        const std::uint8_t kind = points[found->second].kind;
        if (kind == CSiteData::kGpsPoint || kind == CSiteData::kProjectedTap || kind == CSiteData::kPlanTap)
            newest = found->second;
    }
    if (!newest) {
        messages.ShowPlain(kNothingToUndoText);
        return false;
    }
    // A view-only file says so before the question, not after it.
    if (!data.CheckWritable()) return false;
    if (messages.Ask(kUndoQuestion) != IUserMessages::Answer::Yes) return false;
    // Done as asked: news, not a warning.
    if (!data.SelectPointAt(*newest) || !data.DeleteSelectedPointQuietly()) return false;
    messages.ShowInfo(kDeletedText);
    return true;
}

bool SurveyWorkflow::SelectPoint(const PlanRect& client, std::int32_t sx, std::int32_t sy) {
    informationMode_ = false;
    const PlanPoint at = survey_.plan.ScreenToPlan(client, sx, sy);
    // A deleted point answers like none at all.
    if (survey_.data.FindNearestPoint(at.x, at.y) == CSiteData::kNoPoint) {
        survey_.messages.ShowPlain(kNoPointInRangeText);
        return false;
    }
    return true;
}

SurveyWorkflow::TapResult SurveyWorkflow::TakePoint(const PlanRect& client, std::int32_t sx, std::int32_t sy,
                                                    bool planShown) {
    IUserMessages& messages = survey_.messages;
    if (!CollectionOpen()) {
        messages.ShowPlain(kOpenLogFileText);
        return TapResult::Refused;
    }
    if (!survey_.data.CheckWritable()) return TapResult::Refused;
    // Nothing on show to place the point on.
    if (!planShown) {
        messages.ShowPlain(kLoadProjectionText);
        return TapResult::Refused;
    }
    // One tapped point at a time; a second tap would throw the first away.
    if (singlePoint_) {
        messages.ShowPlain(kPointBusyText);
        return TapResult::Refused;
    }
    if (!StoreFinishedSweep()) return TapResult::Refused;
    // A sweep without a unit hears nothing: no empty point. A walk's taps
    // place its path; its play is what is refused.
    if (!walk_.On() && !survey_.engine.UnitAnswering()) {
        messages.ShowPlain(kNoUnitText);
        return TapResult::Refused;
    }

    CSitePlan& plan = survey_.plan;
    // The plan pixel under the tap, kept on the plan. The plan is centred
    // on it as far as it goes: a plan shown whole stays where it is, so the
    // point is never taken from the centre.
    const PlanPoint tapped = plan.ScreenToPlan(client, sx, sy);
    const PlanPoint at{std::clamp(tapped.x, 0, std::max(plan.MaxX(), 0)),
                       std::clamp(tapped.y, 0, std::max(plan.MaxY(), 0))};
    if (walk_.On()) {
        if (walk_.CurrentPhase() == WalkingSurvey::Phase::Stopping) {
            messages.ShowPlain(kPointBusyText);
            return TapResult::Refused;
        }
        plan.CentreOn(at.x, at.y);
        std::string failure;
        if (!walk_.Tap(at, failure)) ReportStoreFailure(failure);
        return TapResult::Walk;
    }
    plan.CentreOn(at.x, at.y);
    if (survey_.projection.Kind() == CSiteProjection::kLinearProjection) {
        // The scan view steps this sweep; the view's timer must not step it
        // as well, so automatic scanning left from a GPS plan ends here.
        FinishCollecting();
        survey_.data.BeginPoint(CSiteData::kPlanTap, at.x, at.y);
        survey_.engine.StartScan();
        return TapResult::ScanView;
    }
    // Replaces the pending point of automatic scanning, if any.
    collectionIdle_ = false;
    singlePoint_ = true;
    stopRequested_ = false;
    survey_.data.BeginPoint(CSiteData::kProjectedTap, at.x, at.y);
    survey_.engine.StartScan();
    return TapResult::SinglePoint;
}

void SurveyWorkflow::Tick() {
    CEngine& engine = survey_.engine;
    if (walk_.Sweeping() && tickCount_ % timing::kSweepStepTicks == 0) {
        std::string failure;
        if (!walk_.Step(failure)) ReportStoreFailure(failure);
        if (walk_.TakeUnitLost()) survey_.messages.ShowPlain(kNoUnitText);
    }
    if (!collectionIdle_ && tickCount_ % timing::kSweepStepTicks == 0) {
        if (engine.SweepActive()) {
            engine.NextChannel();
        } else if (engine.EndSweep()) {
            const bool automatic = !stopRequested_ && !singlePoint_;
            // The state is settled before any box is shown: the timer goes on
            // ticking while a box waits for the user.
            std::string failure;
            if (!StoreEndedPoint(failure)) {
                FinishCollecting();
                if (!failure.empty()) survey_.messages.ShowPlain(failure);
            } else if (!automatic) {
                FinishCollecting();
            } else if (survey_.gps.lock3d.load(std::memory_order_relaxed) == 1) {
                BeginAutomaticPoint();
            } else {
                FinishCollecting();
                ShowMessage(survey_.messages, "%s", kLockLostText);
            }
        }
    }
    ++tickCount_;
}

void SurveyWorkflow::BeginAutomaticPoint() {
    collectionIdle_ = false;
    const std::int32_t x = survey_.projection.PlanXFromGps();
    const std::int32_t y = survey_.projection.PlanYFromGps();
    survey_.data.BeginPoint(CSiteData::kGpsPoint, x, y);
    survey_.plan.CentreOn(x, y);
    survey_.engine.StartScan();
}

void SurveyWorkflow::ReportStoreFailure(const std::string& failure) {
    collectionOpen_ = false;
    FinishCollecting();
    if (!failure.empty()) survey_.messages.ShowPlain(failure);
}

void SurveyWorkflow::FinishCollecting() {
    collectionIdle_ = true;
    singlePoint_ = false;
    stopRequested_ = false;
}

bool SurveyWorkflow::StorePendingPoint(CSiteData& data, std::string& failure) {
    // The file's own report and what follows from it, in one box.
    data.SetReportFailures(false);
    data.RecordPoint();
    data.SetReportFailures(true);
    if (!data.LastFileFailed()) return true;
    failure = data.LastFailureText() + "\n\n" + kStoreFailedText;
    data.CloseCollection();
    return false;
}

bool SurveyWorkflow::StoreEndedPoint(std::string& failure) {
    // The file was given up while the sweep ran (and the user told so).
    if (survey_.data.CollectionPath().empty()) return false;
    // The unit went away during the sweep (a loose cable): it heard nothing
    // that is a survey. The file stays open for when it is back.
    if (!survey_.engine.UnitAnswering()) {
        failure = kNoUnitText;
        return false;
    }
    if (StorePendingPoint(survey_.data, failure)) return true;
    collectionOpen_ = false;
    return false;
}

bool SurveyWorkflow::StoreFinishedSweep() {
    if (collectionIdle_ || !survey_.engine.EndSweep()) return true;
    std::string failure;
    if (StoreEndedPoint(failure)) return true;
    FinishCollecting();
    if (!failure.empty()) survey_.messages.ShowPlain(failure);
    return false;
}

}  // namespace quorl
