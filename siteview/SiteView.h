#pragma once
// CSiteView: the site plan, its survey points and status panel, and the
// survey commands of the tool bar. For now it shows an empty client area and
// handles no command, so its tool-bar buttons stay disabled.

#include <QWidget>

#include "siteview/CommandTarget.h"
#include "siteview/ViewActivation.h"
#include "siteview/ViewSwitcher.h"

namespace quorl {

class CSiteView : public QWidget, public IViewActivation, public ICommandTarget {
    Q_OBJECT
public:
    explicit CSiteView(IViewSwitcher& switcher, QWidget* parent = nullptr);

    void OnActivateView(bool active) override;
    bool HandlesCommand(int id) const override;
    void RunCommand(int id) override;

private:
    IViewSwitcher& switcher_;
};

}  // namespace quorl
