#include <algorithm>
#include <array>
#include <iostream>
#include <vector>

#include "assembly/candidateCache.h"
#include "assembly/foldJob.h"

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
    stemPool.assign(STEM_POOL_SLOTS, stem{});
    energyDiff.assign(ENERGY_DIFF_SLOTS, 0);
    stemsFound_ = 0;
    const int n = subStructure.nbases;
    const std::vector<int>& code = subStructure.seqcode;

    // First every (i, j) from which three or more pairable pairs run inwards, row by row from
    // the 3' end: run(i, j) = 1 + run(i + 1, j - 1) when i and j pair, counting only pairs whose
    // partners are 2 or more apart. A row is one pass over j with no branch per pair.
    std::array<std::vector<int>, CODE_MASK + 1> pairsWith;  // pairsWith[c][j]: mask of c with j
    for (int c = 0; c <= CODE_MASK; ++c) {
        pairsWith[c].assign(static_cast<size_t>(n) + 2, 0);
        for (int j = 1; j <= n; ++j) pairsWith[c][j] = pairMask[c][code[j] & CODE_MASK];
    }
    std::vector<int> below(static_cast<size_t>(n) + 2, 0);  // run(i + 1, .)
    std::vector<int> row(static_cast<size_t>(n) + 2, 0);    // run(i, .)
    std::vector<std::array<int, 2>> runs;                  // (j, run) of each row, rows from i = n down
    // Room set aside at once (touched only as used): growing by copies costs more than the search.
    constexpr size_t RUNS_RESERVE = size_t{1} << 18;
    runs.reserve(std::min(RUNS_RESERVE, static_cast<size_t>(n) * static_cast<size_t>(n) / 2));
    std::vector<size_t> rowEnd(static_cast<size_t>(n) + 2, 0);
    for (int i = n; i >= 1; --i) {
        const int* mask = pairsWith[code[i] & CODE_MASK].data();
        const int* inner = below.data();
        int* out = row.data();
        out[i] = 0;
        if (i + 1 <= n) out[i + 1] = 0;
        for (int j = i + 2; j <= n; ++j) out[j] = mask[j] & (inner[j - 1] + 1);
        if (i <= n - 9)
            for (int j = i + MIN_STEM_SPAN; j <= n; ++j)
                if (out[j] >= MIN_STEM_LENGTH) runs.push_back({j, out[j]});
        rowEnd[i] = runs.size();
        std::swap(below, row);
    }

    // Then the search proper, in pool order: start ascending, end ascending within a start.
    // reach[i + j]: last 5' position of the stems recorded on that diagonal. Stems on one
    // diagonal are recorded in ascending start, so the furthest reach answers the containment
    // test that a scan over all earlier stems would.
    std::vector<int> reach(2 * static_cast<size_t>(n) + 2, 0);
    int c = 0;
    for (int i = 1; i <= n - 9; ++i) {
        const size_t first = rowEnd[i + 1];
        for (size_t r = first; r < rowEnd[i]; ++r) {
            const int j = runs[r][0];
            if (code[i] + code[j] == WOBBLE_SUM) continue;
            // The run, cut to close a loop of MIN_HAIRPIN_LOOP or more, without inner G-U pairs.
            int length = std::min(runs[r][1], (j - i - (MIN_HAIRPIN_LOOP - 1)) / 2);
            while (length >= MIN_STEM_LENGTH && code[i + length - 1] + code[j - length + 1] == WOBBLE_SUM)
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
    cache_->perSlot.assign(static_cast<size_t>(c) + 2, stemScore{});
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
