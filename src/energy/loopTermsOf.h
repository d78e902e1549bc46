#pragma once
// The loop terms as templates over the table type, so that tables of real numbers (training)
// run the very arithmetic the integer tables do. T needs paramTables' member names; its cells
// give the value type.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <span>
#include <type_traits>

#include "thermo/paramTables.h"

namespace korvane::loopTerms {

constexpr int CODE_C = 2;
constexpr int CODE_G = 3;
constexpr int CODE_U = 4;
constexpr int CODE_LINKER = 5;

constexpr int TRILOOP = 3;             // unpaired nucleotides of a triloop
constexpr int TETRALOOP = 4;           // unpaired nucleotides of a tetraloop
constexpr int HEXALOOP = 6;            // unpaired nucleotides of a hexaloop
constexpr int KEY_RADIX = 5;           // special-hairpin keys are base-5 numbers
constexpr int SHORT_HAIRPIN_U = 6;     // 0.6 kcal/mol on a U-closed loop of one or two
constexpr int MAX_ASYMMETRY_SIDE = 2;  // asymmetry entries beyond the second are not used

template <typename T>
using valueOf = std::remove_cvref_t<decltype(std::declval<const T&>().terminalAuPenalty)>;

// Table entry for sizes up to 30, logarithmic (truncated to whole tenths) beyond.
template <typename T, typename Table>
valueOf<T> loopSizeTerm(const T& tables, const Table& table, int n) {
    if (n <= MAX_LOOP_TABLE) return table[n];
    const double extra = static_cast<double>(tables.loopExtrapolation) * std::log(static_cast<double>(n) / MAX_LOOP_TABLE);
    return table[MAX_LOOP_TABLE] + static_cast<valueOf<T>>(static_cast<int>(extra));
}

// Key of positions first..first+length-1, first position least significant.
inline int hairpinKey(std::span<const int> code, int first, int length) {
    int key = 0;
    int weight = 1;
    for (int p = 0; p < length; ++p) {
        key += code[first + p] * weight;
        weight *= KEY_RADIX;
    }
    return key;
}

// The entry of a special hairpin list that applies to key, 0 for none: an entry with energy 0
// does not count as a match; the first counting match wins.
template <typename List>
int specialHairpinEntry(const List& list, int count, int key) {
    const int last = std::clamp(count, 0, MAX_SPECIAL_HAIRPINS);
    for (int e = 1; e <= last; ++e) {
        if (list[e][0] == key && list[e][1] != 0) return e;
    }
    return 0;
}

template <typename List>
auto specialHairpinBonus(const List& list, int count, int key) -> std::remove_cvref_t<decltype(list[0][1])> {
    const int e = specialHairpinEntry(list, count, key);
    return e == 0 ? 0 : list[e][1];
}

template <typename T>
valueOf<T> auPenalty(const T& tables, std::span<const int> code, int i, int j) {
    return (code[i] == CODE_U || code[j] == CODE_U) ? tables.terminalAuPenalty : valueOf<T>{0};
}

template <typename T>
valueOf<T> stackEnergy(const T& tables, std::span<const int> code, int i, int j, int ip, int jp) {
    return tables.stack[code[i]][code[j]][code[ip]][code[jp]] + tables.loopConst[1];
}

template <typename T>
valueOf<T> hairpinEnergy(const T& tables, std::span<const int> code, int i, int j) {
    const int s = j - i - 1;
    // Nothing fills hairpinLoop[0]; a pair with no nucleotide inside is simply impossible.
    if (s <= 0) return INFINITE;
    const int ci = code[i];
    const int cj = code[j];
    valueOf<T> energy = tables.loopConst[4];
    if (s < TRILOOP) {
        energy += tables.hairpinLoop[s];
        if (ci == CODE_U || cj == CODE_U) energy += SHORT_HAIRPIN_U;
    } else if (s == TRILOOP) {
        energy += tables.hairpinLoop[TRILOOP] + auPenalty(tables, code, i, j) +
                  specialHairpinBonus(tables.triloop, tables.triloopCount, hairpinKey(code, i, TRILOOP + 2));
    } else {
        energy += tables.tstackh[ci][cj][code[i + 1]][code[j - 1]] +
                  loopSizeTerm(tables, tables.hairpinLoop, s);
        if (s == TETRALOOP) {
            energy += specialHairpinBonus(tables.tloop, tables.tloopCount, hairpinKey(code, i, TETRALOOP + 2));
        } else if (s == HEXALOOP) {
            energy += specialHairpinBonus(tables.hexaloop, tables.hexaloopCount, hairpinKey(code, i, HEXALOOP + 2));
        }
    }
    if (ci == CODE_G && cj == CODE_U && i >= 3 && code[i - 1] == CODE_G && code[i - 2] == CODE_G) {
        energy += tables.gggHairpinBonus;
    }
    bool allC = true;
    for (int p = i + 1; p < j && allC; ++p) allC = code[p] == CODE_C;
    if (allC) energy += s == TRILOOP ? tables.polyC3 : tables.polyCIntercept + s * tables.polyCSlope;
    return energy;
}

// Mismatch table of a generic internal loop with s1 and s2 unpaired: 1xn and 2x3 loops have
// their own (the 1x1 and 1x2 loops are tabulated whole).
enum class mismatchShape { generic, oneByN, twoByThree };

constexpr mismatchShape shapeOf(int s1, int s2) {
    if (s1 == 1 || s2 == 1) return mismatchShape::oneByN;
    if ((s1 == 2 && s2 == 3) || (s1 == 3 && s2 == 2)) return mismatchShape::twoByThree;
    return mismatchShape::generic;
}

template <typename T>
const auto& mismatchTable(const T& tables, mismatchShape shape) {
    switch (shape) {
        case mismatchShape::oneByN: return tables.tstacki1n;
        case mismatchShape::twoByThree: return tables.tstacki23;
        case mismatchShape::generic: break;
    }
    return tables.tstacki;
}

template <typename T>
valueOf<T> loopEnergy(const T& tables, std::span<const int> code, int i, int j, int ip, int jp) {
    const int s1 = ip - i - 1;
    const int s2 = j - jp - 1;
    const int n = s1 + s2;
    if (s1 == 0 || s2 == 0) {
        // A single bulged nucleotide lets the helix stack straight across it.
        if (n == 1) {
            return tables.stack[code[i]][code[j]][code[ip]][code[jp]] + tables.bulgeLoop[1] +
                   tables.loopConst[2];
        }
        return loopSizeTerm(tables, tables.bulgeLoop, n) + tables.loopConst[2] + auPenalty(tables, code, i, j) +
               auPenalty(tables, code, ip, jp);
    }
    if (s1 == 2 && s2 == 2) {
        return tables.int22[code[i]][code[ip]][code[j]][code[jp]][code[i + 1]][code[i + 2]][code[j - 1]]
                           [code[j - 2]];
    }
    if (s1 == 1 && s2 == 2) {
        return tables.int21[code[i]][code[j]][code[i + 1]][code[j - 1]][code[jp + 1]][code[ip]][code[jp]];
    }
    if (s1 == 2 && s2 == 1) {
        return tables.int21[code[jp]][code[ip]][code[jp + 1]][code[ip - 1]][code[i + 1]][code[j]][code[i]];
    }
    if (s1 == 1 && s2 == 1) {
        return tables.int11[code[i]][code[i + 1]][code[ip]][code[j]][code[j - 1]][code[jp]];
    }
    const int side = std::min({MAX_ASYMMETRY_SIDE, s1, s2});
    const valueOf<T> asymmetry = std::min<valueOf<T>>(tables.asymmetryMax, std::abs(s1 - s2) * tables.asymmetryPenalty[side]);
    const auto& mismatch = mismatchTable(tables, shapeOf(s1, s2));
    return mismatch[code[i]][code[j]][code[i + 1]][code[j - 1]] + mismatch[code[jp]][code[ip]][code[jp + 1]][code[ip - 1]] +
           loopSizeTerm(tables, tables.internalLoop, n) + tables.loopConst[3] + asymmetry;
}

template <typename T>
valueOf<T> danglingEnergy(const T& tables, std::span<const int> code, int a, int b, int n, int side) {
    if (code[n] == CODE_LINKER) return 0;
    return tables.dangle[code[a]][code[b]][code[n]][side];
}

}  // namespace korvane::loopTerms
