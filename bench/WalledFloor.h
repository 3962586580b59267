#pragma once
// Synthetic floors with walls for the accuracy and speed benchmarks.
//
// A corridor 6 m wide runs along the middle; rooms 8 to 20 m wide open onto
// it above and below, each through a door 1 m wide. Every wall has a loss of
// its own, 3 to 12 dB: walls of 6 dB and more are drawn 4 px thick, lighter
// partitions 2 px. Each room also holds desks (thin outlines) and a label
// (short strokes) on the plan that do not attenuate. Access points stand at
// random in rooms and in the corridor; a level is P0 - 10 n log10(d) minus
// the losses of the walls crossed (by segment intersection) plus about 3 dB
// of spatially correlated shadowing, P0 -36 to -28 dBm at 1 m, n 2.6 to 3.4.
// Every access point heard above -90 dBm is stored at every point.
//
// Walks: through every room (the corridor every 1.5 m and a loop 3 m inside
// each room every 2 m), along the corridor only (every 1.5 m), or random
// (one point per 15 m²).

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "analysis/PlanPixels.h"
#include "analysis/SurveyPoints.h"

namespace quorl::bench {

enum class Walk { EveryRoom = 0, Corridor = 1, Random = 2 };

inline const char* WalkName(Walk w) {
    return w == Walk::EveryRoom ? "every room" : w == Walk::Corridor ? "corridor" : "random";
}

class WalledFloor {
public:
    static constexpr double kPxPerMetre = 10;

    WalledFloor(unsigned seed, int width = 800, int height = 500, int accessPoints = 6)
        : width_(width), height_(height), random_(seed) {
        std::uniform_real_distribution<double> u(0, 1);
        const double top = height / 2.0 - 30, bottom = height / 2.0 + 30;
        // Outer walls: 12 dB.
        Add(0, 0, width, 0, 12), Add(0, height, width, height, 12);
        Add(0, 0, 0, height, 12), Add(width, 0, width, height, 12);
        for (const bool upper : {true, false}) {
            const double y = upper ? top : bottom, far = upper ? 0 : height;
            for (double left = 0; left < width - 1;) {
                double right = std::min<double>(width, left + (80 + 120 * u(random_)));
                if (width - right < 80) right = width;
                const double door = left + 10 + (right - left - 30) * u(random_);
                const double loss = 3 + 9 * u(random_);
                Add(left, y, door, y, loss), Add(door + 10, y, right, y, loss);
                if (right < width) Add(right, far, right, y, 3 + 9 * u(random_));
                rooms_.push_back({left, std::min(y, far), right, std::max(y, far)});
                left = right;
            }
        }
        corridor_ = {0, top, static_cast<double>(width), bottom};
        for (int a = 0; a < accessPoints; ++a) {
            const Room& r = a % 4 == 3 ? corridor_ : rooms_[random_() % rooms_.size()];
            aps_.push_back({r.x0 + 10 + (r.x1 - r.x0 - 20) * u(random_), r.y0 + 10 + (r.y1 - r.y0 - 20) * u(random_),
                            -36 + 8 * u(random_), 2.6 + 0.8 * u(random_)});
        }
        // Shadowing: a sum of random plane waves 5 to 15 m long, about 3 dB.
        for (int i = 0; i < accessPoints * 8; ++i) {
            const double angle = 2 * M_PI * u(random_), wavelength = (5 + 10 * u(random_)) * kPxPerMetre;
            waves_.push_back({std::cos(angle) * 2 * M_PI / wavelength, std::sin(angle) * 2 * M_PI / wavelength,
                              2 * M_PI * u(random_)});
        }
        Draw();
    }

    int Width() const { return width_; }
    int Height() const { return height_; }
    std::size_t AccessPoints() const { return aps_.size(); }
    double ApX(std::size_t a) const { return aps_[a].x; }
    double ApY(std::size_t a) const { return aps_[a].y; }
    const analysis::GreyImage& Plan() const { return plan_; }

    double Level(std::size_t a, double x, double y) const {
        const Ap& ap = aps_[a];
        const double d = std::max(1.0, std::hypot(x - ap.x, y - ap.y) / kPxPerMetre);
        double loss = 0;
        for (const Wall& w : walls_)
            if (Crosses(w, ap.x, ap.y, x, y)) loss += w.loss;
        double shadow = 0;
        for (int k = 0; k < 8; ++k) {
            const Wave& w = waves_[a * 8 + k];
            shadow += std::cos(w.kx * x + w.ky * y + w.phase);
        }
        return ap.p0 - 10 * ap.n * std::log10(d) - loss + 1.5 * shadow;  // 8 waves: std 3 dB
    }
    // The strongest level of any access point.
    double Strongest(double x, double y) const {
        double best = -200;
        for (std::size_t a = 0; a < aps_.size(); ++a) best = std::max(best, Level(a, x, y));
        return best;
    }

    std::vector<std::pair<double, double>> Positions(Walk walk, unsigned seed) const {
        std::vector<std::pair<double, double>> at;
        const double mid = (corridor_.y0 + corridor_.y1) / 2;
        if (walk != Walk::Random)
            for (double x = 10; x < width_; x += 15) at.emplace_back(x, mid);
        if (walk == Walk::EveryRoom)
            for (const Room& r : rooms_) {
                const double x0 = r.x0 + 30, x1 = r.x1 - 30, y0 = r.y0 + 30, y1 = r.y1 - 30;
                for (double x = x0; x < x1; x += 20) at.emplace_back(x, y0), at.emplace_back(x, y1);
                for (double y = y0 + 20; y < y1; y += 20) at.emplace_back(x0, y), at.emplace_back(x1, y);
            }
        if (walk == Walk::Random) {
            std::mt19937 random(seed);
            std::uniform_real_distribution<double> x(1, width_ - 1), y(1, height_ - 1);
            const int n = static_cast<int>(width_ * height_ / (15 * kPxPerMetre * kPxPerMetre));
            for (int i = 0; i < n; ++i) at.emplace_back(x(random), y(random));
        }
        return at;
    }

    // A survey of the walk: every access point above -90 dBm at every point,
    // rounded to the unit's 1 dB, with `noise` dB of measurement error.
    analysis::Survey Take(Walk walk, double noise, unsigned seed) const {
        return TakeAt(Positions(walk, seed), noise, seed);
    }
    analysis::Survey TakeAt(const std::vector<std::pair<double, double>>& at, double noise, unsigned seed) const {
        std::mt19937 random(seed * 31 + 7);
        std::normal_distribution<double> error(0, 1);
        analysis::Survey survey;
        survey.name = "walled floor";
        for (const auto& [x, y] : at) {
            analysis::SurveyPoint p;
            p.x = x, p.y = y, p.kind = 2;
            p.index = static_cast<std::uint32_t>(survey.points.size());
            for (std::size_t a = 0; a < aps_.size(); ++a) {
                const double level = std::round(Level(a, x, y) + noise * error(random));
                if (level <= -90) continue;
                analysis::ApReading r;
                // Each access point in an address block of its own: no radio joins them.
                r.mac = {0x02, 0, 0, 0, static_cast<std::uint8_t>(a >> 4), static_cast<std::uint8_t>((a & 15) << 4)};
                r.channel = 1 + static_cast<int>(a % 11);
                r.level = static_cast<int>(level);
                p.aps.push_back(r);
            }
            survey.points.push_back(std::move(p));
        }
        return survey;
    }
    // The access point of a reading's address.
    static std::size_t ApOf(const analysis::MacAddress& mac) {
        return (static_cast<std::size_t>(mac[4]) << 4) | (mac[5] >> 4);
    }

private:
    struct Wall {
        double x0, y0, x1, y1, loss;
    };
    struct Room {
        double x0, y0, x1, y1;
    };
    struct Ap {
        double x, y, p0, n;
    };
    struct Wave {
        double kx, ky, phase;
    };

    void Add(double x0, double y0, double x1, double y1, double loss) { walls_.push_back({x0, y0, x1, y1, loss}); }

    static bool Crosses(const Wall& a, double x0, double y0, double x1, double y1) {
        auto side = [](double ax, double ay, double bx, double by, double px, double py) {
            return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
        };
        return side(a.x0, a.y0, a.x1, a.y1, x0, y0) * side(a.x0, a.y0, a.x1, a.y1, x1, y1) < 0 &&
               side(x0, y0, x1, y1, a.x0, a.y0) * side(x0, y0, x1, y1, a.x1, a.y1) < 0;
    }

    void Fill(int x0, int y0, int x1, int y1) {
        for (int y = std::max(0, y0); y < std::min(height_, y1); ++y)
            for (int x = std::max(0, x0); x < std::min(width_, x1); ++x)
                plan_.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                             static_cast<std::size_t>(x)] = 0;
    }

    void Draw() {
        plan_.width = width_, plan_.height = height_;
        plan_.pixels.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 255);
        for (const Wall& w : walls_) {
            const int half = w.loss >= 6 ? 2 : 1;
            Fill(static_cast<int>(std::min(w.x0, w.x1)) - half, static_cast<int>(std::min(w.y0, w.y1)) - half,
                 static_cast<int>(std::max(w.x0, w.x1)) + half, static_cast<int>(std::max(w.y0, w.y1)) + half);
        }
        std::uniform_real_distribution<double> u(0, 1);
        for (const Room& r : rooms_) {
            for (int desk = 0; desk < 3; ++desk) {  // 1.6 x 0.8 m outlines
                const int x = static_cast<int>(r.x0 + 15 + (r.x1 - r.x0 - 40) * u(random_));
                const int y = static_cast<int>(r.y0 + 15 + (r.y1 - r.y0 - 30) * u(random_));
                Fill(x, y, x + 16, y + 1), Fill(x, y + 8, x + 16, y + 9), Fill(x, y, x + 1, y + 9), Fill(x + 15, y, x + 16, y + 9);
            }
            const int tx = static_cast<int>((r.x0 + r.x1) / 2) - 15, ty = static_cast<int>((r.y0 + r.y1) / 2);
            for (int c = 0; c < 6; ++c) Fill(tx + 5 * c, ty, tx + 5 * c + 2, ty + 7), Fill(tx + 5 * c, ty, tx + 5 * c + 4, ty + 1);
        }
    }

    int width_, height_;
    std::mt19937 random_;
    std::vector<Wall> walls_;
    std::vector<Room> rooms_;
    Room corridor_{};
    std::vector<Ap> aps_;
    std::vector<Wave> waves_;
    analysis::GreyImage plan_;
};

}  // namespace quorl::bench
