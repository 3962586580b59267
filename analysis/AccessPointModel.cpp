#include "analysis/AccessPointModel.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <thread>
#include <unordered_map>

namespace quorl::analysis {

namespace {

constexpr double kMinExponent = 1.5, kMaxExponent = 6;
constexpr double kMaxWallLoss = 25;
constexpr double kPoolMetres = 1.0;
constexpr std::size_t kMaxFitCells = 300;     // cells in the refinement
constexpr std::size_t kFinalStarts = 2;       // rough solutions refined on them
constexpr std::size_t kMaxSearchCells = 80;   // cells in the coarse search
constexpr int kMaxCandidates = 300;           // positions in the coarse search
constexpr int kStarts = 6;                    // best candidates refined
constexpr double kMarginShare = 0.25;         // search this far beyond the plan on each side
constexpr double kSearchCellMetres = 0.5;     // wall raster of the coarse search
// 68 % of a two-dimensional normal lies within sqrt(2.279) of its sigma.
constexpr double kChi2Two68 = 2.279;
// Pooled cells still share their shadowing over a few metres, so the
// squared error grows faster away from the best position than independent
// readings would make it: the threshold is widened by this factor
// (squared). Set on the accuracy bench's training floors (1 to 6), so
// that about 68 % of their access points lie within the radius.
constexpr double kRadiusWidening = 1.0;
constexpr int kRadiusDirections = 12;
constexpr std::size_t kRadiusCells = 100;
// Weak priors, as if one more reading said so (a reading's typical error
// taken as 3 dB): P0 -35 dBm at 1 m within 10 dB, n 3 within 1. They only
// matter where the readings cannot tell distance from power (a corridor
// walk past a room), and keep those fits near what access points are.
constexpr double kPriorP0 = -35, kPriorP0Weight = (3.0 / 10) * (3.0 / 10);
constexpr double kPriorExponent = 3, kPriorExponentWeight = 3.0 * 3.0;
// A typical access point for the coarse radius: -30 dBm at 1 m, n = 3.
constexpr double kTypicalP0 = -30, kTypicalExponent = 3;
// Wall classes whose crossings vary less than this (variance over the
// cells) say nothing about their loss.
constexpr double kInformativeVariance = 0.25;
constexpr std::size_t kLearnFromCells = 12;
// The losses are learnt from the best-heard access points only.
constexpr std::size_t kLearnFromAccessPoints = 8;

struct Cell {
    double x, y, level;
};

// Parameters: x, y (plan pixels), P0, n, thin loss, thick loss.
constexpr int kParams = 6;
using Params = std::array<double, kParams>;

double Unit(const PlanFrame& frame) { return frame.metresPerPixel > 0 ? frame.metresPerPixel : 1.0; }

// The shortest distance the model takes (in its unit): a metre, or a
// hundredth of the plan without a scale.
double MinDistance(const PlanFrame& frame) {
    return frame.metresPerPixel > 0 ? 1.0 : std::max(1.0, std::max(frame.width, frame.height) / 100.0);
}

double PoolPixels(const PlanFrame& frame) {
    return frame.metresPerPixel > 0 ? kPoolMetres / frame.metresPerPixel
                                    : std::max(1.0, std::max(frame.width, frame.height) / 100.0);
}

// Mean level at mean position per square of `size` pixels.
std::vector<Cell> Pool(const std::vector<LevelAt>& readings, double size) {
    struct Sum {
        double x = 0, y = 0, level = 0;
        int n = 0;
    };
    std::unordered_map<std::int64_t, Sum> sums;
    std::vector<std::int64_t> order;
    for (const LevelAt& r : readings) {
        const auto ix = static_cast<std::int64_t>(std::floor(r.x / size));
        const auto iy = static_cast<std::int64_t>(std::floor(r.y / size));
        const std::int64_t key = ix * 1000003 + iy;
        auto [it, inserted] = sums.try_emplace(key);
        if (inserted) order.push_back(key);
        it->second.x += r.x, it->second.y += r.y, it->second.level += r.level, ++it->second.n;
    }
    std::vector<Cell> cells;
    cells.reserve(order.size());
    for (std::int64_t key : order) {
        const Sum& s = sums[key];
        cells.push_back({s.x / s.n, s.y / s.n, s.level / s.n});
    }
    return cells;
}

// Solves A x = b (n x n, row-major) by elimination with partial pivoting;
// false when singular.
template <std::size_t N>
bool Solve(std::array<std::array<double, N>, N> a, std::array<double, N> b, int n, std::array<double, N>& x) {
    for (int c = 0; c < n; ++c) {
        int pivot = c;
        for (int r = c + 1; r < n; ++r)
            if (std::abs(a[r][c]) > std::abs(a[pivot][c])) pivot = r;
        if (!(std::abs(a[pivot][c]) > 1e-12)) return false;
        std::swap(a[c], a[pivot]);
        std::swap(b[c], b[pivot]);
        for (int r = c + 1; r < n; ++r) {
            const double f = a[r][c] / a[c][c];
            for (int k = c; k < n; ++k) a[r][k] -= f * a[c][k];
            b[r] -= f * b[c];
        }
    }
    for (int c = n - 1; c >= 0; --c) {
        double s = b[c];
        for (int k = c + 1; k < n; ++k) s -= a[c][k] * x[k];
        x[c] = s / a[c][c];
    }
    return true;
}

struct Problem {
    const std::vector<Cell>* cells = nullptr;
    const PlanWalls* walls = nullptr;
    double unit = 1, minDistance = 1;
    bool fitWalls = false;             // wall losses free
    std::array<bool, 2> wallClass{};   // classes crossed anywhere (free when fitWalls)
    std::array<double, 2> fixedLoss{};
    double x0 = 0, x1 = 0, y0 = 0, y1 = 0;  // search region, plan pixels
    bool withWalls = false;
    bool priorP0 = false;  // only with a scale: P0 is per metre

    double Penalty(const Params& p) const {
        const double dp = p[2] - kPriorP0, dn = p[3] - kPriorExponent;
        return (priorP0 ? kPriorP0Weight * dp * dp : 0) + kPriorExponentWeight * dn * dn;
    }

    double Clamp(int k, double v) const {
        switch (k) {
        case 0: return std::clamp(v, x0, x1);
        case 1: return std::clamp(v, y0, y1);
        case 3: return std::clamp(v, kMinExponent, kMaxExponent);
        case 4:
        case 5: return std::clamp(v, 0.0, kMaxWallLoss);
        default: return v;
        }
    }
    double Distance(double x, double y, const Cell& c) const {
        return std::max(minDistance, unit * std::hypot(x - c.x, y - c.y));
    }
    std::vector<WallCrossings> Crossings(double x, double y) const {
        std::vector<WallCrossings> out(cells->size(), WallCrossings{0, 0});
        if (withWalls)
            for (std::size_t i = 0; i < cells->size(); ++i)
                out[i] = walls->Crossings(x, y, (*cells)[i].x, (*cells)[i].y);
        return out;
    }
};

// The best P0, n (and wall losses when free) for a fixed position, within
// their bounds (a small active set: a parameter that leaves its bound is
// held there and the rest solved again). Returns the squared error.
double SolveLinear(const Problem& pb, double x, double y, const std::vector<WallCrossings>& crossings, Params& p) {
    const std::vector<Cell>& cells = *pb.cells;
    // Columns: P0, n, thin, thick.
    std::array<bool, 4> free{true, true, pb.fitWalls && pb.wallClass[0], pb.fitWalls && pb.wallClass[1]};
    std::array<double, 4> fixedValue{0, 0, pb.fitWalls ? 0 : pb.fixedLoss[0], pb.fitWalls ? 0 : pb.fixedLoss[1]};
    std::array<double, 4> value{};
    std::vector<std::array<double, 4>> rows(cells.size());
    for (std::size_t i = 0; i < cells.size(); ++i)
        rows[i] = {1.0, -10 * std::log10(pb.Distance(x, y, cells[i])), -crossings[i][0],
                   -crossings[i][1]};
    for (int round = 0; round < 5; ++round) {
        std::array<int, 4> index{};
        int n = 0;
        for (int k = 0; k < 4; ++k)
            if (free[k]) index[n++] = k;
        std::array<std::array<double, 4>, 4> a{};
        std::array<double, 4> b{}, solution{};
        for (std::size_t i = 0; i < cells.size(); ++i) {
            double target = cells[i].level;
            for (int k = 0; k < 4; ++k)
                if (!free[k]) target -= rows[i][k] * fixedValue[k];
            for (int r = 0; r < n; ++r) {
                b[r] += rows[i][index[r]] * target;
                for (int c = 0; c < n; ++c) a[r][c] += rows[i][index[r]] * rows[i][index[c]];
            }
        }
        // The priors, on the free columns.
        for (int r = 0; r < n; ++r) {
            if (index[r] == 0 && pb.priorP0) a[r][r] += kPriorP0Weight, b[r] += kPriorP0Weight * kPriorP0;
            if (index[r] == 1) a[r][r] += kPriorExponentWeight, b[r] += kPriorExponentWeight * kPriorExponent;
            a[r][r] += 1e-9;
        }
        if (!Solve(a, b, n, solution)) {
            // Every cell at one distance: hold n at a typical value.
            if (free[1]) {
                free[1] = false;
                fixedValue[1] = kTypicalExponent;
                continue;
            }
            return std::numeric_limits<double>::infinity();
        }
        for (int k = 0; k < 4; ++k) value[k] = fixedValue[k];
        for (int r = 0; r < n; ++r) value[index[r]] = solution[r];
        // Hold the worst violation at its bound and solve again.
        int worst = -1;
        double by = 0;
        for (int k = 1; k < 4; ++k) {
            if (!free[k]) continue;
            const double clamped = pb.Clamp(k + 2, value[k]);
            if (std::abs(clamped - value[k]) > by) by = std::abs(clamped - value[k]), worst = k;
        }
        if (worst < 0) break;
        free[worst] = false;
        fixedValue[worst] = pb.Clamp(worst + 2, value[worst]);
        value[worst] = fixedValue[worst];
    }
    for (int k = 1; k < 4; ++k) value[k] = pb.Clamp(k + 2, value[k]);
    p = {x, y, value[0], value[1], value[2], value[3]};
    double squares = 0;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        double m = 0;
        for (int k = 0; k < 4; ++k) m += rows[i][k] * value[k];
        squares += (cells[i].level - m) * (cells[i].level - m);
    }
    return squares + pb.Penalty(p);
}

double Model(const Problem& pb, const Params& p, const Cell& c, const WallCrossings& w) {
    return p[2] - 10 * p[3] * std::log10(pb.Distance(p[0], p[1], c)) - p[4] * w[0] - p[5] * w[1];
}

double Squares(const Problem& pb, const Params& p, const std::vector<WallCrossings>& crossings) {
    double s = 0;
    for (std::size_t i = 0; i < pb.cells->size(); ++i) {
        const double r = (*pb.cells)[i].level - Model(pb, p, (*pb.cells)[i], crossings[i]);
        s += r * r;
    }
    return s + pb.Penalty(p);
}

// Which parameters the refinement moves.
std::array<bool, kParams> FreeParams(const Problem& pb) {
    return {true, true, true, true, pb.fitWalls && pb.wallClass[0], pb.fitWalls && pb.wallClass[1]};
}

// The model's derivatives by the free parameters at one cell.
void Gradient(const Problem& pb, const Params& p, const Cell& c, const WallCrossings& w,
              std::array<double, kParams>& g) {
    const double dx = p[0] - c.x, dy = p[1] - c.y;
    const double rho2 = dx * dx + dy * dy;
    const bool clamped = pb.unit * std::sqrt(rho2) <= pb.minDistance;
    const double k = -10 * p[3] / std::log(10.0);
    g[0] = clamped ? 0 : k * dx / rho2;
    g[1] = clamped ? 0 : k * dy / rho2;
    g[2] = 1;
    g[3] = -10 * std::log10(pb.Distance(p[0], p[1], c));
    g[4] = -w[0];
    g[5] = -w[1];
}

struct Refined {
    Params p{};
    double squares = std::numeric_limits<double>::infinity();
    std::vector<WallCrossings> crossings;
};

// Levenberg-Marquardt from `start`, walls counted afresh at every step.
Refined Refine(const Problem& pb, Params start) {
    const auto freeMask = FreeParams(pb);
    std::array<int, kParams> index{};
    int n = 0;
    for (int k = 0; k < kParams; ++k)
        if (freeMask[k]) index[n++] = k;
    Refined best;
    best.p = start;
    best.crossings = pb.Crossings(start[0], start[1]);
    best.squares = Squares(pb, best.p, best.crossings);
    double lambda = 1e-3;
    for (int iteration = 0; iteration < 40; ++iteration) {
        std::array<std::array<double, kParams>, kParams> a{};
        std::array<double, kParams> b{}, g{};
        for (std::size_t i = 0; i < pb.cells->size(); ++i) {
            const Cell& c = (*pb.cells)[i];
            Gradient(pb, best.p, c, best.crossings[i], g);
            const double r = c.level - Model(pb, best.p, c, best.crossings[i]);
            for (int row = 0; row < n; ++row) {
                b[row] += g[index[row]] * r;
                for (int col = 0; col < n; ++col) a[row][col] += g[index[row]] * g[index[col]];
            }
        }
        for (int row = 0; row < n; ++row) {
            if (index[row] == 2 && pb.priorP0)
                a[row][row] += kPriorP0Weight, b[row] -= kPriorP0Weight * (best.p[2] - kPriorP0);
            if (index[row] == 3)
                a[row][row] += kPriorExponentWeight, b[row] -= kPriorExponentWeight * (best.p[3] - kPriorExponent);
        }
        bool improved = false;
        while (lambda < 1e9) {
            auto damped = a;
            for (int d = 0; d < n; ++d) damped[d][d] += lambda * a[d][d] + 1e-12;
            std::array<double, kParams> step{};
            if (!Solve(damped, b, n, step)) {
                lambda *= 10;
                continue;
            }
            Refined trial;
            trial.p = best.p;
            for (int d = 0; d < n; ++d) trial.p[index[d]] = pb.Clamp(index[d], best.p[index[d]] + step[d]);
            trial.crossings = pb.Crossings(trial.p[0], trial.p[1]);
            trial.squares = Squares(pb, trial.p, trial.crossings);
            if (trial.squares < best.squares) {
                const double gain = best.squares - trial.squares;
                best = std::move(trial);
                lambda = std::max(1e-7, lambda * 0.3);
                improved = gain > 1e-7 * (1 + best.squares);
                break;
            }
            lambda *= 4;
        }
        if (!improved) break;
    }
    return best;
}

// Up to `most` cells: the strongest third, then an even stride of the rest.
std::vector<Cell> Thin(const std::vector<Cell>& cells, std::size_t most) {
    if (cells.size() <= most) return cells;
    std::vector<Cell> sorted = cells;
    std::sort(sorted.begin(), sorted.end(), [](const Cell& a, const Cell& b) { return a.level > b.level; });
    const std::size_t strongest = most / 3, rest = most - strongest;
    std::vector<Cell> out(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(strongest));
    const double stride = static_cast<double>(sorted.size() - strongest) / static_cast<double>(rest);
    for (std::size_t i = 0; i < rest; ++i)
        out.push_back(sorted[strongest + static_cast<std::size_t>(static_cast<double>(i) * stride)]);
    return out;
}

// The 68 % radius: how far the position can move, every other parameter
// fitted afresh, before the squared error grows by the 68 % level of a
// two-parameter change (in units of the residual variance). Walked out
// along kRadiusDirections directions (doubling, then halving the step),
// on at most kRadiusCells cells; the longest reach is the radius. Other
// starts' solutions that fit within the level widen it to reach them.
double Radius(const Problem& pb, const Refined& best, const std::vector<Refined>& solutions,
              const std::vector<Cell>& cells, double most) {
    const std::vector<Cell> few = Thin(cells, kRadiusCells);
    Problem profile = pb;
    profile.cells = &few;
    auto squares = [&](double x, double y) {
        Params p{};
        return SolveLinear(profile, x, y, profile.Crossings(x, y), p);
    };
    const double base = squares(best.p[0], best.p[1]);
    const double dof = static_cast<double>(few.size()) - 4;
    if (!std::isfinite(base) || dof <= 0) return most;
    const double level = base + kChi2Two68 * kRadiusWidening * kRadiusWidening * std::max(base / dof, 1e-6);
    double radius = 0;
    const double first = std::max(1.0, most / 512);
    for (int d = 0; d < kRadiusDirections; ++d) {
        const double angle = 2 * M_PI * d / kRadiusDirections, ux = std::cos(angle), uy = std::sin(angle);
        double inside = 0, outside = first;
        while (outside < most && squares(best.p[0] + ux * outside, best.p[1] + uy * outside) <= level)
            inside = outside, outside *= 2;
        if (outside >= most) return most;
        for (int i = 0; i < 4; ++i) {
            const double mid = (inside + outside) / 2;
            (squares(best.p[0] + ux * mid, best.p[1] + uy * mid) <= level ? inside : outside) = mid;
        }
        radius = std::max(radius, outside);
    }
    const double sigma2 = best.squares / std::max(1.0, static_cast<double>(cells.size()) - 4);
    for (const Refined& other : solutions)
        if ((other.squares - best.squares) / sigma2 <= kChi2Two68 * kRadiusWidening * kRadiusWidening)
            radius = std::max(radius, std::hypot(other.p[0] - best.p[0], other.p[1] - best.p[1]));
    return radius;
}

PathLossFit Coarse(const std::vector<LevelAt>& readings, const PlanFrame& frame, std::string note) {
    PathLossFit fit;
    fit.coarse = true;
    fit.note = std::move(note);
    fit.readings = readings.size();
    if (readings.empty()) return fit;
    std::vector<LevelAt> sorted = readings;
    std::sort(sorted.begin(), sorted.end(), [](const LevelAt& a, const LevelAt& b) { return a.level > b.level; });
    const std::size_t n = std::min<std::size_t>(5, sorted.size());
    double weights = 0, x = 0, y = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double w = std::pow(10.0, (sorted[i].level - sorted[0].level) / 10.0);
        weights += w, x += w * sorted[i].x, y += w * sorted[i].y;
    }
    fit.x = x / weights, fit.y = y / weights;
    double spread = 0;
    for (const LevelAt& r : readings) spread = std::max(spread, std::hypot(r.x - fit.x, r.y - fit.y));
    const double diagonal = std::hypot(frame.width, frame.height);
    double reach = diagonal / 10;
    if (frame.metresPerPixel > 0) {
        // Where a typical access point fades to the strongest level heard.
        const double metres = std::pow(10.0, (kTypicalP0 - sorted[0].level) / (10 * kTypicalExponent));
        reach = std::clamp(metres, 2.0, 1e6) / frame.metresPerPixel;
    }
    fit.radius = std::min(std::max(reach, spread), std::max(diagonal, 1.0));
    fit.offPlan = fit.x < 0 || fit.y < 0 || fit.x >= frame.width || fit.y >= frame.height;
    return fit;
}

struct Informative {
    std::array<bool, 2> classes{};
};

PathLossFit Fit(const std::vector<LevelAt>& all, const PlanWalls& walls, const PlanFrame& frame,
                const std::array<double, 2>* wallLoss, Informative* informative) {
    std::vector<LevelAt> readings;
    readings.reserve(all.size());
    for (const LevelAt& r : all)
        if (r.level > kUnitFloorDbm && std::isfinite(r.level) && std::isfinite(r.x) && std::isfinite(r.y))
            readings.push_back(r);
    if (readings.empty())
        return Coarse(all, frame, all.empty() ? "never heard" : "every reading at the unit's floor: no level to fit");
    const double pool = PoolPixels(frame);
    std::vector<Cell> cells = Pool(readings, pool);
    char why[160];
    if (cells.size() < kMinCells) {
        std::snprintf(why, sizeof why, "heard at %zu place%s: too few for a model, position from the strongest readings",
                      cells.size(), cells.size() == 1 ? "" : "s");
        return Coarse(readings, frame, why);
    }
    double low = cells[0].level, high = low;
    for (const Cell& c : cells) low = std::min(low, c.level), high = std::max(high, c.level);
    if (high - low < 3)
        return Coarse(readings, frame, "every reading within 3 dB of the others: no slope to fit");

    // The strongest cells say most about the position: all of them are kept.
    const std::size_t pooled = cells.size();
    cells = Thin(cells, kMaxFitCells);
    Problem pb;
    pb.cells = &cells;
    pb.walls = &walls;
    pb.unit = Unit(frame);
    pb.minDistance = MinDistance(frame);
    pb.withWalls = walls.Any();
    pb.fitWalls = pb.withWalls && wallLoss == nullptr;
    pb.priorP0 = frame.metresPerPixel > 0;
    if (wallLoss) pb.fixedLoss = *wallLoss;
    const double mx = kMarginShare * frame.width, my = kMarginShare * frame.height;
    pb.x0 = -mx, pb.x1 = frame.width + mx, pb.y0 = -my, pb.y1 = frame.height + my;

    // Coarse search: a lattice over the region, walls on metre cells.
    const PlanWalls coarseWalls =
        walls.Coarser(std::max(1, static_cast<int>(kSearchCellMetres / (pb.unit * walls.CellPixels()))));
    std::vector<Cell> few = Thin(cells, kMaxSearchCells);
    Problem search = pb;
    search.cells = &few;
    search.walls = &coarseWalls;
    std::vector<WallCrossings> scratch;
    if (pb.withWalls) {
        // Classes never crossed from anywhere stay out of the fit.
        for (int k = 0; k < 2; ++k) search.wallClass[k] = true;
    }
    const double width = pb.x1 - pb.x0, height = pb.y1 - pb.y0;
    const double spacing = std::sqrt(width * height / kMaxCandidates);
    struct Candidate {
        double squares;
        Params p;
    };
    std::vector<Candidate> candidates;
    for (double y = pb.y0 + spacing / 2; y < pb.y1; y += spacing)
        for (double x = pb.x0 + spacing / 2; x < pb.x1; x += spacing) {
            Params p{};
            const double s = SolveLinear(search, x, y, search.Crossings(x, y), p);
            if (std::isfinite(s)) candidates.push_back({s, p});
        }
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate& a, const Candidate& b) { return a.squares < b.squares; });
    std::vector<Params> starts;
    for (const Candidate& c : candidates) {
        bool apart = true;
        for (const Params& s : starts) apart = apart && std::hypot(s[0] - c.p[0], s[1] - c.p[1]) > 2.5 * spacing;
        if (apart) starts.push_back(c.p);
        if (starts.size() == static_cast<std::size_t>(kStarts)) break;
    }
    {
        // And the centroid of the strongest readings.
        const PathLossFit centroid = Coarse(readings, frame, "");
        Params p{};
        pb.wallClass = {pb.withWalls, pb.withWalls};
        if (std::isfinite(SolveLinear(pb, centroid.x, centroid.y, pb.Crossings(centroid.x, centroid.y), p)))
            starts.push_back(p);
    }
    // Wall classes no cell is ever behind (from the starts) cannot be fitted.
    pb.wallClass = {false, false};
    if (pb.withWalls)
        for (const Params& s : starts)
            for (const WallCrossings& w : pb.Crossings(s[0], s[1]))
                for (int k = 0; k < 2; ++k) pb.wallClass[k] = pb.wallClass[k] || w[k] > 0;

    // Every start refined on the search's cells (with the fine walls: a door
    // may be all that tells a room from the one opposite), the best two
    // again on all cells.
    search.walls = &walls;
    std::vector<Refined> rough;
    for (Params start : starts) {
        if (!pb.fitWalls)
            start[4] = pb.fixedLoss[0], start[5] = pb.fixedLoss[1];
        else
            for (int k = 0; k < 2; ++k) start[4 + k] = pb.wallClass[k] ? start[4 + k] : 0;
        search.wallClass = pb.wallClass;
        rough.push_back(Refine(search, start));
    }
    std::sort(rough.begin(), rough.end(), [](const Refined& a, const Refined& b) { return a.squares < b.squares; });
    std::vector<Refined> solutions;
    for (std::size_t i = 0; i < std::min<std::size_t>(kFinalStarts, rough.size()); ++i)
        solutions.push_back(Refine(pb, rough[i].p));
    if (solutions.empty())
        return Coarse(readings, frame, "the readings fit no path-loss model, position from the strongest readings");
    std::sort(solutions.begin(), solutions.end(),
              [](const Refined& a, const Refined& b) { return a.squares < b.squares; });
    const Refined& best = solutions.front();

    if (informative) {
        // Which wall classes this access point's cells see varying counts of.
        std::array<double, 2> mean{0, 0}, variance{0, 0};
        for (const WallCrossings& w : best.crossings)
            for (int k = 0; k < 2; ++k) mean[k] += w[k];
        for (int k = 0; k < 2; ++k) mean[k] /= static_cast<double>(cells.size());
        for (const WallCrossings& w : best.crossings)
            for (int k = 0; k < 2; ++k) variance[k] += (w[k] - mean[k]) * (w[k] - mean[k]);
        for (int k = 0; k < 2; ++k)
            informative->classes[k] =
                pb.fitWalls && variance[k] / static_cast<double>(cells.size()) >= kInformativeVariance;
    }
    const double diagonal = std::hypot(frame.width, frame.height);
    const double radius = informative ? 0 : Radius(pb, best, solutions, cells, diagonal);

    PathLossFit fit;
    fit.coarse = false;
    fit.x = best.p[0], fit.y = best.p[1];
    fit.p0 = best.p[2], fit.exponent = best.p[3];
    fit.wallLoss = {best.p[4], best.p[5]};
    fit.rms = std::sqrt(best.squares / static_cast<double>(cells.size()));
    fit.readings = readings.size();
    fit.cells = pooled;
    fit.radius = std::clamp(radius, pool / 2, std::max(diagonal, pool / 2));
    fit.offPlan = fit.x < 0 || fit.y < 0 || fit.x >= frame.width || fit.y >= frame.height;
    const bool atEdge = fit.x <= pb.x0 + 1e-6 || fit.x >= pb.x1 - 1e-6 || fit.y <= pb.y0 + 1e-6 || fit.y >= pb.y1 - 1e-6;
    if (atEdge) {
        fit.radius = std::max(fit.radius, diagonal / 2);
        fit.note = "far off the plan: only the direction is known";
    }
    return fit;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t h = v.size() / 2;
    return v.size() % 2 ? v[h] : (v[h - 1] + v[h]) / 2;
}

// Runs `work(i)` for i in [0, n) on two threads.
template <typename Work>
void OnTwoThreads(std::size_t n, Work work) {
    std::atomic<std::size_t> next{0};
    auto loop = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < n;) work(i);
    };
    if (n < 2) {
        loop();
        return;
    }
    std::thread other(loop);
    loop();
    other.join();
}

}  // namespace

double PathLossFit::Predict(double px, double py, const PlanWalls& walls, const PlanFrame& frame) const {
    const double d = std::max(MinDistance(frame), Unit(frame) * std::hypot(px - x, py - y));
    const WallCrossings w = walls.Crossings(x, y, px, py);
    return p0 - 10 * exponent * std::log10(d) - wallLoss[0] * w[0] - wallLoss[1] * w[1];
}

PathLossFit FitAccessPoint(const std::vector<LevelAt>& readings, const PlanWalls& walls, const PlanFrame& frame,
                           const std::array<double, 2>* wallLoss) {
    return Fit(readings, walls, frame, wallLoss, nullptr);
}

std::vector<PathLossFit> FitAccessPoints(const std::vector<std::vector<LevelAt>>& readings, const PlanWalls& walls,
                                         const PlanFrame& frame, std::array<double, 2>* learnt) {
    std::array<double, 2> loss{0, 0};
    if (walls.Any()) {
        std::vector<std::size_t> order(readings.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return readings[a].size() > readings[b].size(); });
        order.resize(std::min(order.size(), kLearnFromAccessPoints));
        std::vector<PathLossFit> first(readings.size());
        std::vector<Informative> informative(readings.size());
        OnTwoThreads(order.size(), [&](std::size_t j) {
            const std::size_t i = order[j];
            if (readings[i].size() >= kLearnFromCells) first[i] = Fit(readings[i], walls, frame, nullptr, &informative[i]);
        });
        for (int k = 0; k < 2; ++k) {
            std::vector<double> losses;
            for (std::size_t i = 0; i < readings.size(); ++i)
                if (!first[i].coarse && first[i].cells >= kLearnFromCells && informative[i].classes[k])
                    losses.push_back(first[i].wallLoss[k]);
            loss[k] = Median(losses);
        }
    }
    if (learnt) *learnt = loss;
    std::vector<PathLossFit> fits(readings.size());
    OnTwoThreads(readings.size(), [&](std::size_t i) { fits[i] = Fit(readings[i], walls, frame, &loss, nullptr); });
    return fits;
}

}  // namespace quorl::analysis
