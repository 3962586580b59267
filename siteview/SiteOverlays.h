#pragma once
// CSiteOverlays: what the site view's paint puts over the plan: survey point
// markers coloured by signal, the dashed lines between survey points,
// dynamic access point markers, the alert banner and the centre mark. One
// object per paint; it keeps where the next connecting line starts.
//
// Markers are drawn once per kind and paint into a small image and then
// copied to each point, so a paint with thousands of points does not stroke
// thousands of dashed circles. When the painter draws into a 32-bit image,
// the copies and the dashed lines go straight into its pixels.

#include <QColor>
#include <QImage>
#include <QPen>
#include <array>
#include <cstdint>
#include <optional>

#include "siteview/PixelCanvas.h"
#include "survey/PlanRect.h"

class QPainter;

namespace quorl {

class CSitePlan;

// Marker radius for a client area `clientWidth` wide.
int MarkerRadius(int clientWidth);
// Fill of a survey point's marker by the strongest level it heard.
QRgb SignalColour(std::int16_t strongest);
// The pen of every outline and line: dashed, black, one pixel.
QPen DashedPen();

class CSiteOverlays {
public:
    // `client` is the area the plan is drawn in, from (0, 0); the markers'
    // size follows `markerWidth` (the whole client width), or the area's
    // width when that is not given.
    CSiteOverlays(QPainter& painter, const CSitePlan& plan, const PlanRect& client, int markerWidth = -1);

    // A circle filled by signal class; nothing outside the window.
    void SurveyPointMarker(std::int32_t px, std::int32_t py, std::int16_t strongest);
    // From the previous survey point to this one, drawn when this one lies
    // in the window; the first call of a paint only takes its position.
    void ConnectingLine(std::int32_t px, std::int32_t py);
    // A black circle marked "AP"; nothing outside the window.
    void AccessPointMarker(std::int32_t px, std::int32_t py);
    // The red band with "ALERT! NO ACCESS POINTS DETECTED!", two text lines
    // below the top, across the whole client width.
    void AlertBanner();
    // `mark` (white ground) at the client centre, ANDed into what is there.
    // `mark` must be 32-bit; its device pixel ratio sets its drawn size.
    void CentreMark(const QImage& mark);

    int Radius() const { return radius_; }

private:
    enum Sprite { kSignalBlack, kSignalRed, kSignalGreen, kSignalBlue, kSignalWhite, kAccessPoint, kSpriteCount };
    const QImage& SpriteOf(Sprite sprite);
    void Blit(Sprite sprite, const PlanPoint& at);
    int Device(int logical) const;

    QPainter& painter_;
    const CSitePlan& plan_;
    PlanRect client_;
    int radius_;
    QPen pen_;
    bool firstLinePoint_ = true;
    PlanPoint previousLinePoint_;
    std::array<QImage, kSpriteCount> sprites_;
    std::array<std::optional<OpaqueSpans>, kSpriteCount> spans_;
    // Valid when the painter draws into a 32-bit image with no transform of
    // its own; `ratio_` is that image's device pixel ratio.
    PixelCanvas canvas_;
    qreal ratio_ = 1.0;
};

}  // namespace quorl
