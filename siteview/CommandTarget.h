#pragma once
// Commands a view carries out. The main window offers each menu and tool-bar
// command first to the active view; a command that no one handles shows
// disabled. So the survey commands below are available exactly while the
// view that handles them is the active view.

namespace quorl {

// The survey commands of tool bar 128, in button order.
namespace command {
inline constexpr int kLoadProjection = 32771;
inline constexpr int kCollectionFile = 32772;
inline constexpr int kStartScanning = 32773;
inline constexpr int kStopScanning = 32774;
inline constexpr int kChannelList = 32775;
inline constexpr int kZoomIn = 32776;
inline constexpr int kZoomOut = 32777;
inline constexpr int kPointInformation = 32778;
// The coverage layer under the survey points: the View menu and the last
// tool-bar button.
inline constexpr int kCoverage = 32779;
// Walking survey mode (View menu and tool bar) and Undo last point (Edit
// menu).
inline constexpr int kWalkingSurvey = 32780;
inline constexpr int kUndoLastPoint = 32781;
// The survey gaps layer (View menu and tool bar) and the requirement
// profile it marks failures of (View menu, one of four).
inline constexpr int kSurveyGaps = 32782;
inline constexpr int kGapsProfileNone = 32783;
inline constexpr int kGapsProfileVoice = 32784;
inline constexpr int kGapsProfileData = 32785;
inline constexpr int kGapsProfileBasic = 32786;
// Keyboard zoom beside Zoom In and Out: the whole plan, and 100 % from the
// plan's corner (View menu).
inline constexpr int kFitPlan = 32787;
inline constexpr int kActualSize = 32788;
// The coverage and gaps legends shown or hidden (View menu).
inline constexpr int kLegends = 32789;
}  // namespace command

class ICommandTarget {
public:
    virtual ~ICommandTarget() = default;
    // Whether this view carries out `id`; asked whenever the main window
    // brings its menu and tool-bar states up to date.
    virtual bool HandlesCommand(int id) const = 0;
    // Carries out `id`; called only for ids it handles.
    virtual void RunCommand(int id) = 0;
    // Whether the button of `id` shows pressed: a mode or a layer that is on.
    virtual bool IsCommandChecked(int /*id*/) const { return false; }
};

}  // namespace quorl
