#include "shell/ScanView.h"

namespace quorl {

CScanView::CScanView(IViewSwitcher& switcher, QWidget* parent) : QWidget(parent), switcher_(switcher) {}

void CScanView::OnActivateView(bool /*active*/) {}

bool CScanView::HandlesCommand(int /*id*/) const { return false; }

void CScanView::RunCommand(int /*id*/) {}

}  // namespace quorl
