#include "siteview/SiteView.h"

namespace quorl {

CSiteView::CSiteView(IViewSwitcher& switcher, QWidget* parent) : QWidget(parent), switcher_(switcher) {}

void CSiteView::OnActivateView(bool /*active*/) {}

bool CSiteView::HandlesCommand(int /*id*/) const { return false; }

void CSiteView::RunCommand(int /*id*/) {}

}  // namespace quorl
