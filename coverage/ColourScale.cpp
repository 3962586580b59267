#include "coverage/ColourScale.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace quorl::coverage {

namespace {

// viridis at ten even steps (as matplotlib and viridisLite give it),
// interpolated linearly between them.
constexpr std::array<QRgb, 10> kViridis = {
    qRgb(0x44, 0x01, 0x54), qRgb(0x48, 0x28, 0x78), qRgb(0x3E, 0x4A, 0x89), qRgb(0x31, 0x68, 0x8E),
    qRgb(0x26, 0x82, 0x8E), qRgb(0x1F, 0x9E, 0x89), qRgb(0x35, 0xB7, 0x79), qRgb(0x6D, 0xCD, 0x59),
    qRgb(0xB4, 0xDE, 0x2C), qRgb(0xFD, 0xE7, 0x25)};

QRgb ViridisAt(double t) {
    t = std::clamp(t, 0.0, 1.0) * (kViridis.size() - 1);
    const std::size_t i = std::min<std::size_t>(static_cast<std::size_t>(t), kViridis.size() - 2);
    const double f = t - static_cast<double>(i);
    auto mix = [f](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * f)); };
    const QRgb a = kViridis[i], b = kViridis[i + 1];
    return qRgb(mix(qRed(a), qRed(b)), mix(qGreen(a), qGreen(b)), mix(qBlue(a), qBlue(b)));
}

// The site view's marker brushes, by the same class limits.
constexpr QRgb kClassBlack = qRgb(0, 0, 0);
constexpr QRgb kClassRed = qRgb(192, 0, 0);
constexpr QRgb kClassGreen = qRgb(0, 192, 0);
constexpr QRgb kClassBlue = qRgb(0, 0, 192);
constexpr QRgb kClassWhite = qRgb(255, 255, 255);

QRgb SignalClassOf(double level) {
    // Levels are whole dBm; an interpolated value takes the class it rounds into.
    const double l = std::round(level);
    if (l < -90) return kClassBlack;
    if (l <= -71) return kClassRed;
    if (l <= -51) return kClassGreen;
    if (l <= -31) return kClassBlue;
    return kClassWhite;
}

}  // namespace

ColourScale ColourScale::Viridis(double min, double max) {
    if (!(max > min)) max = min + 1;
    return ColourScale(Kind::Viridis, min, max);
}

ColourScale ColourScale::SignalClasses() { return ColourScale(Kind::SignalClasses, -90, -30); }

ColourScale ColourScale::Counts(int top) { return ColourScale(Kind::Counts, 0, std::max(1, top)); }

QRgb ColourScale::ColourOf(double value) const {
    if (std::isnan(value)) return qRgba(0, 0, 0, 0);
    if (std::isinf(value) && value < 0) return kNotHeardColour;
    switch (kind_) {
    case Kind::Viridis: return ViridisAt((value - min_) / (max_ - min_));
    case Kind::SignalClasses: return SignalClassOf(value);
    case Kind::Counts: {
        const double top = max_;
        const double n = std::clamp(std::round(value), 0.0, top);
        return ViridisAt(n / top);
    }
    }
    return qRgba(0, 0, 0, 0);
}

std::vector<ColourScale::Entry> ColourScale::Entries() const {
    std::vector<Entry> entries;
    switch (kind_) {
    case Kind::Viridis: {
        const double step = max_ - min_ < 30 ? 5 : 10;
        entries.push_back({ColourOf(min_), QString::number(min_), min_});
        for (double v = std::ceil(min_ / step + 1e-9) * step; v < max_ - 1e-9; v += step)
            if (v > min_ + 1e-9) entries.push_back({ColourOf(v), QString::number(v), v});
        entries.push_back({ColourOf(max_), QString::number(max_), max_});
        break;
    }
    case Kind::SignalClasses:
        entries = {{kClassBlack, QStringLiteral("below -90"), -95},
                   {kClassRed, QStringLiteral("-90 to -71"), -80},
                   {kClassGreen, QStringLiteral("-70 to -51"), -60},
                   {kClassBlue, QStringLiteral("-50 to -31"), -40},
                   {kClassWhite, QStringLiteral("-30 and above"), -25}};
        break;
    case Kind::Counts: {
        const int top = static_cast<int>(max_);
        for (int n = 0; n <= top; ++n)
            entries.push_back({ColourOf(n), n == top ? QString::number(n) + QStringLiteral("+") : QString::number(n), double(n)});
        break;
    }
    }
    return entries;
}

QString ColourScale::Name() const {
    switch (kind_) {
    case Kind::Viridis: return QStringLiteral("viridis");
    case Kind::SignalClasses: return QStringLiteral("signal classes");
    case Kind::Counts: return QStringLiteral("counts");
    }
    return {};
}

}  // namespace quorl::coverage
