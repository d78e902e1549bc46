#include "fold/decoding.h"

#include <algorithm>
#include <cstddef>

namespace korvane::fold {

namespace {

struct candidate {
    int partner;
    double weight;
};

}  // namespace

std::vector<int> maximumExpectedAccuracy(int n, std::span<const pairProbability> pairs,
                                         std::span<const double> unpaired, double gamma) {
    std::vector<int> result(static_cast<std::size_t>(n) + 1, 0);
    if (n <= 0) return result;
    std::vector<std::vector<candidate>> from(static_cast<std::size_t>(n) + 2);
    for (const pairProbability& pair : pairs) from[pair.i].push_back({pair.j, 2.0 * gamma * pair.p});
    // Row-major triangle, row i holding j = i-1..n (i = 1..n+1): best(i, j) over i..j.
    std::vector<std::size_t> base(static_cast<std::size_t>(n) + 2);
    std::size_t start = 0;
    for (int i = 1; i <= n + 1; ++i) {
        base[i] = start - static_cast<std::size_t>(i - 1);
        start += static_cast<std::size_t>(n - i + 2);
    }
    std::vector<double> best(start, 0.0);
    auto at = [&](int i, int j) -> double& { return best[base[i] + static_cast<std::size_t>(j)]; };
    // A row at a time, each candidate pair over all the row's ends at once: the same sums and
    // maxima as cell by cell, in an order that streams whole rows.
    for (int i = n; i >= 1; --i) {
        double* to = &at(i, 0);
        const double* below = &at(i + 1, 0);
        for (int j = i; j <= n; ++j) to[j] = below[j] + unpaired[i];
        for (const candidate& c : from[i]) {
            const double base = c.weight + at(i + 1, c.partner - 1);
            const double* after = &at(c.partner + 1, 0);
            for (int j = c.partner; j <= n; ++j) to[j] = std::max(to[j], base + after[j]);
        }
    }
    std::vector<std::pair<int, int>> spans{{1, n}};
    while (!spans.empty()) {
        auto [i, j] = spans.back();
        spans.pop_back();
        while (i < j) {
            const double value = at(i, j);
            if (value == at(i + 1, j) + unpaired[i]) {
                ++i;
                continue;
            }
            bool paired = false;
            for (const candidate& c : from[i]) {
                if (c.partner > j) break;
                if (value == c.weight + at(i + 1, c.partner - 1) + at(c.partner + 1, j)) {
                    result[i] = c.partner;
                    result[c.partner] = i;
                    spans.push_back({i + 1, c.partner - 1});
                    i = c.partner + 1;
                    paired = true;
                    break;
                }
            }
            if (!paired) ++i;  // cannot happen: the maximum is one of the terms
        }
    }
    return result;
}

std::vector<int> threshKnot(int n, std::span<const pairProbability> pairs, double threshold) {
    std::vector<int> partner(static_cast<std::size_t>(n) + 1, 0);
    std::vector<double> top(static_cast<std::size_t>(n) + 1, 0.0);
    // Pairs come by (i, j): a later partner replaces an earlier one only when more probable, or
    // as probable and nearer.
    auto offer = [&](int at, int other, double p) {
        const int current = partner[at];
        if (p > top[at] || (p == top[at] && current != 0 && std::abs(other - at) < std::abs(current - at))) {
            top[at] = p;
            partner[at] = other;
        }
    };
    for (const pairProbability& pair : pairs) {
        offer(pair.i, pair.j, pair.p);
        offer(pair.j, pair.i, pair.p);
    }
    std::vector<int> result(static_cast<std::size_t>(n) + 1, 0);
    for (const pairProbability& pair : pairs)
        if (pair.p >= threshold && partner[pair.i] == pair.j && partner[pair.j] == pair.i) {
            result[pair.i] = pair.j;
            result[pair.j] = pair.i;
        }
    return result;
}

std::vector<int> nestedByProbability(std::span<const int> pairs, std::span<const pairProbability> probabilities) {
    const int n = static_cast<int>(pairs.size()) - 1;
    std::vector<pairProbability> present;
    for (const pairProbability& pair : probabilities)
        if (pair.j <= n && pairs[pair.i] == pair.j) present.push_back(pair);
    for (int i = 1; i <= n; ++i) {
        const int j = pairs[i];
        if (j > i && std::none_of(present.begin(), present.end(),
                                  [&](const pairProbability& p) { return p.i == i && p.j == j; }))
            present.push_back({i, j, 0.0});
    }
    std::stable_sort(present.begin(), present.end(),
                     [](const pairProbability& a, const pairProbability& b) { return a.p > b.p; });
    std::vector<int> kept(pairs.size(), 0);
    std::vector<std::pair<int, int>> chosen;
    for (const pairProbability& pair : present) {
        const bool crosses = std::any_of(chosen.begin(), chosen.end(), [&](const std::pair<int, int>& c) {
            return (c.first < pair.i && pair.i < c.second && c.second < pair.j) ||
                   (pair.i < c.first && c.first < pair.j && pair.j < c.second);
        });
        if (crosses) continue;
        chosen.push_back({pair.i, pair.j});
        kept[pair.i] = pair.j;
        kept[pair.j] = pair.i;
    }
    return kept;
}

std::vector<int> withinModel(std::span<const int> pairs) {
    std::vector<int> result(pairs.begin(), pairs.end());
    const int n = static_cast<int>(result.size()) - 1;
    for (bool dropped = true; dropped;) {
        dropped = false;
        for (int i = 1; i <= n; ++i) {
            const int j = result[i];
            if (j <= i) continue;
            int branches = 0;
            int unpairedInside = 0;
            for (int p = i + 1; p < j;) {
                if (result[p] > p) {
                    ++branches;
                    p = result[p] + 1;
                } else {
                    ++unpairedInside;
                    ++p;
                }
            }
            if (branches == 1 && unpairedInside > MAX_INTERIOR) {
                result[i] = result[j] = 0;
                dropped = true;
            }
        }
    }
    return result;
}

}  // namespace korvane::fold
