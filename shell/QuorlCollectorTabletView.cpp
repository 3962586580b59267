#include "shell/QuorlCollectorTabletView.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <cstdio>

#include "engine/Engine.h"
#include "shell/CommandIds.h"
#include "siteview/Draw.h"

namespace quorl {

namespace {

// The engine's text copied into a 128-byte buffer and formatted as the
// view shows it.
QString Line(const char* format, const std::string& text) {
    char copy[128];
    std::snprintf(copy, sizeof copy, "%s", text.c_str());
    char line[160];
    std::snprintf(line, sizeof line, format, copy);
    return QString::fromLatin1(line);
}

}  // namespace

CQuorlCollectorTabletView::CQuorlCollectorTabletView(CEngine& engine, IViewSwitcher& switcher,
                                                     QPrinter& printer, QWidget* parent)
    : QWidget(parent), engine_(engine), switcher_(switcher), printer_(printer) {
    // Every pixel comes from the composed image.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QString CQuorlCollectorTabletView::FirmwareLine() const { return Line("(Firmware %s)", engine_.FirmwareText()); }

QString CQuorlCollectorTabletView::SerialLine() const { return Line("(SN %s)", engine_.SerialText()); }

QImage CQuorlCollectorTabletView::Compose(const QSize& size, qreal devicePixelRatio) const {
    const int w = size.width();
    const int h = size.height();
    QImage image(size * devicePixelRatio, QImage::Format_RGB32);
    image.setDevicePixelRatio(devicePixelRatio);
    // The strip below the picture shows black.
    image.fill(Qt::black);
    if (w <= 0 || h <= 0) return image;

    QPainter painter(&image);
    CDraw().Picture(painter, w, h - kStripHeight);

    QFont font(QStringLiteral("Arial"));
    font.setPointSize(12);
    font.setStyleHint(QFont::SansSerif);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.setBackground(Qt::white);
    painter.setBackgroundMode(Qt::OpaqueMode);
    const int cy = QFontMetrics(font, &image).height();

    // Centred across the full width, top-aligned in each line's rectangle.
    const int flags = Qt::AlignHCenter | Qt::AlignTop;
    painter.drawText(QRect(0, h / 2, w, cy), flags, FirmwareLine());
    const int y = h / 10 + h / 2;
    painter.drawText(QRect(0, y, w, cy), flags, SerialLine());
    return image;
}

void CQuorlCollectorTabletView::RefreshIdentity() {
    if (FirmwareLine() != paintedFirmware_ || SerialLine() != paintedSerial_) update();
}

void CQuorlCollectorTabletView::paintEvent(QPaintEvent* /*event*/) {
    paintedFirmware_ = FirmwareLine();
    paintedSerial_ = SerialLine();
    const QImage image = Compose(size(), devicePixelRatioF());
    QPainter painter(this);
    painter.drawImage(0, 0, image);
}

void CQuorlCollectorTabletView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    QApplication::beep();
    switcher_.SwitchView(ViewKind::Site);
}

bool CQuorlCollectorTabletView::HandlesCommand(int id) const {
    return id == command::kFilePrint || id == command::kFilePrintDirect || id == command::kFilePrintPreview;
}

void CQuorlCollectorTabletView::RunCommand(int id) {
    switch (id) {
        case command::kFilePrint: {
            QPrintDialog dialog(&printer_, window());
            if (dialog.exec() == QDialog::Accepted) PrintPage(printer_);
            break;
        }
        case command::kFilePrintDirect:
            PrintPage(printer_);
            break;
        case command::kFilePrintPreview: {
            QPrintPreviewDialog preview(&printer_, window());
            connect(&preview, &QPrintPreviewDialog::paintRequested, this,
                    [this](QPrinter* printer) { PrintPage(*printer); });
            preview.exec();
            break;
        }
        default:
            break;
    }
}

void CQuorlCollectorTabletView::PrintPage(QPrinter& printer) const {
    QPainter painter;
    if (!painter.begin(&printer)) return;
    painter.drawImage(0, 0, Compose(size(), 1.0));
}

}  // namespace quorl
