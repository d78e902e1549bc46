#include <iostream>
#include <vector>

#include "assembly/candidateCache.h"
#include "assembly/foldJob.h"

namespace korvane {

namespace {

// Base-code sums of a Watson-Crick pair (A-U, C-G) and of a wobble (G-U).
constexpr int WATSON_CRICK_SUM = 5;
constexpr int WOBBLE_SUM = 7;

bool canPair(int a, int b) {
    const int sum = a + b;
    return sum == WATSON_CRICK_SUM || sum == WOBBLE_SUM;
}

}  // namespace

bool foldJob::findMaxStems() {
    stemPool.assign(STEM_POOL_SLOTS, stem{});
    energyDiff.assign(ENERGY_DIFF_SLOTS, 0);
    cache_->perSlot.assign(STEM_POOL_SLOTS, stemScore{});
    stemsFound_ = 0;
    int c = 0;
    const int n = subStructure.nbases;
    const std::vector<int>& code = subStructure.seqcode;

    // reach[i + j]: last 5' position of the stems recorded on that diagonal. Stems on one
    // diagonal are recorded in ascending start, so the furthest reach answers the containment
    // test that a scan over all earlier stems would.
    std::vector<int> reach(2 * static_cast<size_t>(n) + 2, 0);

    for (int i = 1; i <= n - 9; ++i) {
        for (int j = i + MIN_STEM_SPAN; j <= n; ++j) {
            if (code[i] + code[j] == WOBBLE_SUM) continue;
            int length = 0;
            while ((j - length) - (i + length) >= 2 && canPair(code[i + length], code[j - length]))
                ++length;
            while (j - i - 2 * length < MIN_HAIRPIN_LOOP - 1) --length;
            while (length >= MIN_STEM_LENGTH &&
                   code[i + length - 1] + code[j - length + 1] == WOBBLE_SUM)
                --length;
            if (length < MIN_STEM_LENGTH) continue;
            if (reach[i + j] >= i) continue;
            ++c;
            stemPool[c] = {i, j, length};
            reach[i + j] = i + length - 1;
            if (c == STEM_POOL_OVERFLOW) {
                stemsFound_ = c;
                std::cout << "FindStem: 茎区的个数超过stemsnum" << std::flush;
                return false;
            }
        }
    }
    if (c == 0) return false;
    stemPool[c + 1].start = STEM_END_MARK;
    numOfstemsInPool = c;
    stemsFound_ = c;
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
