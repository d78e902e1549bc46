#pragma once
// Minimum free energy over all nested structures under the exact model (model.h): Zuker-style
// dynamic programming in O(n^2) memory and O(n^3) time, interior loops bounded by MAX_INTERIOR.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fold/model.h"

namespace korvane::fold {

// Generic internal loops take the mismatch table of their shape: [0] most, [1] 1xn, [2] 2x3.
constexpr int MISMATCH_SHAPES = 3;

// Scratch memory of the fold. Buffers only grow, so a warm workspace folds a sequence of the
// same or smaller length without allocating. Contents are meaningless between calls.
struct mfeWorkspace {
    std::vector<int> closed;                 // row-major triangle [i][j], j up to i + span: best of i..j given the pair i-j
    std::vector<int> multi;                  // row-major triangle: best of i..j inside a multibranch loop, one branch or more
    std::vector<std::uint8_t> multiClosed;   // row-major triangle: some optimum of i..j closes a multibranch loop at i-j
    std::vector<std::ptrdiff_t> rowStart;    // closed[rowStart[i] + j], likewise the other triangles
    std::array<std::vector<int>, MISMATCH_SHAPES> innerRing;  // rows k of the last few i: closed + the inner pair's mismatch, by l
    std::vector<int> bulgeRing;   // the same rows: closed + the inner pair's terminal penalty
    std::vector<int> branchRow;   // current row: closed + the multibranch helix term, by j
    std::vector<int> twoOrMore;   // current row: best of i..j with two branches or more, the first at i
    std::array<std::vector<int>, MISMATCH_SHAPES> bestInterior;  // current row: best generic interior loop below i-j, outer mismatch aside
    std::vector<int> bestBulge;   // current row: best bulge of two or more below i-j
    std::vector<int> starBelow, star;          // rows i + 1 and i: best of i..j with two branches or more, the first at i or later
    std::vector<int> exterior;    // best of p..n in the exterior loop, [n + 2]
    std::vector<int> codes;       // the sequence's codes with 0 on both sides, [n + 2]
};

constexpr int ANY_SPAN = 0;

// Minimum free energy of model's sequence, tenths of kcal/mol (0 for an open chain). pairs is
// set to the partner table (n + 1 entries, 0 unpaired) of the optimal structure that comes first
// lexicographically: read from the 5' end, each nucleotide is unpaired when an optimum allows
// it, otherwise paired with its nearest possible partner. With maxSpan > 0 only structures whose
// pairs i-j all have j - i <= maxSpan are considered (memory and time then grow as n * maxSpan
// and n * maxSpan^2). Throws std::bad_alloc when the tables do not fit.
int minimumFreeEnergy(const energyModel& model, mfeWorkspace& workspace, std::vector<int>& pairs,
                      int maxSpan = ANY_SPAN);

}  // namespace korvane::fold
