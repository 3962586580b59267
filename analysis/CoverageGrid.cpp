#include "analysis/CoverageGrid.h"

#include <algorithm>
#include <limits>
#include <nanoflann.hpp>

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
// Cells are computed in blocks of this many on a side, from one list of
// candidate points per block.
constexpr int kBlock = 8;

}  // namespace

struct CoverageGrid::Index {
    Cloud cloud;
    Tree tree;
    explicit Index(const std::vector<ValuePoint>& points)
        : cloud{&points}, tree(2, cloud, nanoflann::KDTreeSingleIndexAdaptorParams(8)) {}
};

CoverageGrid::CoverageGrid(GridGeometry geometry, double radius)
    : geometry_(geometry),
      radius_(std::isfinite(radius) && radius > 0 ? radius : 1.0),
      values_(geometry.CellCount(), kNoData),
      heldSum_(geometry.CellCount(), 0.0),
      heldCount_(geometry.CellCount(), 0),
      heldNotHeard_(geometry.CellCount(), 0) {}

CoverageGrid::~CoverageGrid() = default;

CoverageGrid::CoverageGrid(const CoverageGrid& other)
    : geometry_(other.geometry_),
      radius_(other.radius_),
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
      points_(std::move(other.points_)),
      slopes_(std::move(other.slopes_)),
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
    points_ = std::move(other.points_);
    slopes_ = std::move(other.slopes_);
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
    ComputeCells(0, 0, geometry_.columns - 1, geometry_.rows - 1);
}

void CoverageGrid::Add(const ValuePoint& p) {
    if (!Hold(p)) return;
    // Rebuilding the tree costs less than the cells below for any survey a
    // person walks (10,000 points: about a millisecond).
    Reindex();
    // The point shapes cells as far as the reach; it changes the slopes of
    // the points within the radius, which shape cells as far again.
    const double r = Reach() + radius_ + geometry_.cellSize;
    auto clampColumn = [&](double x) { return std::clamp(static_cast<int>(x / geometry_.cellSize), 0, geometry_.columns - 1); };
    auto clampRow = [&](double y) { return std::clamp(static_cast<int>(y / geometry_.cellSize), 0, geometry_.rows - 1); };
    ComputeCells(clampColumn(std::max(0.0, p.x - r)), clampRow(std::max(0.0, p.y - r)), clampColumn(p.x + r),
                 clampRow(p.y + r));
}

void CoverageGrid::Reindex() {
    index_.reset();
    notHeardIndex_.reset();
    if (!points_.empty()) index_ = std::make_unique<Index>(points_);
    if (!notHeard_.empty()) notHeardIndex_ = std::make_unique<Index>(notHeard_);
    slopes_.assign(points_.size(), Slope{});
    for (std::size_t i = 0; i < points_.size(); ++i) slopes_[i] = SlopeOf(i, std::nullopt);
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
    constexpr std::size_t kMost = CoverageGrid::kNeighbours + 1;
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

void CoverageGrid::ComputeCells(int column0, int row0, int column1, int row1) {
    std::vector<std::uint32_t> candidates, silent;
    for (int top = row0; top <= row1; top += kBlock) {
        for (int left = column0; left <= column1; left += kBlock) {
            const int right = std::min(left + kBlock - 1, column1), bottom = std::min(top + kBlock - 1, row1);
            candidates.clear();
            silent.clear();
            const double cx = (geometry_.CentreX(left) + geometry_.CentreX(right)) / 2;
            const double cy = (geometry_.CentreY(top) + geometry_.CentreY(bottom)) / 2;
            const double h = std::hypot(geometry_.CentreX(right) - cx, geometry_.CentreY(bottom) - cy);
            if (index_) BlockCandidates(index_->tree, cx, cy, h, Reach(), kNeighbours + 1, candidates);
            if (notHeardIndex_) BlockCandidates(notHeardIndex_->tree, cx, cy, h, radius_, 1, silent);
            for (int row = top; row <= bottom; ++row)
                for (int column = left; column <= right; ++column)
                    values_[static_cast<std::size_t>(row) * geometry_.columns + column] =
                        ComputeCell(column, row, candidates, silent);
        }
    }
}

float CoverageGrid::ComputeCell(int column, int row, const std::vector<std::uint32_t>& candidates,
                                const std::vector<std::uint32_t>& silent) const {
    const std::size_t cell = static_cast<std::size_t>(row) * geometry_.columns + column;
    if (heldCount_[cell] > 0) return static_cast<float>(heldSum_[cell] / heldCount_[cell]);
    if (heldNotHeard_[cell] > 0) return static_cast<float>(kNotHeard);

    const double qx = geometry_.CentreX(column), qy = geometry_.CentreY(row);
    const double limit = Reach() * Reach();
    double nearestSilent = INFINITY;
    for (const std::uint32_t i : silent) {
        const double dx = notHeard_[i].x - qx, dy = notHeard_[i].y - qy;
        nearestSilent = std::min(nearestSilent, dx * dx + dy * dy);
    }

    // The nine nearest within R, by distance, ties by point order.
    constexpr std::size_t kQuery = kNeighbours + 1;
    std::uint32_t found[kQuery];
    double squared[kQuery];
    std::size_t n = 0;
    for (const std::uint32_t i : candidates) {
        const double dx = points_[i].x - qx, dy = points_[i].y - qy;
        const double d = dx * dx + dy * dy;
        if (d > limit || (n == kQuery && (d > squared[n - 1] || (d == squared[n - 1] && i > found[n - 1])))) continue;
        std::size_t at = n < kQuery ? n++ : kQuery - 1;
        while (at > 0 && (squared[at - 1] > d || (squared[at - 1] == d && found[at - 1] > i))) {
            squared[at] = squared[at - 1];
            found[at] = found[at - 1];
            --at;
        }
        squared[at] = d;
        found[at] = i;
    }
    // The nearest measurement heard nothing: so is the cell.
    const double drawn = radius_ * radius_;
    if (nearestSilent <= drawn && (n == 0 || nearestSilent < squared[0])) return static_cast<float>(kNotHeard);
    if (n == 0 || squared[0] > drawn) return kNoData;

    return static_cast<float>(Weighted(found, squared, n, qx, qy, slopes_));
}

// Modified Shepard over the n nearest (by squared distance, nearest first,
// n <= kNeighbours + 1): with a ninth neighbour the weights reach zero at
// its distance, else at the radius.
double CoverageGrid::Weighted(const std::uint32_t* found, const double* squared, std::size_t n, double qx, double qy,
                              const std::vector<Slope>& slopes) const {
    constexpr std::size_t kQuery = kNeighbours + 1;
    const std::size_t used = n == kQuery ? kNeighbours : n;
    const double reach = n == kQuery ? std::sqrt(squared[kNeighbours]) : Reach();
    double weights = 0, sum = 0, lowest = points_[found[0]].value, highest = lowest;
    for (std::size_t i = 0; i < used; ++i) {
        const double d = std::sqrt(squared[i]);
        const ValuePoint& p = points_[found[i]];
        lowest = std::min(lowest, p.value);
        highest = std::max(highest, p.value);
        const double w = d >= reach ? 0.0 : ((reach - d) / (reach * d)) * ((reach - d) / (reach * d));
        const Slope& g = slopes[found[i]];
        weights += w;
        sum += w * (p.value + g.dx * (qx - p.x) + g.dy * (qy - p.y));
    }
    if (!(weights > 0) || !std::isfinite(weights)) {
        // Every neighbour on the edge (ties) or on the spot: plain inverse squares, or the mean on the spot.
        weights = sum = 0;
        for (std::size_t i = 0; i < used; ++i) {
            const double w = squared[i] > 0 ? 1.0 / squared[i] : 1e300;
            weights += w;
            sum += w * points_[found[i]].value;
        }
    }
    // Rounding must not carry a mean past its inputs.
    return std::clamp(sum / weights, lowest, highest);
}

std::optional<double> CoverageGrid::EstimateAt(double x, double y, std::optional<std::size_t> skip) const {
    if (!index_) return std::nullopt;
    constexpr std::size_t kQuery = kNeighbours + 2;  // one more, for the point left out
    std::uint32_t found[kQuery];
    double squared[kQuery];
    BoundedKnn nearest(kQuery, Reach() * Reach(), found, squared);
    const double query[2] = {x, y};
    index_->tree.findNeighbors(nearest, query, nanoflann::SearchParams());
    std::size_t n = 0;
    for (std::size_t i = 0; i < nearest.size() && n < kNeighbours + 1; ++i) {
        if (skip && found[i] == *skip) continue;
        found[n] = found[i];
        squared[n] = squared[i];
        ++n;
    }
    if (n == 0 || squared[0] > radius_ * radius_) return std::nullopt;
    if (!skip) return Weighted(found, squared, n, x, y, slopes_);
    // The neighbours' slopes without the point left out, so it teaches them nothing.
    std::vector<Slope> slopes = slopes_;
    for (std::size_t i = 0; i < n; ++i) slopes[found[i]] = SlopeOf(found[i], skip);
    return Weighted(found, squared, n, x, y, slopes);
}

// The local gradient at a point: a weighted least-squares plane through its
// eight nearest within R (weights 1 / d^2), pulled towards flat so that a
// noisy neighbour cannot tilt it far.
CoverageGrid::Slope CoverageGrid::SlopeOf(std::size_t point, std::optional<std::size_t> skip) const {
    constexpr std::size_t kQuery = kNeighbours + 2;
    std::uint32_t found[kQuery];
    double squared[kQuery];
    BoundedKnn nearest(kQuery, radius_ * radius_, found, squared);
    const ValuePoint& p = points_[point];
    const double query[2] = {p.x, p.y};
    index_->tree.findNeighbors(nearest, query, nanoflann::SearchParams());
    double sxx = 0, sxy = 0, syy = 0, sxv = 0, syv = 0;
    std::size_t used = 0;
    for (std::size_t i = 0; i < nearest.size() && used < kNeighbours; ++i) {
        if (found[i] == point || (skip && found[i] == *skip) || squared[i] <= 0) continue;
        const ValuePoint& q = points_[found[i]];
        const double w = 1.0 / squared[i], dx = q.x - p.x, dy = q.y - p.y, dv = q.value - p.value;
        sxx += w * dx * dx;
        sxy += w * dx * dy;
        syy += w * dy * dy;
        sxv += w * dx * dv;
        syv += w * dy * dv;
        ++used;
    }
    if (used < 2) return {};
    const double ridge = kSlopeDamping * (sxx + syy) / 2;
    sxx += ridge;
    syy += ridge;
    const double det = sxx * syy - sxy * sxy;
    if (!(det > 0)) return {};
    return {(syy * sxv - sxy * syv) / det, (sxx * syv - sxy * sxv) / det};
}

std::size_t CoverageGrid::CellsWithData() const {
    return static_cast<std::size_t>(std::count_if(values_.begin(), values_.end(), IsLevel));
}

std::size_t CoverageGrid::CellsNotHeard() const {
    return static_cast<std::size_t>(std::count_if(values_.begin(), values_.end(), IsNotHeard));
}

double DefaultRadius(const std::vector<ValuePoint>& points, const GridGeometry& geometry) {
    const double longest = std::max(geometry.planWidth, geometry.planHeight);
    const double lower = 2.0 * geometry.cellSize, upper = std::max(lower, longest / 2.0);
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
