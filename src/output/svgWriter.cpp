#include "output/svgWriter.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <vector>

#include "output/drawing.h"

namespace korvane {

namespace {

// Templates: upper-case keywords stand for the values, filled in the order each writer uses.
constexpr std::string_view CIRCLE_TEMPLATE =
    "<circle style=\"stroke-width:LINEWEIGHT\" cx=\"LOCX\" cy=\"LOCY\" r=\"RADIUS\" fill=BACKGROUND stroke=OUTLINE/>";
constexpr std::string_view ARC_TEMPLATE =
    "<path style=\"fill:none;stroke-width:CURVEWEIGHT\" stroke=COLOR d=\"MX1,Y1 QCONTROLX,CONTROLY X2,Y2\"/>";
constexpr std::string_view LINE_TEMPLATE =
    "<line style=\"fill:none;stroke-width:LINEWEIGHT\" stroke=COLOR x1=\"STARTX\" y1=\"STARTY\" x2=\"ENDX\" "
    "y2=\"ENDY\"/>";
constexpr std::string_view BOX_TEMPLATE =
    "<rect x=\"LOCX\" y=\"LOCY\" width=\"WIDTH\" height=\"HEIGHT\" fill=COLOR stroke=COLOR/>";
constexpr std::string_view TEXT_TEMPLATE = "<text x=\"LOCX\" y=\"LOCY\" fill=COLOR stroke=COLOR>TEXTSTRING</text>";
constexpr std::string_view SCALE_TEMPLATE = "<g transform=\"scale(SCALEFACTOR)\">";
constexpr std::string_view GROUP_END = "</g>";
constexpr std::string_view FONT_GROUP = "<g font-size=\"16\">";
constexpr std::string_view SVG_END = "</svg>";

constexpr std::string_view LINE_WEIGHT = "1";
constexpr std::string_view CURVE_WEIGHT = "3";
constexpr std::string_view CIRCLE_RADIUS = "12";
constexpr double BOX_HEIGHT = 24;
constexpr std::string_view TITLE_X = "36";
constexpr std::string_view NOTICE_XY = "26";
constexpr int DOCUMENT_FONT_SIZE = 24;
constexpr double PAGE_WIDTH = 790;
constexpr double PAGE_HEIGHT = 905;
constexpr double SPACE_BELOW_DRAWING = 52;
constexpr double TITLE_BAND = 18;          // the title band above the page bottom
constexpr double TITLE_BASELINE_DROP = 5;  // baseline below the band's top
constexpr double TITLE_Y = PAGE_HEIGHT - TITLE_BAND + TITLE_BASELINE_DROP;
constexpr size_t LONGEST_TITLE = 45;
constexpr size_t CUT_TITLE = 42;
constexpr double LABEL_DIGIT_WIDTH = 15;
constexpr double LABEL_HALF_HEIGHT = 12;
constexpr double LABEL_BASELINE_RISE = 4;  // number baseline above the mask's lower edge
constexpr double TEXT_BASELINE_DROP = 8;  // a letter's baseline sits below the circle centre
constexpr double LOWER_G_DROP = 5;        // a lower-case g hangs below its baseline
constexpr double LETTER_SHIFT_X = 8;
constexpr int NUCLEOTIDE_TOKENS = 8;
constexpr int PAIR_TOKENS = 7;

const std::string NO_PAIRS_NOTICE = "The given structure contains no pairs.";

struct keywordValue {
    std::string_view keyword;
    std::string_view value;
};

// Replaces every occurrence of keyword; scanning resumes after the inserted value, so a value
// holding a keyword is left as it is.
void replaceKeyword(std::string& text, std::string_view keyword, std::string_view value) {
    size_t at = text.find(keyword);
    while (at != std::string::npos) {
        text.replace(at, keyword.size(), value);
        at = text.find(keyword, at + value.size());
    }
}

std::string fillTemplate(std::string_view pattern, std::initializer_list<keywordValue> values) {
    std::string text(pattern);
    for (const auto& [keyword, value] : values) replaceKeyword(text, keyword, value);
    return text;
}

std::string lineElement(std::string_view x1, std::string_view y1, std::string_view x2, std::string_view y2) {
    const std::string black = colorValue("Black");
    return fillTemplate(LINE_TEMPLATE, {{"COLOR", black}, {"LINEWEIGHT", LINE_WEIGHT}, {"STARTX", x1},
                                {"STARTY", y1}, {"ENDX", x2}, {"ENDY", y2}});
}

std::string textElement(std::string_view x, std::string_view y, std::string_view text) {
    const std::string black = colorValue("Black");
    return fillTemplate(TEXT_TEMPLATE, {{"COLOR", black}, {"LOCX", x}, {"LOCY", y}, {"TEXTSTRING", text}});
}

std::vector<std::string_view> splitWords(std::string_view record) {
    std::vector<std::string_view> words;
    size_t start = record.find_first_not_of(' ');
    while (start != std::string_view::npos) {
        const size_t stop = std::min(record.find(' ', start), record.size());
        words.push_back(record.substr(start, stop - start));
        start = record.find_first_not_of(' ', stop);
    }
    return words;
}

double toNumber(std::string_view word) {
    double value = 0;
    std::from_chars(word.data(), word.data() + word.size(), value);
    return value;
}

int labelDigits(long long number) {
    if (number < 10) return 1;
    if (number < 100) return 2;
    if (number < 1000) return 3;
    if (number < 10000) return 4;
    return 5;
}

std::string nucleotideLine(std::string_view record, bool circleOutline) {
    const auto words = splitWords(record);
    if (static_cast<int>(words.size()) < NUCLEOTIDE_TOKENS) return {};
    const std::string_view letter = words[0];
    const double x = toNumber(words[1]);
    const double y = toNumber(words[2]);
    const double nextX = toNumber(words[3]);
    const double nextY = toNumber(words[4]);
    const double labelX = toNumber(words[5]);
    const double labelY = toNumber(words[6]);
    const auto labelNumber = static_cast<long long>(toNumber(words[7]));
    const std::string xText = drawingNumber(x);
    const std::string yText = drawingNumber(y);

    std::string line;
    if (nextX != -1 && nextY != -1) {
        line += lineElement(xText, yText, drawingNumber(nextX), drawingNumber(nextY));
        line += ' ';
    }
    if (labelX != -1 && labelY != -1) {
        const double width = LABEL_DIGIT_WIDTH * labelDigits(labelNumber);
        const std::string left = drawingNumber(labelX - width / 2);
        line += lineElement(xText, yText, drawingNumber(labelX), drawingNumber(labelY));
        line += ' ';
        line += fillTemplate(BOX_TEMPLATE, {{"COLOR", colorValue("White")}, {"LOCX", left},
                                    {"LOCY", drawingNumber(labelY - LABEL_HALF_HEIGHT)},
                                    {"WIDTH", drawingNumber(width)}, {"HEIGHT", drawingNumber(BOX_HEIGHT)}});
        line += ' ';
        line += textElement(left, drawingNumber(labelY - LABEL_HALF_HEIGHT + BOX_HEIGHT - LABEL_BASELINE_RISE),
                            std::to_string(labelNumber));
        line += ' ';
    }
    const std::string outline = colorValue(circleOutline ? "Black" : "White");
    line += fillTemplate(CIRCLE_TEMPLATE, {{"LINEWEIGHT", LINE_WEIGHT}, {"LOCX", xText}, {"LOCY", yText},
                                   {"BACKGROUND", colorValue("White")}, {"OUTLINE", outline},
                                   {"RADIUS", CIRCLE_RADIUS}});
    line += ' ';
    const double drop = letter == "g" ? LOWER_G_DROP : TEXT_BASELINE_DROP;
    line += textElement(std::to_string(static_cast<long long>(x - LETTER_SHIFT_X)),
                        std::to_string(static_cast<long long>(y + drop)), escapeSvgText(letter));
    return line;
}

std::string arcLine(std::string_view record) {
    const auto words = splitWords(record);
    if (static_cast<int>(words.size()) < PAIR_TOKENS) return {};
    return fillTemplate(ARC_TEMPLATE, {{"CURVEWEIGHT", CURVE_WEIGHT}, {"X1", words[1]}, {"Y1", words[2]},
                               {"CONTROLX", words[3]}, {"CONTROLY", words[4]}, {"X2", words[5]},
                               {"Y2", words[6]}, {"COLOR", colorValue("Black")}});
}

// The title as shown: outer blanks trimmed (unless it is all blanks), brackets and angle
// brackets removed, long titles cut. Nothing when no character is left.
std::optional<std::string> shownTitle(std::string_view title) {
    if (title.empty()) return std::nullopt;
    constexpr std::string_view outer = " \n\r\t";
    const size_t first = title.find_first_not_of(outer);
    if (first != std::string_view::npos) {
        title = title.substr(first, title.find_last_not_of(outer) - first + 1);
    }
    std::string kept;
    for (char c : title) {
        if (c != '(' && c != ')' && c != '<' && c != '>') kept += c;
    }
    if (kept.empty()) return std::nullopt;
    if (kept.size() > LONGEST_TITLE) kept = kept.substr(0, CUT_TITLE) + "...";
    return kept;
}

// Length of the well-formed UTF-8 character XML accepts at text[at], 0 when there is none.
size_t utf8Length(std::string_view text, size_t at) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (size_t k = 2; k < length; ++k) {
        if (byte(at + k) < 0x80 || byte(at + k) > 0xBF) return 0;
    }
    // U+FFFE and U+FFFF are not XML characters.
    if (lead == 0xEF && byte(at + 1) == 0xBF && byte(at + 2) >= 0xBE) return 0;
    return length;
}

}  // namespace

std::string escapeSvgText(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const char c = text[at];
        const auto code = static_cast<unsigned char>(c);
        if (code >= 0x80) {
            const size_t length = utf8Length(text, at);
            if (length == 0) {
                escaped += '?';
                ++at;
            } else {
                escaped.append(text.substr(at, length));
                at += length;
            }
            continue;
        }
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            case '\t': case '\n': case '\r': escaped += c; break;
            default: escaped += code < 0x20 ? '?' : c; break;
        }
        ++at;
    }
    return escaped;
}

std::string svgHeader() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
           "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" \"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
           "xml:space=\"preserve\" font-family=\"monospace\" font-size=\"" +
           std::to_string(DOCUMENT_FONT_SIZE) + "\" fill=" + colorValue("White") +
           " stroke=" + colorValue("Black") + " viewBox=\"0 0 " + drawingNumber(PAGE_WIDTH) + ' ' +
           drawingNumber(PAGE_HEIGHT) + "\">";
}

std::string colorValue(std::string_view name) {
    static constexpr std::array<keywordValue, 11> colors{{
        {"White", "\"rgb(255,255,255)\""},
        {"Gray", "\"rgb(171,171,171)\""},
        {"Red", "\"rgb(255,0,0)\""},
        {"Pink", "\"rgb(255,128,255)\""},
        {"Orange", "\"rgb(255,171,0)\""},
        {"Yellow", "\"rgb(212,212,44)\""},
        {"Light Green", "\"rgb(0,255,0)\""},
        {"Green", "\"rgb(0,128,0)\""},
        {"Light Blue", "\"rgb(0,171,255)\""},
        {"Blue", "\"rgb(0,0,255)\""},
        {"Purple", "\"rgb(128,0,128)\""},
    }};
    for (const auto& [colorName, value] : colors) {
        if (colorName == name) return std::string(value);
    }
    return "\"rgb(0,0,0)\"";
}

bool structureImage::writeImage(const std::string& path) const {
    std::string svg = svgHeader();
    svg += '\n';
    if (pairs.empty()) {
        svg += textElement(NOTICE_XY, NOTICE_XY, NO_PAIRS_NOTICE);
        svg += '\n';
    } else {
        const double widthScale = PAGE_WIDTH / maxX;
        const double heightScale = (PAGE_HEIGHT - SPACE_BELOW_DRAWING) / maxY;
        const double scale = heightScale < widthScale ? heightScale : widthScale;
        svg += fillTemplate(SCALE_TEMPLATE, {{"SCALEFACTOR", drawingNumber(scale)}});
        svg += '\n';
        for (const auto& record : pairs) {
            const std::string arc = arcLine(record);
            if (arc.empty()) continue;
            svg += arc;
            svg += '\n';
        }
        for (const auto& record : nucleotides) {
            if (record.empty()) continue;  // linker bases are not drawn
            const std::string line = nucleotideLine(record, circleOutline);
            if (line.empty()) continue;
            svg += line;
            svg += '\n';
        }
        svg += GROUP_END;
        svg += '\n';
        svg += FONT_GROUP;
        svg += '\n';
        if (const auto shown = shownTitle(title)) {
            svg += textElement(TITLE_X, drawingNumber(TITLE_Y), escapeSvgText(*shown));
            svg += '\n';
        }
        svg += GROUP_END;
        svg += '\n';
    }
    svg += SVG_END;
    svg += '\n';

    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    file.write(svg.data(), static_cast<std::streamsize>(svg.size()));
    file.close();
    return !file.fail();
}

}  // namespace korvane
