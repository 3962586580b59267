#pragma once
// SurveyWorkflow: the collecting side of the site view. It answers the
// survey commands (collection file, start and stop automatic scanning,
// point information mode), places a survey point where the user taps, and
// on every tick of the site view's timer steps the sweep the view drives,
// stores the finished point and begins the next automatic one.
//
// It touches no widget: the site view shows the point information dialog,
// moves its scroll bars and hands a tapped point to the scan view when a
// call here says so.
//
//   Not collecting --32773--> Automatic --32774--> Stopping --end--> Not collecting
//   Not collecting --tap on a GPS plan--> Single point --end--> Not collecting
//   Automatic --tap on a GPS plan--> Single point (the pending point is replaced)
//   Automatic --end of a sweep without 3D lock--> Not collecting, with a message
//   any --end of a sweep with no unit answering--> Not collecting, nothing
//         stored (the sweep heard nothing), with a message
//   any --a point the file refuses--> Not collecting, the collection closed,
//         with one message that asks for a collection file again
//
// A tap on a linear plan leaves the view in Not collecting: the scan view
// runs that sweep.
//
// In walking survey mode (either projection) taps place the walk's start
// and turns, play and stop start and end the walk, and the view's timer
// sweeps without the scan view (WalkingSurvey).

#include <cstdint>
#include <string>

#include "siteview/PlanFiles.h"
#include "siteview/SurveyContext.h"
#include "siteview/WalkingSurvey.h"
#include "survey/PlanRect.h"

namespace quorl {

class SurveyWorkflow {
public:
    enum class State { NotCollecting, Automatic, Stopping, SinglePoint, Walking };
    // What the view does after a tap outside point information mode.
    enum class TapResult {
        Refused,      // a message said why; nothing was started
        ScanView,     // linear plan: the plan was centred on the tap; show the scan view
        SinglePoint,  // GPS plan: the plan was centred on the tap; the timer runs the sweep
        Walk,         // walking survey: the plan was centred on the tap, a start or a turn
    };

    static constexpr const char* kLoadProjectionText = "Please load a projection file.";
    static constexpr const char* kOpenExistingQuestion = "Do you wish to open an existing collection file?";
    static constexpr const char* kNoCollectionText = "No collection file selected, data can not be collected.";
    static constexpr const char* kNeedGpsProjectionText = "Must use a GPS projection file for automatic scanning.";
    static constexpr const char* kNotLockedText = "GPS Receiver is not locked. Manually tap on points or wait for lock.";
    static constexpr const char* kSelectProjectionText = "Projection file must be selected.";
    static constexpr const char* kSelectCollectionText = "Data collection file must be selected.";
    static constexpr const char* kNoPointInRangeText = "No survey point within range.";
    static constexpr const char* kOpenLogFileText = "Please open a log file.";
    static constexpr const char* kLockLostText =
        "GPS Receiver is not locked. Scan will stop. Restart when lock has been reacquired.";
    static constexpr const char* kPointBusyText = "Please wait until the survey point being taken has been stored.";
    static constexpr const char* kStoreFailedText =
        "The survey point could not be stored and collecting has stopped. Please choose a collection file again.";

    static constexpr const char* kNoUnitText =
        "The survey unit does not answer, so no survey point can be taken. Check that it is switched on and that "
        "its cable is plugged in.";
    static constexpr const char* kWalkStartText = "Tap where the walk starts, then press Start Scanning.";
    static constexpr const char* kWalkBusyText = "Please press Stop Scanning to end the walk first.";
    static constexpr const char* kNothingToUndoText = "No survey point has been taken since the collection was opened.";
    static constexpr const char* kUndoQuestion = "Delete the last survey point taken?";
    static constexpr const char* kDeletedText = "Deleted.";

    static constexpr const char* kCollectionExtension = "ssd";
    static constexpr const char* kCollectionInitialName = "Data";
    static constexpr const char* kCollectionFilter = "Data Files (*.ssd)|*.ssd|All Files (*.*)|*.*||";

    explicit SurveyWorkflow(const SurveyContext& survey);

    // Command 32772. `planShown`: the view shows a plan. Answers false when
    // the user cancelled the choice of a new file: the view then drops its
    // plan and shows the no-plan display until a projection is loaded again.
    // Escape on the first question leaves everything as it was; the new-file
    // dialog asks before it replaces a file.
    bool ChooseCollection(bool planShown);
    // Opens (`create`: makes) the collection at `path` without asking, as
    // the chooser does after its dialog. Refused with a message, nothing
    // changed, while a point or a walk is under way or no plan is shown.
    bool OpenCollection(const std::string& path, bool create, bool planShown);
    // A point being swept or a walk under way: the plan and the collection
    // must stay as they are. Tells the user so when `tell`.
    bool Busy(bool tell) const;
    // Asked before every collection is opened or made, told after.
    void UseFloorGuard(IFloorGuard* guard) { guard_ = guard; }
    // No collection: what a cancelled new-file choice leaves.
    void CloseCollectionFile() { CloseCollection(); }
    // Command 32773.
    void StartAutomatic();
    // Command 32774: honoured when the current sweep ends.
    void StopAutomatic();
    // Walking survey mode on and off. Refused with a message while a point
    // or a walk is being taken.
    void ToggleWalking();
    bool WalkingMode() const { return walk_.On(); }
    const WalkingSurvey& Walk() const { return walk_; }
    // A new plan or collection: the walked path drawn so far belongs to the
    // old one. False while a walk is sweeping (nothing may change then).
    bool ForgetWalkedPath() { return walk_.ClearPath(); }
    // For tests: the walk's clock.
    void UseWalkClock(WalkingSurvey::Clock clock) { walk_.UseClock(std::move(clock)); }
    // Undo last point: after one question, the most recent live point this
    // run appended to the collection (by its offset) is deleted as Delete
    // Point does. True
    // when a point was deleted.
    bool UndoLastPoint();
    // Command 32778: the next tap selects a stored point.
    void EnterInformationMode() { informationMode_ = true; }

    // A tap in point information mode, at client point (sx, sy) of `client`.
    // Ends the mode. True when a point is selected and the view is to show
    // it; false after "No survey point within range.".
    bool SelectPoint(const PlanRect& client, std::int32_t sx, std::int32_t sy);
    // A tap outside point information mode. `planShown`: the view shows a
    // plan.
    TapResult TakePoint(const PlanRect& client, std::int32_t sx, std::int32_t sy, bool planShown);

    // One tick of the site view's timer: every eighth steps the sweep.
    void Tick();

    State CurrentState() const;

    // Stores the pending point (RecordPoint). A file that cannot be written
    // closes the collection, since every later point would fail the same
    // way, and answers false with `failure` set to the one message to show.
    static bool StorePendingPoint(CSiteData& data, std::string& failure);
    // False too once the file has been given up elsewhere (the scan view).
    bool CollectionOpen() const;
    bool CollectionIdle() const { return collectionIdle_; }
    bool SinglePoint() const { return singlePoint_; }
    bool StopRequested() const { return stopRequested_; }
    bool InformationMode() const { return informationMode_; }
    std::uint32_t TickCount() const { return tickCount_; }

private:
    // A kind 0 point at the current GPS fix; the plan is centred on it
    // without moving the scroll bars.
    void BeginAutomaticPoint();
    // Back to Not collecting.
    void FinishCollecting();
    // Tells the user about a point the file refused; collecting stops.
    void ReportStoreFailure(const std::string& failure);
    // Takes the file as the collection; a failure has been reported.
    bool UseCollection(const std::string& path, bool create);
    // No collection file: nothing drawn, counted or selectable.
    void CloseCollection();
    // The end-of-sweep step of a sweep the view drives: scanning off and the
    // point stored. False when the point could not be written or no unit
    // answers (nothing is stored then); `failure` is then what to show
    // (empty when the file was given up before).
    bool StoreEndedPoint(std::string& failure);
    // A sweep that has run to its end is stored before anything replaces
    // its point. False when the file failed (collecting has then stopped).
    bool StoreFinishedSweep();

    SurveyContext survey_;
    bool collectionOpen_ = false;
    bool collectionIdle_ = true;
    bool singlePoint_ = false;
    bool stopRequested_ = false;
    bool informationMode_ = false;
    // Unsigned: it wraps at a multiple of eight, so the step rhythm holds.
    std::uint32_t tickCount_ = 0;
    WalkingSurvey walk_;
    IFloorGuard* guard_ = nullptr;
};

}  // namespace quorl
