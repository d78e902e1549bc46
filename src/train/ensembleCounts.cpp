#include "train/ensembleCounts.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace korvane::train {

namespace {

constexpr double TENTHS_PER_KCAL = 10.0;
// Loops less probable than this add nothing measurable to any count.
constexpr double FEATURE_FLOOR = 1e-14;

}  // namespace

double ensembleCounts::probability(int i, int j) const { return z_ > 0 ? qb_[at(i, j)] * qbBar_[at(i, j)] / z_ : 0.0; }

double ensembleCounts::compute(const realModel& m, const fold::energyModel& cells, const parameterLayout& layout,
                               std::vector<double>& counts, std::span<const int> held) {
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
    for (auto* v : {&qb_, &qm_, &qm1_, &qbBar_, &qmBar_, &qm1Bar_, &branch_}) v->assign(cellsCount, 0.0);
    q_.assign(n + 1, 0.0);
    qBar_.assign(n + 1, 0.0);
    counts.assign(layout.size(), 0.0);
    const double beta = 1.0 / (TENTHS_PER_KCAL * static_cast<double>(m.tables.rtKcal));
    const auto w = [beta](double tenths) { return tenths >= INFINITE ? 0.0 : std::exp(-beta * tenths); };
    const double wu = w(m.multiPerUnpaired());
    unpairedPower_.assign(n + 1, 1.0);
    for (int k = 1; k <= n; ++k) unpairedPower_[k] = unpairedPower_[k - 1] * wu;
    // Weight of bases a..b unpaired in a multibranch loop.
    const auto up = [&](int a, int b) { return mayStayUnpaired(a, b) ? unpairedPower_[b - a + 1] : 0.0; };

    // Inside, by span.
    interior_.clear();
    first_.assign(cellsCount, 0);
    last_.assign(cellsCount, 0);
    for (int d = fold::MIN_HAIRPIN + 1; d < n; ++d)
        for (int i = 1; i + d <= n; ++i) {
            const int j = i + d;
            first_[at(i, j)] = interior_.size();
            if (allowed(i, j)) {
                double v = mayStayUnpaired(i + 1, j - 1) ? w(m.hairpin(i, j)) : 0.0;
                for (int k = i + 1; k <= std::min(i + fold::MAX_INTERIOR + 1, j - fold::MIN_HAIRPIN - 2) && mayStayUnpaired(i + 1, k - 1); ++k) {
                    const int left = k - i - 1;
                    for (int l = j - 1; l > k + fold::MIN_HAIRPIN && left + (j - l - 1) <= fold::MAX_INTERIOR && mayStayUnpaired(l + 1, j - 1); --l) {
                        const double inner = qb_[at(k, l)];
                        if (inner == 0.0) continue;
                        const double weight = w(m.interior(i, j, k, l));
                        interior_.push_back({k, l, weight});
                        v += weight * inner;
                    }
                }
                last_[at(i, j)] = interior_.size();
                double split = 0;
                for (int u = i + 1; u < j - 1; ++u) split += qm_[at(i + 1, u)] * qm1_[byColumn(u + 1, j - 1)];
                if (split != 0.0) v += w(m.multiClosing(i, j)) * split;
                qb_[at(i, j)] = v;
                // As a multibranch loop's branch, once, for the cubic sums below.
                if (i > 1 && j < n) branch_[at(i, j)] = w(m.multiBranch(i, j));
            }
            // Multibranch pieces lie strictly inside a closing pair.
            if (i == 1 || j == n) continue;
            double m1 = 0;
            for (int l = i + fold::MIN_HAIRPIN + 1; l <= j; ++l)
                if (qb_[at(i, l)] != 0.0) m1 += qb_[at(i, l)] * branch_[at(i, l)] * up(l + 1, j);
            qm1_[byColumn(i, j)] = m1;
            double mm = 0;
            for (int u = i; u <= j; ++u) mm += (up(i, u - 1) + (u > i ? qm_[at(i, u - 1)] : 0.0)) * qm1_[byColumn(u, j)];
            qm_[at(i, j)] = mm;
        }
    q_[0] = 1.0;
    for (int j = 1; j <= n; ++j) {
        double v = mayStayUnpaired(j, j) ? q_[j - 1] : 0.0;
        for (int k = 1; k + fold::MIN_HAIRPIN < j; ++k)
            if (qb_[at(k, j)] != 0.0) v += q_[k - 1] * qb_[at(k, j)] * w(m.exteriorBranch(k, j));
        q_[j] = v;
    }
    z_ = q_[n];
    if (!std::isfinite(z_) || z_ <= 0) throw std::range_error("the partition function left double range");

    const auto tally = [&](double p) {
        layout.accumulate(features_, p, counts);
        features_.clear();
    };
    // Outside: the adjoint of every product above, in reverse order.
    qBar_[n] = 1.0;
    for (int j = n; j >= 1; --j) {
        if (mayStayUnpaired(j, j)) qBar_[j - 1] += qBar_[j];
        for (int k = 1; k + fold::MIN_HAIRPIN < j; ++k) {
            const double inner = qb_[at(k, j)];
            if (inner == 0.0) continue;
            const double wE = w(m.exteriorBranch(k, j));
            qBar_[k - 1] += qBar_[j] * inner * wE;
            qbBar_[at(k, j)] += qBar_[j] * q_[k - 1] * wE;
            const double p = qBar_[j] * q_[k - 1] * inner * wE / z_;
            if (p > FEATURE_FLOOR) exteriorBranchFeatures(cells, k, j, features_), tally(p);
        }
    }
    for (int d = n - 1; d > fold::MIN_HAIRPIN; --d)
        for (int i = 1; i + d <= n; ++i) {
            const int j = i + d;
            if (const double bar = qmBar_[at(i, j)]; bar != 0.0)
                for (int u = i; u <= j; ++u) {
                    const double branch = qm1_[byColumn(u, j)];
                    qm1Bar_[byColumn(u, j)] += bar * (up(i, u - 1) + (u > i ? qm_[at(i, u - 1)] : 0.0));
                    if (u > i) qmBar_[at(i, u - 1)] += bar * branch;
                    const double p = bar * up(i, u - 1) * branch / z_;
                    if (p > FEATURE_FLOOR && u > i) multiUnpairedFeatures(u - i, features_), tally(p);
                }
            if (const double bar = qm1Bar_[byColumn(i, j)]; bar != 0.0)
                for (int l = i + fold::MIN_HAIRPIN + 1; l <= j; ++l) {
                    const double inner = qb_[at(i, l)];
                    if (inner == 0.0) continue;
                    const double wB = branch_[at(i, l)] * up(l + 1, j);
                    qbBar_[at(i, l)] += bar * wB;
                    const double p = bar * inner * wB / z_;
                    if (p > FEATURE_FLOOR) {
                        multiBranchFeatures(cells, i, l, features_);
                        multiUnpairedFeatures(j - l, features_);
                        tally(p);
                    }
                }
            const double bar = qbBar_[at(i, j)];
            if (bar == 0.0 || qb_[at(i, j)] == 0.0) continue;
            if (const double p = mayStayUnpaired(i + 1, j - 1) ? bar * w(m.hairpin(i, j)) / z_ : 0.0; p > FEATURE_FLOOR) hairpinFeatures(cells, i, j, features_), tally(p);
            for (size_t e = first_[at(i, j)]; e < last_[at(i, j)]; ++e) {
                const auto [k, l, wI] = interior_[e];
                qbBar_[at(k, l)] += bar * wI;
                const double p = bar * wI * qb_[at(k, l)] / z_;
                if (p > FEATURE_FLOOR) interiorFeatures(cells, i, j, k, l, features_), tally(p);
            }
            const double wMC = w(m.multiClosing(i, j));
            double split = 0;
            for (int u = i + 1; u < j - 1; ++u) {
                const double a = qm_[at(i + 1, u)], b = qm1_[byColumn(u + 1, j - 1)];
                if (a == 0.0 || b == 0.0) continue;
                qmBar_[at(i + 1, u)] += bar * wMC * b;
                qm1Bar_[byColumn(u + 1, j - 1)] += bar * wMC * a;
                split += a * b;
            }
            if (const double p = bar * wMC * split / z_; p > FEATURE_FLOOR) multiClosingFeatures(cells, i, j, features_), tally(p);
        }
    return std::log(z_);
}

}  // namespace korvane::train
