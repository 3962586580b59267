#pragma once
// Acting on a modal dialog from a test: the dialog runs its own event loop,
// so the test hands over what to do with it before the call that opens it.

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace quorl::test {

// Runs `act` once a modal dialog of class T is the active modal widget;
// looks every few milliseconds until then.
template <typename T>
void WhenModal(std::function<void(T*)> act) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog) return;
        timer->stop();
        timer->deleteLater();
        act(dialog);
    });
    timer->start();
}

}  // namespace quorl::test
