#include "train/reference.h"

#include <algorithm>

#include "fold/modelEnergy.h"

namespace korvane::train {

namespace {

// Largest nested subset of a partner table in which every position has at most one partner:
// best[i][j] over i..j, O(n^2) because each i offers a single pair.
std::vector<int> largestNested(std::span<const int> pairs, int n) {
    const int width = n + 2;
    std::vector<int> best(static_cast<size_t>(width) * width, 0);
    const auto at = [&](int i, int j) -> int& { return best[static_cast<size_t>(i) * width + j]; };
    const auto value = [&](int i, int j) { return i > j ? 0 : at(i, j); };
    for (int i = n; i >= 1; --i)
        for (int j = i; j <= n; ++j) {
            int b = value(i + 1, j);
            const int k = pairs[i];
            if (k > i && k <= j) b = std::max(b, 1 + value(i + 1, k - 1) + value(k + 1, j));
            at(i, j) = b;
        }
    std::vector<int> kept(n + 1, 0);
    // Walk back, preferring the pair whenever it reaches the optimum.
    std::vector<std::pair<int, int>> todo{{1, n}};
    while (!todo.empty()) {
        auto [i, j] = todo.back();
        todo.pop_back();
        if (i > j) continue;
        const int k = pairs[i];
        if (k > i && k <= j && value(i, j) == 1 + value(i + 1, k - 1) + value(k + 1, j)) {
            kept[i] = k;
            kept[k] = i;
            todo.push_back({i + 1, k - 1});
            todo.push_back({k + 1, j});
        } else {
            todo.push_back({i + 1, j});
        }
    }
    return kept;
}

}  // namespace

reducedReference reduceReference(const fold::energyModel& model, std::span<const int> given) {
    const int n = model.n;
    std::vector<int> pairs(n + 1, 0);
    int total = 0;
    for (int p = 1; p <= n && p < static_cast<int>(given.size()); ++p) {
        const int q = given[p];
        // Only consistent pairs: a partner that names p back.
        if (q > p && q <= n && q < static_cast<int>(given.size()) && given[q] == p) {
            pairs[p] = q;
            pairs[q] = p;
            ++total;
        }
    }
    reducedReference r;
    r.pairs = largestNested(pairs, n);
    int nested = 0;
    for (int p = 1; p <= n; ++p) {
        const int q = r.pairs[p];
        if (q <= p) continue;
        if (!model.canPair(p, q)) {
            r.pairs[p] = r.pairs[q] = 0;
            ++r.unformableDropped;
        } else {
            ++nested;
        }
    }
    r.crossingDropped = total - nested - r.unformableDropped;
    // The evaluator names the loop's closing pair; dropping it merges the loop outward.
    while (true) {
        const auto e = fold::evaluateStructure(model, r.pairs);
        if (e.allowed) break;
        int outer = 0;
        for (int p = 1; p <= n && outer == 0; ++p) {
            const int q = r.pairs[p];
            if (q <= p) continue;
            int inner = 0, branches = 0;
            for (int x = p + 1; x < q;) {
                if (r.pairs[x] > x) {
                    inner = x;
                    ++branches;
                    x = r.pairs[x] + 1;
                } else {
                    ++x;
                }
            }
            int loop = 0;
            if (branches == 0)
                loop = model.hairpin(p, q);
            else if (branches == 1)
                loop = model.interior(p, q, inner, r.pairs[inner]);
            if (loop >= INFINITE) outer = p;
        }
        if (outer == 0) break;  // nothing left the evaluator could refuse for a loop
        r.pairs[r.pairs[outer]] = 0;
        r.pairs[outer] = 0;
        ++r.unformableDropped;
    }
    return r;
}

}  // namespace korvane::train
