#include "fold/partition.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

#include "fold/loopWeights.h"

namespace korvane::fold {

namespace {

// A prefix whose scaled weight leaves e^+-200, or any cell over 1e200, calls for a new sigma:
// far from overflow, so that nothing computed before the check is lost.
constexpr double PREFIX_LOG_LIMIT = 200.0;
constexpr double CELL_LIMIT = 1e200;
constexpr int MAX_RESCALES = 12;
constexpr int MIN_BRANCH_SPAN = MIN_HAIRPIN + 2;  // positions a pair with its hairpin covers

double dot(const double* __restrict a, const double* __restrict b, int length) {
    double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    int t = 0;
    for (; t + 4 <= length; t += 4) {
        s0 += a[t] * b[t];
        s1 += a[t + 1] * b[t + 1];
        s2 += a[t + 2] * b[t + 2];
        s3 += a[t + 3] * b[t + 3];
    }
    for (; t < length; ++t) s0 += a[t] * b[t];
    return (s0 + s1) + (s2 + s3);
}

// Sum over t of (a[t] + c[t]) * b[t].
double dotPlus(const double* __restrict a, const double* __restrict c, const double* __restrict b, int length) {
    double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    int t = 0;
    for (; t + 4 <= length; t += 4) {
        s0 += (a[t] + c[t]) * b[t];
        s1 += (a[t + 1] + c[t + 1]) * b[t + 1];
        s2 += (a[t + 2] + c[t + 2]) * b[t + 2];
        s3 += (a[t + 3] + c[t + 3]) * b[t + 3];
    }
    for (; t < length; ++t) s0 += (a[t] + c[t]) * b[t];
    return (s0 + s1) + (s2 + s3);
}

void addScaled(double* __restrict to, const double* __restrict from, double factor, int length) {
    for (int t = 0; t < length; ++t) to[t] += factor * from[t];
}

void addScaledSum(double* __restrict to, const double* __restrict a, const double* __restrict c, double factor,
                  int length) {
    for (int t = 0; t < length; ++t) to[t] += factor * (a[t] + c[t]);
}

using loopTerms::mismatchShape;

// Inner pairs k-l of the 1xn and 2x3 loops closed by i-j, which have mismatch tables of their
// own: visit(k, l, size weight, shape).
template <typename visitFn>
void forEachShapedLoop(const loopWeights& w, int i, int j, visitFn visit) {
    for (int s = 3; s + 1 <= MAX_INTERIOR && (j - 1 - s) - (i + 2) > MIN_HAIRPIN; ++s)
        visit(i + 2, j - 1 - s, w.genericSize(1, s), mismatchShape::oneByN);
    for (int s = 3; s + 1 <= MAX_INTERIOR && (j - 2) - (i + 1 + s) > MIN_HAIRPIN; ++s)
        visit(i + 1 + s, j - 2, w.genericSize(s, 1), mismatchShape::oneByN);
    if ((j - 4) - (i + 3) > MIN_HAIRPIN) visit(i + 3, j - 4, w.genericSize(2, 3), mismatchShape::twoByThree);
    if ((j - 3) - (i + 4) > MIN_HAIRPIN) visit(i + 4, j - 3, w.genericSize(3, 2), mismatchShape::twoByThree);
}

}  // namespace

// Inner pairs k-l of loops closed by i-j: k - i - 1 = s1 and j - l - 1 = s2 unpaired, s1 + s2 <= 30.
// The stack and the tabulated small loops (both sides at most 2) take the general weight;
// longer bulges and the generic internal loops factorise and are summed branch-free.
double partitionFunction::interiorInside(const loopWeights& w, int i, int j) const {
    double special = 0.0;
    for (int k = i + 1; k <= i + 3; ++k)
        for (int l = j - 1; l >= j - 3; --l) {
            const int s1 = k - i - 1;
            const int s2 = j - l - 1;
            if ((s1 == 0 && s2 == 2) || (s1 == 2 && s2 == 0) || l - k <= MIN_HAIRPIN) continue;
            if (const double v = qb_[row(k, l)]; v != 0.0) special += v * w.interior(i, j, k, l);
        }
    if (w.shapedLoops()) {
        std::array<double, 3> byShape{};  // outer mismatch aside
        forEachShapedLoop(w, i, j, [&](int k, int l, double size, mismatchShape shape) {
            byShape[static_cast<int>(shape)] += qb_[row(k, l)] * size * w.innerMismatch(k, l, shape);
        });
        for (mismatchShape shape : {mismatchShape::oneByN, mismatchShape::twoByThree})
            special += byShape[static_cast<int>(shape)] * w.outerMismatch(i, j, shape);
    }
    double bulges = 0.0;
    const int lowest = std::max(i + 1 + MIN_HAIRPIN + 1, j - 1 - MAX_INTERIOR);
    for (int l = j - 3; l >= lowest; --l) bulges += w.bulgeSize(j - l - 1) * w.terminal(i + 1, l) * qb_[row(i + 1, l)];
    const int highest = std::min(i + 1 + MAX_INTERIOR, j - 1 - MIN_HAIRPIN - 1);
    for (int k = i + 3; k <= highest; ++k) bulges += w.bulgeSize(k - i - 1) * w.terminal(k, j - 1) * qb_[row(k, j - 1)];
    double generic = 0.0;
    const int kLast = std::min(i + MAX_INTERIOR, j - MIN_BRANCH_SPAN);
    for (int k = i + 2; k <= kLast; ++k) {
        const int s1 = k - i - 1;
        const int lFirst = std::max(k + MIN_HAIRPIN + 1, j - 1 - (MAX_INTERIOR - s1));
        const int genericTop = s1 <= 2 ? j - 4 : j - 2;
        const int lBase = j - 1 - (MAX_INTERIOR - s1);  // l = lBase + r
        if (genericTop >= lFirst)
            generic += dot(&inner_[row(k, lFirst)], w.genericRising(s1) + (lFirst - lBase), genericTop - lFirst + 1);
    }
    return special + bulges * w.terminal(i, j) + generic * w.outerMismatch(i, j);
}

void partitionFunction::interiorOutside(const loopWeights& w, int i, int j, double out) {
    for (int k = i + 1; k <= i + 3; ++k)
        for (int l = j - 1; l >= j - 3; --l) {
            const int s1 = k - i - 1;
            const int s2 = j - l - 1;
            if ((s1 == 0 && s2 == 2) || (s1 == 2 && s2 == 0) || l - k <= MIN_HAIRPIN) continue;
            if (qb_[row(k, l)] != 0.0) qbOut_[row(k, l)] += out * w.interior(i, j, k, l);
        }
    if (w.shapedLoops()) {
        const std::array<double, 3> outer{0.0, out * w.outerMismatch(i, j, mismatchShape::oneByN),
                                          out * w.outerMismatch(i, j, mismatchShape::twoByThree)};
        forEachShapedLoop(w, i, j, [&](int k, int l, double size, mismatchShape shape) {
            qbOut_[row(k, l)] += outer[static_cast<int>(shape)] * size * w.innerMismatch(k, l, shape);
        });
    }
    const double bulge = out * w.terminal(i, j);
    const int lowest = std::max(i + 1 + MIN_HAIRPIN + 1, j - 1 - MAX_INTERIOR);
    for (int l = j - 3; l >= lowest; --l) qbOut_[row(i + 1, l)] += bulge * w.bulgeSize(j - l - 1) * w.terminal(i + 1, l);
    const int highest = std::min(i + 1 + MAX_INTERIOR, j - 1 - MIN_HAIRPIN - 1);
    for (int k = i + 3; k <= highest; ++k) qbOut_[row(k, j - 1)] += bulge * w.bulgeSize(k - i - 1) * w.terminal(k, j - 1);
    const double outer = out * w.outerMismatch(i, j);
    const int kLast = std::min(i + MAX_INTERIOR, j - MIN_BRANCH_SPAN);
    for (int k = i + 2; k <= kLast; ++k) {
        const int s1 = k - i - 1;
        const int lFirst = std::max(k + MIN_HAIRPIN + 1, j - 1 - (MAX_INTERIOR - s1));
        const int genericTop = s1 <= 2 ? j - 4 : j - 2;
        const int lBase = j - 1 - (MAX_INTERIOR - s1);
        if (genericTop >= lFirst)
            addScaled(&inner_[row(k, lFirst)], w.genericRising(s1) + (lFirst - lBase), outer, genericTop - lFirst + 1);
    }
}

void partitionFunction::allocate(int n) {
    n_ = n;
    rowBase_.assign(static_cast<std::size_t>(n) + 2, 0);
    colBase_.assign(static_cast<std::size_t>(n) + 2, 0);
    std::size_t start = 0;
    for (int i = 1; i <= n; ++i) {
        rowBase_[i] = start - static_cast<std::size_t>(i - 1);
        start += static_cast<std::size_t>(n - i + 2);
    }
    const std::size_t rowCells = start;
    start = 0;
    for (int j = 1; j <= n; ++j) {
        colBase_[j] = start;
        start += static_cast<std::size_t>(j) + 1;
    }
    const std::size_t colCells = start;
    qb_.assign(rowCells, 0.0);
    qm_.assign(rowCells, 0.0);
    inner_.assign(rowCells, 0.0);
    qm1_.assign(colCells, 0.0);
    prefix_.assign(static_cast<std::size_t>(n) + 1, 0.0);
    unpairedPower_.assign(static_cast<std::size_t>(n) + 2, 0.0);
}

bool partitionFunction::inside() {
    const energyModel& m = *model_;
    const loopWeights w(m, sigma_);
    const int n = n_;
    const double um = w.multiUnpaired();
    unpairedPower_[0] = 1.0;
    for (std::size_t t = 1; t < unpairedPower_.size(); ++t) unpairedPower_[t] = unpairedPower_[t - 1] * um;
    std::fill(qb_.begin(), qb_.end(), 0.0);
    std::fill(qm_.begin(), qm_.end(), 0.0);
    std::fill(qm1_.begin(), qm1_.end(), 0.0);
    prefix_[0] = 1.0;
    for (int j = 1; j <= n; ++j) {
        double cellMax = 0.0;
        for (int i = j; i >= 1; --i) {
            double b = 0.0;
            if (m.canPair(i, j)) {
                b = w.hairpin(i, j) + interiorInside(w, i, j);
                if (j - i - 1 >= 2 * MIN_BRANCH_SPAN) {
                    const int first = i + 2;
                    const double branches = dot(&qm_[row(i + 1, first - 1)], &qm1_[col(first, j - 1)], j - first);
                    if (branches != 0.0) b += w.multiClosing(i, j) * branches;
                }
            }
            qb_[row(i, j)] = b;
            inner_[row(i, j)] = b != 0.0 && i > 1 && j < n ? b * w.innerMismatch(i, j) : 0.0;
            double m1 = i < j ? qm1_[col(i, j - 1)] * um : 0.0;
            // Only helices with a neighbour on both sides can be branches of a multibranch loop.
            if (b != 0.0 && i > 1 && j < n) m1 += b * w.multiBranch(i, j);
            qm1_[col(i, j)] = m1;
            const double mm = dotPlus(&qm_[row(i, i - 1)], unpairedPower_.data(), &qm1_[col(i, j)], j - i + 1);
            qm_[row(i, j)] = mm;
            cellMax = std::max({cellMax, b, mm});
        }
        double z = prefix_[j - 1] * sigma_;
        for (int k = 1; k + MIN_HAIRPIN < j; ++k) {
            const double v = qb_[row(k, j)];
            if (v != 0.0) z += prefix_[k - 1] * v * w.exteriorBranch(k, j);
        }
        prefix_[j] = z;
        const double logZ = std::log(z);
        if (!std::isfinite(logZ) || std::abs(logZ) > PREFIX_LOG_LIMIT || !(cellMax <= CELL_LIMIT)) {
            const double drift = std::isfinite(logZ) && std::abs(logZ) > PREFIX_LOG_LIMIT ? logZ
                                 : std::isfinite(cellMax) && cellMax > 0                  ? std::log(cellMax)
                                                                                          : PREFIX_LOG_LIMIT * 4;
            sigma_ *= std::exp(-drift / j);
            return false;
        }
    }
    logZ_ = std::log(prefix_[n]) - n * std::log(sigma_);
    return true;
}

void partitionFunction::outside() {
    const energyModel& m = *model_;
    const loopWeights w(m, sigma_);
    const int n = n_;
    const double um = w.multiUnpaired();
    qbOut_.assign(qb_.size(), 0.0);
    qmOut_.assign(qm_.size(), 0.0);
    qm1Out_.assign(qm1_.size(), 0.0);
    std::fill(inner_.begin(), inner_.end(), 0.0);
    prefixOut_.assign(static_cast<std::size_t>(n) + 1, 0.0);
    // Outside values are derivatives of Z-hat over Z-hat: p(i, j) = qb * qbOut.
    prefixOut_[n] = 1.0 / prefix_[n];
    for (int j = n; j >= 1; --j) {
        const double zj = prefixOut_[j];
        prefixOut_[j - 1] += zj * sigma_;
        for (int k = 1; k + MIN_HAIRPIN < j; ++k) {
            const double v = qb_[row(k, j)];
            if (v == 0.0) continue;
            const double e = zj * w.exteriorBranch(k, j);
            qbOut_[row(k, j)] += e * prefix_[k - 1];
            prefixOut_[k - 1] += e * v;
        }
    }
    // Rows top down, each right to left: every cell's parents are done before it.
    for (int i = 1; i <= n; ++i) {
        for (int j = n; j >= i; --j) {
            if (const double mo = qmOut_[row(i, j)]; mo != 0.0) {
                const int length = j - i + 1;
                if (length > 1) addScaled(&qmOut_[row(i, i)], &qm1_[col(i + 1, j)], mo, length - 1);
                addScaledSum(&qm1Out_[col(i, j)], &qm_[row(i, i - 1)], unpairedPower_.data(), mo, length);
            }
            const double b = qb_[row(i, j)];
            if (const double m1o = qm1Out_[col(i, j)]; m1o != 0.0) {
                if (i < j) qm1Out_[col(i, j - 1)] += m1o * um;
                if (b != 0.0 && i > 1 && j < n) qbOut_[row(i, j)] += m1o * w.multiBranch(i, j);
            }
            if (b == 0.0) continue;
            double bo = qbOut_[row(i, j)];
            if (i > 1 && j < n) bo += inner_[row(i, j)] * w.innerMismatch(i, j);
            qbOut_[row(i, j)] = bo;
            if (bo == 0.0) continue;
            interiorOutside(w, i, j, bo);
            if (j - i - 1 >= 2 * MIN_BRANCH_SPAN) {
                const double x = bo * w.multiClosing(i, j);
                const int first = i + 2;
                const int length = j - first;
                addScaled(&qmOut_[row(i + 1, first - 1)], &qm1_[col(first, j - 1)], x, length);
                addScaled(&qm1Out_[col(first, j - 1)], &qm_[row(i + 1, first - 1)], x, length);
            }
        }
    }
    unpaired_.assign(static_cast<std::size_t>(n) + 1, 1.0);
    unpaired_[0] = 0.0;
    for (int i = 1; i <= n; ++i)
        for (int j = i + MIN_HAIRPIN + 1; j <= n; ++j) {
            const double p = probability(i, j);
            unpaired_[i] -= p;
            unpaired_[j] -= p;
        }
    for (double& q : unpaired_) q = std::clamp(q, 0.0, 1.0);
}

void partitionFunction::compute(const energyModel& model) {
    model_ = &model;
    allocate(model.n);
    sigma_ = 1.0;
    rescales_ = 0;
    if (n_ == 0) {
        logZ_ = 0.0;
        unpaired_.assign(1, 0.0);
        qbOut_.clear();
        return;
    }
    while (!inside()) {
        if (++rescales_ > MAX_RESCALES || !std::isfinite(sigma_) || sigma_ <= 0.0)
            throw std::range_error("the partition function leaves the range of double precision at any scale");
    }
    outside();
}

double partitionFunction::ensembleEnergy() const {
    return -static_cast<double>(model_ ? model_->tables.rtKcal : RT_KCAL_37) * logZ_ + 0.0;  // never -0
}

double partitionFunction::probability(int i, int j) const {
    if (i < 1 || j > n_ || j - i <= MIN_HAIRPIN) return 0.0;
    return std::clamp(qb_[row(i, j)] * qbOut_[row(i, j)], 0.0, 1.0);
}

std::vector<pairProbability> partitionFunction::pairs(double floor) const {
    std::vector<pairProbability> found;
    for (int i = 1; i <= n_; ++i)
        for (int j = i + MIN_HAIRPIN + 1; j <= n_; ++j)
            if (const double p = probability(i, j); p >= floor && p > 0.0) found.push_back({i, j, p});
    return found;
}

}  // namespace korvane::fold
