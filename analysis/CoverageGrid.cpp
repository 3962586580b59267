#include "analysis/CoverageGrid.h"

#include <algorithm>
#include <limits>
#include <nanoflann.hpp>
#include <thread>

#include "analysis/KernelChoice.h"

namespace quorl::analysis {

GridGeometry GridGeometry::WithCellSize(int planWidth, int planHeight, int cellSize) {
    GridGeometry g;
    g.planWidth = std::max(0, planWidth);
    g.planHeight = std::max(0, planHeight);
    g.cellSize = std::max(1, cellSize);
    g.columns = (g.planWidth + g.cellSize - 1) / g.cellSize;
    g.rows = (g.planHeight + g.cellSize - 1) / g.cellSize;
    return g;
}

GridGeometry GridGeometry::ForPlan(int planWidth, int planHeight) {
    const int longest = std::max({planWidth, planHeight, 1});
    return WithCellSize(planWidth, planHeight, std::max(2, (longest + kMaxCellsAcross - 1) / kMaxCellsAcross));
}

int GridGeometry::ColumnOf(double x) const {
    if (!(x >= 0) || x >= static_cast<double>(columns) * cellSize) return -1;
    return static_cast<int>(x / cellSize);
}

int GridGeometry::RowOf(double y) const {
    if (!(y >= 0) || y >= static_cast<double>(rows) * cellSize) return -1;
    return static_cast<int>(y / cellSize);
}

namespace {

// The points as nanoflann's dataset.
struct Cloud {
    const std::vector<ValuePoint>* points = nullptr;
    std::size_t kdtree_get_point_count() const { return points->size(); }
    double kdtree_get_pt(std::size_t i, std::size_t dim) const { return dim == 0 ? (*points)[i].x : (*points)[i].y; }
    template <class Box>
    bool kdtree_get_bbox(Box&) const {
        return false;
    }
};

using Tree = nanoflann::KDTreeSingleIndexAdaptor<nanoflann::L2_Simple_Adaptor<double, Cloud>, Cloud, 2, std::uint32_t>;

// The k nearest within a squared radius: the search never looks past it.
class BoundedKnn {
public:
    using DistanceType = double;
    using IndexType = std::uint32_t;
    using CountType = std::size_t;

    BoundedKnn(std::size_t capacity, double radiusSquared, IndexType* indices, double* distances)
        : capacity_(capacity), limit_(radiusSquared), indices_(indices), distances_(distances) {}

    std::size_t size() const { return count_; }
    bool full() const { return count_ == capacity_; }
    // The tree takes points strictly nearer than this: one exactly at the
    // radius still counts.
    double worstDist() const { return full() ? distances_[capacity_ - 1] : std::nextafter(limit_, INFINITY); }
    bool addPoint(double distance, IndexType index) {
        if (distance > limit_) return true;
        std::size_t i = count_;
        for (; i > 0 && distances_[i - 1] > distance; --i) {
            if (i < capacity_) {
                distances_[i] = distances_[i - 1];
                indices_[i] = indices_[i - 1];
            }
        }
        if (i < capacity_) {
            distances_[i] = distance;
            indices_[i] = index;
        }
        if (count_ < capacity_) ++count_;
        return true;
    }

private:
    std::size_t capacity_;
    std::size_t count_ = 0;
    double limit_;
    IndexType* indices_;
    double* distances_;
};

// Every point within a squared radius, unsorted.
class Collector {
public:
    using DistanceType = double;
    using IndexType = std::uint32_t;
    using CountType = std::size_t;

    Collector(double radiusSquared, std::vector<std::uint32_t>& out) : limit_(radiusSquared), out_(out) {}
    std::size_t size() const { return out_.size(); }
    bool full() const { return true; }
    double worstDist() const { return std::nextafter(limit_, INFINITY); }
    bool addPoint(double, IndexType index) {
        out_.push_back(index);
        return true;
    }

private:
    double limit_;
    std::vector<std::uint32_t>& out_;
};

constexpr float kNoData = std::numeric_limits<float>::quiet_NaN();

// Gaussian elimination with partial pivoting of the m x m system a x = b,
// x left in b: m is a few dozen at most. False when it is singular.
bool SolveInPlace(std::vector<double>& a, std::vector<double>& b, std::size_t m) {
    for (std::size_t c = 0; c < m; ++c) {
        std::size_t pivot = c;
        for (std::size_t r = c + 1; r < m; ++r)
            if (std::abs(a[r * m + c]) > std::abs(a[pivot * m + c])) pivot = r;
        if (!(std::abs(a[pivot * m + c]) > 1e-12)) return false;
        if (pivot != c) {
            for (std::size_t k = 0; k < m; ++k) std::swap(a[c * m + k], a[pivot * m + k]);
            std::swap(b[c], b[pivot]);
        }
        for (std::size_t r = c + 1; r < m; ++r) {
            const double f = a[r * m + c] / a[c * m + c];
            if (f == 0) continue;
            for (std::size_t k = c; k < m; ++k) a[r * m + k] -= f * a[c * m + k];
            b[r] -= f * b[c];
        }
    }
    for (std::size_t c = m; c-- > 0;) {
        double v = b[c];
        for (std::size_t k = c + 1; k < m; ++k) v -= a[c * m + k] * b[k];
        b[c] = v / a[c * m + c];
    }
    return true;
}

}  // namespace

struct CoverageGrid::Index {
    Cloud cloud;
    Tree tree;
    explicit Index(const std::vector<ValuePoint>& points)
        : cloud{&points}, tree(2, cloud, nanoflann::KDTreeSingleIndexAdaptorParams(8)) {}
};

CoverageGrid::CoverageGrid(GridGeometry geometry, double radius, std::optional<CoverageKernel> kernel)
    : geometry_(geometry),
      radius_(std::isfinite(radius) && radius > 0 ? radius : 1.0),
      inverseRadius2_(1.0 / (radius_ * radius_)),
      fixedKernel_(kernel),
      kernel_(kernel.value_or(CoverageKernel::Scattered())),
      values_(geometry.CellCount(), kNoData),
      heldSum_(geometry.CellCount(), 0.0),
      heldCount_(geometry.CellCount(), 0),
      heldNotHeard_(geometry.CellCount(), 0) {}

CoverageGrid::~CoverageGrid() = default;

CoverageGrid::CoverageGrid(const CoverageGrid& other)
    : geometry_(other.geometry_),
      radius_(other.radius_),
      inverseRadius2_(other.inverseRadius2_),
      fixedKernel_(other.fixedKernel_),
      kernel_(other.kernel_),
      points_(other.points_),
      notHeard_(other.notHeard_),
      values_(other.values_),
      heldSum_(other.heldSum_),
      heldCount_(other.heldCount_),
      heldNotHeard_(other.heldNotHeard_) {
    Reindex();
}

CoverageGrid& CoverageGrid::operator=(const CoverageGrid& other) {
    if (this != &other) *this = CoverageGrid(other);
    return *this;
}

CoverageGrid::CoverageGrid(CoverageGrid&& other) noexcept
    : geometry_(other.geometry_),
      radius_(other.radius_),
      inverseRadius2_(other.inverseRadius2_),
      fixedKernel_(other.fixedKernel_),
      kernel_(other.kernel_),
      points_(std::move(other.points_)),
      notHeard_(std::move(other.notHeard_)),
      values_(std::move(other.values_)),
      heldSum_(std::move(other.heldSum_)),
      heldCount_(std::move(other.heldCount_)),
      heldNotHeard_(std::move(other.heldNotHeard_)),
      index_(std::move(other.index_)),
      notHeardIndex_(std::move(other.notHeardIndex_)) {
    PointIndexHome();
}

CoverageGrid& CoverageGrid::operator=(CoverageGrid&& other) noexcept {
    if (this == &other) return *this;
    geometry_ = other.geometry_;
    radius_ = other.radius_;
    inverseRadius2_ = other.inverseRadius2_;
    fixedKernel_ = other.fixedKernel_;
    kernel_ = other.kernel_;
    points_ = std::move(other.points_);
    notHeard_ = std::move(other.notHeard_);
    values_ = std::move(other.values_);
    heldSum_ = std::move(other.heldSum_);
    heldCount_ = std::move(other.heldCount_);
    heldNotHeard_ = std::move(other.heldNotHeard_);
    index_ = std::move(other.index_);
    notHeardIndex_ = std::move(other.notHeardIndex_);
    PointIndexHome();
    return *this;
}

// A moved vector keeps its buffer, so the trees' order of points stays
// valid; only the dataset they read through must be this grid's.
void CoverageGrid::PointIndexHome() {
    if (index_) index_->cloud.points = &points_;
    if (notHeardIndex_) notHeardIndex_->cloud.points = &notHeard_;
}

bool CoverageGrid::Hold(const ValuePoint& p) {
    const int column = geometry_.ColumnOf(p.x), row = geometry_.RowOf(p.y);
    if (column < 0 || row < 0 || std::isnan(p.value) || (std::isinf(p.value) && p.value > 0)) return false;
    const std::size_t cell = static_cast<std::size_t>(row) * geometry_.columns + column;
    if (std::isinf(p.value)) {
        ++heldNotHeard_[cell];
        notHeard_.push_back(ValuePoint{p.x, p.y, kNotHeard});
    } else {
        heldSum_[cell] += p.value;
        ++heldCount_[cell];
        points_.push_back(p);
    }
    return true;
}

void CoverageGrid::Build(std::vector<ValuePoint> points) {
    points_.clear();
    notHeard_.clear();
    std::fill(heldSum_.begin(), heldSum_.end(), 0.0);
    std::fill(heldCount_.begin(), heldCount_.end(), 0u);
    std::fill(heldNotHeard_.begin(), heldNotHeard_.end(), 0u);
    for (const ValuePoint& p : points) Hold(p);
    Reindex();
    kernel_ = fixedKernel_ ? *fixedKernel_ : ChooseKernel(*this).kernel;
    ComputeCells(0, 0, geometry_.columns - 1, geometry_.rows - 1);
}

void CoverageGrid::Add(const ValuePoint& p) {
    if (!Hold(p)) return;
    // Rebuilding the tree costs less than the cells below for any survey a
    // person walks (10,000 points: about a millisecond).
    Reindex();
    // The point shapes cells as far as the reach; it changes the slopes of
    // the points within the radius, which shape cells as far again.
    // It joins the systems of the block centres within their reach, which
    // blend into the cells a block farther.
    const double r = SolveReach() + (kBlockCells + 1) * geometry_.cellSize;
    auto clampColumn = [&](double x) {
        return std::clamp(static_cast<int>(x / geometry_.cellSize), 0, geometry_.columns - 1);
    };
    auto clampRow = [&](double y) {
        return std::clamp(static_cast<int>(y / geometry_.cellSize), 0, geometry_.rows - 1);
    };
    ComputeCells(clampColumn(std::max(0.0, p.x - r)), clampRow(std::max(0.0, p.y - r)), clampColumn(p.x + r),
                 clampRow(p.y + r));
}

void CoverageGrid::Reindex() {
    index_.reset();
    notHeardIndex_.reset();
    if (!points_.empty()) index_ = std::make_unique<Index>(points_);
    if (!notHeard_.empty()) notHeardIndex_ = std::make_unique<Index>(notHeard_);
}

namespace {

// The candidates of a block of cells around (cx, cy), h from the centre to
// its farthest cell centre: with d the distance from the centre to its
// `rank`-th nearest point within R, a cell's `rank`-th nearest lies within
// d + h of it, so its `rank` nearest lie within min(R, d + h) + h of the
// centre. The cells then pick their neighbours from a few dozen candidates
// instead of searching the tree.
template <class TreeType>
void BlockCandidates(const TreeType& tree, double cx, double cy, double h, double radius, std::size_t rank,
                     std::vector<std::uint32_t>& out) {
    constexpr std::size_t kMost = CoverageKernel::kMostNeighbours + 1;
    std::uint32_t found[kMost];
    double squared[kMost];
    BoundedKnn nearest(rank, radius * radius, found, squared);
    const double centre[2] = {cx, cy};
    tree.findNeighbors(nearest, centre, nanoflann::SearchParams());
    double reach = radius + h;
    if (nearest.full()) reach = std::min(reach, std::sqrt(squared[rank - 1]) + 2 * h);
    Collector collect(reach * reach * (1 + 1e-12), out);
    tree.findNeighbors(collect, centre, nanoflann::SearchParams());
}

}  // namespace

// The nugget of a system's points, as a share of the variogram at R: the
// least-squares line of half the squared differences of the close pairs
// against the kernel's variogram, its intercept over its slope, scaled by
// the kernel's share (the line overstates it). Measurement noise shows as
// differences that do not shrink with distance; a clean survey gets next to
// none and is followed.
double CoverageGrid::NuggetOf(const Local& local, const CoverageKernel& kernel) const {
    if (!(kernel.nuggetShare > 0)) return 0.0;
    double s1 = 0, sx = 0, sxx = 0, sy = 0, sxy = 0;
    const double limit = kNuggetPairs * kNuggetPairs * radius_ * radius_;
    for (std::size_t i = 0; i < local.x.size(); ++i)
        for (std::size_t j = i + 1; j < local.x.size(); ++j) {
            const double dx = local.x[i] - local.x[j], dy = local.y[i] - local.y[j], d = dx * dx + dy * dy;
            if (d > limit) continue;
            const double g = Gamma(kernel, d), dv = local.value[i] - local.value[j], half = 0.5 * dv * dv;
            s1 += 1;
            sx += g;
            sxx += g * g;
            sy += half;
            sxy += g * half;
        }
    const double det = s1 * sxx - sx * sx;
    if (!(s1 >= 3) || !(det > 1e-12 * s1 * sxx)) return 0.0;
    const double slope = (s1 * sxy - sx * sy) / det, intercept = (sy - slope * sx) / s1;
    if (!(slope > 0)) return 0.0;
    return std::clamp(kernel.nuggetShare * intercept / slope, 0.0, 1.0);
}

// Ordinary kriging in dual form on the nearest points to (x, y): solves
// [G P; P' 0] [a; c] = [v; 0] once, P the constant (and with a drift the
// coordinates in radii from (x, y)), so that a position q then costs one
// variogram value per point, drift(q) + sum a_i gamma(|q - p_i|). Points
// at one place are merged into their mean, which keeps the system regular.
CoverageGrid::Local CoverageGrid::Solve(double x, double y, std::optional<std::size_t> skip,
                                        const CoverageKernel& kernel) const {
    Local local;
    if (!index_) return local;
    std::vector<std::uint32_t> near;
    const std::size_t wanted =
        static_cast<std::size_t>(std::clamp(kernel.neighbours, 1, CoverageKernel::kMostNeighbours));
    BlockCandidates(index_->tree, x, y, 0.0, SolveReach(), wanted + (skip ? 1 : 0), near);
    std::vector<std::pair<double, std::uint32_t>> order;
    order.reserve(near.size());
    for (const std::uint32_t i : near) {
        if (skip && i == *skip) continue;
        const double dx = points_[i].x - x, dy = points_[i].y - y;
        order.emplace_back(dx * dx + dy * dy, i);
    }
    std::sort(order.begin(), order.end());
    if (order.size() > wanted) order.resize(wanted);
    std::vector<double> sum;
    std::vector<int> count;
    for (const auto& [d, i] : order) {
        const ValuePoint& p = points_[i];
        std::size_t at = 0;
        while (at < local.x.size() && (local.x[at] != p.x || local.y[at] != p.y)) ++at;
        if (at == local.x.size()) {
            local.x.push_back(p.x);
            local.y.push_back(p.y);
            sum.push_back(0);
            count.push_back(0);
        }
        sum[at] += p.value;
        ++count[at];
    }
    const std::size_t n = local.x.size();
    if (n == 0) return local;
    for (std::size_t i = 0; i < n; ++i) local.value.push_back(sum[i] / count[i]);
    const double nugget = NuggetOf(local, kernel);
    local.originX = x;
    local.originY = y;
    // A plane needs three points off one line; a walk along a corridor has
    // none, and its system goes without the drift.
    for (const std::size_t drift : {kernel.linearDrift ? std::size_t{2} : std::size_t{0}, std::size_t{0}}) {
        const std::size_t m = n + 1 + drift;
        std::vector<double> a(m * m, 0.0), b(m, 0.0);
        for (std::size_t i = 0; i < n; ++i) {
            b[i] = local.value[i];
            for (std::size_t j = 0; j < n; ++j) {
                const double dx = local.x[i] - local.x[j], dy = local.y[i] - local.y[j];
                a[i * m + j] = i == j ? 0.0 : nugget + Gamma(kernel, dx * dx + dy * dy);
            }
            a[i * m + n] = a[n * m + i] = 1.0;
            if (drift) {
                a[i * m + n + 1] = a[(n + 1) * m + i] = (local.x[i] - x) / radius_;
                a[i * m + n + 2] = a[(n + 2) * m + i] = (local.y[i] - y) / radius_;
            }
        }
        if (!SolveInPlace(a, b, m)) continue;
        local.alpha.assign(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n));
        local.mean = b[n];
        local.slopeX = drift ? b[n + 1] : 0.0;
        local.slopeY = drift ? b[n + 2] : 0.0;
        return local;
    }
    // Degenerate (should not happen once places are merged): the plain mean.
    local.alpha.assign(n, 0.0);
    double mean = 0;
    for (std::size_t i = 0; i < n; ++i) mean += local.value[i] / static_cast<double>(n);
    local.mean = mean;
    return local;
}

double CoverageGrid::Local::At(const CoverageGrid& grid, const CoverageKernel& kernel, double qx, double qy) const {
    double v = Drift(qx, qy, grid.radius_);
    for (std::size_t i = 0; i < alpha.size(); ++i) {
        const double dx = x[i] - qx, dy = y[i] - qy;
        v += alpha[i] * grid.Gamma(kernel, dx * dx + dy * dy);
    }
    return v;
}

// Bands of whole block rows on as many threads as the machine has (up to
// eight): each band solves its own systems, so they share nothing but the
// points and write disjoint cells. A band's cells come out the same
// whichever thread computes them.
void CoverageGrid::ComputeCells(int column0, int row0, int column1, int row1) {
    if (column1 < column0 || row1 < row0) return;
    constexpr std::size_t kCellsPerThread = 8192;
    const std::size_t cells =
        static_cast<std::size_t>(column1 - column0 + 1) * static_cast<std::size_t>(row1 - row0 + 1);
    const int firstBlockRow = row0 / kBlockCells, lastBlockRow = row1 / kBlockCells;
    const int blockRows = lastBlockRow - firstBlockRow + 1;
    const int threads = static_cast<int>(std::min<std::size_t>({std::max(1u, std::thread::hardware_concurrency()), 8u,
                                                                static_cast<std::size_t>(blockRows),
                                                                std::max<std::size_t>(1, cells / kCellsPerThread)}));
    if (threads <= 1) {
        ComputeBand(column0, row0, column1, row1);
        return;
    }
    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(threads) - 1);
    auto band = [&](int t) {
        const int top = std::max(row0, (firstBlockRow + blockRows * t / threads) * kBlockCells);
        const int bottom = std::min(row1, (firstBlockRow + blockRows * (t + 1) / threads) * kBlockCells - 1);
        ComputeBand(column0, top, column1, bottom);
    };
    for (int t = 1; t < threads; ++t) workers.emplace_back(band, t);
    band(0);
    for (std::thread& worker : workers) worker.join();
}

void CoverageGrid::ComputeBand(int column0, int row0, int column1, int row1) {
    if (column1 < column0 || row1 < row0) return;
    // One solution per block, at its centre; a cell blends the four
    // centres around it bilinearly so that no seam shows between blocks.
    const int blocksAcross = (geometry_.columns + kBlockCells - 1) / kBlockCells;
    const int blocksDown = (geometry_.rows + kBlockCells - 1) / kBlockCells;
    const int bx0 = std::max(0, column0 / kBlockCells - 1), bx1 = std::min(blocksAcross - 1, column1 / kBlockCells + 1);
    const int by0 = std::max(0, row0 / kBlockCells - 1), by1 = std::min(blocksDown - 1, row1 / kBlockCells + 1);
    const int span = bx1 - bx0 + 1;
    std::vector<Local> solved(static_cast<std::size_t>(span) * static_cast<std::size_t>(by1 - by0 + 1));
    std::vector<char> done(solved.size(), 0);
    auto block = [&](int bx, int by) -> const Local& {
        bx = std::clamp(bx, 0, blocksAcross - 1);
        by = std::clamp(by, 0, blocksDown - 1);
        const std::size_t at = static_cast<std::size_t>(by - by0) * span + static_cast<std::size_t>(bx - bx0);
        if (!done[at]) {
            solved[at] = Solve(BlockCentreX(bx), BlockCentreY(by), std::nullopt, kernel_);
            done[at] = 1;
        }
        return solved[at];
    };
    // The four systems around each square between block centres, merged
    // into one list of points so that a cell evaluates each point once.
    const int quadsAcross = bx1 - bx0 + 2;
    std::vector<Blend> blends(static_cast<std::size_t>(quadsAcross) * static_cast<std::size_t>(by1 - by0 + 2));
    std::vector<char> blended(blends.size(), 0);
    auto blendOf = [&](int qx, int qy) -> const Blend& {
        const std::size_t at =
            static_cast<std::size_t>(qy - by0 + 1) * quadsAcross + static_cast<std::size_t>(qx - bx0 + 1);
        Blend& blend = blends[at];
        if (blended[at]) return blend;
        blended[at] = 1;
        const Local* corners[4] = {&block(qx, qy), &block(qx + 1, qy), &block(qx, qy + 1), &block(qx + 1, qy + 1)};
        for (int k = 0; k < 4; ++k) {
            const Local& local = *corners[k];
            blend.solved[k] = !local.x.empty();
            blend.corner[k] = &local;
            for (std::size_t i = 0; i < local.x.size(); ++i) {
                std::size_t j = 0;
                while (j < blend.x.size() && (blend.x[j] != local.x[i] || blend.y[j] != local.y[i])) ++j;
                if (j == blend.x.size()) {
                    blend.x.push_back(local.x[i]);
                    blend.y.push_back(local.y[i]);
                    blend.value.push_back(local.value[i]);
                    blend.alpha.insert(blend.alpha.end(), 4, 0.0);
                }
                blend.alpha[4 * j + static_cast<std::size_t>(k)] = local.alpha[i];
            }
        }
        return blend;
    };

    std::vector<std::uint32_t> nearest, silent;
    for (int top = row0; top <= row1; top += kBlockCells) {
        for (int left = column0; left <= column1; left += kBlockCells) {
            const int right = std::min(left + kBlockCells - 1, column1), bottom = std::min(top + kBlockCells - 1, row1);
            nearest.clear();
            silent.clear();
            const double cx = (geometry_.CentreX(left) + geometry_.CentreX(right)) / 2;
            const double cy = (geometry_.CentreY(top) + geometry_.CentreY(bottom)) / 2;
            const double h = std::hypot(geometry_.CentreX(right) - cx, geometry_.CentreY(bottom) - cy);
            if (index_) BlockCandidates(index_->tree, cx, cy, h, radius_, 1, nearest);
            if (notHeardIndex_) BlockCandidates(notHeardIndex_->tree, cx, cy, h, radius_, 1, silent);
            for (int row = top; row <= bottom; ++row)
                for (int column = left; column <= right; ++column)
                    values_[static_cast<std::size_t>(row) * geometry_.columns + column] =
                        ComputeCell(column, row, nearest, silent, blendOf);
        }
    }
}

template <class BlendOf>
float CoverageGrid::ComputeCell(int column, int row, const std::vector<std::uint32_t>& nearest,
                                const std::vector<std::uint32_t>& silent, BlendOf& blendOf) const {
    const std::size_t cell = static_cast<std::size_t>(row) * geometry_.columns + column;
    if (heldCount_[cell] > 0) return static_cast<float>(heldSum_[cell] / heldCount_[cell]);
    if (heldNotHeard_[cell] > 0) return static_cast<float>(kNotHeard);

    const double qx = geometry_.CentreX(column), qy = geometry_.CentreY(row);
    double nearestSilent = INFINITY, nearestHeard = INFINITY;
    std::uint32_t closest = 0;
    for (const std::uint32_t i : silent) {
        const double dx = notHeard_[i].x - qx, dy = notHeard_[i].y - qy;
        nearestSilent = std::min(nearestSilent, dx * dx + dy * dy);
    }
    for (const std::uint32_t i : nearest) {
        const double dx = points_[i].x - qx, dy = points_[i].y - qy;
        const double d = dx * dx + dy * dy;
        if (d < nearestHeard || (d == nearestHeard && i < closest)) {
            nearestHeard = d;
            closest = i;
        }
    }
    // The nearest measurement heard nothing: so is the cell.
    const double drawn = radius_ * radius_;
    if (nearestSilent <= drawn && nearestSilent < nearestHeard) return static_cast<float>(kNotHeard);
    if (nearestHeard > drawn) return kNoData;

    // The block centres around the cell and the cell's place between them.
    const double fx = (column + 0.5) / kBlockCells - 0.5, fy = (row + 0.5) / kBlockCells - 0.5;
    const int bx = static_cast<int>(std::floor(fx)), by = static_cast<int>(std::floor(fy));
    const double tx = fx - bx, ty = fy - by;
    const Blend& blend = blendOf(bx, by);
    const double weights[4] = {(1 - tx) * (1 - ty), tx * (1 - ty), (1 - tx) * ty, tx * ty};
    double w[4], total = 0, sum = 0;
    for (int k = 0; k < 4; ++k) {
        w[k] = blend.solved[k] ? weights[k] : 0.0;
        total += w[k];
        if (w[k] > 0) sum += w[k] * blend.corner[k]->Drift(qx, qy, radius_);
    }
    // Each point once, its weight the blend of the four systems' weights.
    // The result stays within the values of those within the reach of the
    // cell: a system solved for a block centre may hold points farther off.
    // Written without branches so that the compiler can vectorise it.
    const double reach = Reach() * Reach();
    const CoverageKernel kernel = kernel_;
    const double scale = inverseRadius2_;
    double lowest = INFINITY, highest = -INFINITY;
    const std::size_t count = blend.x.size();
    const double* xs = blend.x.data();
    const double* ys = blend.y.data();
    const double* values = blend.value.data();
    const double* alphas = blend.alpha.data();
    for (std::size_t i = 0; i < count; ++i) {
        const double dx = xs[i] - qx, dy = ys[i] - qy, d = dx * dx + dy * dy;
        const bool shapes = d <= reach;
        lowest = std::min(lowest, shapes ? values[i] : INFINITY);
        highest = std::max(highest, shapes ? values[i] : -INFINITY);
        const double* c = alphas + 4 * i;
        sum += (w[0] * c[0] + w[1] * c[1] + w[2] * c[2] + w[3] * c[3]) * kernel.Gamma(d * scale);
    }
    if (!(total > 0) || !(lowest <= highest)) return static_cast<float>(points_[closest].value);
    return static_cast<float>(std::clamp(sum / total, lowest, highest));
}

std::optional<double> CoverageGrid::EstimateAt(double x, double y, std::optional<std::size_t> skip) const {
    return EstimateAt(x, y, skip, kernel_);
}

double CoverageGrid::NearestDistance(double x, double y, bool elsewhere) const {
    if (!index_) return INFINITY;
    // Points repeated at one place: a few more than one are looked at.
    constexpr std::size_t kLook = 8;
    std::uint32_t found[kLook];
    double squared[kLook];
    const double query[2] = {x, y};
    const std::size_t n = index_->tree.knnSearch(query, kLook, found, squared);
    for (std::size_t i = 0; i < n; ++i)
        if (!elsewhere || points_[found[i]].x != x || points_[found[i]].y != y) return std::sqrt(squared[i]);
    return INFINITY;
}

std::vector<std::size_t> CoverageGrid::NearestWithin(double x, double y, double distance, std::size_t most) const {
    if (!index_ || !(distance >= 0) || most == 0) return {};
    std::vector<std::uint32_t> found(most);
    std::vector<double> squared(most);
    BoundedKnn nearest(most, distance * distance, found.data(), squared.data());
    const double query[2] = {x, y};
    index_->tree.findNeighbors(nearest, query, nanoflann::SearchParams());
    return std::vector<std::size_t>(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(nearest.size()));
}

std::optional<double> CoverageGrid::EstimateAt(double x, double y, std::optional<std::size_t> skip,
                                               const CoverageKernel& kernel) const {
    if (!index_) return std::nullopt;
    std::uint32_t found[2];
    double squared[2];
    BoundedKnn nearest(2, radius_ * radius_, found, squared);
    const double query[2] = {x, y};
    index_->tree.findNeighbors(nearest, query, nanoflann::SearchParams());
    std::size_t n = 0;
    for (std::size_t i = 0; i < nearest.size(); ++i) n += !(skip && found[i] == *skip);
    if (n == 0) return std::nullopt;
    const Local local = Solve(x, y, skip, kernel);
    double lowest = INFINITY, highest = -INFINITY;
    for (std::size_t i = 0; i < local.x.size(); ++i)
        if (std::hypot(local.x[i] - x, local.y[i] - y) <= Reach()) {
            lowest = std::min(lowest, local.value[i]);
            highest = std::max(highest, local.value[i]);
        }
    if (!(lowest <= highest)) return std::nullopt;
    return std::clamp(local.At(*this, kernel, x, y), lowest, highest);
}

std::size_t CoverageGrid::CellsWithData() const {
    return static_cast<std::size_t>(std::count_if(values_.begin(), values_.end(), IsLevel));
}

std::size_t CoverageGrid::CellsNotHeard() const {
    return static_cast<std::size_t>(std::count_if(values_.begin(), values_.end(), IsNotHeard));
}

double DefaultRadius(const std::vector<ValuePoint>& points, const GridGeometry& geometry, double cap) {
    const double longest = std::max(geometry.planWidth, geometry.planHeight);
    const double lower = 2.0 * geometry.cellSize, upper = std::max(lower, std::min(cap, longest / 2.0));
    std::vector<ValuePoint> distinct;
    distinct.reserve(points.size());
    for (const ValuePoint& p : points)
        if (std::isfinite(p.x) && std::isfinite(p.y)) distinct.push_back(ValuePoint{p.x, p.y, 0});
    std::sort(distinct.begin(), distinct.end(),
              [](const ValuePoint& a, const ValuePoint& b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
    distinct.erase(std::unique(distinct.begin(), distinct.end(),
                               [](const ValuePoint& a, const ValuePoint& b) { return a.x == b.x && a.y == b.y; }),
                   distinct.end());
    if (distinct.size() < 2) return std::clamp(longest / 10.0, lower, upper);

    const Cloud cloud{&distinct};
    const Tree tree(2, cloud, nanoflann::KDTreeSingleIndexAdaptorParams(8));
    const std::size_t k = std::min<std::size_t>(4, distinct.size() - 1) + 1;  // the point itself comes first
    std::vector<double> reach;
    reach.reserve(distinct.size());
    std::uint32_t found[5];
    double squared[5];
    for (const ValuePoint& p : distinct) {
        const double query[2] = {p.x, p.y};
        const std::size_t n = tree.knnSearch(query, k, found, squared);
        reach.push_back(std::sqrt(squared[n - 1]));
    }
    std::nth_element(reach.begin(), reach.begin() + reach.size() / 2, reach.end());
    return std::clamp(2.0 * reach[reach.size() / 2], lower, upper);
}

}  // namespace quorl::analysis
