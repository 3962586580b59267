#pragma once
// The icons of the collector's windows and tool bar, from the resources.

#include <QIcon>

namespace quorl {

QIcon MainIcon();                    // icon 128
QIcon ToolBarIcon(int buttonIndex);  // 0..9, in tool-bar order

}  // namespace quorl
