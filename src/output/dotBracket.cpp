#include <algorithm>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "output/output.h"

namespace korvane {

namespace {

// Bracket pages in the order crossing pairs take them; then letter pairs A/a, B/b, ...
constexpr std::string_view OPENING = "([{<";
constexpr std::string_view CLOSING = ")]}>";
constexpr int LETTER_PAGES = 26;

char pageBracket(size_t page, bool opening) {
    if (page < OPENING.size()) return opening ? OPENING[page] : CLOSING[page];
    const char letter = static_cast<char>('A' + (page - OPENING.size()));
    return opening ? letter : static_cast<char>(letter - 'A' + 'a');
}

}  // namespace

std::string bracketNotation(std::span<const int> pairs, int n) {
    std::string line(static_cast<size_t>(std::max(n, 0)), '.');
    const size_t pageCount = OPENING.size() + LETTER_PAGES;
    // Per page the 3' ends of its open pairs; a pair fits a page when it nests inside them all.
    std::vector<std::vector<int>> open(pageCount);
    std::vector<int> pageOf(static_cast<size_t>(std::max(n, 0)) + 1, -1);
    for (int i = 1; i <= n && i < static_cast<int>(pairs.size()); ++i) {
        const int j = pairs[i];
        if (j < i) {
            if (j >= 1 && pageOf[j] >= 0 && pairs[j] == i) {
                const auto page = static_cast<size_t>(pageOf[j]);
                auto& stack = open[page];
                if (!stack.empty() && stack.back() == i) stack.pop_back();
                line[i - 1] = pageBracket(page, false);
            }
            continue;
        }
        if (j > n || pairs[j] != i) continue;
        for (size_t page = 0; page < pageCount; ++page) {
            auto& stack = open[page];
            if (!stack.empty() && stack.back() < j) continue;
            stack.push_back(j);
            pageOf[i] = static_cast<int>(page);
            line[i - 1] = pageBracket(page, true);
            break;
        }
    }
    return line;
}

bool writeDotBracket(const structure& record, const std::string& path) {
    const int n = record.nbases;
    const std::string sequence = n > 0 ? record.seqchars.substr(1, static_cast<size_t>(n)) : std::string();
    // nstructs never reaches capacity in a sound record; the bound keeps a broken one in its slots.
    const int last = std::min(record.nstructs, record.capacity - 1);
    std::string block;
    for (int k = 1; k <= last; ++k) {
        const auto partners = record.pairs(k);
        block += "> ";
        block += record.label[k];
        block += '\n';
        block += sequence;
        block += '\n';
        for (int i = 1; i <= n; ++i) {
            const int p = partners[i];
            block += p > i ? '(' : (p != 0 && p < i ? ')' : '.');
        }
        block += '\n';
    }
    return replaceFile(path, block);
}

}  // namespace korvane
