#pragma once
// CSitePlan: the geometry of the site plan on screen. Plan bounds, the
// visible window, its centre and the zoom factor, with the integer arithmetic
// that zooms, scrolls, clips and maps between client and plan pixels. Every
// division truncates toward zero and multiplies first; intermediates are
// 64-bit so that large coordinates cannot overflow. It holds no image.

#include <cstdint>

#include "survey/PlanRect.h"

namespace quorl {

class CSitePlan {
public:
    // Six doublings: a 600-pixel client then shows about 9 plan pixels across.
    static constexpr std::int16_t kMaxZoom = 64;

    CSitePlan() = default;
    virtual ~CSitePlan() = default;

    bool LineOption() const { return lineOption_; }
    bool MarkerOption() const { return markerOption_; }

    std::int32_t MinX() const { return minX_; }
    std::int32_t MaxX() const { return maxX_; }
    std::int32_t MinY() const { return minY_; }
    std::int32_t MaxY() const { return maxY_; }
    // The window in plan coordinates (may extend past the bounds).
    PlanRect Window() const { return window_; }
    std::int32_t CentreX() const { return centreX_; }
    std::int32_t CentreY() const { return centreY_; }
    std::int16_t Zoom() const { return zoom_; }
    PlanRect LoadClientRect() const { return loadClient_; }

    // After a plan is loaded: bounds 0..width x 0..height, window 0..f on
    // both axes (f the smaller client side), centre f/2; zoom unchanged.
    void ResetView(const PlanRect& client, std::int32_t imageWidth, std::int32_t imageHeight);

    // ZoomIn does nothing (and answers false) at kMaxZoom or when the halved
    // window would have no width or height. ZoomOut does nothing at zoom 1.
    bool CanZoomIn() const;
    bool ZoomIn();
    bool ZoomOut();

    void ScrollLeft(std::int32_t n);
    void ScrollRight(std::int32_t n);
    void ScrollUp(std::int32_t n);
    void ScrollDown(std::int32_t n);

    // Clamped to the maximum, then to 0.
    void SetCentreX(std::int32_t x);
    void SetCentreY(std::int32_t y);
    void CentreOn(std::int32_t x, std::int32_t y);

    // A client rectangle of zero width or height leaves the centre alone.
    void CentreOnScreenPoint(const PlanRect& client, std::int32_t sx, std::int32_t sy);
    // No clamping. A zero client width (height) maps every sx (sy) to the
    // window's left (top).
    PlanPoint ScreenToPlan(const PlanRect& client, std::int32_t sx, std::int32_t sy) const;
    // False, leaving `screen` alone, outside the window (edges are inside) or
    // when the window has no width or height.
    bool PlanToScreen(std::int32_t px, std::int32_t py, const PlanRect& client, PlanPoint& screen) const;
    // `dest` is the client rectangle on entry; it shrinks where the window
    // runs off the plan. Returns the source rectangle in plan pixels.
    PlanRect ClipToPlan(PlanRect& dest) const;

private:
    void RecentreX();
    void RecentreY();

    bool lineOption_ = true;
    bool markerOption_ = true;
    std::int32_t minX_ = 0, maxX_ = 0, minY_ = 0, maxY_ = 0;
    PlanRect window_;
    std::int32_t centreX_ = 0, centreY_ = 0;
    std::int16_t zoom_ = 1;
    PlanRect loadClient_;
};

}  // namespace quorl
