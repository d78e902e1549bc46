#pragma once
// Energy of one given structure under the exact algorithms' model (model.h), walked loop by loop
// from the structure itself: the reference the dynamic programs are tested against.

#include <span>
#include <string>

#include "fold/model.h"

namespace korvane::fold {

// Walks the loops of a nested structure (pairs: 1-based, n + 1 entries), calling on walker:
// exterior(k, l) for each helix of the exterior loop, then for each pair i-j in 5' order
// hairpin(i, j), interior(i, j, k, l), or multiClosing(i, j, unpaired), multiBranch(i, j, k, l)
// for each of its branches and multiEnd(i, j).
template <typename Walker>
void walkLoops(std::span<const int> pairs, int n, Walker& walker) {
    for (int p = 1; p <= n;) {
        if (pairs[p] > p) {
            walker.exterior(p, pairs[p]);
            p = pairs[p] + 1;
        } else {
            ++p;
        }
    }
    for (int i = 1; i <= n; ++i) {
        const int j = pairs[i];
        if (j <= i) continue;
        int branches = 0;
        int unpaired = 0;
        int first = 0;
        for (int p = i + 1; p < j;) {
            if (pairs[p] > p) {
                if (branches++ == 0) first = p;
                p = pairs[p] + 1;
            } else {
                ++unpaired;
                ++p;
            }
        }
        if (branches == 0) {
            walker.hairpin(i, j);
        } else if (branches == 1) {
            walker.interior(i, j, first, pairs[first]);
        } else {
            walker.multiClosing(i, j, unpaired);
            for (int p = i + 1; p < j;) {
                if (pairs[p] > p) {
                    walker.multiBranch(i, j, p, pairs[p]);
                    p = pairs[p] + 1;
                } else {
                    ++p;
                }
            }
            walker.multiEnd(i, j);
        }
    }
}

// Calls visit(term, i, j) with the term of every loop of a nested structure: i-j its closing
// pair, or 0-0 for each helix of the exterior loop.
template <typename Model, typename Visit>
void forEachLoopTerm(const Model& model, std::span<const int> pairs, Visit&& visit) {
    struct termWalker {
        const Model& m;
        Visit& visit;
        typename Model::value multi{};
        void exterior(int k, int l) { visit(m.exteriorBranch(k, l), 0, 0); }
        void hairpin(int i, int j) { visit(m.hairpin(i, j), i, j); }
        void interior(int i, int j, int k, int l) { visit(m.interior(i, j, k, l), i, j); }
        void multiClosing(int i, int j, int unpaired) { multi = m.multiClosing(i, j) + unpaired * m.multiPerUnpaired(); }
        void multiBranch(int, int, int k, int l) { multi += m.multiBranch(k, l); }
        void multiEnd(int i, int j) { visit(multi, i, j); }
    } walker{model, visit};
    walkLoops(pairs, model.n, walker);
}

// pairs: 1-based partner table of model.n + 1 entries (0 = unpaired).
struct modelEvaluation {
    int energy = 0;      // tenths of kcal/mol; meaningful when allowed
    bool allowed = true;  // false: a pair or loop the model cannot form
    std::string fault;    // why not, naming the pair
};

// The structure must be nested (crossing pairs are a fault).
modelEvaluation evaluateStructure(const energyModel& model, std::span<const int> pairs);

}  // namespace korvane::fold
