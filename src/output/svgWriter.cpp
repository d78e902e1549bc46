#include "output/svgWriter.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <charconv>
#include <initializer_list>
#include <optional>
#include <vector>

#include "output/drawing.h"
#include "output/outputTarget.h"

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
constexpr size_t NUCLEOTIDE_TOKENS = 8;
constexpr size_t PAIR_TOKENS = 7;

constexpr std::string_view NO_PAIRS_NOTICE = "The given structure contains no pairs.";
constexpr std::string_view BLACK = "\"rgb(0,0,0)\"";
constexpr std::string_view WHITE = "\"rgb(255,255,255)\"";
// Typical sizes of a nucleotide line (a tenth of them with a label) and of an arc line, so that
// the whole file is built in one allocation.
constexpr size_t NUCLEOTIDE_LINE_CHARS = 340;
constexpr size_t ARC_LINE_CHARS = 110;
constexpr size_t FIXED_CHARS = 1024;
constexpr size_t MAX_PLAIN_DIGITS = 15;   // whole numbers this long convert exactly
constexpr size_t PLAIN_WHOLE_DIGITS = 6;  // longer whole numbers are written with an exponent

// The compiled elements, with the values that never change filled in.
const svgTemplate WHITE_CIRCLE(CIRCLE_TEMPLATE, {{"LINEWEIGHT", LINE_WEIGHT}, {"LOCX"}, {"LOCY"},
                                                 {"BACKGROUND", WHITE}, {"OUTLINE", WHITE}, {"RADIUS", CIRCLE_RADIUS}});
const svgTemplate OUTLINED_CIRCLE(CIRCLE_TEMPLATE, {{"LINEWEIGHT", LINE_WEIGHT}, {"LOCX"}, {"LOCY"},
                                                    {"BACKGROUND", WHITE}, {"OUTLINE", BLACK}, {"RADIUS", CIRCLE_RADIUS}});
const svgTemplate ARC(ARC_TEMPLATE, {{"CURVEWEIGHT", CURVE_WEIGHT}, {"X1"}, {"Y1"}, {"CONTROLX"}, {"CONTROLY"},
                                     {"X2"}, {"Y2"}, {"COLOR", BLACK}});
const svgTemplate LINE(LINE_TEMPLATE, {{"COLOR", BLACK}, {"LINEWEIGHT", LINE_WEIGHT}, {"STARTX"}, {"STARTY"},
                                       {"ENDX"}, {"ENDY"}});
const svgTemplate WHITE_BOX(BOX_TEMPLATE, {{"COLOR", WHITE}, {"LOCX"}, {"LOCY"}, {"WIDTH"}, {"HEIGHT"}});
const svgTemplate TEXT(TEXT_TEMPLATE, {{"COLOR", BLACK}, {"LOCX"}, {"LOCY"}, {"TEXTSTRING"}});
const svgTemplate SCALE(SCALE_TEMPLATE, {{"SCALEFACTOR"}});

// Replaces every occurrence of keyword; scanning resumes after the inserted value, so a value
// holding a keyword is left as it is.
void replaceKeyword(std::string& text, std::string_view keyword, std::string_view value) {
    size_t at = text.find(keyword);
    while (at != std::string::npos) {
        text.replace(at, keyword.size(), value);
        at = text.find(keyword, at + value.size());
    }
}

// Template slots are marked by the control characters 1..MAX_SLOTS while compiling.
char markOf(size_t slot) { return static_cast<char>(slot + 1); }

// The slot a character marks, svgTemplate::MAX_SLOTS for any other character.
size_t slotOf(char c) {
    const auto code = static_cast<unsigned char>(c);
    return code >= 1 && code <= svgTemplate::MAX_SLOTS ? code - 1 : svgTemplate::MAX_SLOTS;
}

bool hasUpperCase(std::string_view text) {
    bool found = false;
    // No early exit: the loop stays branch-free over these short values.
    for (const char c : text) found |= static_cast<unsigned char>(c - 'A') < 26;
    return found;
}

// True when some keyword could begin at the end of before and end in a value put right after
// it that has no upper-case letter: a keyword ending in a digit, such as X1 after an X.
[[maybe_unused]] bool keywordEndsInValue(std::string_view before, std::initializer_list<templateKeyword> keywords) {
    for (const auto& [keyword, fixedValue] : keywords) {
        for (size_t split = 1; split < keyword.size(); ++split) {
            if (before.ends_with(keyword.substr(0, split)) && !hasUpperCase(keyword.substr(split))) return true;
        }
    }
    return false;
}

// A number written into a buffer of its own, to be passed as a template value.
class numberText {
public:
    static numberText of(double value) {
        numberText text;
        text.length_ = static_cast<size_t>(writeDrawingNumber(text.buffer_.data(), value) - text.buffer_.data());
        return text;
    }
    static numberText ofInteger(long long value) {
        numberText text;
        const auto result = std::to_chars(text.buffer_.data(), text.buffer_.data() + text.buffer_.size(), value);
        text.length_ = static_cast<size_t>(result.ptr - text.buffer_.data());
        return text;
    }
    operator std::string_view() const { return {buffer_.data(), length_}; }

private:
    std::array<char, DRAWING_NUMBER_CHARS> buffer_;
    size_t length_ = 0;
};

void appendLine(std::string& out, std::string_view x1, std::string_view y1, std::string_view x2,
                std::string_view y2) {
    LINE.appendFilled(out, {x1, y1, x2, y2});
}

void appendText(std::string& out, std::string_view x, std::string_view y, std::string_view text) {
    TEXT.appendFilled(out, {x, y, text});
}

// The first N blank-separated words of record; returns how many it has, at most N.
template <size_t N>
size_t splitWords(std::string_view record, std::array<std::string_view, N>& words) {
    size_t count = 0;
    size_t at = 0;
    while (count < N) {
        while (at < record.size() && record[at] == ' ') ++at;
        if (at == record.size()) break;
        const size_t start = at;
        while (at < record.size() && record[at] != ' ') ++at;
        words[count++] = record.substr(start, at - start);
    }
    return count;
}

// The value of a word made of an optional '-' and one to MAX_PLAIN_DIGITS digits, which a
// double holds exactly; nothing for any other word.
std::optional<double> plainInteger(std::string_view word) {
    const bool negative = !word.empty() && word.front() == '-';
    if (negative) word.remove_prefix(1);
    if (word.empty() || word.size() > MAX_PLAIN_DIGITS) return std::nullopt;
    long long digits = 0;
    for (const char c : word) {
        if (c < '0' || c > '9') return std::nullopt;
        digits = digits * 10 + (c - '0');
    }
    const auto value = static_cast<double>(digits);
    return negative ? -value : value;
}

// The leading number of a word as std::from_chars reads it, 0 when there is none.
double toNumber(std::string_view word) {
    // Plain integers, nearly every word of a record, convert without the general parser.
    if (const auto value = plainInteger(word)) return *value;
    double value = 0;
    std::from_chars(word.data(), word.data() + word.size(), value);
    return value;
}

// A number word of a record: its value and the text the drawing writes for it. A whole number
// of up to six digits without a leading zero, as the layout writes every coordinate up to
// 33,333 bases, is already in that form and is kept as it is; any other word is formatted anew
// from its value.
class recordNumber {
public:
    explicit recordNumber(std::string_view word) {
        if (const auto value = plainInteger(word)) {
            value_ = *value;
            const std::string_view digits = word.substr(word.front() == '-' ? 1 : 0);
            if (digits.size() <= PLAIN_WHOLE_DIGITS && (digits.size() == 1 || digits.front() != '0')) {
                text_ = word;
                return;
            }
        } else {
            value_ = toNumber(word);
        }
        text_ = {buffer_.data(), static_cast<size_t>(writeDrawingNumber(buffer_.data(), value_) - buffer_.data())};
    }
    // text_ may point into buffer_
    recordNumber(const recordNumber&) = delete;
    recordNumber& operator=(const recordNumber&) = delete;

    double value() const { return value_; }
    std::string_view text() const { return text_; }

private:
    std::array<char, DRAWING_NUMBER_CHARS> buffer_;
    double value_ = 0;
    std::string_view text_;
};

int labelDigits(long long number) {
    if (number < 10) return 1;
    if (number < 100) return 2;
    if (number < 1000) return 3;
    if (number < 10000) return 4;
    return 5;
}

// Appends the elements of one nucleotide record; false (nothing appended) for a short record.
bool appendNucleotideLine(std::string& out, std::string_view record, bool circleOutline) {
    std::array<std::string_view, NUCLEOTIDE_TOKENS> words;
    if (splitWords(record, words) < NUCLEOTIDE_TOKENS) return false;
    const std::string_view letter = words[0];
    const recordNumber x(words[1]);
    const recordNumber y(words[2]);
    const recordNumber nextX(words[3]);
    const recordNumber nextY(words[4]);
    const recordNumber labelX(words[5]);
    const recordNumber labelY(words[6]);
    const auto labelNumber = static_cast<long long>(toNumber(words[7]));

    if (nextX.value() != -1 && nextY.value() != -1) {
        appendLine(out, x.text(), y.text(), nextX.text(), nextY.text());
        out += ' ';
    }
    if (labelX.value() != -1 && labelY.value() != -1) {
        const double width = LABEL_DIGIT_WIDTH * labelDigits(labelNumber);
        const numberText left = numberText::of(labelX.value() - width / 2);
        appendLine(out, x.text(), y.text(), labelX.text(), labelY.text());
        out += ' ';
        WHITE_BOX.appendFilled(out, {left, numberText::of(labelY.value() - LABEL_HALF_HEIGHT), numberText::of(width),
                                     numberText::of(BOX_HEIGHT)});
        out += ' ';
        appendText(out, left,
                   numberText::of(labelY.value() - LABEL_HALF_HEIGHT + BOX_HEIGHT - LABEL_BASELINE_RISE),
                   numberText::ofInteger(labelNumber));
        out += ' ';
    }
    (circleOutline ? OUTLINED_CIRCLE : WHITE_CIRCLE).appendFilled(out, {x.text(), y.text()});
    out += ' ';
    const double drop = letter == "g" ? LOWER_G_DROP : TEXT_BASELINE_DROP;
    appendText(out, numberText::ofInteger(static_cast<long long>(x.value() - LETTER_SHIFT_X)),
               numberText::ofInteger(static_cast<long long>(y.value() + drop)), escapeSvgText(letter));
    return true;
}

// Appends the arc of one pair record, its coordinates as the record's words; false (nothing
// appended) for a short record.
bool appendArcLine(std::string& out, std::string_view record) {
    std::array<std::string_view, PAIR_TOKENS> words;
    if (splitWords(record, words) < PAIR_TOKENS) return false;
    ARC.appendFilled(out, {words[1], words[2], words[3], words[4], words[5], words[6]});
    return true;
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
    // Counted in characters, so that the cut never splits one; a byte that begins no character
    // counts as one, as it is shown as one.
    size_t characters = 0;
    size_t cut = kept.size();
    for (size_t at = 0; at < kept.size(); ++characters) {
        if (characters == CUT_TITLE) cut = at;
        at += std::max<size_t>(utf8Length(kept, at), 1);
    }
    if (characters > LONGEST_TITLE) kept = kept.substr(0, cut) + "...";
    return kept;
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
        {"White", WHITE},
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
    return std::string(BLACK);
}

std::string fillTemplate(std::string_view pattern, std::initializer_list<keywordValue> values) {
    std::string text(pattern);
    for (const auto& [keyword, value] : values) replaceKeyword(text, keyword, value);
    return text;
}

svgTemplate::svgTemplate(std::string_view pattern, std::initializer_list<templateKeyword> keywords)
    : pattern_(pattern) {
    assert(std::none_of(pattern.begin(), pattern.end(), [](char c) { return slotOf(c) != NO_SLOT; }));
    // Replacing each keyword with its fixed value, or with one control character per slot,
    // shows where every value goes. A control character cannot take part in a later keyword,
    // and neither can a value without upper-case letters (see appendFilled).
    std::string marked(pattern);
    for (const auto& [keyword, fixedValue] : keywords) {
        // every value inserted so far is searched for this keyword
        std::fill_n(searchedLater_.begin(), slotCount_, true);
        keywords_.emplace_back(keyword, fixedValue);
        if (fixedValue) {
            replaceKeyword(marked, keyword, *fixedValue);
        } else {
            assert(slotCount_ < MAX_SLOTS);
            replaceKeyword(marked, keyword, std::string(1, markOf(slotCount_)));
            ++slotCount_;
        }
    }

    std::vector<size_t> ends;
    for (size_t at = 0; at < marked.size(); ++at) {
        const size_t slot = slotOf(marked[at]);
        if (slot == NO_SLOT) {
            pieces_ += marked[at];
            continue;
        }
        assert(at == 0 || slotOf(marked[at - 1]) == NO_SLOT);
        assert(!keywordEndsInValue(std::string_view(marked).substr(0, at), keywords));
        segments_.push_back({{}, slot});
        ends.push_back(pieces_.size());
        ++slotUses_[slot];
    }
    segments_.push_back({{}, NO_SLOT});
    ends.push_back(pieces_.size());
    // Views are taken once pieces_ has its final size.
    size_t start = 0;
    for (size_t k = 0; k < segments_.size(); ++k) {
        segments_[k].text = std::string_view(pieces_).substr(start, ends[k] - start);
        start = ends[k];
    }
}

std::string svgTemplate::replaced(std::initializer_list<std::string_view> values) const {
    std::string text(pattern_);
    const std::string_view* value = values.begin();
    for (const auto& [keyword, fixedValue] : keywords_) replaceKeyword(text, keyword, fixedValue ? *fixedValue : *value++);
    return text;
}

void svgTemplate::appendFilled(std::string& out, std::initializer_list<std::string_view> values) const {
    assert(values.size() == slotCount_);
    const std::string_view* value = values.begin();
    size_t length = pieces_.size();
    bool compiled = true;
    for (size_t slot = 0; slot < slotCount_; ++slot) {
        length += slotUses_[slot] * value[slot].size();
        // An upper-case letter in a value could form a keyword replaced after it, and so could
        // the texts on both sides of an empty value. Drawings never hold such values; they take
        // the plain replacement.
        if (searchedLater_[slot] && (value[slot].empty() || hasUpperCase(value[slot]))) compiled = false;
    }
    if (!compiled) {
        out += replaced(values);
        return;
    }
    const size_t at = out.size();
    out.resize(at + length);
    char* write = out.data() + at;
    for (const auto& [text, slot] : segments_) {
        write = std::copy(text.begin(), text.end(), write);
        if (slot != NO_SLOT) write = std::copy(value[slot].begin(), value[slot].end(), write);
    }
}

bool structureImage::writeImage(const std::string& path) const {
    std::string svg;
    svg.reserve(FIXED_CHARS + NUCLEOTIDE_LINE_CHARS * nucleotides.size() + ARC_LINE_CHARS * pairs.size());
    svg += svgHeader();
    svg += '\n';
    if (pairs.empty()) {
        appendText(svg, NOTICE_XY, NOTICE_XY, NO_PAIRS_NOTICE);
        svg += '\n';
    } else {
        const double widthScale = PAGE_WIDTH / maxX;
        const double heightScale = (PAGE_HEIGHT - SPACE_BELOW_DRAWING) / maxY;
        const double scale = heightScale < widthScale ? heightScale : widthScale;
        SCALE.appendFilled(svg, {numberText::of(scale)});
        svg += '\n';
        for (const auto& record : pairs) {
            if (appendArcLine(svg, record)) svg += '\n';
        }
        for (const auto& record : nucleotides) {
            if (record.empty()) continue;  // linker bases are not drawn
            if (appendNucleotideLine(svg, record, circleOutline)) svg += '\n';
        }
        svg += GROUP_END;
        svg += '\n';
        svg += FONT_GROUP;
        svg += '\n';
        if (const auto shown = shownTitle(title)) {
            appendText(svg, TITLE_X, numberText::of(TITLE_Y), escapeSvgText(*shown));
            svg += '\n';
        }
        svg += GROUP_END;
        svg += '\n';
    }
    svg += SVG_END;
    svg += '\n';

    return replaceFile(path, svg);
}

}  // namespace korvane
