#pragma once
// Structures decoded from base-pair probabilities, and how well a structure agrees with them.

#include <span>
#include <vector>

#include "fold/model.h"
#include "fold/partition.h"

namespace korvane::fold {

// Pairs below this probability are left out of the decoders: they could only add less than it.
constexpr double DECODING_FLOOR = 1e-5;

// The nested structure maximising the sum over its pairs of 2 gamma p(i, j) plus the sum over its
// unpaired positions of q(i), among structures made of the given pairs. pairs sorted by (i, j);
// unpaired has n + 1 entries. Returns the partner table (n + 1 entries).
std::vector<int> maximumExpectedAccuracy(int n, std::span<const pairProbability> pairs,
                                         std::span<const double> unpaired, double gamma);

// Every pair with p >= threshold that is the most probable partner of both its ends (ties go to
// the nearer partner, then to the 5' one). Pairs may cross.
std::vector<int> threshKnot(int n, std::span<const pairProbability> pairs, double threshold);

// The nested part of a structure that may cross: pairs taken by falling probability (then by
// (i, j)), each kept unless it crosses one kept before.
std::vector<int> nestedByProbability(std::span<const int> pairs, std::span<const pairProbability> probabilities);

// Drops the pairs that close a bulge or internal loop longer than the model allows (the
// outer pair of such a loop, repeated until none is left), so that the model can score the
// structure. pairs must be nested.
std::vector<int> withinModel(std::span<const int> pairs);

}  // namespace korvane::fold
