#pragma once
// DialogUnits: turns a dialog template's units into pixels of a font, the
// way the old dialog templates were measured: a horizontal unit is a
// quarter of the font's average character width, a vertical unit an eighth
// of its height. Dialogs sized this way grow with the font the desktop
// gives them.

#include <QFont>
#include <QRect>
#include <QSize>

namespace quorl {

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int X(int units) const { return units * baseX_ / 4; }
    int Y(int units) const { return units * baseY_ / 8; }
    QSize Size(int width, int height) const { return QSize(X(width), Y(height)); }
    QRect Rect(int left, int top, int width, int height) const {
        return QRect(X(left), Y(top), X(width), Y(height));
    }

private:
    int baseX_;
    int baseY_;
};

}  // namespace quorl
