#include "survey/SitePlan.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace quorl {

namespace {

// Products of a coordinate and a scale term can pass 64 bits for absurd
// coordinates; 128-bit intermediates keep every mapping exact.
using Wide = __int128;

std::int64_t FloorDiv(Wide a, Wide b) {
    Wide q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return static_cast<std::int64_t>(q);
}

std::int64_t CeilDiv(Wide a, Wide b) { return -FloorDiv(-a, b); }

std::int32_t Clamp32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

bool Less(const PlanScale& a, const PlanScale& b) { return Wide{a.num} * b.den < Wide{b.num} * a.den; }

PlanScale Reduced(std::int64_t num, std::int64_t den) {
    const std::int64_t g = std::gcd(num, den);
    return g > 1 ? PlanScale{num / g, den / g} : PlanScale{num, den};
}

// 2^k, for k from -40 to 40.
PlanScale PowerOfTwo(int k) {
    return k >= 0 ? PlanScale{std::int64_t{1} << k, 1} : PlanScale{1, std::int64_t{1} << -k};
}

constexpr int kLowestPower = -40;
constexpr int kHighestPower = 6;  // kMaxZoom
// A pinch's scale is kept to 1/65536 of a screen pixel per plan pixel.
constexpr std::int64_t kPinchDenominator = 65536;

}  // namespace

std::int32_t CSitePlan::ZoomPercent() const {
    return Clamp32(std::max<std::int64_t>(1, scale_.num * 100 / scale_.den));
}

PlanScale CSitePlan::FitScale() const {
    const std::int64_t pw = std::int64_t{maxX_} - minX_;
    const std::int64_t ph = std::int64_t{maxY_} - minY_;
    if (pw <= 0 || ph <= 0 || viewWidth_ <= 0 || viewHeight_ <= 0) return PlanScale{};
    // The tighter of the two axes.
    if (Wide{viewWidth_} * ph <= Wide{viewHeight_} * pw) return Reduced(viewWidth_, pw);
    return Reduced(viewHeight_, ph);
}

PlanScale CSitePlan::MinScale() const {
    const PlanScale fit = FitScale();
    return Less(fit, PlanScale{}) ? fit : PlanScale{};
}

PlanRect CSitePlan::Window() const {
    // Half the view each way of the centre.
    const Wide halfW = Wide{viewWidth_} * scale_.den;
    const Wide halfH = Wide{viewHeight_} * scale_.den;
    const Wide twice = 2 * Wide{scale_.num};
    return PlanRect{Clamp32(centreX_ + FloorDiv(-halfW, twice)), Clamp32(centreY_ + FloorDiv(-halfH, twice)),
                    Clamp32(centreX_ + CeilDiv(halfW, twice)), Clamp32(centreY_ + CeilDiv(halfH, twice))};
}

PlanRect CSitePlan::VisiblePlan() const {
    const PlanRect w = Window();
    PlanRect v{std::max(w.left, minX_), std::max(w.top, minY_), std::min(w.right, maxX_), std::min(w.bottom, maxY_)};
    if (v.right < v.left) v.right = v.left;
    if (v.bottom < v.top) v.bottom = v.top;
    return v;
}

void CSitePlan::ResetView(const PlanRect& area, std::int32_t imageWidth, std::int32_t imageHeight) {
    minX_ = 0;
    minY_ = 0;
    maxX_ = imageWidth;
    maxY_ = imageHeight;
    SetViewSize(area.Width(), area.Height());
    // The plan's top-left corner at the view's, as far as the plan allows.
    centreX_ = Clamp32(FloorDiv(Wide{viewWidth_} * scale_.den, 2 * Wide{scale_.num}));
    centreY_ = Clamp32(FloorDiv(Wide{viewHeight_} * scale_.den, 2 * Wide{scale_.num}));
    NormaliseX();
    NormaliseY();
}

bool CSitePlan::FitWholePlan() {
    const PlanScale least = MinScale();
    const bool fitted = Less(least, PlanScale{});
    const std::int32_t x = centreX_, y = centreY_;
    const bool rescaled = !(scale_ == least) || fitted_ != fitted;
    scale_ = least;
    fitted_ = fitted;
    centreX_ = Clamp32((std::int64_t{minX_} + maxX_) / 2);
    centreY_ = Clamp32((std::int64_t{minY_} + maxY_) / 2);
    NormaliseX();
    NormaliseY();
    return rescaled || x != centreX_ || y != centreY_;
}

bool CSitePlan::ShowActualSize() {
    const std::int32_t x = centreX_, y = centreY_;
    const bool rescaled = !(scale_ == PlanScale{}) || fitted_;
    scale_ = PlanScale{};
    fitted_ = false;
    // The same corner placement as a freshly reset view.
    centreX_ = Clamp32(minX_ + FloorDiv(Wide{viewWidth_}, 2));
    centreY_ = Clamp32(minY_ + FloorDiv(Wide{viewHeight_}, 2));
    NormaliseX();
    NormaliseY();
    return rescaled || x != centreX_ || y != centreY_;
}

void CSitePlan::SetViewSize(std::int32_t width, std::int32_t height) {
    viewWidth_ = std::max(width, 0);
    viewHeight_ = std::max(height, 0);
    const PlanScale least = MinScale();
    if (fitted_ || Less(scale_, least)) {
        scale_ = least;
        fitted_ = Less(least, PlanScale{});
    }
    NormaliseX();
    NormaliseY();
}

bool CSitePlan::CanZoomIn() const { return Less(scale_, PowerOfTwo(kHighestPower)); }

bool CSitePlan::CanZoomOut() const { return Less(MinScale(), scale_); }

bool CSitePlan::ZoomIn() { return ZoomInAbout(PlanRect{0, 0, viewWidth_, viewHeight_}, viewWidth_ / 2, viewHeight_ / 2); }

bool CSitePlan::ZoomOut() {
    return ZoomOutAbout(PlanRect{0, 0, viewWidth_, viewHeight_}, viewWidth_ / 2, viewHeight_ / 2);
}

bool CSitePlan::ZoomInAbout(const PlanRect& area, std::int32_t sx, std::int32_t sy) {
    if (!CanZoomIn()) return false;
    // The next power of two above: from a fitted or pinched scale, back
    // onto the ladder.
    for (int k = kLowestPower; k <= kHighestPower; ++k)
        if (Less(scale_, PowerOfTwo(k))) return SetScale(PowerOfTwo(k), false, area, sx, sy);
    return false;
}

bool CSitePlan::ZoomOutAbout(const PlanRect& area, std::int32_t sx, std::int32_t sy) {
    if (!CanZoomOut()) return false;
    const PlanScale least = MinScale();
    for (int k = kHighestPower; k >= kLowestPower; --k) {
        const PlanScale step = PowerOfTwo(k);
        if (!Less(step, scale_)) continue;
        if (Less(least, step)) return SetScale(step, false, area, sx, sy);
        break;
    }
    // The last step out lands on the whole plan.
    return SetScale(least, Less(least, PlanScale{}), area, sx, sy);
}

bool CSitePlan::ZoomByAbout(double factor, const PlanRect& area, std::int32_t sx, std::int32_t sy) {
    if (!(factor > 0) || !std::isfinite(factor)) return false;
    const double wanted = ScaleFactor() * factor;
    const PlanScale least = MinScale();
    if (wanted <= double(least.num) / double(least.den)) return SetScale(least, Less(least, PlanScale{}), area, sx, sy);
    if (wanted >= kMaxZoom) return SetScale(PowerOfTwo(kHighestPower), false, area, sx, sy);
    const auto num = static_cast<std::int64_t>(std::llround(wanted * kPinchDenominator));
    return SetScale(Reduced(std::max<std::int64_t>(num, 1), kPinchDenominator), false, area, sx, sy);
}

bool CSitePlan::SetScale(PlanScale scale, bool fitted, const PlanRect& area, std::int32_t sx, std::int32_t sy) {
    if (scale == scale_ && fitted == fitted_) return false;
    // The plan point under (sx, sy) stays there: the centre moves by the
    // view distance to it, measured in old minus new plan pixels.
    const double dx = double(sx) + 0.5 - area.left - area.Width() / 2.0;
    const double dy = double(sy) + 0.5 - area.top - area.Height() / 2.0;
    const double before = double(scale_.den) / double(scale_.num);
    const double after = double(scale.den) / double(scale.num);
    centreX_ = Clamp32(std::llround(centreX_ + dx * (before - after)));
    centreY_ = Clamp32(std::llround(centreY_ + dy * (before - after)));
    scale_ = scale;
    fitted_ = fitted;
    NormaliseX();
    NormaliseY();
    return true;
}

void CSitePlan::NormaliseX() {
    const std::int64_t width = std::int64_t{maxX_} - minX_;
    if (Wide{viewWidth_} * scale_.den >= Wide{width} * scale_.num)
        centreX_ = Clamp32((std::int64_t{minX_} + maxX_) / 2);
    else
        centreX_ = std::clamp(centreX_, minX_, maxX_);
}

void CSitePlan::NormaliseY() {
    const std::int64_t height = std::int64_t{maxY_} - minY_;
    if (Wide{viewHeight_} * scale_.den >= Wide{height} * scale_.num)
        centreY_ = Clamp32((std::int64_t{minY_} + maxY_) / 2);
    else
        centreY_ = std::clamp(centreY_, minY_, maxY_);
}

void CSitePlan::ScrollLeft(std::int32_t n) {
    centreX_ = Clamp32(std::max<std::int64_t>(std::int64_t{centreX_} - n, minX_));
    NormaliseX();
}

void CSitePlan::ScrollRight(std::int32_t n) {
    centreX_ = Clamp32(std::min<std::int64_t>(std::int64_t{centreX_} + n, maxX_));
    NormaliseX();
}

void CSitePlan::ScrollUp(std::int32_t n) {
    centreY_ = Clamp32(std::max<std::int64_t>(std::int64_t{centreY_} - n, minY_));
    NormaliseY();
}

void CSitePlan::ScrollDown(std::int32_t n) {
    centreY_ = Clamp32(std::min<std::int64_t>(std::int64_t{centreY_} + n, maxY_));
    NormaliseY();
}

void CSitePlan::SetCentreX(std::int32_t x) {
    centreX_ = std::max(std::min(x, maxX_), 0);
    NormaliseX();
}

void CSitePlan::SetCentreY(std::int32_t y) {
    centreY_ = std::max(std::min(y, maxY_), 0);
    NormaliseY();
}

void CSitePlan::CentreOn(std::int32_t x, std::int32_t y) {
    SetCentreX(x);
    SetCentreY(y);
}

void CSitePlan::CentreOnScreenPoint(const PlanRect& area, std::int32_t sx, std::int32_t sy) {
    if (area.Width() == 0 || area.Height() == 0) return;
    const PlanPoint p = ScreenToPlan(area, sx, sy);
    CentreOn(p.x, p.y);
}

PlanPoint CSitePlan::ScreenToPlan(const PlanRect& area, std::int32_t sx, std::int32_t sy) const {
    // The middle of the view pixel from the view's middle, in half pixels.
    const Wide dx = 2 * (Wide{sx} - area.left) + 1 - area.Width();
    const Wide dy = 2 * (Wide{sy} - area.top) + 1 - area.Height();
    return PlanPoint{Clamp32(centreX_ + FloorDiv(dx * scale_.den, 2 * Wide{scale_.num})),
                     Clamp32(centreY_ + FloorDiv(dy * scale_.den, 2 * Wide{scale_.num}))};
}

PlanPoint CSitePlan::PlanToScreenUnclipped(std::int32_t px, std::int32_t py, const PlanRect& area) const {
    // The middle of the plan pixel from the centre, in half plan pixels;
    // the view's middle is half its size from its corner.
    const Wide dx = 2 * (Wide{px} - centreX_) + 1;
    const Wide dy = 2 * (Wide{py} - centreY_) + 1;
    // The view pixel (s, s + 1] holding it: a middle on a pixel edge goes
    // to the pixel whose own middle then lies on the plan pixel.
    const Wide twice = 2 * Wide{scale_.den};
    return PlanPoint{Clamp32(area.left + CeilDiv(Wide{area.Width()} * scale_.den + dx * scale_.num, twice) - 1),
                     Clamp32(area.top + CeilDiv(Wide{area.Height()} * scale_.den + dy * scale_.num, twice) - 1)};
}

bool CSitePlan::PlanToScreen(std::int32_t px, std::int32_t py, const PlanRect& area, PlanPoint& screen) const {
    const PlanPoint s = PlanToScreenUnclipped(px, py, area);
    if (s.x < area.left || s.x > area.right || s.y < area.top || s.y > area.bottom) return false;
    screen = s;
    return true;
}

double CSitePlan::ScreenXOf(double planX, const PlanRect& area) const {
    return area.left + area.Width() / 2.0 + (planX - centreX_) * ScaleFactor();
}

double CSitePlan::ScreenYOf(double planY, const PlanRect& area) const {
    return area.top + area.Height() / 2.0 + (planY - centreY_) * ScaleFactor();
}

}  // namespace quorl
