#include "thermo/parameterReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "parameterSetWriter.h"

using namespace korvane;
using namespace korvane::thermoTest;

namespace {

constexpr int A = 1, C = 2, G = 3, U = 4, I = 5;

class readerTest : public ::testing::Test {
protected:
    scratchFolder folder{"reader"};
    std::array<std::string, PARAMETER_FILE_COUNT> files = defaultSet();
    std::unique_ptr<paramTables> tables = makeParamTables();
    std::string warnings;  // standard error of the last read

    int read() {
        writeSet(folder.path(), files);
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        int result = readParameterFiles(pathsIn(folder.path()), *tables);
        warnings = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
        return result;
    }

    std::string pathOf(parameterFile file) const { return pathsIn(folder.path())[file]; }

};

// Counts the cells of one table that differ from the expected function; 0 when all match.
template <typename F>
int countQuadMismatches(const codeGrid<4>& table, F expected) {
    int wrong = 0;
    for (int a = 1; a <= 4; ++a)
        for (int b = 1; b <= 4; ++b)
            for (int c = 1; c <= 4; ++c)
                for (int d = 1; d <= 4; ++d) wrong += table[a][b][c][d] != expected(a, b, c, d);
    return wrong;
}

int countIntMismatches(const paramTables& t) {
    int wrong = 0;
    for (const auto& [a, d] : TEST_PAIR_ORDER)
        for (const auto& [c, f] : TEST_PAIR_ORDER)
            for (int b = 1; b <= 4; ++b)
                for (int e = 1; e <= 4; ++e) wrong += t.int11[a][b][c][d][e][f] != gridValue(std::array{a, b, c, d, e, f});
    for (const auto& [a, b] : TEST_PAIR_ORDER)
        for (const auto& [f, g] : TEST_PAIR_ORDER)
            for (int c = 1; c <= 4; ++c)
                for (int d = 1; d <= 4; ++d)
                    for (int e = 1; e <= 4; ++e)
                        wrong += t.int21[a][b][c][d][e][f][g] != gridValue(std::array{a, b, c, d, e, f, g});
    for (const auto& [a, c] : TEST_PAIR_ORDER)  // outer pair a-c, inner b-d
        for (const auto& [b, d] : TEST_PAIR_ORDER)
            for (int e = 1; e <= 4; ++e)
                for (int f = 1; f <= 4; ++f)
                    for (int g = 1; g <= 4; ++g)
                        for (int h = 1; h <= 4; ++h)
                            wrong += t.int22[a][b][c][d][e][f][g][h] != gridValue(std::array{a, b, c, d, e, f, g, h});
    return wrong;
}

// ---- reads

TEST_F(readerTest, CompleteSetLandsEveryValueInItsCell) {
    ASSERT_EQ(read(), 1);
    EXPECT_EQ(warnings, "");
    const paramTables& t = *tables;
    const std::array<std::pair<const codeGrid<4>*, int>, 9> plain = {{{&t.stack, 1}, {&t.tstackh, 2}, {&t.tstacki, 3},
                                                                      {&t.tstackcoax, 5}, {&t.coaxstack, 6}, {&t.tstack, 7},
                                                                      {&t.tstackm, 8}, {&t.tstacki23, 9}, {&t.tstacki1n, 10}}};
    for (const auto& [table, number] : plain)
        EXPECT_EQ(countQuadMismatches(*table, [n = number](int a, int b, int c, int d) { return quadValue(n, a, b, c, d); }), 0)
            << "table " << number;
    // coaxial is stored transposed
    EXPECT_EQ(countQuadMismatches(t.coaxial, [](int a, int b, int c, int d) { return quadValue(4, b, a, c, d); }), 0);
    EXPECT_EQ(t.coaxial[C][G][A][U], quadValue(4, G, C, A, U));
    EXPECT_EQ(countIntMismatches(t), 0);
    for (int a = 1; a <= 4; ++a)
        for (int b = 1; b <= 4; ++b)
            for (int c = 1; c <= 4; ++c)
                for (int side = 1; side <= 2; ++side) ASSERT_EQ(t.dangle[a][b][c][side], -(side * 100 + a * 16 + b * 4 + c));
    for (int n = 1; n <= 30; ++n) {
        EXPECT_EQ(t.internalLoop[n], n);
        EXPECT_EQ(t.bulgeLoop[n], 100 + n);
        EXPECT_EQ(t.hairpinLoop[n], 200 + n);
    }
    EXPECT_EQ(t.tloopCount, 2);
    EXPECT_EQ(t.tloop[1][0], 7343);  // GGGGAC
    EXPECT_EQ(t.tloop[1][1], -30);
    EXPECT_EQ(t.tloop[2][1], -25);
    EXPECT_EQ(t.triloopCount, 1);
    EXPECT_EQ(t.hexaloopCount, 0);
}

TEST_F(readerTest, MiscellaneousRecordsInTheirFields) {
    ASSERT_EQ(read(), 1);
    const paramTables& t = *tables;
    EXPECT_EQ(t.loopExtrapolation, static_cast<float>(static_cast<double>(1.079f) * 10.0));
    EXPECT_EQ(t.asymmetryMax, 30);
    EXPECT_EQ(t.asymmetryPenalty[1], 5);
    EXPECT_EQ(t.asymmetryPenalty[4], 5);
    EXPECT_EQ((std::array{t.loopConst[1], t.loopConst[4], t.loopConst[5], t.loopConst[6], t.loopConst[7],
                          t.loopConst[8], t.loopConst[9], t.loopConst[10]}),
              (std::array{0, 0, 34, 0, 30, 30, -500, 4}));
    EXPECT_EQ((std::array{t.mbEvalOffset, t.mbEvalPerUnpaired, t.mbEvalPerHelix}), (std::array{35, 1, 5}));
    EXPECT_EQ((std::array{t.terminalAuPenalty, t.gggHairpinBonus, t.polyCSlope, t.polyCIntercept, t.polyC3,
                          t.intermolecularInit, t.singleCBulgeBonus}),
              (std::array{5, -22, 3, 16, 14, 41, 0}));
}

TEST_F(readerTest, ValueKindsAndRounding) {
    files[stackFile] = commonText(42, [](int a, int b, int c, int d) {
        if (a == A && b == U && c == A) return std::string(std::array{"0.45", "-1.25", "1.25", "."}[d - 1]);
        if (a == C && b == G && c == G) return std::string(std::array{"+1.5", "2.5x", "1e1", "-.5"}[d - 1]);
        return std::string("0.0");
    });
    files[int11File] = int11Text([](const std::array<int, 6>& i) {
        if (i == std::array{A, A, C, U, A, G}) return std::string("0.45");
        if (i == std::array{A, A, C, U, C, G}) return std::string("1400.0");
        return std::string("-1.25");
    });
    files[tloopFile] = specialText({{"GGGGAC", "0.45"}});
    auto misc = defaultMiscRecords();
    misc[1] = "-0.3";
    misc[2] = "0.45 -0.3 0.3 -1.0";
    misc[3] = "-0.3 0.45 -1.25";
    files[miscloopFile] = miscText(misc);
    ASSERT_EQ(read(), 1);
    const paramTables& t = *tables;
    // entries: double precision
    EXPECT_EQ((std::array{t.stack[A][U][A][A], t.stack[A][U][A][C], t.stack[A][U][A][G], t.stack[A][U][A][U]}),
              (std::array{5, -12, 13, INFINITE}));
    EXPECT_EQ((std::array{t.stack[C][G][G][A], t.stack[C][G][G][C], t.stack[C][G][G][G], t.stack[C][G][G][U]}),
              (std::array{15, 25, 100, -5}));
    // numbers: single precision, so 0.45 is just below 4.5 tenths
    EXPECT_EQ(t.int11[A][A][C][U][A][G], 4);
    EXPECT_EQ(t.int11[A][A][C][U][C][G], INFINITE);
    EXPECT_EQ(t.int11[A][A][C][U][G][G], -12);
    EXPECT_EQ(t.tloop[1][1], 4);
    // truncated records 2 and 3 against plain numbers in record 4
    EXPECT_EQ(t.asymmetryMax, -2);
    EXPECT_EQ((std::array{t.asymmetryPenalty[1], t.asymmetryPenalty[2], t.asymmetryPenalty[3], t.asymmetryPenalty[4]}),
              (std::array{4, -2, 3, -9}));
    EXPECT_EQ((std::array{t.loopConst[5], t.loopConst[6], t.loopConst[10]}), (std::array{-3, 4, -12}));
    EXPECT_EQ(warnings, "");
}

// A decimal token of random form: sign, up to 25 digits around an optional point, exponent.
std::string randomDecimal(std::mt19937& random) {
    std::uniform_int_distribution<int> digit(0, 9), length(1, 25), coin(0, 3), exponent(-12, 8);
    std::string token = std::array{"", "-", "+", ""}[coin(random)];
    const int digits = length(random);
    const int point = std::uniform_int_distribution<int>(-1, digits)(random);
    for (int k = 0; k < digits; ++k) {
        if (k == point) token += '.';
        token += static_cast<char>('0' + digit(random));
    }
    if (coin(random) == 0) token += (coin(random) < 2 ? "e" : "E") + std::to_string(exponent(random));
    return token;
}

// floor(v * 10 + 0.5) with the reader's clamping of values beyond a million.
int expectedTenths(double value) {
    const double tenths = std::floor(value * 10.0 + 0.5);
    if (!std::isfinite(tenths) || std::fabs(tenths) > 1e6) return tenths < 0 ? -1'000'000 : 1'000'000;
    return static_cast<int>(tenths);
}

TEST_F(readerTest, NumbersConvertLikeTheCLibrary) {
    // int11 holds single-precision numbers, stack double-precision entries.
    std::mt19937 random(1999);
    std::vector<std::string> tokens = {"0.45", "-0.45", "1.05", "0.05", "-0.15", "1e1", "1.e1", ".5", "+.5",
                                       "3.4028236e38", "1e39", "-1e39", "1e-50", "1.4e-45", "7e-46",
                                       "0.44999999999999999999999", "0.0500000000000000000001",
                                       "16777217", "16777216.5", "16777216", "9007199254740993", "-0", "1e10",
                                       "1e11", "1e22", "1e23", "0.0000000001", "1e-11", "99999.95", "-99999.95",
                                       "123456.789"};
    // Halfway between two tenths, where the last bit of the conversion decides the rounding.
    std::uniform_int_distribution<int> whole(0, 99'999), tenth(0, 9), shift(0, 3);
    while (tokens.size() < 300) {
        std::string digits = std::to_string(whole(random)) + std::to_string(tenth(random)) + "5";
        const int places = 2 + shift(random);  // written with 2 decimals, or shifted by an exponent
        digits.insert(digits.size() - static_cast<size_t>(places), ".");
        tokens.push_back((tokens.size() % 2 == 0 ? "-" : "") + digits +
                         (places > 2 ? "e" + std::to_string(places - 2) : std::string()));
    }
    while (tokens.size() < 600) tokens.push_back(randomDecimal(random));
    std::map<std::array<int, 6>, std::string> singles;
    std::map<std::array<int, 4>, std::string> doubles;
    files[int11File] = int11Text([&](const std::array<int, 6>& i) {
        return singles[i] = tokens[singles.size() % tokens.size()];
    });
    files[stackFile] = commonText(42, [&](int a, int b, int c, int d) {
        return doubles[{a, b, c, d}] = tokens[(doubles.size() * 7 + 3) % tokens.size()];
    });
    ASSERT_EQ(read(), 1);
    for (const auto& [i, token] : singles) {
        EXPECT_EQ(tables->int11[i[0]][i[1]][i[2]][i[3]][i[4]][i[5]],
                  expectedTenths(std::strtof(token.c_str(), nullptr)))
            << token;
    }
    for (const auto& [i, token] : doubles) {
        EXPECT_EQ(tables->stack[i[0]][i[1]][i[2]][i[3]], expectedTenths(std::strtod(token.c_str(), nullptr)))
            << token;
    }
}

TEST_F(readerTest, SpecialHairpinLists) {
    std::vector<std::pair<std::string, std::string>> many;
    for (int k = 1; k <= 250; ++k) many.emplace_back("CUUCGG", tenthsToken(k));
    files[tloopFile] = specialText(many);
    files[triloopFile] = "triloop header only\n";
    files[hexaloopFile] = specialText({{"gggaacaa", "1.0"}, {"GgGGACGG", "2.0"}, {"GG", "3.0"}});
    ASSERT_EQ(read(), 1);
    const paramTables& t = *tables;
    EXPECT_EQ(t.tloopCount, 200);
    EXPECT_EQ(t.tloop[200][1], 200);
    EXPECT_EQ(t.triloopCount, 0);
    ASSERT_EQ(t.hexaloopCount, 3);
    EXPECT_EQ(t.hexaloop[1][0], 0);  // lower-case letters are digit 0
    EXPECT_EQ(t.hexaloop[2][0], specialHairpinKey("G?GGACGG", 8));
    EXPECT_EQ(t.hexaloop[3][0], 3 + 3 * 5);  // missing characters are digit 0
    EXPECT_EQ(specialHairpinKey("GGGGAC", 6), 7343);
    EXPECT_EQ(specialHairpinKey("gggaac", 6), 0);
    EXPECT_EQ(warnings, "");
}

TEST_F(readerTest, SequenceWithoutEnergyAtTheEnd) {
    files[tloopFile] = "header words here\nGGGGAC -3.0\nCUUCGG";
    files[triloopFile] = "header words here\nCAACG 1.0\nGUUAC\n";
    ASSERT_EQ(read(), 1);
    EXPECT_EQ(tables->tloopCount, 1);  // a sequence ending exactly at the end is not stored
    ASSERT_EQ(tables->triloopCount, 2);  // with a line end after it, it is, with energy 0
    EXPECT_EQ(tables->triloop[2][1], 0);
    EXPECT_EQ(warnings, "warning: parameter file " + pathOf(triloopFile) + " ends early: 1 value is missing and read as 0\n");
}

TEST_F(readerTest, CellsWithCodeZeroOrLinker) {
    ASSERT_EQ(read(), 1);
    const paramTables& t = *tables;
    const int au = t.terminalAuPenalty;
    ASSERT_NE(au, 0);
    EXPECT_EQ(t.tstack[A][U][I][G], t.dangle[A][U][G][2]);
    EXPECT_EQ(t.tstackm[A][U][I][G], t.dangle[A][U][G][2] + au);
    EXPECT_EQ(t.tstackm[A][U][C][I], t.dangle[A][U][C][1] + au);
    EXPECT_EQ(t.tstackm[C][G][I][G], t.dangle[C][G][G][2]);  // no U, no penalty
    EXPECT_EQ(t.tstack[G][U][I][I], 0);
    EXPECT_EQ(t.tstack[I][U][A][A], INFINITE);
    EXPECT_EQ(t.tstackm[A][I][A][A], INFINITE);
    EXPECT_EQ(t.tstacki[A][U][I][G], 0);
    EXPECT_EQ(t.tstackh[I][U][A][A], INFINITE);
    EXPECT_EQ(t.tstacki23[A][U][A][I], 0);
    EXPECT_EQ(t.stack[A][U][I][G], INFINITE);
    EXPECT_EQ(t.coaxial[A][I][G][C], INFINITE);
    EXPECT_EQ(t.tstackcoax[I][U][A][A], 0);
    EXPECT_EQ(t.coaxstack[A][U][A][I], 0);
    // a code 0 anywhere wins over 5
    EXPECT_EQ(t.stack[0][I][A][U], 0);
    EXPECT_EQ(t.stack[I][I][I][0], 0);
    EXPECT_EQ(t.coaxial[I][0][A][U], 0);
    EXPECT_EQ(t.tstack[A][0][I][G], 0);
    EXPECT_EQ(t.tstackh[A][U][0][A], 0);
    EXPECT_EQ(t.dangle[I][U][A][1], 0);
    EXPECT_EQ(t.dangle[A][0][A][2], 0);
    EXPECT_EQ(t.dangle[A][U][I][2], 0);
    // int tables keep INFINITE outside the file's cells
    EXPECT_EQ(t.int11[I][A][A][U][A][A], INFINITE);
    EXPECT_EQ(t.int11[A][A][A][A][A][A], INFINITE);  // A-A is no closing pair
    EXPECT_EQ(t.int21[A][U][0][A][A][A][U], INFINITE);
    EXPECT_EQ(t.int22[A][A][U][U][A][A][A][I], INFINITE);
}

TEST_F(readerTest, IntBlocksTakeTheirPairsFromTheHeadingLetters) {
    // the blocks in another order: only the heading letters can put them right
    files[int21File] = int21Text([](const auto& i) { return tenthsToken(gridValue(i)); },
                                 [](int k) { return TEST_PAIR_ORDER[5 - k / 4]; });
    files[int22File] = int22Text([](const auto& i) { return tenthsToken(gridValue(i)); }, [](int k) {
        auto outer = TEST_PAIR_ORDER[k % 6], inner = TEST_PAIR_ORDER[5 - k / 6];
        return std::array<int, 4>{outer[0], inner[0], outer[1], inner[1]};
    });
    ASSERT_EQ(read(), 1);
    EXPECT_EQ(countIntMismatches(*tables), 0);
    EXPECT_EQ(tables->int21[C][G][A][A][A][G][C], gridValue(std::array{C, G, A, A, A, G, C}));
    EXPECT_EQ(tables->int22[C][C][G][G][G][A][A][G], gridValue(std::array{C, C, G, G, G, A, A, G}));
}

TEST_F(readerTest, ShortMiscellaneousForm) {
    tables->terminalAuPenalty = 77;
    tables->polyC3 = 77;
    files[miscloopFile] = "a --> 1.079 b --> 3.0 c --> 0.5 0.5 0.5 0.5 d --> 3.4 0.1 0.4 e --> 9.9";
    ASSERT_EQ(read(), 1);
    const paramTables& t = *tables;
    EXPECT_EQ((std::array{t.mbEvalOffset, t.mbEvalPerUnpaired, t.mbEvalPerHelix}), (std::array{34, 1, 4}));
    EXPECT_EQ((std::array{t.terminalAuPenalty, t.polyC3, t.miscSixth, t.intermolecularInit}), (std::array{0, 0, 0, 0}));
    EXPECT_EQ(t.tstackm[A][U][I][G], t.dangle[A][U][G][2]);
}

// ---- rejects

TEST_F(readerTest, ShortFormWithALineEndIsReadAsLongAndFails) {
    files[miscloopFile] = "a --> 1.079 b --> 3.0 c --> 0.5 0.5 0.5 0.5 d --> 3.4 0.1 0.4 e --> 9.9\n";
    EXPECT_EQ(read(), 0);
    EXPECT_EQ(warnings, "warning: parameter file " + pathOf(miscloopFile) +
                            " ends early: 2 values are missing and read as 0\n"
                            "error: parameter file " + pathOf(miscloopFile) + ": no \"-->\" marker before record 6 of 14\n");
}

TEST_F(readerTest, MissingMarkerFailsTheLoad) {
    auto misc = defaultMiscRecords();
    files[miscloopFile] = miscText(misc).substr(0, miscText(misc).find("-->", 40)) + " 3.0 \n";
    EXPECT_EQ(read(), 0);
    EXPECT_NE(warnings.find("no \"-->\" marker before record 3 of 14"), std::string::npos) << warnings;
}

TEST_F(readerTest, UnopenableFileLeavesTheTablesUntouched) {
    writeSet(folder.path(), files);
    std::filesystem::remove(pathOf(int11File));
    tables->stack[A][U][A][U] = 1234;
    tables->asymmetryMax = 1234;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(readParameterFiles(pathsIn(folder.path()), *tables), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "error: parameter file " + pathOf(int11File) + " cannot be opened or read\n");
    EXPECT_EQ(tables->stack[A][U][A][U], 1234);
    EXPECT_EQ(tables->asymmetryMax, 1234);
    std::filesystem::create_directory(pathOf(int11File));  // a folder where a file belongs
    EXPECT_EQ(readParameterFiles(pathsIn(folder.path()), *tables), 0);
    EXPECT_EQ(tables->asymmetryMax, 1234);
}

TEST_F(readerTest, ShortStackFileFailsTheLoad) {
    // Every structure uses the stacks: zeros there would make every prediction silently wrong.
    std::istringstream tokens(files[stackFile]);
    std::string kept, token;
    for (int k = 0; k < 42 + 60 + 10 && tokens >> token; ++k) kept += token + " ";
    files[stackFile] = kept;
    ASSERT_EQ(read(), 0);
    EXPECT_EQ(warnings, "warning: parameter file " + pathOf(stackFile) +
                            " ends early: 246 values are missing and read as 0\n"
                            "error: parameter file " + pathOf(stackFile) +
                            " misses 246 values of a table every structure uses\n");
    EXPECT_EQ(tables->stack[A][G][A][C], quadValue(1, A, G, A, C));  // the tenth value read
    EXPECT_EQ(tables->stack[A][G][A][G], 0);
    EXPECT_EQ(tables->stack[U][A][U][A], 0);
    EXPECT_EQ(tables->tstackh[U][A][U][A], quadValue(2, U, A, U, A));  // the other files are whole
}

TEST_F(readerTest, ValuesWithoutLeadingNumberWarnOncePerFile) {
    files[tstackhFile] = commonText(46, [](int a, int b, int c, int d) {
        if (a == A && b == U && c == G) return std::string("--");
        if (a == G && d == C) return std::string("x1");
        return tenthsToken(quadValue(2, a, b, c, d));
    });
    files[int11File] = int11Text([](const std::array<int, 6>& i) { return i[1] == A && i[4] == A ? "." : "0.0"; });
    ASSERT_EQ(read(), 1);
    EXPECT_EQ(warnings, "warning: parameter file " + pathOf(tstackhFile) + ": 20 values have no leading number and were read as 0\n"
                        "warning: parameter file " + pathOf(int11File) + ": 36 values have no leading number and were read as 0\n");
    EXPECT_EQ(tables->tstackh[A][U][G][A], 0);
    EXPECT_EQ(tables->int11[A][A][A][U][A][U], 0);  // "." is no number
}

TEST(baseCodeOfLetterTest, MapsTheFirstCharacter) {
    EXPECT_EQ((std::array{baseCodeOfLetter("A"), baseCodeOfLetter("B"), baseCodeOfLetter("C"), baseCodeOfLetter("Z"),
                          baseCodeOfLetter("G"), baseCodeOfLetter("H"), baseCodeOfLetter("U"), baseCodeOfLetter("V"),
                          baseCodeOfLetter("T"), baseCodeOfLetter("W")}),
              (std::array{1, 1, 2, 2, 3, 3, 4, 4, 4, 4}));
    EXPECT_EQ((std::array{baseCodeOfLetter("a"), baseCodeOfLetter("N"), baseCodeOfLetter("X"), baseCodeOfLetter(""),
                          baseCodeOfLetter("-")}),
              (std::array{0, 0, 0, 0, 0}));
    EXPECT_EQ(baseCodeOfLetter("Gxyz"), 3);
    EXPECT_EQ(baseCodeOfLetter("uA"), 0);
}

}  // namespace
