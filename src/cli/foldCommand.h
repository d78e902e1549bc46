#pragma once
// korvane-fold's run: records from files or standard input, folded on threads, printed and
// written in input order.

#include <cstddef>
#include <iosfwd>
#include <limits>
#include <string>
#include <vector>

#include "engine/engine.h"

namespace korvane::cli {

constexpr int EXIT_ALL_FOLDED = 0;
constexpr int EXIT_SOMETHING_SKIPPED = 1;
constexpr int EXIT_USAGE = 2;

enum class drawingLayout { radiate, arc };

struct foldSettings {
    std::vector<std::string> inputs;  // "-" is standard input; none means standard input
    foldOptions engine;
    std::string parameterSet;  // empty: defaultParameterSet for the algorithm and temperature
    double celsius = 37.0;
    int jobs = 1;
    std::size_t maxLength = std::numeric_limits<std::size_t>::max();
    std::string ctFolder;
    std::string dotBracketFolder;
    std::string svgFolder;
    std::string probabilityFolder;  // --bpp
    std::string dotPlotFolder;      // --dotplot
    drawingLayout layout = drawingLayout::radiate;
    bool quiet = false;
    bool stats = false;  // one line of figures per record on standard error
};

// Runs the whole fold; returns the exit status. tables are the loaded set.
int runFold(const foldSettings& settings, const paramTables& tables, std::ostream& out, std::ostream& err);

// One record's line of standard output for a structure: "((...)) ( -1.20)".
std::string structureLine(const std::vector<int>& pairs, int n, int energyTenths);

// The same with the ensemble: "((...)) ( -1.20) [ -1.85] {0.912}", the ensemble free energy in
// kcal/mol and the structure's expected accuracy.
std::string ensembleStructureLine(const std::vector<int>& pairs, int n, int energyTenths, double ensembleEnergy,
                                  double accuracy);

}  // namespace korvane::cli
