#pragma once
// Every nested structure of a short sequence under the model's pairing rules, for checking the
// exact algorithms against exhaustive enumeration.

#include <algorithm>
#include <array>
#include <functional>
#include <random>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "fold/model.h"
#include "thermo/parameterSets.h"

namespace korvane::testing {

// The shipped Turner 1999 set, loaded once for all the exact-folding tests.
inline const paramTables& turner1999() {
    static const auto tables = loadParameterSet("turner1999");
    return *tables;
}

// Calls visit with the partner table (n + 1 entries) of every nested structure, the open chain
// included. Grows as roughly 1.8^n: keep n under about 20.
inline void forEachStructure(const fold::energyModel& model, const std::function<void(std::span<const int>)>& visit) {
    std::vector<int> pairs(model.n + 1, 0);
    // Structures of [from, to] given everything before from is settled; then continue with rest.
    std::function<void(int, int, const std::function<void()>&)> fill = [&](int from, int to,
                                                                          const std::function<void()>& rest) {
        if (from > to) {
            rest();
            return;
        }
        fill(from + 1, to, rest);  // from unpaired
        for (int k = from + fold::MIN_HAIRPIN + 1; k <= to; ++k) {
            if (!model.canPair(from, k)) continue;
            pairs[from] = k;
            pairs[k] = from;
            fill(from + 1, k - 1, [&, k, to] { fill(k + 1, to, rest); });
            pairs[from] = pairs[k] = 0;
        }
    };
    fill(1, model.n, [&] { visit(pairs); });
}

// A short hairpin stem holding an internal loop of a shape with mismatch tables of its own (1xn,
// 2x3) and, now and then, a hexaloop of tables closing it; letters are then mutated at random so
// that the loops also appear with other neighbours. At most 19 nucleotides.
inline std::string shapedLoopLetters(std::mt19937& random, const paramTables& tables) {
    static constexpr std::array<std::pair<char, char>, 8> PAIRS{
        {{'G', 'C'}, {'C', 'G'}, {'G', 'C'}, {'C', 'G'}, {'A', 'U'}, {'U', 'A'}, {'G', 'U'}, {'U', 'G'}}};
    static constexpr std::array<std::pair<int, int>, 7> SHAPES{{{1, 3}, {3, 1}, {1, 4}, {4, 1}, {2, 3}, {3, 2}, {1, 5}}};
    const auto letter = [&random] { return "ACGU"[random() % 4]; };
    const auto [s1, s2] = SHAPES[random() % SHAPES.size()];
    std::string left, right;
    const auto stem = [&](int pairs) {
        for (int p = 0; p < pairs; ++p) {
            const auto [a, b] = PAIRS[random() % PAIRS.size()];
            left += a;
            right = b + right;
        }
    };
    stem(2);
    for (int p = 0; p < s1; ++p) left += letter();
    std::string rightLoop;
    for (int p = 0; p < s2; ++p) rightLoop += letter();
    right = rightLoop + right;
    std::string middle;
    if (tables.hexaloopCount > 0 && s1 + s2 <= 5 && random() % 2 == 0) {
        int key = tables.hexaloop[1 + random() % std::min(tables.hexaloopCount, MAX_SPECIAL_HAIRPINS)][0];
        stem(1);
        for (int p = 0; p < 8; ++p, key /= 5) middle += "NACGU"[key % 5];
    } else {
        stem(2);
        for (int p = 0, size = 3 + static_cast<int>(random() % 2); p < size; ++p) middle += letter();
    }
    std::string letters = left + middle + right;
    for (char& x : letters)
        if (random() % 12 == 0) x = letter();
    return letters;
}

// Loops of a structure that read the 1xn and 2x3 mismatch tables or a hexaloop bonus.
struct shapedLoopCount {
    int oneByN = 0;
    int twoByThree = 0;
    int hexaloops = 0;
};

inline void countShapedLoops(const fold::energyModel& m, std::span<const int> pairs, shapedLoopCount& out) {
    for (int i = 1; i <= m.n; ++i) {
        const int j = pairs[i];
        if (j <= i) continue;
        int branches = 0, k = 0;
        for (int p = i + 1; p < j; p = pairs[p] > p ? pairs[p] + 1 : p + 1)
            if (pairs[p] > p && branches++ == 0) k = p;
        if (branches == 0 && j - i - 1 == 6) {
            int key = 0;
            for (int p = 7; p >= 0; --p) key = key * 5 + m.code[i + p];
            for (int e = 1; e <= std::min(m.tables.hexaloopCount, MAX_SPECIAL_HAIRPINS); ++e)
                if (m.tables.hexaloop[e][0] == key && m.tables.hexaloop[e][1] != 0) ++out.hexaloops;
        }
        if (branches != 1) continue;
        const int s1 = k - i - 1;
        const int s2 = j - pairs[k] - 1;
        if (std::min(s1, s2) == 1 && std::max(s1, s2) >= 3) ++out.oneByN;
        if (std::min(s1, s2) == 2 && std::max(s1, s2) == 3) ++out.twoByThree;
    }
}

}  // namespace korvane::testing
