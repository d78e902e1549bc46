#include <algorithm>

#include "layout/layout.h"

namespace korvane::layout {

namespace {

struct helix {
    int first;  // 5' position of the outermost pair
    int last;   // its partner
    int size;   // stacked pairs
};

// Entries that are in range and mutual; anything else reads as unpaired.
std::vector<int> mutualPairs(const std::vector<int>& pairs) {
    const int n = pairs.empty() ? 0 : static_cast<int>(pairs.size()) - 1;
    std::vector<int> clean(static_cast<size_t>(n) + 1, 0);
    for (int i = 1; i <= n; ++i) {
        const int j = pairs[static_cast<size_t>(i)];
        if (j >= 1 && j <= n && j != i && pairs[static_cast<size_t>(j)] == i) clean[static_cast<size_t>(i)] = j;
    }
    return clean;
}

bool isNested(const std::vector<int>& pairs) {
    std::vector<int> open;
    for (int i = 1; i < static_cast<int>(pairs.size()); ++i) {
        const int j = pairs[static_cast<size_t>(i)];
        if (j > i) {
            open.push_back(j);
        } else if (j != 0) {
            if (open.empty() || open.back() != i) return false;
            open.pop_back();
        }
    }
    return true;
}

// True when (i, j) crosses no pair of kept: every kept position strictly inside has its partner
// inside too.
bool fitsInside(const std::vector<int>& kept, int i, int j) {
    for (int p = i + 1; p < j; ++p) {
        const int q = kept[static_cast<size_t>(p)];
        if (q != 0 && (q < i || q > j)) return false;
    }
    return true;
}

}  // namespace

std::vector<int> nestedSubset(const std::vector<int>& pairs, std::vector<std::pair<int, int>>* dropped) {
    if (dropped) dropped->clear();
    std::vector<int> clean = mutualPairs(pairs);
    if (isNested(clean)) return clean;

    const int n = static_cast<int>(clean.size()) - 1;
    std::vector<helix> helices;
    for (int i = 1; i <= n; ++i) {
        const int j = clean[static_cast<size_t>(i)];
        if (j <= i) continue;
        const bool continuesOuter = i > 1 && j < n && clean[static_cast<size_t>(i - 1)] == j + 1;
        if (continuesOuter) continue;
        int size = 1;
        while (i + size < j - size && clean[static_cast<size_t>(i + size)] == j - size) ++size;
        helices.push_back({i, j, size});
    }
    std::stable_sort(helices.begin(), helices.end(), [](const helix& a, const helix& b) { return a.size > b.size; });

    std::vector<int> kept(static_cast<size_t>(n) + 1, 0);
    for (const helix& h : helices) {
        // a helix is kept whole or not at all
        bool fits = true;
        for (int s = 0; s < h.size && fits; ++s) fits = fitsInside(kept, h.first + s, h.last - s);
        for (int s = 0; s < h.size; ++s) {
            const int i = h.first + s;
            const int j = h.last - s;
            if (fits) {
                kept[static_cast<size_t>(i)] = j;
                kept[static_cast<size_t>(j)] = i;
            }
        }
    }
    if (dropped) {
        for (int i = 1; i <= n; ++i) {
            const int j = clean[static_cast<size_t>(i)];
            if (j > i && kept[static_cast<size_t>(i)] != j) dropped->emplace_back(i, j);
        }
    }
    return kept;
}

}  // namespace korvane::layout
