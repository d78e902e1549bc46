#include "thermo/parameterWriter.h"

#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace korvane {

namespace {

constexpr int TENTHS = 10;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// A number as the files write one, or the "." of an absent cell.
bool isNumberToken(std::string_view t) {
    if (t == ".") return true;
    size_t p = (t.size() > 1 && (t[0] == '-' || t[0] == '+')) ? 1 : 0;
    bool digits = false;
    bool point = false;
    for (; p < t.size(); ++p) {
        if (t[p] >= '0' && t[p] <= '9') {
            digits = true;
        } else if (t[p] == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

struct token {
    int file;
    size_t at;
    size_t length;
};

std::string tenthsText(int tenths) {
    const int magnitude = std::abs(tenths);
    return std::string(tenths < 0 ? "-" : "") + std::to_string(magnitude / TENTHS) + "." +
           std::to_string(magnitude % TENTHS);
}

int word(const paramTables& t, size_t w) {
    int v = 0;
    std::memcpy(&v, reinterpret_cast<const char*>(&t) + w * sizeof(int), sizeof(int));
    return v;
}

std::unique_ptr<paramTables> read(const parameterTexts& texts) {
    auto tables = makeParamTables();
    parameterPaths paths;
    for (int f = 0; f < PARAMETER_FILE_COUNT; ++f) paths[f] = std::string(PARAMETER_FILE_NAMES[f]);
    if (readParameterTexts(texts, paths, *tables) != 1) throw parameterWriteError("the model set cannot be read");
    return tables;
}

}  // namespace

parameterTexts rewriteParameterTexts(const parameterTexts& texts, const paramTables& values) {
    // Number every numeric token of every file, then read a copy in which each such token is
    // its own number: a cell then tells which token it came from.
    std::vector<token> tokens{{0, 0, 0}};
    parameterTexts marked;
    for (int f = 0; f < PARAMETER_FILE_COUNT; ++f) {
        const std::string& text = texts[f];
        std::string& out = marked[f];
        size_t p = 0;
        while (p < text.size()) {
            if (isSpace(text[p])) {
                out += text[p++];
                continue;
            }
            size_t end = p;
            while (end < text.size() && !isSpace(text[end])) ++end;
            const std::string_view t(text.data() + p, end - p);
            if (isNumberToken(t)) {
                out += std::to_string(tokens.size());
                tokens.push_back({f, p, end - p});
            } else {
                out += t;
            }
            p = end;
        }
    }
    const auto original = read(texts);
    const auto origin = read(marked);

    std::map<size_t, int> replaced;  // token -> tenths
    const size_t words = sizeof(paramTables) / sizeof(int);
    for (size_t w = 0; w < words; ++w) {
        const int wanted = word(values, w);
        if (wanted == word(*original, w)) continue;
        const int mark = word(*origin, w);
        const size_t k = mark > 0 && mark % TENTHS == 0 ? static_cast<size_t>(mark / TENTHS) : 0;
        if (k == 0 || k >= tokens.size())
            throw parameterWriteError("a changed cell is not read from a number of its own");
        const auto [at, fresh] = replaced.emplace(k, wanted);
        if (!fresh && at->second != wanted)
            throw parameterWriteError("two cells read from one number were given different values");
    }
    parameterTexts out = texts;
    // Replace from the back of each file so that earlier offsets stay valid.
    for (auto it = replaced.rbegin(); it != replaced.rend(); ++it) {
        const token& t = tokens[it->first];
        std::string text = tenthsText(it->second);
        // Right-aligned in the old token's width, so that columns stay lined up.
        if (text.size() < t.length) text.insert(0, t.length - text.size(), ' ');
        out[t.file].replace(t.at, t.length, text);
    }
    const auto check = read(out);
    for (size_t w = 0; w < words; ++w)
        if (word(*check, w) != word(values, w) && word(values, w) != word(*original, w))
            throw parameterWriteError("the rewritten set does not read back as given");
    return out;
}

}  // namespace korvane
