#pragma once
// The colour scales of coverage maps. Levels (dBm) go on a fixed scale,
// -90 to -30 dBm unless told otherwise: either viridis (perceptually
// uniform, readable with every common colour-vision deficiency) or the five
// signal classes of the site view's markers. Counts go on a discrete scale,
// one colour per whole number up to a top class "N+".

#include <QRgb>
#include <QString>
#include <vector>

namespace quorl::coverage {

class ColourScale {
public:
    enum class Kind { Viridis, SignalClasses, Counts };

    static constexpr double kDefaultMin = -90.0;
    static constexpr double kDefaultMax = -30.0;

    // Values below `min` take the first colour, above `max` the last.
    static ColourScale Viridis(double min = kDefaultMin, double max = kDefaultMax);
    // Black below -90, red to -71, green to -51, blue to -31, white above.
    static ColourScale SignalClasses();
    // 0, 1, ... top - 1 and "top+".
    static ColourScale Counts(int top = 6);

    Kind GetKind() const { return kind_; }
    double Min() const { return min_; }
    double Max() const { return max_; }
    bool Discrete() const { return kind_ != Kind::Viridis; }

    // Cells where the nearest survey point heard nothing: a grey that is
    // neither end of any scale.
    static constexpr QRgb kNotHeardColour = 0xFFA0A0A0;

    // Opaque colour of a value (NaN: transparent black; -infinity, the
    // analysis' not heard: kNotHeardColour).
    QRgb ColourOf(double value) const;

    // One legend row of a discrete scale, or one tick of a continuous one.
    struct Entry {
        QRgb colour;
        QString label;
        double value;  // tick position for a continuous scale
    };
    // Discrete: one entry per class, lowest first. Continuous: ticks every
    // 10 units (5 when the span is under 30), ends included.
    std::vector<Entry> Entries() const;
    // "dBm", or "access points".
    QString Unit() const { return kind_ == Kind::Counts ? QStringLiteral("count") : QStringLiteral("dBm"); }
    // "viridis", "signal classes", "counts".
    QString Name() const;

private:
    ColourScale(Kind kind, double min, double max) : kind_(kind), min_(min), max_(max) {}
    Kind kind_;
    double min_;
    double max_;
};

}  // namespace quorl::coverage
