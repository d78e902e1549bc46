#pragma once
// Planar ("radiate") drawing of a secondary structure: helices as straight ladders, loops as
// rings, the exterior loop along a line, and the SVG picture made from it. Positions are
// 1-based throughout; entry 0 of every per-nucleotide vector carries nothing.

#include <string>
#include <utility>
#include <vector>

namespace korvane::layout {

// Layout units: one backbone step between neighbours in a ring, along a helix and across a
// pair. Circles of this radius never overlap in a layout (centres at least twice it apart).
constexpr double CIRCLE_RADIUS = 0.4;

struct point {
    double x = 0;
    double y = 0;
};

struct planarLayout {
    std::vector<point> positions;  // [n + 1], y growing upwards
    std::vector<point> outward;    // [n + 1], unit vectors pointing away from the drawing's bulk
    std::vector<int> nested;       // [n + 1] partner table of the pairs laid out (nested)
    std::vector<std::pair<int, int>> crossing;  // i < j: pairs left out of the layout, by i
};

// The pairs of a partner table ([n + 1], 0 unpaired, may cross) that the layout keeps: whole
// helices (runs of stacked pairs) in decreasing size, ties to the 5'-most, each kept unless it
// crosses one kept before. Returns the nested partner table; the others go to dropped (i < j,
// by i) when given.
std::vector<int> nestedSubset(const std::vector<int>& pairs, std::vector<std::pair<int, int>>* dropped = nullptr);

// Lays out the structure of partner table pairs ([n + 1], n >= 0; entries out of range or not
// mutual count as unpaired). Deterministic.
planarLayout layOutPlanar(const std::vector<int>& pairs);

struct radiateDrawing {
    std::string letters;  // n letters, letters[p - 1] for position p
    std::string title;
    std::string energyText;  // shown under the title as given, e.g. "-22.00 kcal/mol"; may be empty
    // [n + 1] or empty: probability that p is paired. Colours each nucleotide by the probability
    // of its state as drawn (paired, or 1 - that when drawn unpaired) and adds a legend.
    std::vector<double> pairedProbability;
};

// The SVG picture of layout (laid out for drawing.letters). One layout unit is UNIT_PIXELS
// pixels at the picture's own width and height; the viewBox fits the drawing.
constexpr double UNIT_PIXELS = 24;
std::string radiateSvg(const planarLayout& layout, const radiateDrawing& drawing);

}  // namespace korvane::layout
