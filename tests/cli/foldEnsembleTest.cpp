#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "runFold.h"

namespace {

using korvane::testing::readFile;
using korvane::testing::runFold;
using korvane::testing::scratchFolder;

const std::string RECORD = ">t1 a tRNA\nGCGGAUUUAGCUCAGUUGGGAGAGCGCCAGACUGAAGAUCUGGAGGUCCUGUGUUCGAUCCACAGAAUUCGCACCA\n";
constexpr int LENGTH = 76;

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(foldEnsembleCli, probabilityTableAndBlockLine) {
    scratchFolder dir("fold_bpp", false);
    const auto result = runFold(dir.root, "--algorithm mea --bpp bpp", RECORD);
    ASSERT_EQ(result.status, 0) << result.err;
    const auto out = linesOf(result.out);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_TRUE(std::regex_match(out[2], std::regex(R"([().]{76} \( *-?\d+\.\d\d\) \[ *-\d+\.\d\d\] \{[01]\.\d{3}\})")))
        << out[2];

    const auto table = linesOf(readFile(dir.root / "bpp" / "t1.bpp"));
    ASSERT_GT(table.size(), static_cast<size_t>(LENGTH + 2));
    EXPECT_EQ(table[0].rfind("# t1 a tRNA (76 nt)", 0), 0u) << table[0];
    std::vector<double> paired(LENGTH + 1, 0.0);
    size_t k = 1;
    std::pair<int, int> previous{0, 0};
    for (; k < table.size() && table[k] != "# unpaired"; ++k) {
        std::istringstream line(table[k]);
        int i = 0, j = 0;
        double p = -1;
        std::string rest;
        ASSERT_TRUE(line >> i >> j >> p) << table[k];
        EXPECT_FALSE(line >> rest) << table[k];
        EXPECT_TRUE(1 <= i && i < j && j <= LENGTH) << table[k];
        EXPECT_TRUE(p >= 1e-5 && p <= 1.0) << table[k];
        EXPECT_LT(previous, std::pair(i, j));
        previous = {i, j};
        paired[i] += p;
        paired[j] += p;
    }
    ASSERT_EQ(table.size(), k + 1 + LENGTH) << "one unpaired line per position";
    for (int p = 1; p <= LENGTH; ++p) {
        std::istringstream line(table[k + p]);
        int at = 0;
        double q = -1;
        ASSERT_TRUE(line >> at >> q);
        EXPECT_EQ(at, p);
        // Pairs under 1e-5 are not listed: a position may miss a few of them.
        EXPECT_NEAR(q, 1.0 - paired[p], 2e-4) << p;
    }
}

TEST(foldEnsembleCli, dotPlotIsWellFormedSvg) {
    scratchFolder dir("fold_dotplot", false);
    const auto result = runFold(dir.root, "--algorithm threshknot --dotplot plots", RECORD + ">odd <&> title\nGGGGAAAACCCC\n");
    ASSERT_EQ(result.status, 0) << result.err;
    for (const char* name : {"t1.dotplot.svg", "odd.dotplot.svg"}) {
        const std::string path = (dir.root / "plots" / name).string();
        EXPECT_EQ(std::system(("xmllint --noout '" + path + "'").c_str()), 0) << name;
    }
    const std::string svg = readFile(dir.root / "plots" / "odd.dotplot.svg");
    EXPECT_NE(svg.find("odd &lt;&amp;&gt; title"), std::string::npos);
}

TEST(foldEnsembleCli, samplesFollowTheBlockAndRepeatWithTheSeed) {
    scratchFolder dir("fold_sample", false);
    const auto first = runFold(dir.root, "--sample 6 --seed 42", RECORD);
    const auto again = runFold(dir.root, "--sample 6 --seed 42", RECORD);
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, again.out);
    const auto out = linesOf(first.out);
    ASSERT_EQ(out.size(), 3u + 6u);
    for (size_t k = 3; k < out.size(); ++k) {
        EXPECT_TRUE(std::regex_match(out[k], std::regex(R"([().]{76} \( *-?\d+\.\d\d\))"))) << out[k];
        int depth = 0;
        for (char c : out[k].substr(0, LENGTH)) {
            depth += c == '(' ? 1 : (c == ')' ? -1 : 0);
            ASSERT_GE(depth, 0);
        }
        EXPECT_EQ(depth, 0);
    }
    // Without probabilities the block keeps its plain layout.
    const auto plain = runFold(dir.root, "", RECORD);
    EXPECT_TRUE(std::regex_match(linesOf(plain.out)[2], std::regex(R"([().]{76} \( *-?\d+\.\d\d\))")));
}

}  // namespace
