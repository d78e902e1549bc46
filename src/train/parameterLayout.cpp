#include "train/parameterLayout.h"

#include <array>
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <type_traits>
#include <utility>

namespace korvane::train {

namespace {

constexpr std::array<std::pair<int, int>, 6> PAIRS{{{CODE_A, CODE_U},
                                                    {CODE_C, CODE_G},
                                                    {CODE_G, CODE_C},
                                                    {CODE_U, CODE_A},
                                                    {CODE_G, CODE_U},
                                                    {CODE_U, CODE_G}}};
constexpr std::array<int, 4> BASES{CODE_A, CODE_C, CODE_G, CODE_U};
constexpr int FIRST_INTERNAL_SIZE = 4;  // smaller internal loops are the 1x1, 1x2 and 2x2 tables
constexpr int MAX_ASYMMETRY_SIDE = 2;

int grid(std::initializer_list<int> codes) {
    int index = 0;
    for (int c : codes) index = index * CODES + c;
    return index;
}

std::string letters(std::initializer_list<int> codes) {
    std::string s;
    for (int c : codes) s += "NACGUI"[c];
    return s;
}

}  // namespace

void parameterLayout::addParameter(std::string name, const std::vector<cell>& cells, bool shift,
                                   const paramTables& tables) {
    const int p = size();
    // A tied group starts at the mean of its cells (they are equal in a consistent set).
    double start = 0;
    if (!shift) {
        for (const cell& c : cells) start += cellValue(tables, c);
        start /= static_cast<double>(cells.size());
    }
    for (const cell& c : cells) {
        if (slots_.count(key(c))) continue;
        slots_[key(c)] = {p, shift ? static_cast<double>(cellValue(tables, c)) : 0.0};
        auto& row = dense_[static_cast<int>(c.of)];
        if (row.size() <= static_cast<size_t>(c.index)) row.resize(static_cast<size_t>(c.index) + 1, -1);
        row[c.index] = p;
    }
    names_.push_back(std::move(name));
    initial_.push_back(start);
    cells_.push_back(cells);
}

parameterLayout::parameterLayout(const paramTables& t) {
    const auto one = [&](std::string name, table of, int index) { addParameter(std::move(name), {{of, index}}, false, t); };
    for (auto [a, b] : PAIRS)
        for (auto [c, d] : PAIRS) {
            // a-b then c-d read from the other strand is d-c then b-a.
            const cell forward{table::stack, grid({a, b, c, d})};
            const cell reverse{table::stack, grid({d, c, b, a})};
            if (slots_.count(key(reverse))) continue;
            addParameter("stack " + letters({a, b, c, d}), {forward, reverse}, false, t);
        }
    const std::array<std::pair<table, const char*>, 4> mismatches{{{table::tstackh, "hairpin mismatch "},
                                                                   {table::tstacki, "internal mismatch "},
                                                                   {table::tstacki1n, "1xn mismatch "},
                                                                   {table::tstacki23, "2x3 mismatch "}}};
    for (auto [mismatch, label] : mismatches)
        for (auto [a, b] : PAIRS)
            for (int x : BASES)
                for (int y : BASES) one(label + letters({a, b, x, y}), mismatch, grid({a, b, x, y}));
    for (auto [a, b] : PAIRS)
        for (int x : BASES)
            for (int side : {fold::SIDE_3PRIME, fold::SIDE_5PRIME})
                one("dangle" + std::to_string(side) + " " + letters({a, b, x}), table::dangle,
                    grid({a, b, x}) * 3 + side);
    for (int s = fold::MIN_HAIRPIN; s <= MAX_LOOP_TABLE; ++s) one("hairpin " + std::to_string(s), table::hairpinLoop, s);
    for (int s = 1; s <= MAX_LOOP_TABLE; ++s) one("bulge " + std::to_string(s), table::bulgeLoop, s);
    for (int s = FIRST_INTERNAL_SIZE; s <= MAX_LOOP_TABLE; ++s)
        one("internal " + std::to_string(s), table::internalLoop, s);
    for (int side = 1; side <= MAX_ASYMMETRY_SIDE; ++side)
        one("asymmetry " + std::to_string(side), table::asymmetry, side);
    for (auto [a, b] : PAIRS)
        for (auto [c, d] : PAIRS)
            for (int x : BASES)
                for (int y : BASES) {
                    // [i][i+1][ip][j][j-1][jp]; turned round, the inner pair closes the loop.
                    const cell forward{table::int11, grid({a, x, c, b, y, d})};
                    const cell turned{table::int11, grid({d, y, b, c, x, a})};
                    if (slots_.count(key(turned))) continue;
                    addParameter("1x1 " + letters({a, x, c, b, y, d}), {forward, turned}, false, t);
                }
    for (auto [a, b] : PAIRS)
        for (auto [c, d] : PAIRS)
            for (int x : BASES)
                for (int y : BASES)
                    for (int z : BASES)
                        one("1x2 " + letters({a, b, x, y, z, c, d}), table::int21, grid({a, b, x, y, z, c, d}));
    std::vector<cell> int22;
    for (auto [a, b] : PAIRS)
        for (auto [c, d] : PAIRS)
            for (int w : BASES)
                for (int x : BASES)
                    for (int y : BASES)
                        for (int z : BASES) int22.push_back({table::int22, grid({a, c, b, d, w, x, y, z})});
    addParameter("2x2 shift", int22, true, t);
    for (int e = 1; e <= std::min(t.tloopCount, MAX_SPECIAL_HAIRPINS); ++e)
        one("tetraloop " + std::to_string(e), table::tetraloop, e);
    for (int e = 1; e <= std::min(t.triloopCount, MAX_SPECIAL_HAIRPINS); ++e)
        one("triloop " + std::to_string(e), table::triloop, e);
    for (int e = 1; e <= std::min(t.hexaloopCount, MAX_SPECIAL_HAIRPINS); ++e)
        one("hexaloop " + std::to_string(e), table::hexaloop, e);
    one("terminal AU/GU", table::terminalAu, 0);
    one("multibranch offset", table::multiOffset, 0);
    one("multibranch per unpaired", table::multiPerUnpaired, 0);
    one("multibranch per helix", table::multiPerHelix, 0);
}

int parameterLayout::parameterOf(cell c) const {
    const auto& row = dense_[static_cast<int>(c.of)];
    return static_cast<size_t>(c.index) < row.size() ? row[c.index] : -1;
}

template <typename T>
void parameterLayout::writeInto(const std::vector<double>& theta, T& tables, bool round) const {
    for (int p = 0; p < size(); ++p)
        for (const cell& c : cells_[p]) {
            const slot& at = slots_.at(key(c));
            const double v = at.base + theta[at.parameter];
            auto& target = cellOf(tables, c);
            target = static_cast<std::remove_reference_t<decltype(target)>>(round ? static_cast<double>(std::lround(v)) : v);
        }
}

void parameterLayout::write(const std::vector<double>& theta, paramTables& tables) const {
    writeInto(theta, tables, true);
}

void parameterLayout::write(const std::vector<double>& theta, realTables& tables) const {
    writeInto(theta, tables, false);
}

double parameterLayout::energy(const loopFeatures& f, const std::vector<double>& theta,
                               const paramTables& tables) const {
    double e = f.fixed;
    for (const feature& x : f.cells) {
        const auto it = slots_.find(key(x.at));
        e += x.count * (it != slots_.end() ? it->second.base + theta[it->second.parameter] : cellValue(tables, x.at));
    }
    return e;
}

void parameterLayout::accumulate(const loopFeatures& f, double weight, std::vector<double>& gradient) const {
    for (const feature& x : f.cells) {
        const int p = parameterOf(x.at);
        if (p >= 0) gradient[p] += weight * x.count;
    }
}

}  // namespace korvane::train
