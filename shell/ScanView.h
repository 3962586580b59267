#pragma once
// CScanView: the progress of a channel sweep and the access points heard.
// For now an empty view, so that the main window can switch to it; it
// handles no command.

#include <QWidget>

#include "siteview/CommandTarget.h"
#include "siteview/ViewActivation.h"
#include "siteview/ViewSwitcher.h"

namespace quorl {

class CScanView : public QWidget, public IViewActivation, public ICommandTarget {
    Q_OBJECT
public:
    explicit CScanView(IViewSwitcher& switcher, QWidget* parent = nullptr);

    void OnActivateView(bool active) override;
    bool HandlesCommand(int id) const override;
    void RunCommand(int id) override;

private:
    IViewSwitcher& switcher_;
};

}  // namespace quorl
