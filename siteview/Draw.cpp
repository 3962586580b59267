#include "siteview/Draw.h"

#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QPixmap>
#include <QString>

#include "res/ResourcePaths.h"

namespace quorl {

namespace {

// The stored size of the picture that is at least as large as the device
// pixels it will cover, so a stretch never enlarges a small copy when a
// larger one exists. QPixmap keeps what it loaded in its cache.
QPixmap SplashFor(double devicePixelsWide, double devicePixelsHigh) {
    QPixmap picture;
    for (int scale : res::kStoredScales) {
        const QString suffix = scale == 1 ? QString() : QStringLiteral("@%1x").arg(scale);
        QPixmap candidate(QString::fromLatin1(res::kSplashPicture) + suffix + QStringLiteral(".png"));
        if (candidate.isNull()) continue;
        picture = candidate;
        if (res::kSplashWidth * scale >= devicePixelsWide && res::kSplashHeight * scale >= devicePixelsHigh)
            break;
    }
    return picture;
}

}  // namespace

void CDraw::Picture(QPainter& target, int w, int h) const {
    if (w <= 0 || h <= 0) return;
    const QTransform& t = target.deviceTransform();
    const double ratio = target.device() ? target.device()->devicePixelRatioF() : 1.0;
    const double scaleX = std::max(std::abs(t.m11()), ratio);
    const double scaleY = std::max(std::abs(t.m22()), ratio);
    const QPixmap picture = SplashFor(w * scaleX, h * scaleY);
    if (picture.isNull()) return;
    // One scale on both axes, so the artwork's circles stay round; the
    // margins continue the picture's edge columns (rows), which are plain
    // bands of its colours.
    const double scale = std::min(double(w) / res::kSplashWidth, double(h) / res::kSplashHeight);
    const QSizeF shown(res::kSplashWidth * scale, res::kSplashHeight * scale);
    const QRectF place(QPointF((w - shown.width()) / 2, (h - shown.height()) / 2), shown);
    const QRectF all(picture.rect());
    target.save();
    target.setRenderHint(QPainter::SmoothPixmapTransform);
    target.setCompositionMode(QPainter::CompositionMode_Source);
    target.setClipRect(QRect(0, 0, w, h));
    if (place.left() > 0) {
        target.drawPixmap(QRectF(0, 0, place.left(), h), picture, QRectF(all.left(), all.top(), 1, all.height()));
        target.drawPixmap(QRectF(place.right(), 0, w - place.right(), h), picture,
                          QRectF(all.right() - 1, all.top(), 1, all.height()));
    } else if (place.top() > 0) {
        target.drawPixmap(QRectF(0, 0, w, place.top()), picture, QRectF(all.left(), all.top(), all.width(), 1));
        target.drawPixmap(QRectF(0, place.bottom(), w, h - place.bottom()), picture,
                          QRectF(all.left(), all.bottom() - 1, all.width(), 1));
    }
    target.drawPixmap(place, picture, all);
    target.restore();
}

}  // namespace quorl
