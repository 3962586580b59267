#pragma once
// CScanView: the progress of the channel sweep for one tapped survey point
// and the access points heard so far. While it is the active view its timer
// steps the sweep one channel every two seconds; the tick that finds the
// sweep over stores the point and hands the screen back to the site view.
//
// The view repaints on every tick and, at most ten times a second, when the
// engine's notification reaches the main window, so the progress bar and
// the list follow the sweep as it runs.

#include <QBasicTimer>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "siteview/ViewActivation.h"
#include "siteview/ViewSwitcher.h"

namespace quorl {

class CEngine;
class CSiteData;
class IUserMessages;

class CScanView : public QWidget, public IViewActivation {
    Q_OBJECT
public:
    static constexpr QRgb kForeground = qRgb(64, 192, 255);
    static constexpr QRgb kBackground = qRgb(0, 96, 128);
    // How long engine notifications are gathered into one repaint.
    static constexpr int kNotifyRepaintMs = 100;

    CScanView(CEngine& engine, CSiteData& data, IUserMessages& messages, IViewSwitcher& switcher,
              QWidget* parent = nullptr);

    // Starts the step timer (again, from a full period) or stops it.
    void OnActivateView(bool active) override;

    // One step of the timer: the next channel while the sweep runs; once it
    // has ended, the end-of-sweep step (only the first time) and the switch
    // back to the site view. A point the file does not take closes the
    // collection, as on a GPS plan, and says so once the site view is back.
    void Tick();
    bool TimerRunning() const { return timer_.isActive(); }

    // Progress in percent of `index` out of `count` channels, kept within
    // 0..100; 0 for an empty plan.
    static int Percent(int index, int count);

    // Its two fonts: Arial (or a face drawn to its measure) at the size
    // whose cell, ascent plus descent, is kCellHeight pixels tall.
    static constexpr int kCellHeight = 12;
    static QFont ScanFont(bool underline);

    // One paint's off-screen image of a client area of `size`.
    QImage Compose(QSize size) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void WatchWindow(bool watch);
    void EngineNotified();

    CEngine& engine_;
    CSiteData& data_;
    IUserMessages& messages_;
    IViewSwitcher& switcher_;
    QBasicTimer timer_;
    QTimer notifyRepaint_;
    QPointer<QWidget> watchedWindow_;
};

}  // namespace quorl
