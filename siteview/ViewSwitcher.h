#pragma once
// How a view asks the main window to show another view. The main window
// implements it; views get it when they are made.

namespace quorl {

// The view classes that take turns in the main window.
enum class ViewKind { Start, Site, Scan };

class IViewSwitcher {
public:
    virtual ~IViewSwitcher() = default;
    // Makes the view of `kind` the visible, active view, creating it on
    // first use. Nothing happens when it already is the active view.
    virtual void SwitchView(ViewKind kind) = 0;
};

}  // namespace quorl
