#include "shell/ScanView.h"

#include <QFont>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QTimerEvent>
#include <algorithm>
#include <vector>

#include "common/Timing.h"
#include "engine/Engine.h"
#include "shell/MainFrame.h"
#include "siteview/SurveyWorkflow.h"
#include "survey/SiteData.h"

namespace quorl {

namespace {

// Windows-style rectangle: left, top, right and bottom, the last two outside.
QRect Box(int left, int top, int right, int bottom) { return QRect(left, top, right - left, bottom - top); }

void DrawLeft(QPainter& painter, const QRect& box, const QString& text) {
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, text);
}

QString MacText(const CMac& entry) {
    return QString::asprintf("%02X-%02X-%02X-%02X-%02X-%02X", entry.mac[0], entry.mac[1], entry.mac[2],
                             entry.mac[3], entry.mac[4], entry.mac[5]);
}

// Rows of the access point list a client height has room for: a row is
// drawn, then the list stops once the next row's upper line would start
// below h - 20. The first row is always drawn.
std::size_t RowsFor(int height) {
    std::size_t rows = 1;
    for (int y = 80; y + 15 <= height - 20; y += 30) ++rows;
    return rows;
}

}  // namespace

CScanView::CScanView(CEngine& engine, CSiteData& data, IUserMessages& messages, IViewSwitcher& switcher,
                     QWidget* parent)
    : QWidget(parent), engine_(engine), data_(data), messages_(messages), switcher_(switcher) {
    // Every pixel is painted from the off-screen image.
    setAttribute(Qt::WA_OpaquePaintEvent);
    notifyRepaint_.setSingleShot(true);
    notifyRepaint_.setInterval(kNotifyRepaintMs);
    connect(&notifyRepaint_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

void CScanView::OnActivateView(bool active) {
    if (active) {
        // A running timer starts over: the window's coming back counts as a
        // new activation.
        timer_.start(timing::ScaledMs(timing::kScanViewStepMs), this);
    } else {
        timer_.stop();
        notifyRepaint_.stop();
    }
    WatchWindow(active);
}

void CScanView::Tick() {
    if (engine_.SweepActive()) {
        engine_.NextChannel();
        update();
        return;
    }
    // Only the first tick after the end stores the point, and only when a
    // unit answered it: a sweep without one heard nothing (a pulled cable).
    std::string failure;
    bool stored = true;
    if (engine_.EndSweep()) {
        if (!engine_.UnitAnswering())
            stored = false, failure = SurveyWorkflow::kNoUnitText;
        else
            stored = SurveyWorkflow::StorePendingPoint(data_, failure);
    }
    switcher_.SwitchView(ViewKind::Site);
    update();
    // Shown over the site view, whose panel already names no file; this
    // view's timer has stopped, so no tick comes in while the box is up.
    if (!stored) messages_.ShowPlain(failure);
}

QFont CScanView::ScanFont(bool underline) {
    // Arial where it is installed, else the faces drawn to its measure; the
    // layout is laid out for its widths.
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans Condensed")});
    font.setStyleHint(QFont::SansSerif);
    font.setUnderline(underline);
    // The height given is the cell's, ascent plus descent, not the
    // characters'; the face decides which pixel size that is. Found once.
    static const int pixelSize = [font]() mutable {
        int size = kCellHeight;
        for (; size > 1; --size) {
            font.setPixelSize(size);
            if (QFontMetrics(font).height() <= kCellHeight) break;
        }
        return size;
    }();
    font.setPixelSize(pixelSize);
    return font;
}

int CScanView::Percent(int index, int count) {
    if (count <= 0) return 0;
    // A plan made shorter during the sweep could put the index past the
    // count; the bar never grows past its frame.
    return std::clamp(index * 100 / count, 0, 100);
}

QImage CScanView::Compose(QSize size) const {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    if (size.isEmpty()) return image;

    const QColor foreground = QColor::fromRgb(kForeground);
    const QColor background = QColor::fromRgb(kBackground);
    QPainter painter(&image);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setPen(foreground);
    painter.setBackground(background);

    painter.setFont(ScanFont(true));
    const int count = engine_.ChannelCount();
    const int index = engine_.ChannelIndex();
    painter.drawText(Box(10, 30, 220, 45), Qt::AlignHCenter | Qt::AlignTop,
                     QString::asprintf("Scanning Channel %d, (%d of %d)", engine_.CurrentChannel(), index, count));
    DrawLeft(painter, Box(10, 50, 25, 65), QStringLiteral("CH"));
    DrawLeft(painter, Box(30, 50, 200, 65), QStringLiteral("MAC/SSID"));
    DrawLeft(painter, Box(210, 50, 235, 65), QStringLiteral("RSSI"));

    painter.setFont(ScanFont(false));
    const int percent = Percent(index, count);
    painter.fillRect(9, 9, percent * 222 / 100, 12, foreground);
    if (percent >= 50) {
        // The text stands on the bar: its colours swap.
        painter.setPen(background);
        painter.setBackground(foreground);
    }
    painter.drawText(Box(9, 9, 231, 21), Qt::AlignHCenter | Qt::AlignTop, QString::asprintf("%d%%", percent));
    painter.setPen(foreground);
    painter.setBackground(background);

    // Only the rows that fit are copied out of the table, under its lock.
    const std::size_t rows = RowsFor(size.height());
    std::vector<CMac> shown;
    engine_.ForEachAp([&](const CMac& entry) {
        if (shown.size() < rows) shown.push_back(entry);
    });
    int y = 80;
    for (const CMac& entry : shown) {
        DrawLeft(painter, Box(10, y - 15, 25, y), QString::number(entry.channel));
        DrawLeft(painter, Box(30, y - 15, 140, y), MacText(entry));
        DrawLeft(painter, Box(30, y, 200, y + 15), QString::fromStdString(entry.SsidText()));
        DrawLeft(painter, Box(210, y - 15, 235, y), QString::number(entry.ShownRssi()));
        y += 30;
    }
    return image;
}

void CScanView::paintEvent(QPaintEvent*) {
    const QImage frame = Compose(size());
    QPainter painter(this);
    painter.drawImage(0, 0, frame);
}

void CScanView::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timer_.timerId()) {
        Tick();
        return;
    }
    QWidget::timerEvent(event);
}

bool CScanView::event(QEvent* event) {
    // The notification, when it is sent to the view itself.
    if (event->type() == CMainFrame::kEngineNotifyEvent) {
        EngineNotified();
        return true;
    }
    return QWidget::event(event);
}

bool CScanView::eventFilter(QObject* watched, QEvent* event) {
    // The engine posts to the main window, which does nothing with it; the
    // view only looks and lets it pass.
    if (watched == watchedWindow_ && event->type() == CMainFrame::kEngineNotifyEvent) EngineNotified();
    return QWidget::eventFilter(watched, event);
}

void CScanView::WatchWindow(bool watch) {
    if (watchedWindow_) watchedWindow_->removeEventFilter(this);
    watchedWindow_ = nullptr;
    if (watch && window() != this) {
        watchedWindow_ = window();
        watchedWindow_->installEventFilter(this);
    }
}

void CScanView::EngineNotified() {
    // A busy channel notifies for every frame; one repaint per interval
    // serves them all.
    if (!notifyRepaint_.isActive()) notifyRepaint_.start();
}

}  // namespace quorl
