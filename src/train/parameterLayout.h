#pragma once
// The exact model's free parameters as one vector over the tables. Every cell a feature can
// name maps to one parameter p and reads base + theta[p]: cells that must stay equal (a stack
// and its reverse, a 1x1 loop and its rotation) share a parameter with base 0, and the 2x2
// internal-loop table keeps its own cells as base under one shared shift, which keeps the
// vector to a few thousand entries.

#include <array>
#include <string>
#include <unordered_map>
#include <vector>

#include "train/loopFeatures.h"
#include "train/realTables.h"

namespace korvane::train {

class parameterLayout {
public:
    // The layout over tables' cells, with theta set to reproduce them exactly.
    explicit parameterLayout(const paramTables& tables);

    int size() const { return static_cast<int>(names_.size()); }
    const std::string& name(int p) const { return names_[p]; }
    // The parameter of a cell; -1 when the cell is not free.
    int parameterOf(cell c) const;
    // theta of the tables the layout was made from, in tenths of kcal/mol.
    const std::vector<double>& initial() const { return initial_; }

    // Writes base + theta into tables, rounded to the tables' tenths; real tables take it exact.
    void write(const std::vector<double>& theta, paramTables& tables) const;
    void write(const std::vector<double>& theta, realTables& tables) const;
    // Exact (unrounded) energy of features under theta, in tenths; cells outside the layout
    // read their values in tables.
    double energy(const loopFeatures& f, const std::vector<double>& theta, const paramTables& tables) const;
    // Adds weight * count of each feature to gradient[parameterOf(cell)].
    void accumulate(const loopFeatures& f, double weight, std::vector<double>& gradient) const;

private:
    struct slot {
        int parameter;
        double base;
    };
    template <typename T>
    void writeInto(const std::vector<double>& theta, T& tables, bool round) const;
    void addParameter(std::string name, const std::vector<cell>& cells, bool shift, const paramTables& tables);
    static long long key(cell c) { return static_cast<long long>(c.of) << 32 | static_cast<unsigned>(c.index); }

    std::vector<std::string> names_;
    std::vector<double> initial_;
    std::vector<std::vector<cell>> cells_;
    std::unordered_map<long long, slot> slots_;
    // parameterOf by table and index, -1 for cells outside the layout: the gradient looks up
    // every feature of every probable loop, so this is a plain array.
    std::array<std::vector<int>, TABLES> dense_;
};

}  // namespace korvane::train
