#pragma once
// Known structures reduced to what the exact model can form, so that their likelihood exists.

#include <span>
#include <vector>

#include "fold/model.h"

namespace korvane::train {

struct reducedReference {
    std::vector<int> pairs;  // n + 1 entries
    int crossingDropped = 0;     // pairs removed to make the structure nested
    int unformableDropped = 0;   // pairs removed because the model cannot form them or their loop
};

// Keeps the largest nested subset of the pairs (ties: the pair of the smaller 5' position stays),
// drops pairs the model cannot form, then, while some loop cannot be scored (a bulge or internal
// loop beyond the tables), removes the outer pair of the first such loop from the 5' end.
reducedReference reduceReference(const fold::energyModel& model, std::span<const int> pairs);

}  // namespace korvane::train
