#pragma once
// The energy model that the exact algorithms optimise and sum over, as loop terms in tenths of
// kcal/mol. It is decomposable by construction: every term depends on the sequence and on the
// pairs that close one loop, never on the rest of the structure.
//
// - Pairs: A-U, C-G, G-U; a hairpin holds at least MIN_HAIRPIN unpaired nucleotides.
// - Hairpins, stacks, bulges and internal loops: the loop terms of src/energy, with bulges and
//   internal loops of at most MAX_INTERIOR unpaired nucleotides (the size tables' range).
// - Multibranch loops: offset + per helix (the closing one included) + per unpaired nucleotide,
//   the linear coefficients of miscloop.
// - Every helix end of a multibranch or the exterior loop, seen from that loop: the terminal
//   AU/GU penalty, and the dangles of both neighbouring nucleotides whenever they exist in the
//   sequence, paired or not (so neighbouring helices may both count a nucleotide between them).
//   No coaxial stacking, no logarithmic multibranch term.
// Forbidden combinations score INFINITE or more; callers treat such values as impossible.

#include <span>

#include "energy/loopTermsOf.h"
#include "rna/alphabet.h"
#include "thermo/paramTables.h"

namespace korvane::fold {

constexpr int MIN_HAIRPIN = 3;
constexpr int MAX_INTERIOR = MAX_LOOP_TABLE;
constexpr int SIDE_3PRIME = 1;
constexpr int SIDE_5PRIME = 2;

// Over paramTables (integer tenths) for folding; over tables of real numbers for training.
template <typename T>
struct basicEnergyModel {
    using value = loopTerms::valueOf<T>;
    const T& tables;
    std::span<const int> code;  // 1-based: code[1..n]
    int n;

    basicEnergyModel(const T& t, std::span<const int> c, int length) : tables(t), code(c), n(length) {}

    bool canPair(int i, int j) const { return j - i > MIN_HAIRPIN && codesPair(code[i], code[j]); }

    value hairpin(int i, int j) const {
        return j - i > MIN_HAIRPIN ? loopTerms::hairpinEnergy(tables, code, i, j) : value{INFINITE};
    }

    // Loop closed by i-j with the single inner pair k-l: a stack, bulge or internal loop.
    value interior(int i, int j, int k, int l) const {
        if (k == i + 1 && l == j - 1) return loopTerms::stackEnergy(tables, code, i, j, k, l);
        if ((k - i - 1) + (j - l - 1) > MAX_INTERIOR) return INFINITE;
        return loopTerms::loopEnergy(tables, code, i, j, k, l);
    }

    value multiOffset() const { return tables.loopConst[5]; }
    value multiPerUnpaired() const { return tables.loopConst[6]; }
    value multiPerHelix() const { return tables.loopConst[10]; }

    // Closing pair i-j of a multibranch loop, seen from inside: offset, its helix, its end.
    value multiClosing(int i, int j) const { return multiOffset() + multiPerHelix() + helixEnd(i, j, i + 1, j - 1); }

    // Branch k-l inside a multibranch loop: its helix and its end (k-1 and l+1 lie in the loop).
    value multiBranch(int k, int l) const { return multiPerHelix() + helixEnd(l, k, l + 1, k - 1); }

    // Helix k-l of the exterior loop.
    value exteriorBranch(int k, int l) const { return helixEnd(l, k, l < n ? l + 1 : 0, k > 1 ? k - 1 : 0); }

private:
    // Pair a-b as the loop sees it: after3 follows a, before5 precedes b (0 = none).
    value helixEnd(int a, int b, int after3, int before5) const {
        value e = loopTerms::auPenalty(tables, code, a, b);
        if (after3 != 0) e += tables.dangle[code[a]][code[b]][code[after3]][SIDE_3PRIME];
        if (before5 != 0) e += tables.dangle[code[a]][code[b]][code[before5]][SIDE_5PRIME];
        return e;
    }
};

using energyModel = basicEnergyModel<paramTables>;

}  // namespace korvane::fold
