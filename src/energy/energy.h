#pragma once
// Nearest-neighbour free energy of nested pairings, in tenths of kcal/mol.

#include <span>

#include "rna/structure.h"
#include "thermo/paramTables.h"

namespace korvane {

// Free energy of pairing k of record into record.energy[k]; k = 0 scores structures 1..nstructs,
// a k outside the record's slots scores nothing. Meant for nested pairings; a pair that crosses
// the loop it starts in is read as unpaired, so any pairing gets a defined energy. Reuses
// per-thread working storage: no allocation once warm.
void structureEnergy(const paramTables& tables, structure& record, int k);

// The energy of a nested pairing is the sum, over its pairs i < j, of closedLoopEnergy(i, j),
// plus exteriorLoopEnergy. code and pairs are 1-based arrays of n + 1 entries.

// Energy of the loop closed by pair i-j: a stack, hairpin, bulge or internal loop, or a
// multibranch loop with the terminal penalties of its branches.
int closedLoopEnergy(const paramTables& tables, std::span<const int> code, std::span<const int> pairs,
                     int n, int i, int j);

// Energy of the exterior loop with the terminal penalties of its helices; 0 when 1 pairs with n.
int exteriorLoopEnergy(const paramTables& tables, std::span<const int> code, std::span<const int> pairs,
                       int n);

}  // namespace korvane
