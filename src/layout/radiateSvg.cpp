#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "layout/layout.h"
#include "output/svgWriter.h"

namespace korvane::layout {

namespace {

constexpr double FONT_PIXELS = 13;
constexpr double LETTER_DROP = 0.35 * FONT_PIXELS;  // puts a capital's middle on the centre
constexpr double NUMBER_FONT_PIXELS = 11;
constexpr double TITLE_FONT_PIXELS = 16;
constexpr double MARGIN_PIXELS = 24;
constexpr double TITLE_LINE_PIXELS = 22;
constexpr double LABEL_DISTANCE = 1.5;   // layout units from the centre to a number or end mark
constexpr double LABEL_ROOM = 3.5;       // layout units kept around the drawing for labels
constexpr double TICK_START = CIRCLE_RADIUS + 0.1;
constexpr double TICK_END = LABEL_DISTANCE - 0.6;
constexpr double GU_DOT_PIXELS = 3;
constexpr double BOND_SHORTENING = CIRCLE_RADIUS * 0.9;  // bonds stop under the circles' rims
constexpr int NUMBER_STEP = 10;
constexpr double LABEL_CLEARANCE = 1.0;  // layout units from a label's middle to any centre
constexpr double LABEL_TURN = 0.4;       // radians tried at a time, either way, for a free spot
constexpr int LABEL_TURNS = 7;
constexpr std::array<double, 4> LABEL_DISTANCES = {LABEL_DISTANCE, 2.2, 3.0, 4.0};
constexpr double LEGEND_WIDTH = 200;
constexpr double LEGEND_HEIGHT = 14;
constexpr double LEGEND_ROOM = 56;
constexpr double TITLE_CHAR_PIXELS = 9;  // to keep a title inside the picture
constexpr size_t WIDEST_TITLE_CHARS = 80;  // a longer title may run past a narrow picture's edge
constexpr size_t SVG_CHARS_PER_NUCLEOTIDE = 260;

constexpr std::string_view BASE_COLOURS = "ACGUT";
constexpr std::array<std::string_view, 5> BASE_FILLS = {"#ffb3b3", "#b3d4ff", "#b5ecb5", "#ffec99", "#ffec99"};
constexpr std::string_view OTHER_FILL = "#dddddd";

// Probability colour scale, low to high, as RGB.
struct rgb {
    double r, g, b;
};
constexpr std::array<rgb, 3> SCALE = {{{145, 191, 219}, {255, 255, 191}, {252, 141, 89}}};

void appendNumber(std::string& out, double value) {
    std::array<char, 32> buffer;
    const double rounded = std::round(value * 10) / 10;
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), rounded == 0 ? 0.0 : rounded,
                                      std::chars_format::fixed, rounded == std::floor(rounded) ? 0 : 1);
    out.append(buffer.data(), result.ptr);
}

// Appends name="value" with a leading blank.
void attribute(std::string& out, std::string_view name, double value) {
    out += ' ';
    out += name;
    out += "=\"";
    appendNumber(out, value);
    out += '"';
}

std::string scaleColour(double p) {
    p = std::clamp(std::isfinite(p) ? p : 0.0, 0.0, 1.0);
    const double at = p * static_cast<double>(SCALE.size() - 1);
    const size_t low = std::min(static_cast<size_t>(at), SCALE.size() - 2);
    const double f = at - static_cast<double>(low);
    auto mix = [&](double a, double b) { return static_cast<int>(std::lround(a + (b - a) * f)); };
    std::array<char, 8> text;
    const int value = mix(SCALE[low].r, SCALE[low + 1].r) << 16 | mix(SCALE[low].g, SCALE[low + 1].g) << 8 |
                      mix(SCALE[low].b, SCALE[low + 1].b);
    text[0] = '#';
    constexpr std::string_view HEX = "0123456789abcdef";
    for (int k = 0; k < 6; ++k) text[static_cast<size_t>(k) + 1] = HEX[static_cast<size_t>((value >> (20 - 4 * k)) & 0xf)];
    return std::string(text.data(), 7);
}

std::string_view baseFill(char letter) {
    const size_t at = BASE_COLOURS.find(static_cast<char>(std::toupper(static_cast<unsigned char>(letter))));
    return at == std::string_view::npos ? OTHER_FILL : BASE_FILLS[at];
}

bool isWobble(char a, char b) {
    a = static_cast<char>(std::toupper(static_cast<unsigned char>(a)));
    b = static_cast<char>(std::toupper(static_cast<unsigned char>(b)));
    if (a == 'T') a = 'U';
    if (b == 'T') b = 'U';
    return (a == 'G' && b == 'U') || (a == 'U' && b == 'G');
}

bool isCanonical(char a, char b) {
    a = static_cast<char>(std::toupper(static_cast<unsigned char>(a)));
    b = static_cast<char>(std::toupper(static_cast<unsigned char>(b)));
    if (a == 'T') a = 'U';
    if (b == 'T') b = 'U';
    return (a == 'G' && b == 'C') || (a == 'C' && b == 'G') || (a == 'A' && b == 'U') || (a == 'U' && b == 'A');
}

// Layout units to picture pixels. The y axis is not turned over: the picture is the layout's
// mirror image, which puts the exterior branches above the line and reads 5' to 3' left to right.
class pixels {
public:
    pixels(double minX, double minY, double top) : minX_(minX), minY_(minY), top_(top) {}
    double x(double layoutX) const { return MARGIN_PIXELS + (layoutX - minX_) * UNIT_PIXELS; }
    double y(double layoutY) const { return top_ + (layoutY - minY_) * UNIT_PIXELS; }

private:
    double minX_, minY_, top_;
};

void appendText(std::string& out, double x, double y, std::string_view cssClass, std::string_view text) {
    out += "<text";
    attribute(out, "x", x);
    attribute(out, "y", y);
    out += " class=\"";
    out += cssClass;
    out += "\">";
    out += escapeSvgText(text);
    out += "</text>\n";
}

void appendLine(std::string& out, double x1, double y1, double x2, double y2) {
    out += "<line";
    attribute(out, "x1", x1);
    attribute(out, "y1", y1);
    attribute(out, "x2", x2);
    attribute(out, "y2", y2);
    out += "/>\n";
}

// Nucleotide centres and placed labels on a grid of unit cells, to find a free spot for a label.
class occupancy {
public:
    occupancy(const std::vector<point>& positions, int n) {
        for (int p = 1; p <= n; ++p) add(positions[static_cast<size_t>(p)]);
    }
    void add(point p) { cells_[key(cell(p.x), cell(p.y))].push_back(p); }
    bool isClear(point p, double radius) const {
        const long long reach = static_cast<long long>(std::ceil(radius));
        for (long long dx = -reach; dx <= reach; ++dx) {
            for (long long dy = -reach; dy <= reach; ++dy) {
                const auto found = cells_.find(key(cell(p.x) + dx, cell(p.y) + dy));
                if (found == cells_.end()) continue;
                for (const point q : found->second)
                    if (std::hypot(p.x - q.x, p.y - q.y) < radius) return false;
            }
        }
        return true;
    }

private:
    static long long cell(double v) { return static_cast<long long>(std::floor(v)); }
    static long long key(long long x, long long y) { return x * 4'000'037LL + y; }
    std::unordered_map<long long, std::vector<point>> cells_;
};

// The offset of a label from its nucleotide: the direction nearest to outward (turning either
// way), at the least distance tried, whose spot keeps clear of every circle and label; the
// plain outward offset when none does.
point freeOffset(const occupancy& taken, point centre, point outward) {
    for (const double distance : LABEL_DISTANCES) {
        for (int turn = 0; turn <= LABEL_TURNS; ++turn) {
            for (const int side : {1, -1}) {
                const double angle = side * turn * LABEL_TURN;
                const point o{distance * (outward.x * std::cos(angle) - outward.y * std::sin(angle)),
                              distance * (outward.x * std::sin(angle) + outward.y * std::cos(angle))};
                if (taken.isClear({centre.x + o.x, centre.y + o.y}, LABEL_CLEARANCE)) return o;
                if (turn == 0) break;
            }
        }
    }
    return {outward.x * LABEL_DISTANCE, outward.y * LABEL_DISTANCE};
}

}  // namespace

std::string radiateSvg(const planarLayout& layout, const radiateDrawing& drawing) {
    const int n = std::min(static_cast<int>(layout.positions.size()) - 1, static_cast<int>(drawing.letters.size()));
    const auto& at = layout.positions;
    auto letter = [&](int p) { return drawing.letters[static_cast<size_t>(p - 1)]; };
    const bool coloured = n > 0 && drawing.pairedProbability.size() == static_cast<size_t>(n) + 1;

    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    if (n > 0) {
        minX = maxX = at[1].x;
        minY = maxY = at[1].y;
    }
    for (int p = 1; p <= n; ++p) {
        minX = std::min(minX, at[static_cast<size_t>(p)].x);
        maxX = std::max(maxX, at[static_cast<size_t>(p)].x);
        minY = std::min(minY, at[static_cast<size_t>(p)].y);
        maxY = std::max(maxY, at[static_cast<size_t>(p)].y);
    }
    minX -= LABEL_ROOM;
    maxX += LABEL_ROOM;
    minY -= LABEL_ROOM;
    maxY += LABEL_ROOM;
    const double headerPixels = MARGIN_PIXELS + 2 * TITLE_LINE_PIXELS;
    const double legendPixels = coloured ? LEGEND_ROOM : 0;
    const double titleWidth = 2 * MARGIN_PIXELS + TITLE_CHAR_PIXELS * static_cast<double>(std::min(drawing.title.size(), WIDEST_TITLE_CHARS));
    const double width = std::max({(maxX - minX) * UNIT_PIXELS + 2 * MARGIN_PIXELS, titleWidth,
                                   LEGEND_WIDTH + 2 * MARGIN_PIXELS + 80});
    const double height = std::ceil(headerPixels + (maxY - minY) * UNIT_PIXELS + legendPixels + MARGIN_PIXELS);
    const double roundedWidth = std::ceil(width);
    const pixels to(minX, minY, headerPixels);

    std::string svg;
    svg.reserve(2048 + SVG_CHARS_PER_NUCLEOTIDE * static_cast<size_t>(std::max(n, 0)));
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\"";
    attribute(svg, "width", roundedWidth);
    attribute(svg, "height", height);
    svg += " viewBox=\"0 0 ";
    appendNumber(svg, roundedWidth);
    svg += ' ';
    appendNumber(svg, height);
    svg += "\" font-family=\"DejaVu Sans, Helvetica, Arial, sans-serif\">\n";
    svg += "<style>\n"
           ".title{font-size:16px;font-weight:bold;fill:#000}\n"
           ".energy{font-size:13px;fill:#333}\n"
           ".base{font-size:13px;font-weight:bold;text-anchor:middle;fill:#000}\n"
           ".number{font-size:11px;text-anchor:middle;fill:#444}\n"
           ".end{font-size:13px;font-weight:bold;text-anchor:middle;fill:#a00}\n"
           ".legend{font-size:11px;fill:#000}\n"
           "</style>\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
    appendText(svg, MARGIN_PIXELS, MARGIN_PIXELS + TITLE_FONT_PIXELS, "title", drawing.title);
    if (!drawing.energyText.empty()) {
        appendText(svg, MARGIN_PIXELS, MARGIN_PIXELS + TITLE_FONT_PIXELS + TITLE_LINE_PIXELS, "energy", drawing.energyText);
    }

    if (n > 0) {
        svg += "<path fill=\"none\" stroke=\"#9a9a9a\" stroke-width=\"2\" stroke-linejoin=\"round\" d=\"M";
        for (int p = 1; p <= n; ++p) {
            if (p > 1) svg += " L";
            appendNumber(svg, to.x(at[static_cast<size_t>(p)].x));
            svg += ' ';
            appendNumber(svg, to.y(at[static_cast<size_t>(p)].y));
        }
        svg += "\"/>\n";
    }

    // Bonds: canonical pairs solid, G-U with a dot in the middle, any other pair dashed.
    std::string wobbleDots;
    std::string otherBonds;
    svg += "<g stroke=\"#4a4a4a\" stroke-width=\"3\" stroke-linecap=\"round\">\n";
    for (int i = 1; i <= n; ++i) {
        const int j = layout.nested[static_cast<size_t>(i)];
        if (j <= i || j > n) continue;
        const point a = at[static_cast<size_t>(i)];
        const point b = at[static_cast<size_t>(j)];
        const double length = std::hypot(b.x - a.x, b.y - a.y);
        const double cut = length > 2 * BOND_SHORTENING ? BOND_SHORTENING / length : 0;
        const double x1 = to.x(a.x + (b.x - a.x) * cut), y1 = to.y(a.y + (b.y - a.y) * cut);
        const double x2 = to.x(b.x - (b.x - a.x) * cut), y2 = to.y(b.y - (b.y - a.y) * cut);
        if (isCanonical(letter(i), letter(j))) {
            appendLine(svg, x1, y1, x2, y2);
        } else if (isWobble(letter(i), letter(j))) {
            wobbleDots += "<circle";
            attribute(wobbleDots, "cx", (x1 + x2) / 2);
            attribute(wobbleDots, "cy", (y1 + y2) / 2);
            attribute(wobbleDots, "r", GU_DOT_PIXELS);
            wobbleDots += "/>\n";
            appendLine(svg, x1, y1, x2, y2);
        } else {
            appendLine(otherBonds, x1, y1, x2, y2);
        }
    }
    svg += "</g>\n";
    if (!wobbleDots.empty()) svg += "<g class=\"wobble\" fill=\"#4a4a4a\" stroke=\"#ffffff\" stroke-width=\"1.5\">\n" + wobbleDots + "</g>\n";
    if (!otherBonds.empty()) {
        svg += "<g stroke=\"#4a4a4a\" stroke-width=\"2\" stroke-dasharray=\"3 3\">\n" + otherBonds + "</g>\n";
    }

    // Crossing pairs go under the circles, so that their letters stay readable.
    if (!layout.crossing.empty()) {
        svg += "<g class=\"crossing\" stroke=\"#d01c8b\" stroke-width=\"2.5\" stroke-dasharray=\"6 3\">\n";
        for (const auto& [i, j] : layout.crossing) {
            if (i < 1 || j > n) continue;
            const point a = at[static_cast<size_t>(i)];
            const point b = at[static_cast<size_t>(j)];
            appendLine(svg, to.x(a.x), to.y(a.y), to.x(b.x), to.y(b.y));
        }
        svg += "</g>\n";
    }

    // Numbers with short ticks, and the ends, outside the circles.
    std::vector<point> labelOffsets;
    {
        occupancy taken(at, n);
        for (int p = NUMBER_STEP; p <= n; p += NUMBER_STEP) {
            const point c = at[static_cast<size_t>(p)];
            const point o = freeOffset(taken, c, layout.outward[static_cast<size_t>(p)]);
            taken.add({c.x + o.x, c.y + o.y});
            labelOffsets.push_back(o);
        }
    }
    svg += "<g stroke=\"#777777\" stroke-width=\"1\">\n";
    for (int p = NUMBER_STEP; p <= n; p += NUMBER_STEP) {
        const point c = at[static_cast<size_t>(p)];
        const point o = labelOffsets[static_cast<size_t>(p / NUMBER_STEP - 1)];
        const double length = std::hypot(o.x, o.y);
        const double start = TICK_START / length;
        const double end = (length - LABEL_DISTANCE + TICK_END) / length;
        appendLine(svg, to.x(c.x + o.x * start), to.y(c.y + o.y * start), to.x(c.x + o.x * end), to.y(c.y + o.y * end));
    }
    svg += "</g>\n";
    for (int p = NUMBER_STEP; p <= n; p += NUMBER_STEP) {
        const point c = at[static_cast<size_t>(p)];
        const point o = labelOffsets[static_cast<size_t>(p / NUMBER_STEP - 1)];
        appendText(svg, to.x(c.x + o.x), to.y(c.y + o.y) + 0.35 * NUMBER_FONT_PIXELS,
                   "number", std::to_string(p));
    }
    if (n > 0) {
        // Each end mark sits beyond its end, away from the neighbouring nucleotide.
        auto endMark = [&](int p, int neighbour, std::string_view text) {
            const point c = at[static_cast<size_t>(p)];
            point o{-1, 0};
            if (neighbour >= 1 && neighbour <= n) {
                const point d = at[static_cast<size_t>(neighbour)];
                const double length = std::hypot(c.x - d.x, c.y - d.y);
                if (length > 0) o = {(c.x - d.x) / length, (c.y - d.y) / length};
            } else if (p == n && n == 1) {
                o = {1, 0};
            }
            appendText(svg, to.x(c.x + o.x * LABEL_DISTANCE), to.y(c.y + o.y * LABEL_DISTANCE) + LETTER_DROP, "end", text);
        };
        endMark(1, 2, "5\u2032");
        if (n > 1) endMark(n, n - 1, "3\u2032");
    }

    svg += "<g stroke=\"#333333\" stroke-width=\"1\">\n";
    for (int p = 1; p <= n; ++p) {
        const point c = at[static_cast<size_t>(p)];
        svg += "<circle";
        attribute(svg, "cx", to.x(c.x));
        attribute(svg, "cy", to.y(c.y));
        attribute(svg, "r", CIRCLE_RADIUS * UNIT_PIXELS);
        svg += " fill=\"";
        if (coloured) {
            const double paired = drawing.pairedProbability[static_cast<size_t>(p)];
            svg += scaleColour(layout.nested[static_cast<size_t>(p)] != 0 ? paired : 1 - paired);
        } else {
            svg += baseFill(letter(p));
        }
        svg += "\"/>\n";
    }
    svg += "</g>\n";
    for (int p = 1; p <= n; ++p) {
        const point c = at[static_cast<size_t>(p)];
        appendText(svg, to.x(c.x), to.y(c.y) + LETTER_DROP, "base", std::string_view(&drawing.letters[static_cast<size_t>(p - 1)], 1));
    }

    if (coloured) {
        const double top = height - MARGIN_PIXELS - LEGEND_ROOM + 16;
        svg += "<defs><linearGradient id=\"probabilityScale\">";
        for (int stop = 0; stop <= 4; ++stop) {
            svg += "<stop offset=\"";
            appendNumber(svg, stop * 25);
            svg += "%\" stop-color=\"" + scaleColour(stop / 4.0) + "\"/>";
        }
        svg += "</linearGradient></defs>\n";
        appendText(svg, MARGIN_PIXELS, top - 4, "legend", "probability of the state drawn (paired, or unpaired)");
        svg += "<rect fill=\"url(#probabilityScale)\" stroke=\"#333333\"";
        attribute(svg, "x", MARGIN_PIXELS);
        attribute(svg, "y", top);
        attribute(svg, "width", LEGEND_WIDTH);
        attribute(svg, "height", LEGEND_HEIGHT);
        svg += "/>\n";
        for (int tick = 0; tick <= 2; ++tick) {
            appendText(svg, MARGIN_PIXELS + LEGEND_WIDTH * tick / 2 - 6, top + LEGEND_HEIGHT + 13, "legend",
                       tick == 0 ? "0" : tick == 1 ? "0.5" : "1");
        }
    }
    svg += "</svg>\n";
    return svg;
}

}  // namespace korvane::layout
