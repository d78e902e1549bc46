#include "structureFile.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>

#include "rna/alphabet.h"

namespace korvane {

namespace {

constexpr int CT_COLUMNS = 6;
constexpr int CT_PARTNER_COLUMN = 5;
constexpr std::string_view BLANKS = " \t\r\n\f\v";
constexpr std::string_view ENERGY_PREFIX = "ENERGY";

struct numberedLine {
    int number;
    std::string text;
};

constexpr size_t QUOTED_LIMIT = 40;  // longer file text is cut in messages

// File text for a message: cut short, with bytes that a terminal would not show as '?'.
std::string inQuotes(std::string_view text) {
    std::string out = "'";
    for (char ch : text.substr(0, QUOTED_LIMIT)) out += (ch >= ' ' && ch <= '~') ? ch : '?';
    if (text.size() > QUOTED_LIMIT) out += "...";
    out += '\'';
    return out;
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(BLANKS);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(BLANKS);
    return text.substr(first, last - first + 1);
}

bool isBlank(std::string_view text) { return trimmed(text).empty(); }

std::vector<std::string_view> tokens(std::string_view text) {
    std::vector<std::string_view> out;
    size_t p = 0;
    while ((p = text.find_first_not_of(BLANKS, p)) != std::string_view::npos) {
        const auto end = std::min(text.find_first_of(BLANKS, p), text.size());
        out.push_back(text.substr(p, end - p));
        p = end;
    }
    return out;
}

std::optional<int> integerOf(std::string_view token) {
    int value = 0;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (error != std::errc() || end != token.data() + token.size()) return std::nullopt;
    return value;
}

// Letters as the CT reader knows them, T read as U; anything else is refused rather than
// silently scored as an unknown base.
std::optional<int> codeOfLetter(char letter) {
    constexpr int LINKER_CODE = 5;
    if (letter == 'I') return LINKER_CODE;
    const int code = letterCode(letter);
    if (code == NOT_A_LETTER) return std::nullopt;
    return code;
}

std::string letterText(char letter) {
    if (letter >= ' ' && letter <= '~') return inQuotes(std::string(1, letter));
    return "byte " + std::to_string(static_cast<unsigned char>(letter));
}

// Tabs would split the output columns.
std::string cleanTitle(std::string_view text) {
    std::string title(trimmed(text));
    for (char& ch : title)
        if (ch == '\t') ch = ' ';
    return title;
}

}  // namespace

std::string ctHeaderTitle(std::string_view rest) {
    rest = trimmed(rest);
    if (rest.substr(0, ENERGY_PREFIX.size()) == ENERGY_PREFIX) {
        auto after = trimmed(rest.substr(ENERGY_PREFIX.size()));
        if (!after.empty() && after.front() == '=') {
            after = trimmed(after.substr(1));
            const auto end = std::min(after.find_first_of(BLANKS), after.size());
            const std::string_view value = after.substr(0, end);
            double ignored = 0;
            const auto parsed = std::from_chars(value.data(), value.data() + value.size(), ignored);
            if (!value.empty() && parsed.ec == std::errc() && parsed.ptr == value.data() + value.size()) {
                rest = after.substr(end);
            }
        }
    }
    return cleanTitle(rest);
}

namespace {

// Checks that partners are symmetric and nested; lineOf(i) is the file line of position i.
template <typename LineOf>
void checkPairing(const std::vector<int>& pairs, LineOf lineOf) {
    const int n = static_cast<int>(pairs.size()) - 1;
    for (int i = 1; i <= n; ++i) {
        const int j = pairs[i];
        if (j != 0 && pairs[j] != i) {
            throw inputError(lineOf(i), "position " + std::to_string(i) + " pairs with " + std::to_string(j) +
                                            ", but position " + std::to_string(j) + " pairs with " +
                                            std::to_string(pairs[j]));
        }
    }
    std::vector<int> open;
    for (int i = 1; i <= n; ++i) {
        const int j = pairs[i];
        if (j > i) {
            open.push_back(i);
        } else if (j != 0) {
            if (open.back() != j) {
                const int other = open.back();
                throw inputError(lineOf(i), "pair " + std::to_string(j) + "-" + std::to_string(i) + " crosses pair " +
                                                std::to_string(other) + "-" + std::to_string(pairs[other]) +
                                                "; only nested pairings can be scored");
            }
            open.pop_back();
        }
    }
}

std::vector<numberedLine> readLines(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) throw inputError(0, "is a directory, not a structure file");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw inputError(0, "cannot open the file");
    std::vector<numberedLine> lines;
    std::string text;
    int number = 0;
    while (std::getline(in, text)) {
        if (number == std::numeric_limits<int>::max()) throw inputError(number, "too many lines");
        lines.push_back({++number, std::move(text)});
    }
    if (in.bad()) throw inputError(number + 1, "read error");
    return lines;
}

std::vector<scoredStructure> readCt(const std::vector<numberedLine>& lines, size_t next) {
    std::vector<scoredStructure> out;
    while (next < lines.size()) {
        const numberedLine& header = lines[next++];
        if (isBlank(header.text)) continue;
        const auto headerTokens = tokens(header.text);
        const auto length = integerOf(headerTokens.front());
        if (!length || *length < 1) {
            throw inputError(header.number,
                             "expected a CT header starting with the sequence length, found " + inQuotes(headerTokens.front()));
        }
        const int n = *length;
        const auto afterLength = header.text.find(headerTokens.front()) + headerTokens.front().size();
        scoredStructure s;
        s.title = ctHeaderTitle(std::string_view(header.text).substr(afterLength));
        s.code.assign(1, 0);
        s.pairs.assign(1, 0);
        const size_t firstBase = next;
        for (int i = 1; i <= n; ++i) {
            if (next >= lines.size()) {
                throw inputError(header.number, "the file ends after " + std::to_string(i - 1) + " of the " +
                                                    std::to_string(n) + " nucleotide lines of this structure");
            }
            const numberedLine& line = lines[next++];
            const auto values = tokens(line.text);
            if (values.size() != CT_COLUMNS) {
                throw inputError(line.number, "expected " + std::to_string(CT_COLUMNS) + " values, found " +
                                                  std::to_string(values.size()));
            }
            const auto position = integerOf(values[0]);
            if (!position || *position != i) {
                throw inputError(line.number, "expected position " + std::to_string(i) + ", found " + inQuotes(values[0]));
            }
            const auto code = values[1].size() == 1 ? codeOfLetter(values[1][0]) : std::nullopt;
            if (!code) throw inputError(line.number, "unreadable base letter " + inQuotes(values[1]));
            for (int column : {3, 4, 6}) {
                if (!integerOf(values[column - 1])) {
                    throw inputError(line.number, "expected a number in column " + std::to_string(column) + ", found " +
                                                      inQuotes(values[column - 1]));
                }
            }
            const auto partner = integerOf(values[CT_PARTNER_COLUMN - 1]);
            if (!partner || *partner < 0 || *partner > n) {
                throw inputError(line.number, "expected a partner between 0 and " + std::to_string(n) + ", found " +
                                                  inQuotes(values[CT_PARTNER_COLUMN - 1]));
            }
            if (*partner == i) throw inputError(line.number, "position " + std::to_string(i) + " pairs with itself");
            s.code.push_back(*code);
            s.pairs.push_back(*partner);
        }
        checkPairing(s.pairs, [&](int i) { return lines[firstBase + i - 1].number; });
        out.push_back(std::move(s));
    }
    return out;
}

bool startsStructure(std::string_view text) {
    const std::string_view t = trimmed(text);
    return !t.empty() && (t.front() == '(' || t.front() == ')' || t.front() == '.');
}

// A structure line without the energy that folding programs print after it: " (-1.20)",
// " [-1.20]" or " ( -1.20)".
std::string_view withoutEnergy(std::string_view text) {
    text = trimmed(text);
    if (text.empty() || (text.back() != ')' && text.back() != ']')) return text;
    const size_t open = text.find_last_of(text.back() == ')' ? '(' : '[');
    if (open == std::string_view::npos || open == 0 || BLANKS.find(text[open - 1]) == std::string_view::npos) {
        return text;
    }
    const std::string_view value = trimmed(text.substr(open + 1, text.size() - open - 2));
    double ignored = 0;
    const auto parsed = std::from_chars(value.data(), value.data() + value.size(), ignored);
    if (value.empty() || parsed.ec != std::errc() || parsed.ptr != value.data() + value.size()) return text;
    return trimmed(text.substr(0, open));
}

// Dot-bracket records: a title line, the sequence on one or more lines, then the structure on
// one or more lines until it is as long as the sequence.
std::vector<scoredStructure> readDotBracket(const std::vector<numberedLine>& lines, size_t next) {
    std::vector<scoredStructure> out;
    const auto skipBlank = [&]() {
        while (next < lines.size() && isBlank(lines[next].text)) ++next;
    };
    const auto atTitle = [&]() { return next < lines.size() && trimmed(lines[next].text).front() == '>'; };
    const int lastLine = lines.empty() ? 1 : lines.back().number;
    for (skipBlank(); next < lines.size(); skipBlank()) {
        const numberedLine& header = lines[next++];
        const std::string_view head = trimmed(header.text);
        if (head.front() != '>') {
            throw inputError(header.number, "expected a title line starting with '>', found " + inQuotes(head));
        }
        scoredStructure s;
        s.title = cleanTitle(head.substr(1));
        s.code.assign(1, 0);

        skipBlank();
        if (next >= lines.size()) throw inputError(lastLine, "the file ends before the sequence of " + inQuotes(s.title));
        if (atTitle()) throw inputError(lines[next].number, "expected a sequence line, found a title line");
        for (; next < lines.size() && !atTitle() && !startsStructure(lines[next].text); ++next, skipBlank()) {
            const std::string_view letters = trimmed(lines[next].text);
            for (const char letter : letters) {
                const auto code = codeOfLetter(letter);
                if (!code) {
                    throw inputError(lines[next].number, "unreadable base letter " + letterText(letter) +
                                                             " at position " + std::to_string(s.code.size()));
                }
                s.code.push_back(*code);
            }
        }
        const int n = static_cast<int>(s.code.size()) - 1;
        if (n == 0) {
            throw inputError(lines[next].number, "expected a sequence line, found " + inQuotes(trimmed(lines[next].text)));
        }

        if (next >= lines.size()) throw inputError(lastLine, "the file ends before the structure of " + inQuotes(s.title));
        if (atTitle()) throw inputError(lines[next].number, "expected a structure line, found a title line");
        s.pairs.assign(n + 1, 0);
        std::vector<int> open;
        int p = 0;
        int structureLine = 0;
        while (p < n && next < lines.size() && !atTitle()) {
            structureLine = lines[next].number;
            if (p > 0 && !startsStructure(lines[next].text)) {
                throw inputError(structureLine, "expected the rest of the structure (" + std::to_string(n - p) +
                                                    " more characters), found " + inQuotes(trimmed(lines[next].text)));
            }
            const std::string_view brackets = withoutEnergy(lines[next].text);
            if (p + static_cast<int>(brackets.size()) > n) {
                throw inputError(structureLine, "the structure has " + std::to_string(p + brackets.size()) +
                                                    " characters, the sequence " + std::to_string(n));
            }
            for (const char ch : brackets) {
                ++p;
                if (ch == '(') {
                    open.push_back(p);
                } else if (ch == ')') {
                    if (open.empty()) {
                        throw inputError(structureLine, "')' at position " + std::to_string(p) + " has no matching '('");
                    }
                    s.pairs[p] = open.back();
                    s.pairs[open.back()] = p;
                    open.pop_back();
                } else if (ch != '.') {
                    throw inputError(structureLine, "unexpected character " + letterText(ch) + " at position " +
                                                        std::to_string(p) + " of the structure");
                }
            }
            ++next;
            skipBlank();
        }
        if (p < n) {
            throw inputError(structureLine, "the structure has " + std::to_string(p) + " characters, the sequence " +
                                                std::to_string(n));
        }
        if (!open.empty()) {
            throw inputError(structureLine, "'(' at position " + std::to_string(open.back()) + " is never closed");
        }
        out.push_back(std::move(s));
    }
    return out;
}

}  // namespace

inputError::inputError(int line, const std::string& message) : std::runtime_error(message), line(line) {}

std::vector<scoredStructure> readStructureFile(const std::string& path) {
    const auto lines = readLines(path);
    size_t first = 0;
    while (first < lines.size() && (isBlank(lines[first].text) || trimmed(lines[first].text).front() == '#')) ++first;
    if (first == lines.size()) throw inputError(0, "holds no structure");
    const bool dotBracket = trimmed(lines[first].text).front() == '>';
    auto structures = dotBracket ? readDotBracket(lines, first) : readCt(lines, first);
    return structures;
}

scoredStructure readDotBracketRecord(const std::string& title, const std::string& letters, const std::string& brackets) {
    constexpr std::string_view LINE_BREAKS = "\r\n";
    for (const auto& [text, what] : {std::pair{&title, "title"}, {&letters, "sequence"}, {&brackets, "structure"}}) {
        if (text->find_first_of(LINE_BREAKS) != std::string::npos)
            throw inputError(0, std::string("the ") + what + " holds a line break");
    }
    if (isBlank(letters)) throw inputError(0, "the sequence is empty");
    if (isBlank(brackets)) throw inputError(0, "the structure is empty");
    // Otherwise the line would be read as more sequence, and its fault named as a base letter.
    if (!startsStructure(brackets)) {
        throw inputError(0, "unexpected character " + letterText(trimmed(brackets).front()) +
                                " at position 1 of the structure");
    }
    // Line numbers are meaningless here; the messages stand without them.
    const std::vector<numberedLine> lines = {{0, "> " + title}, {0, letters}, {0, brackets}};
    auto structures = readDotBracket(lines, 0);
    return std::move(structures.front());
}

}  // namespace korvane
