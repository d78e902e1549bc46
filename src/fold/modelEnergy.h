#pragma once
// Energy of one given structure under the exact algorithms' model (model.h), walked loop by loop
// from the structure itself: the reference the dynamic programs are tested against.

#include <span>
#include <string>

#include "fold/model.h"

namespace korvane::fold {

// pairs: 1-based partner table of model.n + 1 entries (0 = unpaired).
struct modelEvaluation {
    int energy = 0;      // tenths of kcal/mol; meaningful when allowed
    bool allowed = true;  // false: a pair or loop the model cannot form
    std::string fault;    // why not, naming the pair
};

// The structure must be nested (crossing pairs are a fault).
modelEvaluation evaluateStructure(const energyModel& model, std::span<const int> pairs);

}  // namespace korvane::fold
