// Stochastic traceback: each choice is made with the share of the inside weight it carries.
#include <random>
#include <utility>

#include "fold/loopWeights.h"
#include "fold/partition.h"

namespace korvane::fold {

namespace {

constexpr double UNIT_53 = 0x1.0p-53;

// Uniform in [0, 1) from the top 53 bits: the same numbers on every standard library.
double uniform(std::mt19937_64& random) { return static_cast<double>(random() >> 11) * UNIT_53; }

enum class part { pair, multi, branchRun };

}  // namespace

std::vector<std::vector<int>> partitionFunction::sample(int count, std::uint64_t seed) const {
    std::vector<std::vector<int>> drawn;
    if (count <= 0 || model_ == nullptr) return drawn;
    const energyModel& m = *model_;
    const loopWeights w(m, sigma_);
    const int n = n_;
    std::mt19937_64 random(seed);
    std::vector<std::pair<part, std::pair<int, int>>> pending;
    drawn.reserve(static_cast<std::size_t>(count));
    for (int s = 0; s < count; ++s) {
        std::vector<int> pairs(static_cast<std::size_t>(n) + 1, 0);
        // Exterior loop, right to left.
        for (int j = n; j >= 1;) {
            double r = uniform(random) * prefix_[j];
            r -= prefix_[j - 1] * sigma_;
            int chosen = 0;
            if (r >= 0.0) {
                for (int k = j - MIN_HAIRPIN - 1; k >= 1; --k) {
                    const double v = qb_[row(k, j)];
                    if (v == 0.0) continue;
                    chosen = k;
                    r -= prefix_[k - 1] * v * w.exteriorBranch(k, j);
                    if (r < 0.0) break;
                }
            }
            if (chosen == 0) {
                --j;
                continue;
            }
            pending.push_back({part::pair, {chosen, j}});
            j = chosen - 1;
        }
        while (!pending.empty()) {
            const auto [kind, span] = pending.back();
            pending.pop_back();
            const auto [i, j] = span;
            if (kind == part::pair) {
                pairs[i] = j;
                pairs[j] = i;
                double r = uniform(random) * qb_[row(i, j)] - w.hairpin(i, j);
                if (r < 0.0) continue;
                bool found = false;
                const int kLast = std::min(i + MAX_INTERIOR + 1, j - MIN_HAIRPIN - 2);
                for (int k = i + 1; k <= kLast && !found; ++k) {
                    const int lFirst = std::max(k + MIN_HAIRPIN + 1, j - 1 - (MAX_INTERIOR - (k - i - 1)));
                    for (int l = j - 1; l >= lFirst; --l) {
                        const double inner = qb_[row(k, l)];
                        if (inner == 0.0) continue;
                        r -= inner * w.interior(i, j, k, l);
                        if (r < 0.0) {
                            pending.push_back({part::pair, {k, l}});
                            found = true;
                            break;
                        }
                    }
                }
                if (found) continue;
                const double closing = w.multiClosing(i, j);
                int last = 0;
                for (int u = i + 2; u < j; ++u) {
                    const double v = qm_[row(i + 1, u - 1)] * qm1_[col(u, j - 1)];
                    if (v == 0.0) continue;
                    last = u;
                    r -= closing * v;
                    if (r < 0.0) break;
                }
                // Rounding can leave a sliver past the last term: it belongs to the last one.
                if (last != 0) {
                    pending.push_back({part::multi, {i + 1, last - 1}});
                    pending.push_back({part::branchRun, {last, j - 1}});
                }
            } else if (kind == part::branchRun) {
                // A branch starting at i, then unpaired nucleotides up to j.
                int chosen = 0;
                for (int l = j; l > i; --l) {
                    const double b = qb_[row(i, l)];
                    if (b == 0.0) continue;
                    chosen = l;
                    if (uniform(random) * qm1_[col(i, l)] < b * w.multiBranch(i, l)) break;
                }
                if (chosen != 0) pending.push_back({part::pair, {i, chosen}});
            } else {
                // At least one branch in i..j: the last one starts at u.
                double r = uniform(random) * qm_[row(i, j)];
                int last = 0;
                for (int u = i; u <= j; ++u) {
                    const double c = qm1_[col(u, j)];
                    if (c == 0.0) continue;
                    last = u;
                    r -= (qm_[row(i, u - 1)] + unpairedPower_[u - i]) * c;
                    if (r < 0.0) break;
                }
                if (last == 0) continue;
                pending.push_back({part::branchRun, {last, j}});
                const double before = qm_[row(i, last - 1)];
                if (before != 0.0 && uniform(random) * (before + unpairedPower_[last - i]) < before)
                    pending.push_back({part::multi, {i, last - 1}});
            }
        }
        drawn.push_back(std::move(pairs));
    }
    return drawn;
}

}  // namespace korvane::fold
