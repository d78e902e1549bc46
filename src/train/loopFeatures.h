#pragma once
// The exact-folding model's loop terms written as sums of table cells: which cells a loop uses,
// how often, and what it adds besides (rules that are not cells, such as the poly-C and GGG
// hairpin terms). A twin of the loop terms, kept honest by tests that sum the cells back.

#include <cstdint>
#include <span>
#include <vector>

#include "fold/model.h"

namespace korvane::train {

// The tables whose cells can be features.
enum class table : std::uint8_t {
    stack,
    tstackh,
    tstacki,
    dangle,
    hairpinLoop,
    bulgeLoop,
    internalLoop,
    asymmetry,
    int11,
    int21,
    int22,
    tetraloop,
    triloop,
    terminalAu,
    multiOffset,
    multiPerUnpaired,
    multiPerHelix,
    tstacki1n,
    tstacki23,
    hexaloop,
};
constexpr int TABLES = static_cast<int>(table::hexaloop) + 1;

// One cell: its table and its index in that table's row-major layout.
struct cell {
    table of;
    int index;
    bool operator==(const cell&) const = default;
};

struct feature {
    cell at;
    int count;
};

// A loop's energy = fixed + sum of count * value(cell), in tenths of kcal/mol.
struct loopFeatures {
    std::vector<feature> cells;
    int fixed = 0;
    void clear() {
        cells.clear();
        fixed = 0;
    }
};

// Value of a cell in tables.
int cellValue(const paramTables& tables, cell c);

// The cells of each model term, appended to out (out.fixed accumulates).
void hairpinFeatures(const fold::energyModel& m, int i, int j, loopFeatures& out);
void interiorFeatures(const fold::energyModel& m, int i, int j, int k, int l, loopFeatures& out);
void multiClosingFeatures(const fold::energyModel& m, int i, int j, loopFeatures& out);
void multiBranchFeatures(const fold::energyModel& m, int k, int l, loopFeatures& out);
void multiUnpairedFeatures(int unpaired, loopFeatures& out);
void exteriorBranchFeatures(const fold::energyModel& m, int k, int l, loopFeatures& out);

// Every loop of a nested structure the model can form (pairs: n + 1 entries).
void structureFeatures(const fold::energyModel& m, std::span<const int> pairs, loopFeatures& out);

}  // namespace korvane::train
