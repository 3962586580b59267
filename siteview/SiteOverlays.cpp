#include "siteview/SiteOverlays.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <QString>
#include <cmath>

#include "siteview/CellText.h"
#include "siteview/SiteColours.h"
#include "survey/SitePlan.h"

namespace quorl {

namespace {

constexpr int kSmallRadius = 10;
constexpr int kLargeRadius = 20;
constexpr int kLargeMarkersAbove = 240;  // client width
// The "AP" text box: 10 pixels each way from the marker's centre.
constexpr int kApTextHalf = 10;

// The painter's image when the overlays may write into it directly.
QImage* DirectTarget(QPainter& painter) {
    QPaintDevice* device = painter.device();
    if (!device || device->devType() != QInternal::Image || !painter.worldTransform().isIdentity()) return nullptr;
    return static_cast<QImage*>(device);
}

QImage& NoImage() {
    static QImage none;
    return none;
}

}  // namespace

int MarkerRadius(int clientWidth) { return clientWidth > kLargeMarkersAbove ? kLargeRadius : kSmallRadius; }

QRgb SignalColour(std::int16_t strongest) {
    if (strongest < -90) return colour::kBlack;
    if (strongest <= -71) return colour::kRed;
    if (strongest <= -51) return colour::kGreen;
    if (strongest <= -31) return colour::kBlue;
    return colour::kWhite;
}

QPen DashedPen() {
    QPen pen(QColor(colour::kBlack), 1, Qt::DashLine);
    // One device pixel whatever the scale, and the raster engine's fast
    // line path.
    pen.setCosmetic(true);
    return pen;
}

CSiteOverlays::CSiteOverlays(QPainter& painter, const CSitePlan& plan, const PlanRect& client, int markerWidth)
    : painter_(painter),
      plan_(plan),
      client_(client),
      radius_(MarkerRadius(markerWidth < 0 ? client.Width() : markerWidth)),
      pen_(DashedPen()),
      canvas_(DirectTarget(painter) ? *DirectTarget(painter) : NoImage()) {
    if (QImage* image = DirectTarget(painter)) ratio_ = image->devicePixelRatio();
}

int CSiteOverlays::Device(int logical) const { return static_cast<int>(std::lround(logical * ratio_)); }

const QImage& CSiteOverlays::SpriteOf(Sprite sprite) {
    QImage& image = sprites_[sprite];
    if (!image.isNull()) return image;
    // The circle's bounding box is (1, 1) to (1 + 2r, 1 + 2r), so the sprite
    // copied to (sx - r - 1, sy - r - 1) lands where the circle drawn around
    // (sx, sy) would; the pen's extra pixel fits in the margin.
    const int side = 2 * radius_ + 3;
    const QPaintDevice* device = painter_.device();
    const qreal ratio = device ? device->devicePixelRatioF() : 1.0;
    image = QImage(QSize(side, side) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    if (device) {
        // Same resolution as the buffer, so the font comes out the same size.
        image.setDotsPerMeterX(qRound(device->logicalDpiX() / 0.0254));
        image.setDotsPerMeterY(qRound(device->logicalDpiY() / 0.0254));
    }
    image.fill(Qt::transparent);

    static constexpr QRgb kFills[] = {colour::kBlack, colour::kRed, colour::kGreen, colour::kBlue, colour::kWhite,
                                      colour::kBlack};
    QPainter p(&image);
    p.setPen(DashedPen());
    p.setBrush(QColor(kFills[sprite]));
    p.drawEllipse(QRect(1, 1, 2 * radius_, 2 * radius_));
    if (sprite == kAccessPoint) {
        p.setFont(painter_.font());
        const int c = radius_ + 1;
        DrawCellText(p, QRect(c - kApTextHalf, c - kApTextHalf, 2 * kApTextHalf, 2 * kApTextHalf),
                     QStringLiteral("AP"), TextStyle{QColor(colour::kWhite), QColor(colour::kBlack), true});
    }
    return image;
}

void CSiteOverlays::Blit(Sprite sprite, const PlanPoint& at) {
    const QImage& image = SpriteOf(sprite);
    const QPoint corner(at.x - radius_ - 1, at.y - radius_ - 1);
    if (canvas_.Valid()) {
        if (!spans_[sprite]) spans_[sprite] = OpaqueSpansOf(image).value_or(OpaqueSpans{});
        if (!spans_[sprite]->spans.empty()) {
            canvas_.Copy(*spans_[sprite], Device(corner.x()), Device(corner.y()));
            return;
        }
    }
    painter_.drawImage(corner, image);
}

void CSiteOverlays::SurveyPointMarker(std::int32_t px, std::int32_t py, std::int16_t strongest) {
    PlanPoint s;
    if (!plan_.PlanToScreen(px, py, client_, s)) return;
    Sprite sprite = kSignalWhite;
    switch (SignalColour(strongest)) {
        case colour::kBlack: sprite = kSignalBlack; break;
        case colour::kRed: sprite = kSignalRed; break;
        case colour::kGreen: sprite = kSignalGreen; break;
        case colour::kBlue: sprite = kSignalBlue; break;
        default: break;
    }
    Blit(sprite, s);
}

void CSiteOverlays::ConnectingLine(std::int32_t px, std::int32_t py) {
    PlanPoint s;
    const bool inWindow = plan_.PlanToScreen(px, py, client_, s);
    if (!inWindow) {
        // Where the point would be on screen: the next segment starts there,
        // running in from the edge of the view.
        s = plan_.PlanToScreenUnclipped(px, py, client_);
    }
    if (firstLinePoint_) {
        firstLinePoint_ = false;
    } else if (inWindow) {
        if (canvas_.Valid()) {
            canvas_.DashedLine(Device(previousLinePoint_.x), Device(previousLinePoint_.y), Device(s.x), Device(s.y),
                               pen_.color().rgb());
        } else {
            painter_.setPen(pen_);
            painter_.drawLine(QPoint(previousLinePoint_.x, previousLinePoint_.y), QPoint(s.x, s.y));
        }
    }
    previousLinePoint_ = s;
}

void CSiteOverlays::AccessPointMarker(std::int32_t px, std::int32_t py) {
    PlanPoint s;
    if (!plan_.PlanToScreen(px, py, client_, s)) return;
    Blit(kAccessPoint, s);
}

void CSiteOverlays::AlertBanner() {
    const int c = painter_.fontMetrics().height();
    const QRect band(0, 2 * c, client_.Width(), c);
    painter_.fillRect(band, QColor(colour::kRed));
    DrawCellText(painter_, band, QStringLiteral("ALERT! NO ACCESS POINTS DETECTED!"),
                 TextStyle{QColor(colour::kWhite), QColor(colour::kRed), true});
}

void CSiteOverlays::CentreMark(const QImage& mark) {
    if (mark.isNull()) return;
    const qreal ratio = mark.devicePixelRatio();
    const int w = qRound(mark.width() / ratio);
    const int h = qRound(mark.height() / ratio);
    const QRect target(client_.Width() / 2 - w / 2, client_.Height() / 2 - h / 2, w, h);
    painter_.save();
    painter_.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    painter_.drawImage(target, mark);
    painter_.restore();
}

}  // namespace quorl
