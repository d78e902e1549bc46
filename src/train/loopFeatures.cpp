#include "train/loopFeatures.h"

#include "fold/modelEnergy.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <type_traits>

namespace korvane::train {

namespace {

constexpr int TRILOOP = 3;
constexpr int TETRALOOP = 4;
constexpr int HEXALOOP = 6;
constexpr int MAX_ASYMMETRY_SIDE = 2;

int gridIndex(std::initializer_list<int> codes) {
    int index = 0;
    for (int c : codes) index = index * CODES + c;
    return index;
}

void add(loopFeatures& out, table of, int index, int count = 1) {
    if (count != 0) out.cells.push_back({{of, index}, count});
}

void sizeTerm(const paramTables& tables, table of, int n, loopFeatures& out) {
    if (n <= MAX_LOOP_TABLE) {
        add(out, of, n);
        return;
    }
    add(out, of, MAX_LOOP_TABLE);
    out.fixed += static_cast<int>(static_cast<double>(tables.loopExtrapolation) *
                                  std::log(static_cast<double>(n) / MAX_LOOP_TABLE));
}

void auTerm(const fold::energyModel& m, int a, int b, loopFeatures& out) {
    if (m.code[a] == CODE_U || m.code[b] == CODE_U) add(out, table::terminalAu, 0);
}

void helixEnd(const fold::energyModel& m, int a, int b, int after3, int before5, loopFeatures& out) {
    auTerm(m, a, b, out);
    const auto& c = m.code;
    if (after3 != 0) add(out, table::dangle, gridIndex({c[a], c[b], c[after3]}) * 3 + fold::SIDE_3PRIME);
    if (before5 != 0) add(out, table::dangle, gridIndex({c[a], c[b], c[before5]}) * 3 + fold::SIDE_5PRIME);
}

}  // namespace

int cellValue(const paramTables& t, cell c) { return cellOf(t, c); }

void hairpinFeatures(const fold::energyModel& m, int i, int j, loopFeatures& out) {
    const paramTables& t = m.tables;
    const auto& c = m.code;
    const int s = j - i - 1;
    out.fixed += t.loopConst[4];
    if (s == TRILOOP) {
        add(out, table::hairpinLoop, TRILOOP);
        auTerm(m, i, j, out);
        if (int e = loopTerms::specialHairpinEntry(t.triloop, t.triloopCount, loopTerms::hairpinKey(c, i, TRILOOP + 2))) add(out, table::triloop, e);
    } else {
        add(out, table::tstackh, gridIndex({c[i], c[j], c[i + 1], c[j - 1]}));
        sizeTerm(t, table::hairpinLoop, s, out);
        if (s == TETRALOOP)
            if (int e = loopTerms::specialHairpinEntry(t.tloop, t.tloopCount, loopTerms::hairpinKey(c, i, TETRALOOP + 2))) add(out, table::tetraloop, e);
        if (s == HEXALOOP)
            if (int e = loopTerms::specialHairpinEntry(t.hexaloop, t.hexaloopCount, loopTerms::hairpinKey(c, i, HEXALOOP + 2)))
                add(out, table::hexaloop, e);
    }
    if (c[i] == CODE_G && c[j] == CODE_U && i >= 3 && c[i - 1] == CODE_G && c[i - 2] == CODE_G) out.fixed += t.gggHairpinBonus;
    bool allC = true;
    for (int p = i + 1; p < j && allC; ++p) allC = c[p] == CODE_C;
    if (allC) out.fixed += s == TRILOOP ? t.polyC3 : t.polyCIntercept + s * t.polyCSlope;
}

void interiorFeatures(const fold::energyModel& m, int i, int j, int ip, int jp, loopFeatures& out) {
    const paramTables& t = m.tables;
    const auto& c = m.code;
    const int s1 = ip - i - 1;
    const int s2 = j - jp - 1;
    const int n = s1 + s2;
    if (n == 0) {
        add(out, table::stack, gridIndex({c[i], c[j], c[ip], c[jp]}));
        out.fixed += t.loopConst[1];
    } else if (s1 == 0 || s2 == 0) {
        out.fixed += t.loopConst[2];
        if (n == 1) {
            add(out, table::stack, gridIndex({c[i], c[j], c[ip], c[jp]}));
            add(out, table::bulgeLoop, 1);
        } else {
            sizeTerm(t, table::bulgeLoop, n, out);
            auTerm(m, i, j, out);
            auTerm(m, ip, jp, out);
        }
    } else if (s1 == 2 && s2 == 2) {
        add(out, table::int22, gridIndex({c[i], c[ip], c[j], c[jp], c[i + 1], c[i + 2], c[j - 1], c[j - 2]}));
    } else if (s1 == 1 && s2 == 2) {
        add(out, table::int21, gridIndex({c[i], c[j], c[i + 1], c[j - 1], c[jp + 1], c[ip], c[jp]}));
    } else if (s1 == 2 && s2 == 1) {
        add(out, table::int21, gridIndex({c[jp], c[ip], c[jp + 1], c[ip - 1], c[i + 1], c[j], c[i]}));
    } else if (s1 == 1 && s2 == 1) {
        add(out, table::int11, gridIndex({c[i], c[i + 1], c[ip], c[j], c[j - 1], c[jp]}));
    } else {
        const table mismatch = s1 == 1 || s2 == 1                          ? table::tstacki1n
                               : (s1 == 2 && s2 == 3) || (s1 == 3 && s2 == 2) ? table::tstacki23
                                                                              : table::tstacki;
        add(out, mismatch, gridIndex({c[i], c[j], c[i + 1], c[j - 1]}));
        add(out, mismatch, gridIndex({c[jp], c[ip], c[jp + 1], c[ip - 1]}));
        sizeTerm(t, table::internalLoop, n, out);
        out.fixed += t.loopConst[3];
        const int side = std::min({MAX_ASYMMETRY_SIDE, s1, s2});
        const int steps = std::abs(s1 - s2);
        if (steps * t.asymmetryPenalty[side] < t.asymmetryMax)
            add(out, table::asymmetry, side, steps);
        else
            out.fixed += t.asymmetryMax;
    }
}

void multiClosingFeatures(const fold::energyModel& m, int i, int j, loopFeatures& out) {
    add(out, table::multiOffset, 0);
    add(out, table::multiPerHelix, 0);
    helixEnd(m, i, j, i + 1, j - 1, out);
}

void multiBranchFeatures(const fold::energyModel& m, int k, int l, loopFeatures& out) {
    add(out, table::multiPerHelix, 0);
    helixEnd(m, l, k, l + 1, k - 1, out);
}

void multiUnpairedFeatures(int unpaired, loopFeatures& out) { add(out, table::multiPerUnpaired, 0, unpaired); }

void exteriorBranchFeatures(const fold::energyModel& m, int k, int l, loopFeatures& out) {
    helixEnd(m, l, k, l < m.n ? l + 1 : 0, k > 1 ? k - 1 : 0, out);
}

void structureFeatures(const fold::energyModel& m, std::span<const int> pairs, loopFeatures& out) {
    struct featureWalker {
        const fold::energyModel& m;
        loopFeatures& out;
        void exterior(int k, int l) { exteriorBranchFeatures(m, k, l, out); }
        void hairpin(int i, int j) { hairpinFeatures(m, i, j, out); }
        void interior(int i, int j, int k, int l) { interiorFeatures(m, i, j, k, l, out); }
        void multiClosing(int i, int j, int unpaired) {
            multiClosingFeatures(m, i, j, out);
            multiUnpairedFeatures(unpaired, out);
        }
        void multiBranch(int, int, int k, int l) { multiBranchFeatures(m, k, l, out); }
        void multiEnd(int, int) {}
    } walker{m, out};
    fold::walkLoops(pairs, m.n, walker);
}

}  // namespace korvane::train
