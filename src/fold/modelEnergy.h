#pragma once
// Energy of one given structure under the exact algorithms' model (model.h), walked loop by loop
// from the structure itself: the reference the dynamic programs are tested against.

#include <span>
#include <string>

#include "fold/model.h"

namespace korvane::fold {

// Calls visit(term, i, j) with the term of every loop of a nested structure: i-j its closing
// pair, or 0-0 for each helix of the exterior loop. pairs: 1-based, model.n + 1 entries.
template <typename Model, typename Visit>
void forEachLoopTerm(const Model& model, std::span<const int> pairs, Visit&& visit) {
    const int n = model.n;
    for (int p = 1; p <= n;) {
        if (pairs[p] > p) {
            visit(model.exteriorBranch(p, pairs[p]), 0, 0);
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
            visit(model.hairpin(i, j), i, j);
        } else if (branches == 1) {
            visit(model.interior(i, j, first, pairs[first]), i, j);
        } else {
            auto loop = model.multiClosing(i, j) + unpaired * model.multiPerUnpaired();
            for (int p = i + 1; p < j;) {
                if (pairs[p] > p) {
                    loop += model.multiBranch(p, pairs[p]);
                    p = pairs[p] + 1;
                } else {
                    ++p;
                }
            }
            visit(loop, i, j);
        }
    }
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
