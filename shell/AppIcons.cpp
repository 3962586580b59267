#include "shell/AppIcons.h"

#include <QString>
#include <iterator>

#include "res/ResourcePaths.h"

namespace quorl {

QIcon MainIcon() {
    QIcon icon;
    for (int size : res::kIconSizes) icon.addFile(QString::fromLatin1(res::kMainIconPattern).arg(size), QSize(size, size));
    return icon;
}

QIcon ToolBarIcon(int buttonIndex) {
    QIcon icon;
    if (buttonIndex < 0 || buttonIndex >= static_cast<int>(std::size(res::kToolBarImages))) return icon;
    const QString base = QString::fromLatin1(res::kToolBarImages[buttonIndex]);
    for (int scale : res::kStoredScales) {
        const QString suffix = scale == 1 ? QString() : QStringLiteral("@%1x").arg(scale);
        const int side = res::kToolBarImageSize * scale;
        icon.addFile(base + suffix + QStringLiteral(".png"), QSize(side, side));
    }
    return icon;
}

}  // namespace quorl
