#include <algorithm>
#include <array>
#include <iostream>
#include <vector>

#include "assembly/detail/candidateCache.h"
#include "assembly/detail/foldJob.h"

namespace korvane {

namespace {

// Base-code sums of a Watson-Crick pair (A-U, C-G) and of a wobble (G-U).
constexpr int WATSON_CRICK_SUM = 5;
constexpr int WOBBLE_SUM = 7;

constexpr bool canPair(int a, int b) {
    const int sum = a + b;
    return sum == WATSON_CRICK_SUM || sum == WOBBLE_SUM;
}

// pairMask[a][b]: all bits set when codes a and b pair, for codes 0..7; lets runs be counted
// without a branch per pair.
constexpr int CODE_MASK = 7;
constexpr auto pairMask = [] {
    std::array<std::array<int, CODE_MASK + 1>, CODE_MASK + 1> mask{};
    for (int a = 0; a <= CODE_MASK; ++a)
        for (int b = 0; b <= CODE_MASK; ++b) mask[a][b] = canPair(a, b) ? -1 : 0;
    return mask;
}();

}  // namespace

bool foldJob::findMaxStems() {
    stemPool.assign(1, stem{});
    stemsFound_ = 0;
    const int n = subStructure.nbases;
    const std::vector<int>& code = subStructure.seqcode;
    auto pairable = [&](int i, int j) { return pairMask[code[i] & CODE_MASK][code[j] & CODE_MASK] != 0; };

    // In pool order (start ascending, end ascending within a start), with one value per
    // diagonal d = i + j so that memory stays linear in the length:
    // runEnd[d]: last 5' position of the pairable run through (i, d - i), counting only pairs
    // whose partners are 2 or more apart; valid while it is >= i. Each cell of a diagonal is
    // walked once, so the search stays quadratic in time.
    // reach[d]: last 5' position of the stems recorded on that diagonal. Stems on one diagonal
    // are recorded in ascending start, so the furthest reach answers the containment test that
    // a scan over all earlier stems would.
    std::vector<int>& runEnd = searchRunEnd_;
    std::vector<int>& reach = searchReach_;
    runEnd.assign(2 * static_cast<size_t>(n) + 2, 0);
    reach.assign(2 * static_cast<size_t>(n) + 2, 0);
    int c = 0;
    for (int i = 1; i <= n - 9; ++i) {
        const int* pairsWithI = pairMask[code[i] & CODE_MASK].data();
        for (int j = i + MIN_STEM_SPAN; j <= n; ++j) {
            const int d = i + j;
            int last = runEnd[d];
            if (last < i) {
                if (pairsWithI[code[j] & CODE_MASK] == 0) continue;
                last = i;
                while (d - last - 1 - (last + 1) >= 2 && pairable(last + 1, d - last - 1)) ++last;
                runEnd[d] = last;
            }
            if (last - i + 1 < MIN_STEM_LENGTH) continue;
            if (code[i] + code[j] == WOBBLE_SUM) continue;
            // The run, cut to close a loop of MIN_HAIRPIN_LOOP or more, without inner G-U pairs.
            int length = std::min(last - i + 1, (j - i - (MIN_HAIRPIN_LOOP - 1)) / 2);
            while (length >= MIN_STEM_LENGTH && code[i + length - 1] + code[j - length + 1] == WOBBLE_SUM)
                --length;
            if (length < MIN_STEM_LENGTH) continue;
            if (reach[d] >= i) continue;
            ++c;
            stemPool.push_back({i, j, length});
            reach[d] = i + length - 1;
            if (c == poolLimit) {
                stemsFound_ = c;
                return false;
            }
        }
    }
    stemsFound_ = c;
    cache_->perSlot.assign(static_cast<size_t>(c) + 2, stemScore{});
    if (c == 0) return false;
    stemPool.push_back({STEM_END_MARK, 0, 0});
    energyDiff.assign(static_cast<size_t>(c) + 1, 0);
    numOfstemsInPool = c;
    return true;
}

bool foldJob::isAstem(int start, int end, int length) const {
    const int i = start;
    const int j = end;
    const int l = length;
    if (i < 0 || j < 0 || l < 0) {
        std::cout << "in isAstem returen false," << i << "," << j << "," << l << std::endl;
        return false;
    }
    if (j - i + 1 - 2 * l < MIN_HAIRPIN_LOOP) {
        std::cout << "in isAstem returen false,loop length error:" << i << "," << j << "," << l
                  << std::endl;
        return false;
    }
    const int n = subStructure.nbases;
    // Positions outside the sequence read as unknown bases, which never pair.
    auto codeAt = [&](int p) { return (p >= 1 && p <= n) ? subStructure.seqcode[p] : 0; };
    for (int k = 0; k < l; ++k) {
        if (!canPair(codeAt(i + k), codeAt(j - k))) {
            std::cout << "in isAstem return false,pair error:" << i << "=" << codeAt(i + k) << ","
                      << j << "=" << codeAt(j - k) << "," << k << "," << l << std::endl;
            return false;
        }
    }
    return true;
}

}  // namespace korvane
