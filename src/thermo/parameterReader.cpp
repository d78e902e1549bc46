#include "thermo/parameterReader.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <type_traits>

namespace korvane {

namespace {

constexpr int FIRST_BASE = 1;  // A; the files cover codes 1..4 only
constexpr int LAST_BASE = 4;   // U
constexpr int LINKER = 5;
constexpr int BLOCK_BASES = 4;

constexpr int LOOP_HEADER = 26;
constexpr int STACK_HEADER = 42;  // stack and coaxial
constexpr int MISMATCH_HEADER = 46;
constexpr int COMMON_BLOCK_HEADING = 60;
constexpr int DANGLE_BLOCK_HEADING = 60;
constexpr int INT_HEADER = 58;  // int11 and int21
constexpr int INT_BLOCK_HEADING = 114;
constexpr int INT21_LETTER_A = 67;  // 1-based heading positions
constexpr int INT21_LETTER_B = 79;
constexpr int INT21_BLOCKS = 24;
constexpr int INT22_HEADER = 340;
constexpr int INT22_BLOCK_HEADING = 49;
constexpr int INT22_LETTER_A = 39;
constexpr int INT22_LETTER_B = 42;
constexpr int INT22_LETTER_C = 43;
constexpr int INT22_LETTER_D = 46;
constexpr int INT22_BLOCKS = 36;
constexpr int SPECIAL_HEADER = 3;
constexpr int TLOOP_KEY_LENGTH = 6;
constexpr int TRILOOP_KEY_LENGTH = 5;
constexpr int HEXALOOP_KEY_LENGTH = 8;
constexpr int MISC_RECORDS = 14;
constexpr std::string_view MARKER = "-->";

// Fixed multibranch constants written together with miscellaneous record 4.
constexpr int LOOP_CONST_7 = 30;
constexpr int LOOP_CONST_8 = 30;
constexpr int LOOP_CONST_9 = -500;

// A value whose magnitude would not fit comfortably in the 32-bit cells is clamped, so that
// sums of many cells cannot overflow.
constexpr double MAX_MAGNITUDE = 1.0e6;

// Closing pairs of the int11 blocks and the pair columns of int11 and int21, as (5', 3').
constexpr std::array<std::array<int, 2>, 6> PAIR_ORDER = {{{1, 4}, {2, 3}, {3, 2}, {4, 1}, {3, 4}, {4, 3}}};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Length of the leading decimal number of a token (sign, digits, point, exponent); 0 if none.
size_t decimalPrefix(std::string_view token) {
    size_t i = 0;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
    size_t digits = 0;
    while (i < token.size() && token[i] >= '0' && token[i] <= '9') ++i, ++digits;
    if (i < token.size() && token[i] == '.') {
        ++i;
        while (i < token.size() && token[i] >= '0' && token[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        size_t j = i + 1;
        if (j < token.size() && (token[j] == '+' || token[j] == '-')) ++j;
        size_t expDigits = j;
        while (j < token.size() && token[j] >= '0' && token[j] <= '9') ++j;
        if (j > expDigits) i = j;
    }
    return i;
}

// Limits within which m * 10^k is one correctly rounded operation on exact operands: the
// mantissa and the power of ten are both held exactly by the type (Clinger's fast path).
template <typename T>
struct exactDecimalLimits;
template <>
struct exactDecimalLimits<float> {
    static constexpr std::uint64_t MAX_MANTISSA = std::uint64_t{1} << 24;
    static constexpr int MAX_POWER = 10;
};
template <>
struct exactDecimalLimits<double> {
    static constexpr std::uint64_t MAX_MANTISSA = std::uint64_t{1} << 53;
    static constexpr int MAX_POWER = 22;
};

constexpr int MAX_MANTISSA_DIGITS = 19;  // always fit in 64 bits
constexpr int MAX_EXPONENT_DIGITS = 4;   // far beyond any exact power

// 10^0 .. 10^MAX_POWER, each exact in T.
template <typename T>
constexpr auto POWERS_OF_TEN = [] {
    std::array<T, exactDecimalLimits<T>::MAX_POWER + 1> powers{};
    T power = 1;
    for (T& entry : powers) {
        entry = power;
        power *= 10;
    }
    return powers;
}();

// The value of a number in decimalPrefix's form when the fast path gives it exactly as the C
// library would (round to nearest, ties to even); nothing otherwise.
template <typename T>
std::optional<T> fastDecimalValue(std::string_view number) {
    using limits = exactDecimalLimits<T>;
    size_t i = 0;
    const bool negative = number[i] == '-';
    if (number[i] == '+' || number[i] == '-') ++i;
    std::uint64_t mantissa = 0;
    int digits = 0;
    int exponent = 0;
    for (bool fraction = false; i < number.size(); ++i) {
        if (number[i] == '.') {
            fraction = true;
            continue;
        }
        if (number[i] < '0' || number[i] > '9') break;
        if (++digits > MAX_MANTISSA_DIGITS) return std::nullopt;
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(number[i] - '0');
        if (fraction) --exponent;
    }
    if (i < number.size()) {  // the exponent part
        ++i;
        const bool negativeExponent = number[i] == '-';
        if (number[i] == '+' || number[i] == '-') ++i;
        if (number.size() - i > MAX_EXPONENT_DIGITS) return std::nullopt;
        int written = 0;
        for (; i < number.size(); ++i) written = written * 10 + (number[i] - '0');
        exponent += negativeExponent ? -written : written;
    }
    if (mantissa > limits::MAX_MANTISSA || exponent < -limits::MAX_POWER || exponent > limits::MAX_POWER) {
        return std::nullopt;
    }
    const auto magnitude = static_cast<T>(mantissa);
    const T value = exponent < 0 ? magnitude / POWERS_OF_TEN<T>[static_cast<size_t>(-exponent)]
                                 : magnitude * POWERS_OF_TEN<T>[static_cast<size_t>(exponent)];
    return negative ? -value : value;
}

// The value of a decimal number (decimalPrefix's form), correctly rounded to T exactly as strtof
// and strtod give it. Most file values take the fast path; std::from_chars takes no leading '+'
// and leaves overflow and underflow to the C library, whose infinities and tiny values the
// clamping expects.
template <typename T>
T decimalValue(std::string_view number) {
    if (const auto value = fastDecimalValue<T>(number)) return *value;
    const std::string_view digits = number.front() == '+' ? number.substr(1) : number;
    T value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error == std::errc() && end == digits.data() + digits.size()) return value;
    const std::string text(number);
    if constexpr (std::is_same_v<T, float>) {
        return std::strtof(text.c_str(), nullptr);
    } else {
        return std::strtod(text.c_str(), nullptr);
    }
}

// Tokens of one file, with the bookkeeping for its warnings.
class tokenReader {
public:
    tokenReader(std::string_view text, const std::string& path) : text_(text), path_(path) {}

    // Next token; empty once the file is exhausted. Like a stream, reaching the end while
    // reading (also right at the end of the last token) is remembered in metEnd().
    std::string_view next() {
        while (pos_ < text_.size() && isSpace(text_[pos_])) ++pos_;
        size_t start = pos_;
        while (pos_ < text_.size() && !isSpace(text_[pos_])) ++pos_;
        if (pos_ >= text_.size()) metEnd_ = true;
        return text_.substr(start, pos_ - start);
    }

    void skip(int count) {
        for (int k = 0; k < count; ++k) next();
    }

    bool metEnd() const { return metEnd_; }
    // True when not a single character, not even white space, follows the last token read.
    bool atFileEnd() const { return pos_ >= text_.size(); }

    // One token: "." is INFINITE, otherwise the leading number in double precision, rounded
    // to tenths.
    int entry() {
        std::string_view token = valueToken();
        if (token == ".") return INFINITE;
        return roundToTenths(leadingNumber(token, false));
    }

    // A number read in single precision, then rounded to tenths in double precision.
    int number() { return roundToTenths(leadingNumber(valueToken(), true)); }

    // As number(), but the integer part of v * 10 + 0.5 (truncation toward zero).
    int truncatedNumber() { return static_cast<int>(clamp(leadingNumber(valueToken(), true) * 10.0 + 0.5)); }

    // v * 10 as a float, not rounded.
    float scaledFloat() { return static_cast<float>(clamp(leadingNumber(valueToken(), true) * 10.0)); }

    int letter() { return baseCodeOfLetter(valueToken()); }

    // Reads tokens up to and including the next "-->"; false at the end of the file.
    bool findMarker() {
        while (true) {
            std::string_view token = next();
            if (token == MARKER) return true;
            if (token.empty()) return false;
        }
    }

    void reportWarnings() const {
        if (missing_ > 0)
            std::cerr << "warning: parameter file " << path_ << " ends early: " << missing_
                      << (missing_ == 1 ? " value is" : " values are") << " missing and read as 0\n";
        if (notNumbers_ > 0)
            std::cerr << "warning: parameter file " << path_ << ": " << notNumbers_
                      << (notNumbers_ == 1 ? " value has" : " values have") << " no leading number and "
                      << (notNumbers_ == 1 ? "was" : "were") << " read as 0\n";
        if (outOfRange_ > 0)
            std::cerr << "warning: parameter file " << path_ << ": " << outOfRange_
                      << (outOfRange_ == 1 ? " value is" : " values are") << " out of range and clamped\n";
    }

    const std::string& path() const { return path_; }

    // A file that gave none of its values, or a table every structure uses that lacks some,
    // would fold every sequence with silently wrong energies: such a file fails the load.
    bool usable(bool everyStructureUsesIt) const {
        if (missing_ == 0) return true;
        if (present_ == 0) {
            std::cerr << "error: parameter file " << path_ << " holds none of its values\n";
            return false;
        }
        if (!everyStructureUsesIt) return true;
        std::cerr << "error: parameter file " << path_ << " misses " << missing_
                  << (missing_ == 1 ? " value" : " values") << " of a table every structure uses\n";
        return false;
    }

private:
    std::string_view valueToken() {
        std::string_view token = next();
        if (token.empty()) ++missing_;
        else ++present_;
        return token;
    }

    double leadingNumber(std::string_view token, bool singlePrecision) {
        size_t length = decimalPrefix(token);
        if (length == 0) {
            if (!token.empty()) ++notNumbers_;
            return 0.0;
        }
        return singlePrecision ? static_cast<double>(decimalValue<float>(token.substr(0, length)))
                               : decimalValue<double>(token.substr(0, length));
    }

    double clamp(double value) {
        if (std::isfinite(value) && std::fabs(value) <= MAX_MAGNITUDE) return value;
        ++outOfRange_;
        return value < 0 ? -MAX_MAGNITUDE : MAX_MAGNITUDE;
    }

    int roundToTenths(double value) { return static_cast<int>(clamp(std::floor(value * 10.0 + 0.5))); }

    std::string_view text_;
    std::string path_;
    size_t pos_ = 0;
    bool metEnd_ = false;
    int missing_ = 0;
    int present_ = 0;
    int notNumbers_ = 0;
    int outOfRange_ = 0;
};

using grid4 = codeGrid<4>;

enum class edgeRule {
    stackRule,  // any 0 -> 0, otherwise INFINITE
    zeroRule,   // every such cell 0
    ruleT,
    ruleD,
    ruleDWithAu,
};

bool isBase(int code) { return code >= FIRST_BASE && code <= LAST_BASE; }

// Fills the cells of a 4-index table that hold code 0 or 5 somewhere.
void fillEdgeCells(grid4& table, edgeRule rule, const paramTables& tables) {
    for (int a = 0; a < CODES; ++a)
        for (int b = 0; b < CODES; ++b)
            for (int c = 0; c < CODES; ++c)
                for (int d = 0; d < CODES; ++d) {
                    if (isBase(a) && isBase(b) && isBase(c) && isBase(d)) continue;
                    int& cell = table[a][b][c][d];
                    bool anyZero = a == 0 || b == 0 || c == 0 || d == 0;
                    if (anyZero || rule == edgeRule::zeroRule) {
                        cell = 0;
                    } else if (rule == edgeRule::stackRule || a == LINKER || b == LINKER) {
                        cell = INFINITE;
                    } else if (rule == edgeRule::ruleT || (c == LINKER && d == LINKER)) {
                        cell = 0;
                    } else {
                        int au = rule == edgeRule::ruleDWithAu ? tables.pairAuPenalty(a, b) : 0;
                        cell = (c == LINKER ? tables.dangle[a][b][d][2] : tables.dangle[a][b][c][1]) + au;
                    }
                }
}

void readCommonLayout(tokenReader& in, int header, grid4& table, bool transposed) {
    in.skip(header);
    for (int a = FIRST_BASE; a <= LAST_BASE; ++a) {
        in.skip(COMMON_BLOCK_HEADING);
        for (int c = FIRST_BASE; c <= LAST_BASE; ++c)
            for (int b = FIRST_BASE; b <= LAST_BASE; ++b)
                for (int d = FIRST_BASE; d <= LAST_BASE; ++d) {
                    int value = in.entry();
                    (transposed ? table[b][a][c][d] : table[a][b][c][d]) = value;
                }
    }
}

void readDangle(tokenReader& in, paramTables& t) {
    for (int side = 1; side <= 2; ++side)
        for (int a = FIRST_BASE; a <= LAST_BASE; ++a) {
            in.skip(DANGLE_BLOCK_HEADING);
            for (int b = FIRST_BASE; b <= LAST_BASE; ++b)
                for (int c = FIRST_BASE; c <= LAST_BASE; ++c) t.dangle[a][b][c][side] = in.entry();
        }
    for (int a = 0; a < CODES; ++a)
        for (int b = 0; b < CODES; ++b)
            for (int c = 0; c < CODES; ++c)
                if (!isBase(a) || !isBase(b) || !isBase(c)) t.dangle[a][b][c][1] = t.dangle[a][b][c][2] = 0;
}

void readLoop(tokenReader& in, paramTables& t) {
    in.skip(LOOP_HEADER);
    for (int n = 1; n <= MAX_LOOP_TABLE; ++n) {
        in.skip(1);  // the size printed on the row
        t.internalLoop[n] = in.entry();
        t.bulgeLoop[n] = in.entry();
        t.hairpinLoop[n] = in.entry();
    }
}

int readSpecialHairpins(tokenReader& in, int keyLength, specialHairpins& list) {
    in.skip(SPECIAL_HEADER);
    int count = 0;
    std::string_view sequence = in.next();
    // a sequence that ends exactly at the end of the file, with no energy, is not stored
    while (count < MAX_SPECIAL_HAIRPINS && !in.metEnd()) {
        ++count;
        list[count][0] = specialHairpinKey(sequence, keyLength);
        list[count][1] = in.number();
        sequence = in.next();
    }
    return count;
}

bool readMiscloop(tokenReader& in, paramTables& t, int& recordWithoutMarker) {
    int record = 0;
    // a missing marker fails the load rather than reading past the end of the file
    auto nextRecord = [&] {
        ++record;
        if (in.findMarker()) return true;
        recordWithoutMarker = record;
        return false;
    };
    if (!nextRecord()) return false;
    t.loopExtrapolation = in.scaledFloat();
    if (!nextRecord()) return false;
    t.asymmetryMax = in.truncatedNumber();
    if (!nextRecord()) return false;
    for (int k = 1; k <= 4; ++k) t.asymmetryPenalty[k] = in.truncatedNumber();
    if (!nextRecord()) return false;
    t.loopConst[5] = in.number();
    t.loopConst[6] = in.number();
    t.loopConst[10] = in.number();
    for (int k = 1; k <= 4; ++k) t.loopConst[k] = 0;
    t.loopConst[7] = LOOP_CONST_7;
    t.loopConst[8] = LOOP_CONST_8;
    t.loopConst[9] = LOOP_CONST_9;
    if (!nextRecord()) return false;
    int first = in.number();
    if (in.atFileEnd()) {
        // short form: the file ends right after this number, which is dropped
        t.mbEvalOffset = t.loopConst[5];
        t.mbEvalPerUnpaired = t.loopConst[6];
        t.mbEvalPerHelix = t.loopConst[10];
        t.miscSixth = t.miscSeventh = t.terminalAuPenalty = t.gggHairpinBonus = 0;
        t.polyCSlope = t.polyCIntercept = t.polyC3 = t.intermolecularInit = t.singleCBulgeBonus = 0;
        return true;
    }
    t.mbEvalOffset = first;
    t.mbEvalPerUnpaired = in.number();
    t.mbEvalPerHelix = in.number();
    for (int* scalar : {&t.miscSixth, &t.miscSeventh, &t.terminalAuPenalty, &t.gggHairpinBonus, &t.polyCSlope,
                        &t.polyCIntercept, &t.polyC3, &t.intermolecularInit, &t.singleCBulgeBonus}) {
        if (!nextRecord()) return false;
        *scalar = in.number();
    }
    return true;
}

void readInt11(tokenReader& in, paramTables& t) {
    in.skip(INT_HEADER);
    for (const auto& [a, d] : PAIR_ORDER) {
        in.skip(INT_BLOCK_HEADING);
        for (int b = FIRST_BASE; b <= LAST_BASE; ++b)
            for (const auto& [c, f] : PAIR_ORDER)
                for (int e = FIRST_BASE; e <= LAST_BASE; ++e) t.int11[a][b][c][d][e][f] = in.number();
    }
}

void readInt21(tokenReader& in, paramTables& t) {
    in.skip(INT_HEADER);
    for (int block = 0; block < INT21_BLOCKS; ++block) {
        in.skip(INT21_LETTER_A - 1);
        int a = in.letter();
        in.skip(INT21_LETTER_B - INT21_LETTER_A - 1);
        int b = in.letter();
        in.skip(INT_BLOCK_HEADING - INT21_LETTER_B);
        int e = block % BLOCK_BASES + 1;
        for (int c = FIRST_BASE; c <= LAST_BASE; ++c)
            for (const auto& [f, g] : PAIR_ORDER)
                for (int d = FIRST_BASE; d <= LAST_BASE; ++d) t.int21[a][b][c][d][e][f][g] = in.number();
    }
}

void readInt22(tokenReader& in, paramTables& t) {
    in.skip(INT22_HEADER);
    for (int block = 0; block < INT22_BLOCKS; ++block) {
        in.skip(INT22_LETTER_A - 1);
        int a = in.letter();
        in.skip(INT22_LETTER_B - INT22_LETTER_A - 1);
        int b = in.letter();
        int c = in.letter();  // INT22_LETTER_C follows B directly
        in.skip(INT22_LETTER_D - INT22_LETTER_C - 1);
        int d = in.letter();
        in.skip(INT22_BLOCK_HEADING - INT22_LETTER_D);
        for (int e = FIRST_BASE; e <= LAST_BASE; ++e)
            for (int g = FIRST_BASE; g <= LAST_BASE; ++g)
                for (int f = FIRST_BASE; f <= LAST_BASE; ++f)
                    for (int h = FIRST_BASE; h <= LAST_BASE; ++h) t.int22[a][b][c][d][e][f][g][h] = in.number();
    }
}

// The whole file, or false when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string& content) {
    // A named pipe would block the load and a device such as /dev/zero would fill memory.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return false;
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    content.clear();
    std::array<char, 1 << 16> buffer;
    while (file.read(buffer.data(), buffer.size()) || file.gcount() > 0)
        content.append(buffer.data(), static_cast<size_t>(file.gcount()));
    return !file.bad();
}

}  // namespace

int baseCodeOfLetter(std::string_view text) {
    if (text.empty()) return 0;
    switch (text[0]) {
        case 'A': case 'B': return 1;
        case 'C': case 'Z': return 2;
        case 'G': case 'H': return 3;
        case 'U': case 'V': case 'T': case 'W': return 4;
        default: return 0;
    }
}

int specialHairpinKey(std::string_view sequence, int length) {
    int key = 0;
    int weight = 1;
    for (int p = 0; p < length; ++p, weight *= 5)
        if (static_cast<size_t>(p) < sequence.size()) key += baseCodeOfLetter(sequence.substr(p, 1)) * weight;
    return key;
}

int readParameterFiles(const parameterPaths& paths, paramTables& tables) {
    // Every file is read whole before any cell is written, in the order of the existence check.
    constexpr std::array<parameterFile, PARAMETER_FILE_COUNT> checkOrder = {
        miscloopFile, loopFile,    stackFile,   tstackhFile,    tstackiFile,   tloopFile,  dangleFile,
        int22File,    int21File,   triloopFile, coaxialFile,    tstackcoaxFile, coaxstackFile, tstackFile,
        tstackmFile,  hexaloopFile, tstacki23File, tstacki1nFile, int11File};
    parameterTexts contents;
    for (parameterFile file : checkOrder) {
        if (!readWholeFile(paths[file], contents[file])) {
            std::cerr << "error: parameter file " << paths[file] << " cannot be opened or read\n";
            return 0;
        }
    }
    return readParameterTexts(contents, paths, tables);
}

int readParameterTexts(const parameterTexts& contents, const parameterPaths& paths, paramTables& tables) {
    auto reader = [&](parameterFile file) { return tokenReader(contents[file], paths[file]); };
    paramTables& t = tables;

    // dangle before tstack and tstackm, miscloop before tstackm: their linker cells use both
    {
        tokenReader in = reader(miscloopFile);
        int recordWithoutMarker = 0;
        bool complete = readMiscloop(in, t, recordWithoutMarker);
        in.reportWarnings();
        if (complete && !in.usable(true)) return 0;
        if (!complete) {
            std::cerr << "error: parameter file " << in.path() << ": no \"-->\" marker before record "
                      << recordWithoutMarker << " of " << MISC_RECORDS << "\n";
            return 0;
        }
    }
    bool usable = true;
    auto read = [&](parameterFile file, auto&& body) {
        tokenReader in = reader(file);
        body(in);
        in.reportWarnings();
        if (!in.usable(file == stackFile || file == loopFile)) usable = false;
    };
    read(dangleFile, [&](tokenReader& in) { readDangle(in, t); });
    read(loopFile, [&](tokenReader& in) { readLoop(in, t); });
    read(stackFile, [&](tokenReader& in) { readCommonLayout(in, STACK_HEADER, t.stack, false); });
    read(tstackhFile, [&](tokenReader& in) { readCommonLayout(in, MISMATCH_HEADER, t.tstackh, false); });
    read(tstackiFile, [&](tokenReader& in) { readCommonLayout(in, MISMATCH_HEADER, t.tstacki, false); });
    read(tstacki23File, [&](tokenReader& in) { readCommonLayout(in, MISMATCH_HEADER, t.tstacki23, false); });
    read(tstacki1nFile, [&](tokenReader& in) { readCommonLayout(in, MISMATCH_HEADER, t.tstacki1n, false); });
    fillEdgeCells(t.stack, edgeRule::stackRule, t);
    fillEdgeCells(t.tstackh, edgeRule::ruleT, t);
    fillEdgeCells(t.tstacki, edgeRule::ruleT, t);
    fillEdgeCells(t.tstacki23, edgeRule::ruleT, t);
    fillEdgeCells(t.tstacki1n, edgeRule::ruleT, t);
    read(tloopFile, [&](tokenReader& in) { t.tloopCount = readSpecialHairpins(in, TLOOP_KEY_LENGTH, t.tloop); });
    read(int22File, [&](tokenReader& in) { readInt22(in, t); });
    read(int21File, [&](tokenReader& in) { readInt21(in, t); });
    read(triloopFile,
         [&](tokenReader& in) { t.triloopCount = readSpecialHairpins(in, TRILOOP_KEY_LENGTH, t.triloop); });
    read(hexaloopFile,
         [&](tokenReader& in) { t.hexaloopCount = readSpecialHairpins(in, HEXALOOP_KEY_LENGTH, t.hexaloop); });
    read(coaxialFile, [&](tokenReader& in) { readCommonLayout(in, STACK_HEADER, t.coaxial, true); });
    read(tstackcoaxFile, [&](tokenReader& in) { readCommonLayout(in, MISMATCH_HEADER, t.tstackcoax, false); });
    read(coaxstackFile, [&](tokenReader& in) { readCommonLayout(in, MISMATCH_HEADER, t.coaxstack, false); });
    read(tstackFile, [&](tokenReader& in) { readCommonLayout(in, MISMATCH_HEADER, t.tstack, false); });
    read(tstackmFile, [&](tokenReader& in) { readCommonLayout(in, MISMATCH_HEADER, t.tstackm, false); });
    fillEdgeCells(t.coaxial, edgeRule::stackRule, t);
    fillEdgeCells(t.tstackcoax, edgeRule::zeroRule, t);
    fillEdgeCells(t.coaxstack, edgeRule::zeroRule, t);
    fillEdgeCells(t.tstack, edgeRule::ruleD, t);
    fillEdgeCells(t.tstackm, edgeRule::ruleDWithAu, t);
    read(int11File, [&](tokenReader& in) { readInt11(in, t); });
    return usable ? 1 : 0;
}

}  // namespace korvane
