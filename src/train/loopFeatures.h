#pragma once
// The exact-folding model's loop terms written as sums of table cells: which cells a loop uses,
// how often, and what it adds besides (rules that are not cells, such as the poly-C and GGG
// hairpin terms). A twin of the loop terms, kept honest by tests that sum the cells back.

#include <cstdint>
#include <span>
#include <type_traits>
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

namespace detail {
template <typename Grid>
auto& gridCell(Grid& g, int index, int depth) {
    if constexpr (std::is_arithmetic_v<std::remove_const_t<Grid>>) {
        return g;
    } else {
        int stride = 1;
        for (int d = 1; d < depth; ++d) stride *= CODES;
        return gridCell(g[index / stride], index % stride, depth - 1);
    }
}
}  // namespace detail

// The cell c of tables (paramTables or a table set with its names), as a reference.
template <typename T>
auto& cellOf(T& t, cell c) {
    constexpr int DANGLE_A = CODES * CODES * 3;
    constexpr int DANGLE_B = CODES * 3;
    switch (c.of) {
        case table::stack: return detail::gridCell(t.stack, c.index, 4);
        case table::tstackh: return detail::gridCell(t.tstackh, c.index, 4);
        case table::tstacki: return detail::gridCell(t.tstacki, c.index, 4);
        case table::dangle:
            return t.dangle[c.index / DANGLE_A][(c.index / DANGLE_B) % CODES][(c.index / 3) % CODES][c.index % 3];
        case table::hairpinLoop: return t.hairpinLoop[c.index];
        case table::bulgeLoop: return t.bulgeLoop[c.index];
        case table::internalLoop: return t.internalLoop[c.index];
        case table::asymmetry: return t.asymmetryPenalty[c.index];
        case table::int11: return detail::gridCell(t.int11, c.index, 6);
        case table::int21: return detail::gridCell(t.int21, c.index, 7);
        case table::int22: return detail::gridCell(t.int22, c.index, 8);
        case table::tetraloop: return t.tloop[c.index][1];
        case table::triloop: return t.triloop[c.index][1];
        case table::terminalAu: return t.terminalAuPenalty;
        case table::multiOffset: return t.loopConst[5];
        case table::multiPerUnpaired: return t.loopConst[6];
        case table::multiPerHelix: return t.loopConst[10];
        case table::tstacki1n: return detail::gridCell(t.tstacki1n, c.index, 4);
        case table::tstacki23: return detail::gridCell(t.tstacki23, c.index, 4);
        case table::hexaloop: return t.hexaloop[c.index][1];
    }
    return t.terminalAuPenalty;
}

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
