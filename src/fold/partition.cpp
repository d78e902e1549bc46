#include "fold/partition.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "fold/loopWeights.h"

// The row kernels carry most of the work; an AVX-512 or AVX2 copy is picked at load time where
// the processor has one, so the binary stays portable.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define KORVANE_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define KORVANE_VECTOR_CLONES
#endif

namespace korvane::fold {

namespace {

// A suffix whose scaled weight leaves e^+-200, or any cell over 1e200, calls for a new sigma:
// far from overflow, so that nothing computed before the check is lost.
constexpr double PREFIX_LOG_LIMIT = 200.0;
constexpr double CELL_LIMIT = 1e200;
constexpr int MAX_RESCALES = 12;
constexpr int MIN_SPAN = MIN_HAIRPIN + 1;         // j - i of the closest pair
constexpr int MIN_BRANCH_SPAN = MIN_HAIRPIN + 2;  // positions a pair with its hairpin covers
constexpr int RING_ROWS = 32;                     // inner pairs lie at most MAX_INTERIOR + 1 rows below i
static_assert(RING_ROWS > MAX_INTERIOR + 1);

double dot(const double* __restrict a, const double* __restrict b, int length) {
    double s = 0;
#pragma omp simd reduction(+ : s)
    for (int t = 0; t < length; ++t) s += a[t] * b[t];
    return s;
}

void addScaled(double* __restrict to, const double* __restrict from, double factor, int length) {
    for (int t = 0; t < length; ++t) to[t] += factor * from[t];
}

KORVANE_VECTOR_CLONES
void pushRow(double* __restrict to, const double* __restrict from, double factor, int length) {
    for (int t = 0; t < length; ++t) to[t] += factor * from[t];
}

// Sum of adjoint[t] * value[t], while adjointOut[t] += factor * adjoint[t]: one pass over both rows.
KORVANE_VECTOR_CLONES
double pullAndPushRow(const double* __restrict adjoint, const double* __restrict value, double* __restrict adjointOut,
                      double factor, int length) {
    double s = 0;
#pragma omp simd reduction(+ : s)
    for (int t = 0; t < length; ++t) {
        s += adjoint[t] * value[t];
        adjointOut[t] += factor * adjoint[t];
    }
    return s;
}

}  // namespace

double* partitionFunction::innerRow(int i) {
    return innerRing_.data() + static_cast<std::size_t>(i % RING_ROWS) * static_cast<std::size_t>(n_ + 2);
}

double* partitionFunction::bulgeColumn(int l) { return bulgeRing_.data() + static_cast<std::size_t>(l) * RING_ROWS; }

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
    double bulges = 0.0;
    const int lowest = std::max(i + 1 + MIN_HAIRPIN + 1, j - 1 - MAX_INTERIOR);
    for (int l = j - 3; l >= lowest; --l) bulges += w.bulgeSize(j - l - 1) * w.terminal(i + 1, l) * qb_[row(i + 1, l)];
    const int highest = std::min(i + 1 + MAX_INTERIOR, j - 1 - MIN_HAIRPIN - 1);
    const double* column = bulgeColumn(j - 1);
    for (int k = i + 3; k <= highest; ++k) bulges += w.bulgeSize(k - i - 1) * column[k % RING_ROWS];
    double generic = 0.0;
    const int kLast = std::min(i + MAX_INTERIOR, j - MIN_BRANCH_SPAN);
    for (int k = i + 2; k <= kLast; ++k) {
        const int s1 = k - i - 1;
        const int lFirst = std::max(k + MIN_HAIRPIN + 1, j - 1 - (MAX_INTERIOR - s1));
        const int genericTop = s1 <= 2 ? j - 4 : j - 2;
        const int lBase = j - 1 - (MAX_INTERIOR - s1);  // l = lBase + r
        if (genericTop >= lFirst)
            generic += dot(innerRow(k) + lFirst, w.genericRising(s1) + (lFirst - lBase), genericTop - lFirst + 1);
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
    const double bulge = out * w.terminal(i, j);
    const int lowest = std::max(i + 1 + MIN_HAIRPIN + 1, j - 1 - MAX_INTERIOR);
    for (int l = j - 3; l >= lowest; --l) qbOut_[row(i + 1, l)] += bulge * w.bulgeSize(j - l - 1) * w.terminal(i + 1, l);
    const int highest = std::min(i + 1 + MAX_INTERIOR, j - 1 - MIN_HAIRPIN - 1);
    double* column = bulgeColumn(j - 1);
    for (int k = i + 3; k <= highest; ++k) column[k % RING_ROWS] += bulge * w.bulgeSize(k - i - 1);
    const double outer = out * w.outerMismatch(i, j);
    const int kLast = std::min(i + MAX_INTERIOR, j - MIN_BRANCH_SPAN);
    for (int k = i + 2; k <= kLast; ++k) {
        const int s1 = k - i - 1;
        const int lFirst = std::max(k + MIN_HAIRPIN + 1, j - 1 - (MAX_INTERIOR - s1));
        const int genericTop = s1 <= 2 ? j - 4 : j - 2;
        const int lBase = j - 1 - (MAX_INTERIOR - s1);
        if (genericTop >= lFirst)
            addScaled(innerRow(k) + lFirst, w.genericRising(s1) + (lFirst - lBase), outer, genericTop - lFirst + 1);
    }
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
    for (auto* scratch : {&branch_, &more_, &moreOut_, &twoOut_, &twoOutNext_}) scratch->assign(line, 0.0);
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
    std::fill(qs_.begin(), qs_.end(), 0.0);
    std::fill(innerRing_.begin(), innerRing_.end(), 0.0);
    std::fill(bulgeRing_.begin(), bulgeRing_.end(), 0.0);
    suffix_[n + 1] = 1.0;
    double* branch = branch_.data();
    double* more = more_.data();
    for (int i = n; i >= 1; --i) {
        double* qb = qb_.data() + rowBase_[i];
        double* qm = qm_.data() + rowBase_[i];
        double* qs = qs_.data() + rowBase_[i];
        const double* qmBelow = qm_.data() + rowBase_[i + 1];
        const double* qsBelow = qs_.data() + rowBase_[i + 1];
        std::fill(branch + i, branch + n + 1, 0.0);
        std::fill(more + i, more + n + 1, 0.0);
        double cellMax = 0.0;
        for (int j = i + MIN_SPAN; j <= n; ++j) {
            if (!m.canPair(i, j)) continue;
            double b = w.hairpin(i, j) + interiorInside(w, i, j);
            if (const double two = qsBelow[j - 1]; two != 0.0) b += w.multiClosing(i, j) * two;
            qb[j] = b;
            cellMax = std::max(cellMax, b);
            // Only helices with a neighbour on both sides can be branches of a multibranch loop.
            if (b == 0.0 || i == 1 || j == n) continue;
            branch[j] = b * w.multiBranch(i, j);
            // This branch first, one or more after it: pushed now into every later segment end.
            const int first = j + 1 + MIN_SPAN;
            if (first <= n) pushRow(more + first, qm_.data() + rowBase_[j + 1] + first, branch[j], n - first + 1);
        }
        double one = 0.0;  // exactly one branch, at i
        for (int j = i; j <= n; ++j) {
            one = one * um + branch[j];
            qm[j] = qmBelow[j] * um + one + more[j];
            qs[j] = qsBelow[j] * um + more[j];
            cellMax = std::max(cellMax, qm[j]);
        }
        double z = suffix_[i + 1] * sigma_;
        for (int l = i + MIN_SPAN; l <= n; ++l)
            if (qb[l] != 0.0) z += qb[l] * w.exteriorBranch(i, l) * suffix_[l + 1];
        suffix_[i] = z;
        double* inner = innerRow(i);
        std::fill(inner, inner + n + 2, 0.0);
        if (i > 1)
            for (int l = i + MIN_SPAN; l < n; ++l)
                if (qb[l] != 0.0) inner[l] = qb[l] * w.innerMismatch(i, l);
        for (int l = i; l <= n; ++l) bulgeColumn(l)[i % RING_ROWS] = qb[l] != 0.0 ? qb[l] * w.terminal(i, l) : 0.0;
        const double logZ = std::log(z);
        if (!std::isfinite(logZ) || std::abs(logZ) > PREFIX_LOG_LIMIT || !(cellMax <= CELL_LIMIT)) {
            const double drift = std::isfinite(logZ) && std::abs(logZ) > PREFIX_LOG_LIMIT ? logZ
                                 : std::isfinite(cellMax) && cellMax > 0                  ? std::log(cellMax)
                                                                                          : PREFIX_LOG_LIMIT * 4;
            sigma_ *= std::exp(-drift / (n - i + 1));
            return false;
        }
    }
    logZ_ = std::log(suffix_[1]) - n * std::log(sigma_);
    return true;
}

void partitionFunction::outside() {
    const energyModel& m = *model_;
    const loopWeights w(m, sigma_);
    const int n = n_;
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
    // Rows top down: every cell's parents lie in earlier rows or, within a row, in the segment
    // sums, which are taken first.
    double* twoOut = twoOut_.data();  // outside of "two or more branches" over i..j
    double* twoOutNext = twoOutNext_.data();
    double* moreOut = moreOut_.data();
    std::fill(twoOut, twoOut + n + 2, 0.0);
    for (int i = 1; i <= n; ++i) {
        const double* qb = qb_.data() + rowBase_[i];
        double* qbOut = qbOut_.data() + rowBase_[i];
        const double* qmOut = qmOut_.data() + rowBase_[i];
        double* qmOutBelow = qmOut_.data() + rowBase_[i + 1];
        std::fill(twoOutNext, twoOutNext + n + 2, 0.0);
        for (int j = i; j <= n; ++j) {
            moreOut[j] = qmOut[j] + twoOut[j];
            qmOutBelow[j] += um * qmOut[j];
            twoOutNext[j] = um * twoOut[j];
        }
        double oneOut = 0.0;  // the one-branch sums' outside, gathered from the right
        for (int l = n; l >= i + MIN_SPAN; --l) {
            oneOut = oneOut * um + qmOut[l];
            if (qb[l] == 0.0 || i == 1 || l == n) continue;
            const double multiBranch = w.multiBranch(i, l);
            double out = oneOut;
            const int first = l + 1 + MIN_SPAN;
            if (first <= n)
                out += pullAndPushRow(moreOut + first, qm_.data() + rowBase_[l + 1] + first,
                                      qmOut_.data() + rowBase_[l + 1] + first, qb[l] * multiBranch, n - first + 1);
            qbOut[l] += out * multiBranch;
        }
        double* inner = innerRow(i);
        if (i > 1)
            for (int l = i + MIN_SPAN; l < n; ++l)
                if (qb[l] != 0.0) qbOut[l] += inner[l] * w.innerMismatch(i, l);
        std::fill(inner, inner + n + 2, 0.0);
        for (int l = i; l <= n; ++l) {
            double& share = bulgeColumn(l)[i % RING_ROWS];
            if (qb[l] != 0.0) qbOut[l] += share * w.terminal(i, l);
            share = 0.0;
        }
        for (int j = i + MIN_SPAN; j <= n; ++j) {
            if (qb[j] == 0.0) continue;
            const double out = qbOut[j];
            if (out == 0.0) continue;
            interiorOutside(w, i, j, out);
            twoOutNext[j - 1] += out * w.multiClosing(i, j);
        }
        std::swap(twoOut, twoOutNext);
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
