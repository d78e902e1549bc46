#include "output/ensembleOutput.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace korvane {

namespace {

constexpr double PLOT_SIDE = 800.0;  // pixels for the whole matrix, whatever the length
constexpr double MARGIN = 40.0;
constexpr double MAX_CELL = 12.0;
constexpr double LETTER_CELL = 8.0;  // cells at least this big get the sequence along the edges

std::string escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default:
                // Control characters are not allowed in XML 1.0 text.
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
        }
    }
    return out;
}

template <typename... Values>
void append(std::string& out, const char* format, Values... values) {
    char line[256];
    const int length = std::snprintf(line, sizeof line, format, values...);
    if (length > 0) out.append(line, static_cast<std::size_t>(std::min<int>(length, sizeof line - 1)));
}

}  // namespace

std::string probabilityTable(const std::string& title, int n, std::span<const pairWeight> pairs,
                             std::span<const double> pairedProbability, double ensembleEnergy) {
    std::string out = "# " + title;
    append(out, " (%d nt): ensemble free energy %.2f kcal/mol; lines i j p (p >= 1e-5), then i q\n", n, ensembleEnergy);
    for (const pairWeight& pair : pairs)
        if (pair.p >= TABLE_PROBABILITY_FLOOR) append(out, "%d %d %.6f\n", pair.i, pair.j, pair.p);
    out += "# unpaired\n";
    for (int p = 1; p <= n; ++p) {
        const double paired = p < static_cast<int>(pairedProbability.size()) ? pairedProbability[p] : 0.0;
        append(out, "%d %.6f\n", p, std::clamp(1.0 - paired, 0.0, 1.0));
    }
    return out;
}

std::string dotPlotSvg(const std::string& title, const std::string& letters, std::span<const pairWeight> pairs,
                       std::span<const int> structure) {
    const int n = static_cast<int>(letters.size());
    const double cell = n > 0 ? std::min(MAX_CELL, PLOT_SIDE / n) : MAX_CELL;
    const double side = cell * n;
    const double width = side + 2 * MARGIN;
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    append(out, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" viewBox=\"0 0 %.0f %.0f\">\n",
           width, width, width, width);
    out += "<title>" + escaped(title) + "</title>\n";
    append(out, "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"white\" stroke=\"black\"/>\n", MARGIN,
           MARGIN, side, side);
    append(out, "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"#bbbbbb\"/>\n", MARGIN, MARGIN,
           MARGIN + side, MARGIN + side);
    out += "<text x=\"" + std::to_string(static_cast<int>(MARGIN)) + "\" y=\"" +
           std::to_string(static_cast<int>(MARGIN / 2)) + "\" font-family=\"sans-serif\" font-size=\"14\">" +
           escaped(title) + "</text>\n";
    if (cell >= LETTER_CELL) {
        for (int p = 1; p <= n; ++p) {
            const double centre = MARGIN + (p - 0.5) * cell;
            const char letter[2] = {letters[p - 1], 0};
            append(out, "<text x=\"%.2f\" y=\"%.2f\" font-family=\"monospace\" font-size=\"%.1f\" text-anchor=\"middle\">%s</text>\n",
                   centre, MARGIN - 4, cell, escaped(letter).c_str());
            append(out, "<text x=\"%.2f\" y=\"%.2f\" font-family=\"monospace\" font-size=\"%.1f\" text-anchor=\"end\">%s</text>\n",
                   MARGIN - 4, centre + cell / 3, cell, escaped(letter).c_str());
        }
    }
    out += "<g fill=\"black\">\n";
    for (const pairWeight& pair : pairs) {
        if (pair.p < DOTPLOT_PROBABILITY_FLOOR || pair.i < 1 || pair.j > n || pair.i >= pair.j) continue;
        const double size = cell * std::sqrt(std::min(pair.p, 1.0));
        const double x = MARGIN + (pair.j - 1) * cell + (cell - size) / 2;
        const double y = MARGIN + (pair.i - 1) * cell + (cell - size) / 2;
        append(out, "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\"/>\n", x, y, size, size);
    }
    out += "</g>\n<g fill=\"#c0392b\">\n";
    for (int i = 1; i <= n && i < static_cast<int>(structure.size()); ++i) {
        const int j = structure[i];
        if (j <= i || j > n) continue;
        append(out, "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\"/>\n", MARGIN + (i - 1) * cell,
               MARGIN + (j - 1) * cell, cell, cell);
    }
    out += "</g>\n</svg>\n";
    return out;
}

}  // namespace korvane
