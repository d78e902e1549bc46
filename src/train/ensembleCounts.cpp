#include "train/ensembleCounts.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace korvane::train {

namespace {

constexpr double TENTHS_PER_KCAL = 10.0;
// Loops less probable than this add nothing measurable to any count.
constexpr double FEATURE_FLOOR = 1e-14;

using gain = ensembleCounts::gainValue;

// gainValue is a + b eps with eps^2 = 0: the weight of structures and, beside it, their weight
// times their gain. Carried through the inside and outside sums, b / Z - a Z.b / Z^2 of a loop
// is the covariance of the gain with that loop's presence.
gain operator+(gain x, gain y) { return {x.a + y.a, x.b + y.b}; }
gain operator+(gain x, double y) { return {x.a + y, x.b}; }
gain& operator+=(gain& x, gain y) { return x = x + y; }
gain operator*(gain x, gain y) { return {x.a * y.a, x.a * y.b + x.b * y.a}; }
gain operator*(gain x, double y) { return {x.a * y, x.b * y}; }
gain operator*(double y, gain x) { return x * y; }
gain operator/(gain x, gain y) { return {x.a / y.a, (x.b * y.a - x.a * y.b) / (y.a * y.a)}; }
double weightOf(double x) { return x; }
double weightOf(gain x) { return x.a; }

}  // namespace

double ensembleCounts::probability(int i, int j) const {
    if (withGain_) {
        const auto& g = gainGrids_;
        return g.z.a > 0 ? (g.qb[at(i, j)] * g.qbBar[at(i, j)]).a / g.z.a : 0.0;
    }
    const auto& g = plainGrids_;
    return g.z > 0 ? g.qb[at(i, j)] * g.qbBar[at(i, j)] / g.z : 0.0;
}

double ensembleCounts::compute(const realModel& m, const fold::energyModel& cells, const parameterLayout& layout,
                               std::vector<double>& counts, std::span<const int> held) {
    withGain_ = false;
    return run(plainGrids_, m, cells, layout, counts, held, {}, nullptr);
}

double ensembleCounts::computeGain(const realModel& m, const fold::energyModel& cells, const parameterLayout& layout,
                                   std::vector<double>& counts, std::span<const double> pairGain,
                                   std::vector<double>& gainCounts, double& expectedGain) {
    withGain_ = true;
    const double logZ = run(gainGrids_, m, cells, layout, counts, {}, pairGain, &gainCounts);
    expectedGain = gainGrids_.z.b / gainGrids_.z.a;
    return logZ;
}

template <typename V>
double ensembleCounts::run(grids<V>& g, const realModel& m, const fold::energyModel& cells,
                           const parameterLayout& layout, std::vector<double>& counts, std::span<const int> held,
                           std::span<const double> pairGain, std::vector<double>* gainCounts) {
    const int n = m.n;
    // Held pairs: a base they pair may take no other partner nor stay unpaired, and no pair
    // may cross them. For a nested set of held pairs, a pair of two free bases crosses none
    // exactly when both lie directly in the same held loop.
    const bool constrained = !held.empty();
    if (constrained) {
        enclosing_.assign(n + 1, 0);
        heldUpTo_.assign(n + 1, 0);
        std::vector<int> open;
        for (int p = 1; p <= n; ++p) {
            heldUpTo_[p] = heldUpTo_[p - 1] + (held[p] != 0);
            if (held[p] != 0 && held[p] < p && !open.empty()) open.pop_back();
            enclosing_[p] = open.empty() ? 0 : open.back();
            if (held[p] > p) open.push_back(p);
        }
    }
    const auto allowed = [&](int i, int j) {
        if (!m.canPair(i, j)) return false;
        return !constrained || held[i] == j || (held[i] == 0 && held[j] == 0 && enclosing_[i] == enclosing_[j]);
    };
    // Whether bases a..b may all stay unpaired.
    const auto mayStayUnpaired = [&](int a, int b) { return !constrained || a > b || heldUpTo_[b] == heldUpTo_[a - 1]; };
    n_ = n;
    width_ = n + 2;
    const size_t cellsCount = static_cast<size_t>(width_) * width_;
    for (auto* v : {&g.qb, &g.qm, &g.qm1, &g.qbBar, &g.qmBar, &g.qm1Bar}) v->assign(cellsCount, V{});
    branch_.assign(cellsCount, 0.0);
    g.q.assign(n + 1, V{});
    g.qBar.assign(n + 1, V{});
    counts.assign(layout.size(), 0.0);
    if (gainCounts != nullptr) gainCounts->assign(layout.size(), 0.0);
    const double beta = 1.0 / (TENTHS_PER_KCAL * static_cast<double>(m.tables.rtKcal));
    const auto w = [beta](double tenths) { return tenths >= INFINITE ? 0.0 : std::exp(-beta * tenths); };
    const double wu = w(m.multiPerUnpaired());
    unpairedPower_.assign(n + 1, 1.0);
    for (int k = 1; k <= n; ++k) unpairedPower_[k] = unpairedPower_[k - 1] * wu;
    // Weight of bases a..b unpaired in a multibranch loop.
    const auto up = [&](int a, int b) { return mayStayUnpaired(a, b) ? unpairedPower_[b - a + 1] : 0.0; };
    // The factor a pair brings beside its loop: 1, or 1 + gain(i, j) eps.
    const auto pairFactor = [&](int i, int j) {
        if constexpr (std::is_same_v<V, gain>) {
            return gain{1.0, pairGain[static_cast<size_t>(i) * (n + 1) + j]};
        } else {
            return 1.0;
        }
    };
    auto& qb = g.qb;
    auto& qm = g.qm;
    auto& qm1 = g.qm1;
    auto& q = g.q;

    // Inside, by span.
    interior_.clear();
    first_.assign(cellsCount, 0);
    last_.assign(cellsCount, 0);
    for (int d = fold::MIN_HAIRPIN + 1; d < n; ++d)
        for (int i = 1; i + d <= n; ++i) {
            const int j = i + d;
            first_[at(i, j)] = interior_.size();
            if (allowed(i, j)) {
                V v{};
                if (mayStayUnpaired(i + 1, j - 1)) v = pairFactor(i, j) * w(m.hairpin(i, j));
                V loops{};
                for (int k = i + 1; k <= std::min(i + fold::MAX_INTERIOR + 1, j - fold::MIN_HAIRPIN - 2) && mayStayUnpaired(i + 1, k - 1); ++k) {
                    const int left = k - i - 1;
                    for (int l = j - 1; l > k + fold::MIN_HAIRPIN && left + (j - l - 1) <= fold::MAX_INTERIOR && mayStayUnpaired(l + 1, j - 1); --l) {
                        const V& inner = qb[at(k, l)];
                        if (weightOf(inner) == 0.0) continue;
                        const double weight = w(m.interior(i, j, k, l));
                        interior_.push_back({k, l, weight});
                        loops += weight * inner;
                    }
                }
                last_[at(i, j)] = interior_.size();
                V split{};
                for (int u = i + 1; u < j - 1; ++u) split += qm[at(i + 1, u)] * qm1[byColumn(u + 1, j - 1)];
                if (weightOf(split) != 0.0) loops += w(m.multiClosing(i, j)) * split;
                qb[at(i, j)] = v + loops * pairFactor(i, j);
                // As a multibranch loop's branch, once, for the cubic sums below.
                if (i > 1 && j < n) branch_[at(i, j)] = w(m.multiBranch(i, j));
            }
            // Multibranch pieces lie strictly inside a closing pair.
            if (i == 1 || j == n) continue;
            V m1{};
            for (int l = i + fold::MIN_HAIRPIN + 1; l <= j; ++l)
                if (weightOf(qb[at(i, l)]) != 0.0) m1 += qb[at(i, l)] * (branch_[at(i, l)] * up(l + 1, j));
            qm1[byColumn(i, j)] = m1;
            V mm{};
            for (int u = i; u <= j; ++u) {
                V left = V{} + up(i, u - 1);
                if (u > i) left += qm[at(i, u - 1)];
                mm += left * qm1[byColumn(u, j)];
            }
            qm[at(i, j)] = mm;
        }
    q[0] = V{} + 1.0;
    for (int j = 1; j <= n; ++j) {
        V v = mayStayUnpaired(j, j) ? q[j - 1] : V{};
        for (int k = 1; k + fold::MIN_HAIRPIN < j; ++k)
            if (weightOf(qb[at(k, j)]) != 0.0) v += q[k - 1] * qb[at(k, j)] * w(m.exteriorBranch(k, j));
        q[j] = v;
    }
    g.z = q[n];
    const V z = g.z;
    if (!std::isfinite(weightOf(z)) || weightOf(z) <= 0) throw std::range_error("the partition function left double range");

    // A loop of weight x (structures holding it over all) adds x / Z of its features to the
    // counts and, with a gain, the eps part of x / Z to the gain counts. Callers have already
    // left out loops below FEATURE_FLOOR.
    const auto tally = [&](const V& x) {
        const V p = x / z;
        layout.accumulate(features_, weightOf(p), counts);
        if constexpr (std::is_same_v<V, gain>) layout.accumulate(features_, p.b, *gainCounts);
        features_.clear();
    };
    // Outside: the adjoint of every product above, in reverse order.
    auto& qbBar = g.qbBar;
    auto& qmBar = g.qmBar;
    auto& qm1Bar = g.qm1Bar;
    auto& qBar = g.qBar;
    qBar[n] = V{} + 1.0;
    for (int j = n; j >= 1; --j) {
        if (mayStayUnpaired(j, j)) qBar[j - 1] += qBar[j];
        for (int k = 1; k + fold::MIN_HAIRPIN < j; ++k) {
            const V& inner = qb[at(k, j)];
            if (weightOf(inner) == 0.0) continue;
            const double wE = w(m.exteriorBranch(k, j));
            qBar[k - 1] += qBar[j] * inner * wE;
            qbBar[at(k, j)] += qBar[j] * q[k - 1] * wE;
            const V x = qBar[j] * q[k - 1] * inner * wE;
            if (weightOf(x) / weightOf(z) > FEATURE_FLOOR) exteriorBranchFeatures(cells, k, j, features_), tally(x);
        }
    }
    for (int d = n - 1; d > fold::MIN_HAIRPIN; --d)
        for (int i = 1; i + d <= n; ++i) {
            const int j = i + d;
            if (const V bar = qmBar[at(i, j)]; weightOf(bar) != 0.0)
                for (int u = i; u <= j; ++u) {
                    const V& branch = qm1[byColumn(u, j)];
                    V left = V{} + up(i, u - 1);
                    if (u > i) left += qm[at(i, u - 1)];
                    qm1Bar[byColumn(u, j)] += bar * left;
                    if (u > i) qmBar[at(i, u - 1)] += bar * branch;
                    const V x = bar * branch * up(i, u - 1);
                    if (u > i && weightOf(x) / weightOf(z) > FEATURE_FLOOR) multiUnpairedFeatures(u - i, features_), tally(x);
                }
            if (const V bar = qm1Bar[byColumn(i, j)]; weightOf(bar) != 0.0)
                for (int l = i + fold::MIN_HAIRPIN + 1; l <= j; ++l) {
                    const V& inner = qb[at(i, l)];
                    if (weightOf(inner) == 0.0) continue;
                    const double wB = branch_[at(i, l)] * up(l + 1, j);
                    qbBar[at(i, l)] += bar * wB;
                    const V x = bar * inner * wB;
                    if (weightOf(x) / weightOf(z) > FEATURE_FLOOR) {
                        multiBranchFeatures(cells, i, l, features_);
                        multiUnpairedFeatures(j - l, features_);
                        tally(x);
                    }
                }
            if (weightOf(qbBar[at(i, j)]) == 0.0 || weightOf(qb[at(i, j)]) == 0.0) continue;
            // The adjoint of the loop sum closed by (i, j): the pair's factor taken out.
            const V bar = qbBar[at(i, j)] * pairFactor(i, j);
            if (mayStayUnpaired(i + 1, j - 1))
                if (const V x = bar * w(m.hairpin(i, j)); weightOf(x) / weightOf(z) > FEATURE_FLOOR)
                    hairpinFeatures(cells, i, j, features_), tally(x);
            for (size_t e = first_[at(i, j)]; e < last_[at(i, j)]; ++e) {
                const auto [k, l, wI] = interior_[e];
                qbBar[at(k, l)] += bar * wI;
                const V x = bar * qb[at(k, l)] * wI;
                if (weightOf(x) / weightOf(z) > FEATURE_FLOOR) interiorFeatures(cells, i, j, k, l, features_), tally(x);
            }
            const double wMC = w(m.multiClosing(i, j));
            V split{};
            for (int u = i + 1; u < j - 1; ++u) {
                const V& a = qm[at(i + 1, u)];
                const V& b = qm1[byColumn(u + 1, j - 1)];
                if (weightOf(a) == 0.0 || weightOf(b) == 0.0) continue;
                qmBar[at(i + 1, u)] += bar * b * wMC;
                qm1Bar[byColumn(u + 1, j - 1)] += bar * a * wMC;
                split += a * b;
            }
            if (const V x = bar * split * wMC; weightOf(x) / weightOf(z) > FEATURE_FLOOR)
                multiClosingFeatures(cells, i, j, features_), tally(x);
        }
    return std::log(weightOf(z));
}

}  // namespace korvane::train
