#include "dialogs/DialogUnits.h"

#include <QFontMetrics>
#include <algorithm>

namespace quorl {

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average over the 52 letters, rounded to the nearest pixel.
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseX_ = std::max(1, (letters / 26 + 1) / 2);
    baseY_ = std::max(1, metrics.height());
}

}  // namespace quorl
