#pragma once
// Outputs of a folding ensemble: the probability table and the SVG dot plot, as bytes for
// replaceFile.

#include <span>
#include <string>

namespace korvane {

struct pairWeight {
    int i;  // 1-based, i < j
    int j;
    double p;
};

constexpr double TABLE_PROBABILITY_FLOOR = 1e-5;    // pairs listed in the table
constexpr double DOTPLOT_PROBABILITY_FLOOR = 1e-3;  // squares drawn: smaller ones would not show

// The table: a "# " header line naming the record, then "i j p" lines (p >= 1e-5, by (i, j)),
// then the line "# unpaired" and one "i q" line per position. pairedProbability has n + 1
// entries; q = 1 - paired. Probabilities with six decimals.
std::string probabilityTable(const std::string& title, int n, std::span<const pairWeight> pairs,
                             std::span<const double> pairedProbability, double ensembleEnergy);

// A square SVG picture, position 1 at the top left: above the diagonal a square per pair
// (i, j) at row i, column j, its side sqrt(p) of the cell; below it the structure's pairs as
// full cells at row j, column i. structure has n + 1 entries (partner or 0).
std::string dotPlotSvg(const std::string& title, const std::string& letters, std::span<const pairWeight> pairs,
                       std::span<const int> structure);

}  // namespace korvane
