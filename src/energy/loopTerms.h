#pragma once
// Nearest-neighbour terms of one closed loop, in tenths of kcal/mol. code is a 1-based array of
// base codes (code[p] for position p); positions satisfy i < ip < jp < j where an inner pair is
// involved. Plain table arithmetic: no allocation, no bounds checks beyond the loop sizes.

#include <span>

#include "thermo/paramTables.h"

namespace korvane {

// Stacked pair step from i-j to ip-jp (ip = i + 1, jp = j - 1).
int stackEnergy(const paramTables& tables, std::span<const int> code, int i, int j, int ip, int jp);

// Hairpin closed by i-j with no pair inside; INFINITE when nothing lies between i and j.
int hairpinEnergy(const paramTables& tables, std::span<const int> code, int i, int j);

// Bulge or internal loop between outer pair i-j and inner pair ip-jp, with at least one
// unpaired nucleotide between them.
int loopEnergy(const paramTables& tables, std::span<const int> code, int i, int j, int ip, int jp);

// Dangle of unpaired n on pair a-b (a-b as seen from the loop): side 1 when n = a + 1 (3' of a),
// side 2 when n = b - 1 (5' of b). 0 when n is the linker. Not clipped.
int danglingEnergy(const paramTables& tables, std::span<const int> code, int a, int b, int n, int side);

// Terminal penalty of a helix end closed by i-j: terminalAuPenalty when either base is U, else 0.
int auPenalty(const paramTables& tables, std::span<const int> code, int i, int j);

}  // namespace korvane
