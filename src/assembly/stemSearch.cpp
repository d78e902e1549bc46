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

    // In pool order (start ascending, end ascending within a start), in memory linear in the
    // length. Row r holds, per j, how many pairable pairs run outwards from (r, j) (capped at
    // three): a run of three or more inwards from (r - 2, j + 2) shows there, so the branchless
    // row finds the few possible stem starts and only they are looked at.
    // runEnd[d]: on diagonal d = i + j, the last 5' position of the pairable run through
    // (i, d - i), counting only pairs whose partners are 2 or more apart; valid while >= i.
    // Each cell of a diagonal is walked once.
    // reach[d]: last 5' position of the stems recorded on that diagonal. Stems on one diagonal
    // are recorded in ascending start, so the furthest reach answers the containment test that
    // a scan over all earlier stems would.
    std::vector<int>& runEnd = searchRunEnd_;
    std::vector<int>& reach = searchReach_;
    std::vector<int>& outward = searchOutward_;
    std::vector<int>& previous = searchPrevious_;
    runEnd.assign(2 * static_cast<size_t>(n) + 2, 0);
    reach.assign(2 * static_cast<size_t>(n) + 2, 0);
    outward.assign(static_cast<size_t>(n) + 2, 0);
    previous.assign(static_cast<size_t>(n) + 2, 0);
    constexpr int SEEN_RUN = MIN_STEM_LENGTH;
    int c = 0;
    for (int r = 1; r <= n; ++r) {
        const int* pairsWithR = pairMask[code[r] & CODE_MASK].data();
        int* row = outward.data();
        const int* above = previous.data();
        for (int j = 1; j <= n; ++j) {
            const int grown = std::min(above[j + 1], SEEN_RUN - 1) + 1;
            row[j] = pairsWithR[code[j] & CODE_MASK] & grown;
        }
        const int i = r - (SEEN_RUN - 1);
        if (i >= 1 && i <= n - 9) {
            // Starts (i, j) with j >= i + MIN_STEM_SPAN show at (r, j - 2).
            for (int jr = i + MIN_STEM_SPAN - (SEEN_RUN - 1); jr <= n - (SEEN_RUN - 1); ++jr) {
                if (row[jr] < SEEN_RUN) continue;
                const int j = jr + (SEEN_RUN - 1);
                const int d = i + j;
                int last = runEnd[d];
                if (last < i) {
                    last = i + SEEN_RUN - 1;
                    while (d - last - 1 - (last + 1) >= 2 && pairable(last + 1, d - last - 1)) ++last;
                    runEnd[d] = last;
                }
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
        std::swap(outward, previous);
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
