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

enum class part { pair, multi, twoOrMore };

}  // namespace

std::vector<std::vector<int>> partitionFunction::sample(int count, std::uint64_t seed) const {
    std::vector<std::vector<int>> drawn;
    if (count <= 0 || model_ == nullptr) return drawn;
    const energyModel& m = *model_;
    const loopWeights w(m, sigma_);
    const int n = n_;
    const double um = w.multiUnpaired();
    std::mt19937_64 random(seed);
    std::vector<std::pair<part, std::pair<int, int>>> pending;
    drawn.reserve(static_cast<std::size_t>(count));
    // Segment i..j of a multibranch loop from position i on, with (twoOrMore) two or more
    // branches, else one or more: i unpaired, or the first branch i-l and what follows it.
    const auto segment = [&](int i, int j, bool twoOrMore) {
        const std::vector<double>& table = twoOrMore ? qs_ : qm_;
        for (; i <= j; ++i) {
            double r = uniform(random) * table[row(i, j)] - table[row(i + 1, j)] * um;
            if (r < 0.0) continue;
            int chosen = 0;
            bool alone = false;
            for (int l = i + MIN_HAIRPIN + 1; l <= j; ++l) {
                const double b = qb_[row(i, l)];
                if (b == 0.0 || i == 1 || l == n) continue;
                const double weight = b * w.multiBranch(i, l);
                const double rest = l < j ? qm_[row(l + 1, j)] : 0.0;
                if (!twoOrMore) {
                    chosen = l;
                    alone = true;
                    r -= weight * unpairedPower_[j - l];
                    if (r < 0.0) break;
                }
                if (rest == 0.0) continue;
                chosen = l;
                alone = false;
                r -= weight * rest;
                if (r < 0.0) break;
            }
            // Rounding can leave a sliver past the last term: it belongs to the last one.
            if (chosen == 0) return;
            pending.push_back({part::pair, {i, chosen}});
            if (!alone) pending.push_back({part::multi, {chosen + 1, j}});
            return;
        }
    };
    for (int s = 0; s < count; ++s) {
        std::vector<int> pairs(static_cast<std::size_t>(n) + 1, 0);
        // Exterior loop, left to right.
        for (int i = 1; i <= n;) {
            double r = uniform(random) * suffix_[i];
            r -= suffix_[i + 1] * sigma_;
            int chosen = 0;
            if (r >= 0.0) {
                for (int l = i + MIN_HAIRPIN + 1; l <= n; ++l) {
                    const double v = qb_[row(i, l)];
                    if (v == 0.0) continue;
                    chosen = l;
                    r -= v * w.exteriorBranch(i, l) * suffix_[l + 1];
                    if (r < 0.0) break;
                }
            }
            if (chosen == 0) {
                ++i;
                continue;
            }
            pending.push_back({part::pair, {i, chosen}});
            i = chosen + 1;
        }
        while (!pending.empty()) {
            const auto [kind, span] = pending.back();
            pending.pop_back();
            const auto [i, j] = span;
            if (kind != part::pair) {
                segment(i, j, kind == part::twoOrMore);
                continue;
            }
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
            // What the interior loops leave (rounding slivers included) is the multibranch loop.
            if (!found && qs_[row(i + 1, j - 1)] != 0.0) pending.push_back({part::twoOrMore, {i + 1, j - 1}});
        }
        drawn.push_back(std::move(pairs));
    }
    return drawn;
}

}  // namespace korvane::fold
