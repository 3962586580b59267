#pragma once
// What the README's screenshot programs share: writing a picture, or
// saying why not, and the main window over the whole virtual screen.

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QString>
#include <QTest>
#include <QWidget>
#include <cstdio>
#include "tests/HangGuard.h"

namespace quorl::screenshots {

inline bool Save(const QPixmap& shot, const QString& path) {
    if (shot.isNull() || !shot.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

inline bool GrabScreen(const QString& path) { return Save(QGuiApplication::primaryScreen()->grabWindow(0), path); }

// No window manager under Xvfb: the window is made to fill the screen by
// hand. False when it never showed.
inline bool ShowOverTheScreen(QWidget& window) {
    window.showMaximized();
    window.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    return QTest::qWaitForWindowExposed(&window, quorl::test::kHangGuardMs);
}

}  // namespace quorl::screenshots
