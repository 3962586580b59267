#include "survey/SitePlan.h"

#include <algorithm>

namespace quorl {

namespace {

// Products of two coordinates can exceed 32 bits; the quotient is brought
// back to 32 bits once the division has been done.
std::int32_t MulDiv(std::int64_t a, std::int64_t b, std::int64_t c) {
    return static_cast<std::int32_t>(a * b / c);
}

std::int32_t Clamp32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

void CSitePlan::ResetView(const PlanRect& client, std::int32_t imageWidth, std::int32_t imageHeight) {
    const std::int32_t f = std::min(client.Width(), client.Height());
    minX_ = 0;
    minY_ = 0;
    maxX_ = imageWidth;
    maxY_ = imageHeight;
    window_ = PlanRect{0, 0, f, f};
    centreX_ = f / 2;
    centreY_ = f / 2;
    loadClient_ = client;
}

bool CSitePlan::CanZoomIn() const {
    if (zoom_ >= kMaxZoom) return false;
    // The halved window must keep some width and height, or every later
    // mapping would divide by zero.
    const std::int64_t l = (std::int64_t{window_.left} + centreX_) / 2;
    const std::int64_t r = (std::int64_t{window_.right} + centreX_) / 2;
    const std::int64_t t = (std::int64_t{window_.top} + centreY_) / 2;
    const std::int64_t b = (std::int64_t{window_.bottom} + centreY_) / 2;
    return r - l > 0 && b - t > 0;
}

bool CSitePlan::ZoomIn() {
    if (!CanZoomIn()) return false;
    zoom_ = static_cast<std::int16_t>(zoom_ * 2);
    window_.left = Clamp32((std::int64_t{window_.left} + centreX_) / 2);
    window_.right = Clamp32((std::int64_t{window_.right} + centreX_) / 2);
    window_.top = Clamp32((std::int64_t{window_.top} + centreY_) / 2);
    window_.bottom = Clamp32((std::int64_t{window_.bottom} + centreY_) / 2);
    return true;
}

bool CSitePlan::ZoomOut() {
    if (zoom_ <= 1) return false;
    zoom_ = static_cast<std::int16_t>(zoom_ / 2);
    window_.left = Clamp32(std::max<std::int64_t>(2 * std::int64_t{window_.left} - centreX_, minX_));
    window_.right = Clamp32(std::min<std::int64_t>(2 * std::int64_t{window_.right} - centreX_, maxX_));
    window_.top = Clamp32(std::max<std::int64_t>(2 * std::int64_t{window_.top} - centreY_, minY_));
    window_.bottom = Clamp32(std::min<std::int64_t>(2 * std::int64_t{window_.bottom} - centreY_, maxY_));
    centreX_ = Clamp32((std::int64_t{window_.left} + window_.right) / 2);
    centreY_ = Clamp32((std::int64_t{window_.top} + window_.bottom) / 2);
    if (zoom_ == 1) {
        // Back at the load-time scale: the window is the load-time square again.
        const std::int32_t s = std::min(loadClient_.Width(), loadClient_.Height());
        window_.right = Clamp32(std::int64_t{window_.left} + s);
        if (window_.right > maxX_) {
            window_.right = maxX_;
            window_.left = Clamp32(std::int64_t{maxX_} - s);
        }
        window_.bottom = Clamp32(std::int64_t{window_.top} + s);
        if (window_.bottom > maxY_) {
            window_.bottom = maxY_;
            window_.top = Clamp32(std::int64_t{maxY_} - s);
        }
    }
    return true;
}

void CSitePlan::RecentreX() {
    const std::int32_t half = window_.Width() / 2;
    window_.left = Clamp32(std::int64_t{centreX_} - half);
    window_.right = Clamp32(std::int64_t{centreX_} + half);
}

void CSitePlan::RecentreY() {
    const std::int32_t half = window_.Height() / 2;
    window_.top = Clamp32(std::int64_t{centreY_} - half);
    window_.bottom = Clamp32(std::int64_t{centreY_} + half);
}

void CSitePlan::ScrollLeft(std::int32_t n) {
    centreX_ = Clamp32(std::max<std::int64_t>(std::int64_t{centreX_} - n, minX_));
    RecentreX();
}

void CSitePlan::ScrollRight(std::int32_t n) {
    centreX_ = Clamp32(std::min<std::int64_t>(std::int64_t{centreX_} + n, maxX_));
    RecentreX();
}

void CSitePlan::ScrollUp(std::int32_t n) {
    centreY_ = Clamp32(std::max<std::int64_t>(std::int64_t{centreY_} - n, minY_));
    RecentreY();
}

void CSitePlan::ScrollDown(std::int32_t n) {
    centreY_ = Clamp32(std::min<std::int64_t>(std::int64_t{centreY_} + n, maxY_));
    RecentreY();
}

void CSitePlan::SetCentreX(std::int32_t x) {
    centreX_ = std::max(std::min(x, maxX_), 0);
    RecentreX();
}

void CSitePlan::SetCentreY(std::int32_t y) {
    centreY_ = std::max(std::min(y, maxY_), 0);
    RecentreY();
}

void CSitePlan::CentreOn(std::int32_t x, std::int32_t y) {
    SetCentreX(x);
    SetCentreY(y);
}

void CSitePlan::CentreOnScreenPoint(const PlanRect& client, std::int32_t sx, std::int32_t sy) {
    if (client.Width() == 0 || client.Height() == 0) return;
    const PlanPoint p = ScreenToPlan(client, sx, sy);
    CentreOn(p.x, p.y);
}

PlanPoint CSitePlan::ScreenToPlan(const PlanRect& client, std::int32_t sx, std::int32_t sy) const {
    PlanPoint p{window_.left, window_.top};
    if (client.Width() != 0) p.x = Clamp32(window_.left + std::int64_t{MulDiv(window_.Width(), sx, client.Width())});
    if (client.Height() != 0) p.y = Clamp32(window_.top + std::int64_t{MulDiv(window_.Height(), sy, client.Height())});
    return p;
}

bool CSitePlan::PlanToScreen(std::int32_t px, std::int32_t py, const PlanRect& client, PlanPoint& screen) const {
    if (px < window_.left || px > window_.right || py < window_.top || py > window_.bottom) return false;
    if (window_.Width() == 0 || window_.Height() == 0) return false;
    screen.x = Clamp32(client.left + std::int64_t{MulDiv(std::int64_t{px} - window_.left, client.Width(), window_.Width())});
    screen.y = Clamp32(client.top + std::int64_t{MulDiv(std::int64_t{py} - window_.top, client.Height(), window_.Height())});
    return true;
}

PlanRect CSitePlan::ClipToPlan(PlanRect& dest) const {
    const PlanRect client = dest;
    const std::int64_t w = window_.Width();
    const std::int64_t h = window_.Height();
    if (w != 0) {
        if (window_.left <= 0)
            dest.left = Clamp32(client.left - std::int64_t{client.Width()} * window_.left / w);
        if (window_.right > maxX_)
            dest.right = Clamp32(client.right - (std::int64_t{client.right} - dest.left) *
                                                    (std::int64_t{window_.right} - maxX_) / w);
    }
    if (h != 0) {
        if (window_.top <= 0)
            dest.top = Clamp32(client.top - std::int64_t{client.Height()} * window_.top / h);
        if (window_.bottom > maxY_)
            dest.bottom = Clamp32(client.bottom - (std::int64_t{client.bottom} - dest.top) *
                                                      (std::int64_t{window_.bottom} - maxY_) / h);
    }
    return PlanRect{std::max(window_.left, 0), std::max(window_.top, 0), std::min(window_.right, maxX_),
                    std::min(window_.bottom, maxY_)};
}

}  // namespace quorl
