#pragma once
// Every nested structure of a short sequence under the model's pairing rules, for checking the
// exact algorithms against exhaustive enumeration.

#include <functional>
#include <span>
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

}  // namespace korvane::testing
