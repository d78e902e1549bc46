#include "fold/partition.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

#include "fold/loopWeights.h"

#include "fold/vectorClones.h"

namespace korvane::fold {

namespace {

// A suffix whose scaled weight leaves e^+-200, or any cell over 1e200, calls for a new sigma:
// far from overflow, so that nothing computed before the check is lost.
constexpr double EXTERIOR_LOG_LIMIT = 200.0;
constexpr double CELL_LIMIT = 1e200;
constexpr int MAX_RESCALES = 12;
constexpr int MIN_SPAN = MIN_HAIRPIN + 1;         // j - i of the closest pair
constexpr int MIN_BRANCH_SPAN = MIN_HAIRPIN + 2;  // positions a pair with its hairpin covers
// Rows filled side by side, column by column: a branch of row i pushes from row l + 1 >= i +
// MIN_SPAN + 1, so rows closer than that never push into one another, and each row of qm is read
// once for all of them.
constexpr int BLOCK_ROWS = 4;
static_assert(BLOCK_ROWS <= MIN_SPAN + 1);
// Inner pairs lie at most MAX_INTERIOR + 1 rows below i, from any row of a block.
constexpr int RING_ROWS = 64;
static_assert(RING_ROWS >= MAX_INTERIOR + 1 + BLOCK_ROWS);

[[gnu::always_inline]] inline double dot(const double* __restrict a, const double* __restrict b, int length) {
    double s = 0;
#pragma omp simd reduction(+ : s)
    for (int t = 0; t < length; ++t) s += a[t] * b[t];
    return s;
}

[[gnu::always_inline]] inline void addScaled(double* __restrict to, const double* __restrict from, double factor,
                                             int length) {
    for (int t = 0; t < length; ++t) to[t] += factor * from[t];
}

// Generic internal loops closed by i-j, without the outer mismatch: the inner pair k-l has
// k - i - 1 = s1 >= 1 and j - l - 1 = s2 >= 1 unpaired beside it (s2 >= 3 when s1 <= 2, the
// smaller ones being tabulated), and ring row k holds qb times its inner mismatch by l.
KORVANE_VECTOR_CLONES
double genericInside(const double* ring, std::size_t line, const loopWeights& w, int i, int j) {
    double generic = 0.0;
    const int kLast = std::min(i + MAX_INTERIOR, j - MIN_BRANCH_SPAN);
    for (int k = i + 2; k <= kLast; ++k) {
        const int s1 = k - i - 1;
        const int lFirst = std::max(k + MIN_HAIRPIN + 1, j - 1 - (MAX_INTERIOR - s1));
        const int genericTop = s1 <= 2 ? j - 4 : j - 2;
        const int lBase = j - 1 - (MAX_INTERIOR - s1);  // l = lBase + r
        if (genericTop >= lFirst)
            generic += dot(ring + static_cast<std::size_t>(k % RING_ROWS) * line + lFirst,
                           w.genericRising(s1) + (lFirst - lBase), genericTop - lFirst + 1);
    }
    return generic;
}

// The same loops outside: ring row k gathers out times the weight by l.
KORVANE_VECTOR_CLONES
void genericOutside(double* ring, std::size_t line, const loopWeights& w, int i, int j, double out) {
    const int kLast = std::min(i + MAX_INTERIOR, j - MIN_BRANCH_SPAN);
    for (int k = i + 2; k <= kLast; ++k) {
        const int s1 = k - i - 1;
        const int lFirst = std::max(k + MIN_HAIRPIN + 1, j - 1 - (MAX_INTERIOR - s1));
        const int genericTop = s1 <= 2 ? j - 4 : j - 2;
        const int lBase = j - 1 - (MAX_INTERIOR - s1);
        if (genericTop >= lFirst)
            addScaled(ring + static_cast<std::size_t>(k % RING_ROWS) * line + lFirst,
                      w.genericRising(s1) + (lFirst - lBase), out, genericTop - lFirst + 1);
    }
}

// to_c[t] += factor_c * from[t] for the first C rows.
template <int C>
[[gnu::always_inline]] inline void pushRows(double* __restrict to0, double* __restrict to1, double* __restrict to2,
                                            double* __restrict to3, const double* __restrict from, const double* factor,
                                            int length) {
    const double f0 = factor[0], f1 = factor[1], f2 = factor[2], f3 = factor[3];
    for (int t = 0; t < length; ++t) {
        const double v = from[t];
        to0[t] += f0 * v;
        if constexpr (C > 1) to1[t] += f1 * v;
        if constexpr (C > 2) to2[t] += f2 * v;
        if constexpr (C > 3) to3[t] += f3 * v;
    }
}

// sum_c = sum of adjoint_c[t] * value[t], while adjointOut[t] += sum of factor_c * adjoint_c[t]:
// one pass over value and adjointOut for the first C rows.
template <int C>
[[gnu::always_inline]] inline void pullAndPushRows(const double* __restrict a0, const double* __restrict a1,
                                                   const double* __restrict a2, const double* __restrict a3,
                                                   const double* __restrict value, double* __restrict adjointOut,
                                                   const double* factor, double* sum, int length) {
    const double f0 = factor[0], f1 = factor[1], f2 = factor[2], f3 = factor[3];
    double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
#pragma omp simd reduction(+ : s0, s1, s2, s3)
    for (int t = 0; t < length; ++t) {
        const double v = value[t];
        double out = f0 * a0[t];
        s0 += a0[t] * v;
        if constexpr (C > 1) {
            s1 += a1[t] * v;
            out += f1 * a1[t];
        }
        if constexpr (C > 2) {
            s2 += a2[t] * v;
            out += f2 * a2[t];
        }
        if constexpr (C > 3) {
            s3 += a3[t] * v;
            out += f3 * a3[t];
        }
        adjointOut[t] += out;
    }
    sum[0] = s0;
    sum[1] = s1;
    sum[2] = s2;
    sum[3] = s3;
}

KORVANE_VECTOR_CLONES
void pushRowsAny(int count, double* const* to, const double* from, const double* factor, int length) {
    switch (count) {
        case 1: pushRows<1>(to[0], nullptr, nullptr, nullptr, from, factor, length); break;
        case 2: pushRows<2>(to[0], to[1], nullptr, nullptr, from, factor, length); break;
        case 3: pushRows<3>(to[0], to[1], to[2], nullptr, from, factor, length); break;
        default: pushRows<4>(to[0], to[1], to[2], to[3], from, factor, length); break;
    }
}

KORVANE_VECTOR_CLONES
void pullAndPushRowsAny(int count, const double* const* adjoint, const double* value, double* adjointOut,
                        const double* factor, double* sum, int length) {
    switch (count) {
        case 1: pullAndPushRows<1>(adjoint[0], nullptr, nullptr, nullptr, value, adjointOut, factor, sum, length); break;
        case 2: pullAndPushRows<2>(adjoint[0], adjoint[1], nullptr, nullptr, value, adjointOut, factor, sum, length); break;
        case 3: pullAndPushRows<3>(adjoint[0], adjoint[1], adjoint[2], nullptr, value, adjointOut, factor, sum, length); break;
        default: pullAndPushRows<4>(adjoint[0], adjoint[1], adjoint[2], adjoint[3], value, adjointOut, factor, sum, length); break;
    }
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

double* partitionFunction::innerRow(int i) {
    return innerRing_.data() + static_cast<std::size_t>(i % RING_ROWS) * static_cast<std::size_t>(n_ + 2);
}

double* partitionFunction::bulgeRow(int i) {
    return bulgeRing_.data() + static_cast<std::size_t>(i % RING_ROWS) * static_cast<std::size_t>(n_ + 2);
}

// Inner pairs k-l of loops closed by i-j: k - i - 1 = s1 and j - l - 1 = s2 unpaired, s1 + s2 <= 30.
// The stack and the tabulated small loops (both sides at most 2) take the general weight;
// longer bulges and the generic internal loops factorise and are summed branch-free.
double partitionFunction::interiorInside(const loopWeights& w, int i, int j) {
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
    for (int k = i + 3; k <= highest; ++k) bulges += w.bulgeSize(k - i - 1) * bulgeRow(k)[j - 1];
    const double generic = genericInside(innerRing_.data(), static_cast<std::size_t>(n_) + 2, w, i, j);
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
    for (int k = i + 3; k <= highest; ++k) bulgeRow(k)[j - 1] += bulge * w.bulgeSize(k - i - 1);
    genericOutside(innerRing_.data(), static_cast<std::size_t>(n_) + 2, w, i, j, out * w.outerMismatch(i, j));
}

void partitionFunction::allocate(int n) {
    n_ = n;
    rowBase_.assign(static_cast<std::size_t>(n) + 2, 0);
    std::size_t start = 0;
    for (int i = 1; i <= n + 1; ++i) {
        rowBase_[i] = start - static_cast<std::size_t>(i - 1);
        start += static_cast<std::size_t>(n - i + 2);
    }
    const std::size_t rowCells = start;
    const std::size_t line = static_cast<std::size_t>(n) + 2;
    qb_.assign(rowCells, 0.0);
    qm_.assign(rowCells, 0.0);
    qs_.assign(rowCells, 0.0);
    innerRing_.assign(RING_ROWS * line, 0.0);
    bulgeRing_.assign(RING_ROWS * line, 0.0);
    suffix_.assign(line, 0.0);
    unpairedPower_.assign(line, 0.0);
    more_.assign(BLOCK_ROWS * line, 0.0);
    moreOut_.assign(BLOCK_ROWS * line, 0.0);
    twoOut_.assign((BLOCK_ROWS + 1) * line, 0.0);
}

bool partitionFunction::inside() {
    const energyModel& m = *model_;
    const loopWeights w(m, sigma_);
    const int n = n_;
    const std::size_t line = static_cast<std::size_t>(n) + 2;
    const double um = w.multiUnpaired();
    unpairedPower_[0] = 1.0;
    for (std::size_t t = 1; t < unpairedPower_.size(); ++t) unpairedPower_[t] = unpairedPower_[t - 1] * um;
    std::fill(qb_.begin(), qb_.end(), 0.0);
    std::fill(qm_.begin(), qm_.end(), 0.0);
    std::fill(qs_.begin(), qs_.end(), 0.0);
    std::fill(innerRing_.begin(), innerRing_.end(), 0.0);
    std::fill(bulgeRing_.begin(), bulgeRing_.end(), 0.0);
    suffix_[n + 1] = 1.0;
    for (int top = n; top >= 1; top -= BLOCK_ROWS) {
        const int rows = std::min(BLOCK_ROWS, top);  // rows top, top - 1, ..., top - rows + 1
        double one[BLOCK_ROWS] = {};                 // exactly one branch, at the row's start
        double cellMax[BLOCK_ROWS] = {};
        double* more[BLOCK_ROWS];                    // two or more branches, the first at the row's start
        for (int r = 0; r < BLOCK_ROWS; ++r) {
            more[r] = more_.data() + r * line;
            std::fill(more[r], more[r] + line, 0.0);
        }
        for (int r = 0; r < rows; ++r) std::fill(innerRow(top - r), innerRow(top - r) + line, 0.0);
        for (int j = top - rows + 1; j <= n; ++j) {
            int pushing = 0;
            double* to[BLOCK_ROWS];
            double factor[BLOCK_ROWS] = {};
            const int first = j + 1 + MIN_SPAN;  // a branch ending at j, then one or more from j + 1 on
            for (int r = 0; r < rows; ++r) {
                const int i = top - r;
                if (j < i) continue;
                double b = 0.0;
                double branch = 0.0;
                if (j - i >= MIN_SPAN && m.canPair(i, j)) {
                    b = w.hairpin(i, j) + interiorInside(w, i, j);
                    if (const double two = qs_[row(i + 1, j - 1)]; two != 0.0) b += w.multiClosing(i, j) * two;
                    qb_[row(i, j)] = b;
                    // Only helices with a neighbour on both sides can be branches of a multibranch loop.
                    if (b != 0.0 && i > 1 && j < n) {
                        branch = b * w.multiBranch(i, j);
                        innerRow(i)[j] = b * w.innerMismatch(i, j);
                    }
                }
                bulgeRow(i)[j] = b != 0.0 ? b * w.terminal(i, j) : 0.0;
                one[r] = one[r] * um + branch;
                const double mm = qm_[row(i + 1, j)] * um + one[r] + more[r][j];
                qm_[row(i, j)] = mm;
                qs_[row(i, j)] = qs_[row(i + 1, j)] * um + more[r][j];
                cellMax[r] = std::max({cellMax[r], b, mm});
                if (branch != 0.0 && first <= n) {
                    to[pushing] = more[r] + first;
                    factor[pushing++] = branch;
                }
            }
            if (pushing > 0) pushRowsAny(pushing, to, qm_.data() + rowBase_[j + 1] + first, factor, n - first + 1);
        }
        for (int r = 0; r < rows; ++r) {
            const int i = top - r;
            const double* qb = qb_.data() + rowBase_[i];
            double z = suffix_[i + 1] * sigma_;
            for (int l = i + MIN_SPAN; l <= n; ++l)
                if (qb[l] != 0.0) z += qb[l] * w.exteriorBranch(i, l) * suffix_[l + 1];
            suffix_[i] = z;
            const double logZ = std::log(z);
            if (!std::isfinite(logZ) || std::abs(logZ) > EXTERIOR_LOG_LIMIT || !(cellMax[r] <= CELL_LIMIT)) {
                const double drift = std::isfinite(logZ) && std::abs(logZ) > EXTERIOR_LOG_LIMIT ? logZ
                                     : std::isfinite(cellMax[r]) && cellMax[r] > 0            ? std::log(cellMax[r])
                                                                                              : EXTERIOR_LOG_LIMIT * 4;
                sigma_ *= std::exp(-drift / (n - i + 1));
                return false;
            }
        }
    }
    logZ_ = std::log(suffix_[1]) - n * std::log(sigma_);
    return true;
}

void partitionFunction::outside() {
    const energyModel& m = *model_;
    const loopWeights w(m, sigma_);
    const int n = n_;
    const std::size_t line = static_cast<std::size_t>(n) + 2;
    const double um = w.multiUnpaired();
    qbOut_.assign(qb_.size(), 0.0);
    qmOut_.assign(qm_.size(), 0.0);
    std::fill(innerRing_.begin(), innerRing_.end(), 0.0);
    std::fill(bulgeRing_.begin(), bulgeRing_.end(), 0.0);
    suffixOut_.assign(static_cast<std::size_t>(n) + 2, 0.0);
    // Outside values are derivatives of Z-hat over Z-hat: p(i, j) = qb * qbOut.
    suffixOut_[1] = 1.0 / suffix_[1];
    for (int i = 1; i <= n; ++i) {
        const double zi = suffixOut_[i];
        suffixOut_[i + 1] += zi * sigma_;
        for (int l = i + MIN_SPAN; l <= n; ++l) {
            const double v = qb_[row(i, l)];
            if (v == 0.0) continue;
            const double e = zi * w.exteriorBranch(i, l);
            qbOut_[row(i, l)] += e * suffix_[l + 1];
            suffixOut_[l + 1] += e * v;
        }
    }
    // Blocks of rows top down, their columns right to left: a cell's parents lie in earlier
    // blocks, in later columns, or in the rows above it at the same column.
    double* twoOut[BLOCK_ROWS + 1];  // outside of "two or more branches" over i..j, row base + r
    for (int r = 0; r <= BLOCK_ROWS; ++r) twoOut[r] = twoOut_.data() + r * line;
    std::fill(twoOut[0], twoOut[0] + line, 0.0);
    double* moreOut[BLOCK_ROWS];
    for (int r = 0; r < BLOCK_ROWS; ++r) moreOut[r] = moreOut_.data() + r * line;
    for (int base = 1; base <= n; base += BLOCK_ROWS) {
        const int rows = std::min(BLOCK_ROWS, n - base + 1);  // rows base, ..., base + rows - 1
        for (int r = 0; r < rows; ++r) {
            const int i = base + r;
            const double* qmOut = qmOut_.data() + rowBase_[i];
            double* qmOutBelow = qmOut_.data() + rowBase_[i + 1];
            for (int j = i; j <= n; ++j) qmOutBelow[j] += um * qmOut[j];
        }
        for (int r = 1; r <= rows; ++r) std::fill(twoOut[r], twoOut[r] + line, 0.0);
        // Column c of row r: its two-or-more outside complete once row r - 1 has passed c + 1.
        const auto settle = [&](int c) {
            for (int r = 1; r <= rows; ++r) twoOut[r][c] += um * twoOut[r - 1][c];
            for (int r = 0; r < rows; ++r) moreOut[r][c] = qmOut_[row(base + r, c)] + twoOut[r][c];
        };
        double oneOut[BLOCK_ROWS] = {};  // the one-branch sums' outside, gathered from the right
        for (int l = n; l >= base + MIN_SPAN; --l) {
            const int first = l + 1 + MIN_SPAN;
            if (first <= n) settle(first);
            int pulling = 0;
            const double* from[BLOCK_ROWS];
            double factor[BLOCK_ROWS] = {};
            double sum[BLOCK_ROWS] = {};
            int pullRow[BLOCK_ROWS];
            for (int r = 0; r < rows; ++r) {
                const int i = base + r;
                if (l < i + MIN_SPAN) break;
                oneOut[r] = oneOut[r] * um + qmOut_[row(i, l)];
                const double b = qb_[row(i, l)];
                if (b == 0.0 || i == 1 || l == n) continue;
                const double multiBranch = w.multiBranch(i, l);
                qbOut_[row(i, l)] += oneOut[r] * multiBranch;
                if (first <= n) {
                    from[pulling] = moreOut[r] + first;
                    factor[pulling] = b * multiBranch;
                    pullRow[pulling++] = r;
                }
            }
            if (pulling > 0) {
                pullAndPushRowsAny(pulling, from, qm_.data() + rowBase_[l + 1] + first,
                                   qmOut_.data() + rowBase_[l + 1] + first, factor, sum, n - first + 1);
                for (int p = 0; p < pulling; ++p) {
                    const int i = base + pullRow[p];
                    qbOut_[row(i, l)] += sum[p] * w.multiBranch(i, l);
                }
            }
            for (int r = 0; r < rows; ++r) {
                const int i = base + r;
                if (l < i + MIN_SPAN) break;
                const double b = qb_[row(i, l)];
                if (b == 0.0) continue;
                double out = qbOut_[row(i, l)] + bulgeRow(i)[l] * w.terminal(i, l);
                if (i > 1 && l < n) out += innerRow(i)[l] * w.innerMismatch(i, l);
                qbOut_[row(i, l)] = out;
                if (out == 0.0) continue;
                interiorOutside(w, i, l, out);
                twoOut[r + 1][l - 1] += out * w.multiClosing(i, l);
            }
        }
        for (int c = std::min(n, base + 2 * MIN_SPAN); c >= base; --c) settle(c);
        for (int r = 0; r < rows; ++r) {
            const int i = base + r;
            std::fill(innerRow(i), innerRow(i) + line, 0.0);
            std::fill(bulgeRow(i), bulgeRow(i) + line, 0.0);
        }
        std::swap(twoOut[0], twoOut[rows]);
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
