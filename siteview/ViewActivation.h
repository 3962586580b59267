#pragma once
// A view that wants to know when the main window makes it the active view
// or takes that away (the scan view runs its timer only while active).

namespace quorl {

class IViewActivation {
public:
    virtual ~IViewActivation() = default;
    // true: the view has just become the active view; false: it has just
    // stopped being it. Also called with true when the main window becomes
    // the active window again while this view is the active view.
    virtual void OnActivateView(bool active) = 0;
};

}  // namespace quorl
