#pragma once
// CSitePlan: the geometry of the site plan on screen. Plan bounds, the
// plan point at the middle of the view (the centre), and one scale for both
// axes, so the plan is never stretched: the view shows as much of the plan
// as its own shape allows. Everything is integer arithmetic on 64-bit
// intermediates; the scale is the exact fraction num / den screen pixels per
// plan pixel, so a tap lands on the plan pixel under it at every zoom.
//
// A plan pixel p covers plan [p, p + 1); the centre is the plan point drawn
// at the view's middle pixel. The zoom walks the powers of two from 64x down
// to 100 %, and below that down to the scale at which the whole plan fits
// the view ("fitted"). A plan that the view shows whole on an axis is
// centred on that axis and does not scroll on it.

#include <cstdint>

#include "survey/PlanRect.h"

namespace quorl {

// Screen pixels per plan pixel: num / den, both positive.
struct PlanScale {
    std::int64_t num = 1;
    std::int64_t den = 1;
    bool operator==(const PlanScale&) const = default;
};

class CSitePlan {
public:
    // Six doublings: a 600-pixel view then shows about 9 plan pixels across.
    static constexpr std::int16_t kMaxZoom = 64;

    CSitePlan() = default;
    virtual ~CSitePlan() = default;

    bool LineOption() const { return lineOption_; }
    bool MarkerOption() const { return markerOption_; }

    std::int32_t MinX() const { return minX_; }
    std::int32_t MaxX() const { return maxX_; }
    std::int32_t MinY() const { return minY_; }
    std::int32_t MaxY() const { return maxY_; }
    std::int32_t CentreX() const { return centreX_; }
    std::int32_t CentreY() const { return centreY_; }
    PlanScale Scale() const { return scale_; }
    double ScaleFactor() const { return double(scale_.num) / double(scale_.den); }
    // The zoom as the status panel shows it, never below 1.
    std::int32_t ZoomPercent() const;
    // True while the zoom is the one that fits the whole plan (it follows
    // the view's size).
    bool Fitted() const { return fitted_; }
    // The scale at which the whole plan fits the view.
    PlanScale FitScale() const;
    // The plan rectangle the view covers, rounded outward; it may run past
    // the bounds.
    PlanRect Window() const;
    // The part of the plan in view: Window() cut to the bounds.
    PlanRect VisiblePlan() const;

    // After a plan is loaded into a view of `area`'s size: bounds 0..width x
    // 0..height, the plan's top-left corner at the view's top-left corner.
    // The zoom stays, within what this plan allows.
    void ResetView(const PlanRect& area, std::int32_t imageWidth, std::int32_t imageHeight);
    // The view changed size: the centre and scale stay (a fitted zoom fits
    // again).
    void SetViewSize(std::int32_t width, std::int32_t height);

    // The whole plan in view, centred: the fitted zoom, or 100 % for a plan
    // that fits at that. True when the view changed.
    bool FitWholePlan();
    // 100 %, the plan's top-left corner at the view's as far as the plan
    // allows (as a plan is placed by ResetView). True when the view changed.
    bool ShowActualSize();

    bool CanZoomIn() const;
    bool CanZoomOut() const;
    // About the centre.
    bool ZoomIn();
    bool ZoomOut();
    // About the view point (sx, sy) of `area`: the plan point under it stays
    // under it (to a plan pixel).
    bool ZoomInAbout(const PlanRect& area, std::int32_t sx, std::int32_t sy);
    bool ZoomOutAbout(const PlanRect& area, std::int32_t sx, std::int32_t sy);
    // A pinch: the scale times `factor`, held between the fitted zoom (or
    // 100 %) and kMaxZoom.
    bool ZoomByAbout(double factor, const PlanRect& area, std::int32_t sx, std::int32_t sy);

    void ScrollLeft(std::int32_t n);
    void ScrollRight(std::int32_t n);
    void ScrollUp(std::int32_t n);
    void ScrollDown(std::int32_t n);

    // Clamped to the maximum, then to 0; a plan shown whole stays centred.
    void SetCentreX(std::int32_t x);
    void SetCentreY(std::int32_t y);
    void CentreOn(std::int32_t x, std::int32_t y);

    // An area of zero width or height leaves the centre alone.
    void CentreOnScreenPoint(const PlanRect& area, std::int32_t sx, std::int32_t sy);
    // The plan pixel under view pixel (sx, sy). No clamping.
    PlanPoint ScreenToPlan(const PlanRect& area, std::int32_t sx, std::int32_t sy) const;
    // The view pixel under the middle of plan pixel (px, py); false, leaving
    // `screen` alone, when that lies outside `area` (its edges are inside).
    bool PlanToScreen(std::int32_t px, std::int32_t py, const PlanRect& area, PlanPoint& screen) const;
    // The same without the bounds check, for lines that run out of view.
    PlanPoint PlanToScreenUnclipped(std::int32_t px, std::int32_t py, const PlanRect& area) const;
    // Where plan coordinate x (y), a pixel edge, falls in the view.
    double ScreenXOf(double planX, const PlanRect& area) const;
    double ScreenYOf(double planY, const PlanRect& area) const;

private:
    bool SetScale(PlanScale scale, bool fitted, const PlanRect& area, std::int32_t sx, std::int32_t sy);
    // The smallest scale allowed: the fitted one, or 100 % when the plan
    // fits at that.
    PlanScale MinScale() const;
    // Centre x (y) clamped, or the plan's middle when the view shows the
    // whole width (height).
    void NormaliseX();
    void NormaliseY();

    bool lineOption_ = true;
    bool markerOption_ = true;
    std::int32_t minX_ = 0, maxX_ = 0, minY_ = 0, maxY_ = 0;
    std::int32_t viewWidth_ = 0, viewHeight_ = 0;
    std::int32_t centreX_ = 0, centreY_ = 0;
    PlanScale scale_;
    bool fitted_ = false;
};

}  // namespace quorl
