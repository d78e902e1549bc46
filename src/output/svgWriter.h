#pragma once
// SVG text pieces shared by the drawing writer.

#include <array>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvane {

// The three head lines of every picture (XML declaration, SVG 1.1 DOCTYPE, svg start tag),
// joined by line feeds, without a final line end.
std::string svgHeader();

// SVG colour text, double quotes included, for a colour name compared exactly ("White" gives
// "\"rgb(255,255,255)\""); unknown names give black.
std::string colorValue(std::string_view name);

// Text made safe for an SVG element: &, <, > and " become entities, characters XML cannot carry
// (control characters other than tab, line feed and carriage return, bytes that are not UTF-8)
// become '?'.
std::string escapeSvgText(std::string_view text);

// A keyword of a template and the text that stands for it.
struct keywordValue {
    std::string_view keyword;
    std::string_view value;
};

// Fills a template by replacing the keywords in the order given: every occurrence of a keyword
// is replaced; scanning for it resumes after the inserted value, so that value is not searched
// for the same keyword again (later keywords are searched in the whole text so far).
std::string fillTemplate(std::string_view pattern, std::initializer_list<keywordValue> values);

// One keyword of a compiled template, with its value when that is the same in every use.
struct templateKeyword {
    std::string_view keyword;
    std::optional<std::string_view> fixedValue = std::nullopt;
};

// A template compiled once into text pieces and value slots, so that filling it is a run of
// copies. The result is always that of fillTemplate with the same keywords in the same order.
class svgTemplate {
public:
    static constexpr size_t MAX_SLOTS = 8;

    // keywords in replacement order; at most MAX_SLOTS of them without a fixed value. No keyword
    // may stand right after another, nor after text that a number would complete to a keyword
    // (an X before X1's slot); every SVG element qualifies.
    svgTemplate(std::string_view pattern, std::initializer_list<templateKeyword> keywords);

    // Appends the filled template to out; values go to the keywords without a fixed value, in
    // their order.
    void appendFilled(std::string& out, std::initializer_list<std::string_view> values) const;

    const std::string& pattern() const { return pattern_; }

    // The segments point into pieces_, which never changes after construction.
    svgTemplate(const svgTemplate&) = delete;
    svgTemplate& operator=(const svgTemplate&) = delete;

private:
    // A piece of pieces_, then the value of a slot (none after the last piece).
    struct segment {
        std::string_view text;
        size_t slot;
    };
    static constexpr size_t NO_SLOT = MAX_SLOTS;

    // The plain replacement, for values that the compiled pieces cannot take.
    std::string replaced(std::initializer_list<std::string_view> values) const;

    std::string pattern_;
    std::vector<std::pair<std::string, std::optional<std::string>>> keywords_;
    std::string pieces_;  // the pattern filled with its fixed values, without its slots
    std::vector<segment> segments_;
    size_t slotCount_ = 0;
    // A slot whose keyword is followed by others: its value is searched for them.
    std::array<bool, MAX_SLOTS> searchedLater_{};
    std::array<size_t, MAX_SLOTS> slotUses_{};  // occurrences of each slot's keyword
};

}  // namespace korvane
