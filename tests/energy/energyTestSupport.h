#pragma once
// Synthetic parameter sets and sequence helpers shared by the energy tests.

#include <memory>
#include <stdexcept>
#include <string_view>
#include <type_traits>
#include <vector>

#include "thermo/paramTables.h"

namespace korvane::testing {

constexpr int A = 1;
constexpr int C = 2;
constexpr int G = 3;
constexpr int U = 4;
constexpr int I = 5;

template <typename T>
void fillCounting(T& grid, int& next, int step) {
    if constexpr (std::is_same_v<T, int>) {
        grid = next;
        next += step;
    } else {
        for (auto& inner : grid) fillCounting(inner, next, step);
    }
}

// Every cell of every table distinct, and distinct from every other table, so a wrong index or a
// wrong table shows up as a wrong number. Signs vary so that clipping and minima matter.
inline std::unique_ptr<paramTables> distinctTables() {
    auto t = makeParamTables();
    int next = 1;
    const auto fill = [&next](auto& grid, int start, int step) {
        next = start;
        fillCounting(grid, next, step);
    };
    fill(t->stack, -100000, 1);
    fill(t->tstackh, 200000, 1);
    fill(t->tstacki, 300000, 1);
    fill(t->coaxial, -400000, 1);
    fill(t->tstackcoax, -500000, 1);
    fill(t->coaxstack, -600000, 1);
    fill(t->tstackm, 700000, 1);
    fill(t->tstack, 800000, 1);
    fill(t->int11, 1000000, 1);
    fill(t->int21, 2000000, 1);
    fill(t->int22, 4000000, 1);
    // Dangles alternate in sign: side 1 negative-leaning, side 2 mixed, so clipping shows.
    for (int a = 0; a < CODES; ++a)
        for (int b = 0; b < CODES; ++b)
            for (int c = 0; c < CODES; ++c) {
                const int idx = (a * CODES + b) * CODES + c;
                t->dangle[a][b][c][1] = -(10 + idx);
                t->dangle[a][b][c][2] = (idx % 2 == 0) ? -(1000 + idx) : 1000 + idx;
            }
    for (int s = 1; s <= MAX_LOOP_TABLE; ++s) {
        t->internalLoop[s] = 9100 + s;
        t->bulgeLoop[s] = 9200 + s;
        t->hairpinLoop[s] = 9300 + s;
    }
    t->asymmetryPenalty = {0, 71, 73, 79, 83};
    t->asymmetryMax = 100000;
    t->loopConst = {0, 11, 12, 13, 14, 15, 16, 30, 30, -500, 17};
    t->terminalAuPenalty = 57;
    t->gggHairpinBonus = -223;
    t->polyCIntercept = 331;
    t->polyCSlope = 37;
    t->polyC3 = 419;
    t->mbEvalOffset = 541;
    t->mbEvalPerUnpaired = 4;
    t->mbEvalPerHelix = 61;
    t->loopExtrapolation = 10.79f;
    return t;
}

// 1-based base codes of a sequence (entry 0 unused, 0).
inline std::vector<int> codesOf(std::string_view letters) {
    std::vector<int> code{0};
    for (char ch : letters) {
        switch (ch) {
            case 'A': code.push_back(A); break;
            case 'C': code.push_back(C); break;
            case 'G': code.push_back(G); break;
            case 'U': code.push_back(U); break;
            case 'I': code.push_back(I); break;
            case 'N': code.push_back(0); break;
            default: throw std::invalid_argument("bad letter");
        }
    }
    return code;
}

// 1-based partner table of a balanced dot-bracket string.
inline std::vector<int> pairsOf(std::string_view brackets) {
    std::vector<int> pairs(brackets.size() + 1, 0);
    std::vector<int> open;
    for (int p = 1; p <= static_cast<int>(brackets.size()); ++p) {
        const char ch = brackets[p - 1];
        if (ch == '(') {
            open.push_back(p);
        } else if (ch == ')') {
            if (open.empty()) throw std::invalid_argument("unbalanced");
            pairs[p] = open.back();
            pairs[open.back()] = p;
            open.pop_back();
        }
    }
    if (!open.empty()) throw std::invalid_argument("unbalanced");
    return pairs;
}

}  // namespace korvane::testing
