#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "output/drawing.h"
#include "fold/mfe.h"
#include "output/output.h"
#include "rna/sequence.h"
#include "runFold.h"
#include "thermo/parameterSets.h"

namespace {

using korvane::testing::readFile;
using korvane::testing::runFold;
using korvane::testing::scratchFolder;
using korvane::testing::writeFile;

std::string randomRna(std::mt19937& rng, int length) {
    std::string s;
    for (int p = 0; p < length; ++p) s += "ACGU"[rng() % 4];
    return s;
}

// Title, sequence, structure lines of each block on standard output.
std::vector<std::vector<std::string>> blocks(const std::string& out) {
    std::vector<std::vector<std::string>> found;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '>') found.push_back({});
        if (!found.empty()) found.back().push_back(line);
    }
    return found;
}

TEST(foldCli, foldsEveryRecordOfStandardInputAndReportsTheBadOnes) {
    scratchFolder dir("fold_stdin", false);
    const std::string input =
        ">first hairpin\r\nGGGGAAAACCCC\r\n"
        ">bad\nGGGZAAAACCC\n"
        ">empty\n"
        ">lower and T\nggggaaaacccc\n((((....))))\n"
        ">split\nGGGGAA\nAACCCC\n";
    const auto result = runFold(dir.root, "", input);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out,
              ">first hairpin\nGGGGAAAACCCC\n((((....)))) ( -5.40)\n"
              ">lower and T\nggggaaaacccc\n((((....)))) ( -5.40)\n"
              ">split\nGGGGAAAACCCC\n((((....)))) ( -5.40)\n");
    EXPECT_EQ(result.err,
              "korvane-fold: -: record 2 (bad): line 4, column 4: 'Z' is not a sequence letter\n"
              "korvane-fold: -: record 3 (empty): empty record: no sequence\n");

    // Bare lines are records of their own; nothing pairable is an open chain, not an error.
    const auto bare = runFold(dir.root, "-", "GGGGAAAACCCC\n\nACGUACGU\n");
    EXPECT_EQ(bare.status, 0);
    EXPECT_EQ(bare.out, ">seq1\nGGGGAAAACCCC\n((((....)))) ( -5.40)\n>seq2\nACGUACGU\n........ (  0.00)\n");
}

TEST(foldCli, threadsChangeNoByteAndFilesGetSafeUniqueNames) {
    scratchFolder dir("fold_threads", false);
    std::mt19937 rng(3);
    std::string input;
    for (int r = 0; r < 150; ++r) {
        input += ">r";
        input += std::to_string(r % 140);
        input += "/x y\n";
        input += randomRna(rng, 20 + rng() % 400);
        input += '\n';
    }
    writeFile(dir.root / "in.fa", input);
    const auto one = runFold(dir.root, "-j 1 --ct ct1 --dp dp1 in.fa");
    const auto three = runFold(dir.root, "--jobs 3 --ct ct3 --dp dp3 in.fa");
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(three.status, 0);
    EXPECT_EQ(one.out, three.out);
    EXPECT_EQ(blocks(one.out).size(), 150u);
    for (const char* name : {"r0_x", "r0_x_2", "r139_x"}) {
        const std::string ct = readFile(dir.root / "ct1" / (std::string(name) + ".ct"));
        EXPECT_FALSE(ct.empty()) << name;
        EXPECT_EQ(ct, readFile(dir.root / "ct3" / (std::string(name) + ".ct"))) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.root / "ct1" / "r140_x.ct"));
}

TEST(foldCli, greedyFilesEqualTheBatchProgramsOutputs) {
    scratchFolder batch("fold_batch");
    std::mt19937 rng(17);
    std::string all;
    for (int r = 0; r < 12; ++r) {
        const std::string name = "g" + std::to_string(r);
        std::string record = ">";
        record += name;
        record += '\n';
        record += randomRna(rng, 60 + 70 * r);
        record += '\n';
        batch.addSequence(name + ".fasta", record);
        all += record;
    }
    for (const char* example : {"yeast_tRNA-Phe.fasta", "hiv1_tar.fasta"}) {
        const std::string text = readFile(std::filesystem::path(KORVANE_SOURCE_DIR) / "sequences" / example);
        if (text.empty()) continue;
        batch.addSequence(example, text);
        all += text + "\n";
    }
    ASSERT_EQ(batch.run(std::string(64, '\n')).status, 0);
    writeFile(batch.root / "all.fa", all);
    const auto folded = runFold(batch.root, "--ct ct --dp dp all.fa");
    ASSERT_EQ(folded.status, 0) << folded.err;
    int compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(batch.root / "sequences")) {
        const std::string file = entry.path().filename().string();
        if (file.size() < 8 || file.substr(file.size() - 8) != "_varn.ct") continue;
        const std::string stem = file.substr(0, file.size() - 8);
        const std::string title = readFile(batch.root / "sequences" / (stem + ".fasta"));
        const std::string name = title.substr(1, title.find_first_of(" \n") - 1);
        const std::string dp = readFile(batch.root / "sequences" / (stem + "_varn.dp"));
        EXPECT_EQ(readFile(batch.root / "ct" / (name + ".ct")), readFile(entry.path())) << stem;
        // The batch program leaves the dot-bracket file empty when nothing was assembled.
        if (!dp.empty()) {
            EXPECT_EQ(readFile(batch.root / "dp" / (name + ".dp")), dp) << stem;
        }
        ++compared;
    }
    EXPECT_GE(compared, 12);
}

TEST(foldCli, longSequencesFoldWithoutAPoolLimit) {
    scratchFolder dir("fold_long", false);
    std::mt19937 rng(5);
    const std::string sequence = randomRna(rng, 5000);
    const auto result = runFold(dir.root, "-q", ">long\n" + sequence + "\n");
    ASSERT_EQ(result.status, 0) << result.err;
    const auto found = blocks(result.out);
    ASSERT_EQ(found.size(), 1u);
    const std::string& line = found[0][2];
    ASSERT_GT(line.size(), 5000u);
    const std::string brackets = line.substr(0, 5000);
    EXPECT_EQ(std::count(brackets.begin(), brackets.end(), '('), std::count(brackets.begin(), brackets.end(), ')'));
    EXPECT_GT(std::count(brackets.begin(), brackets.end(), '('), 500);
    EXPECT_EQ(line[5000], ' ');
}

TEST(foldCli, refusesWhatItCannotDo) {
    scratchFolder dir("fold_refusals", false);
    writeFile(dir.root / "in.fa", ">a\nGGGGAAAACCCC\n>b\nGGGGGGAAAACCCCCC\n");
    writeFile(dir.root / "ct", "a file where a folder should be");
    for (const char* usage : {"--no-such-option", "--algorithm fastest in.fa", "--params nowhere in.fa", "-j 0 in.fa",
                              "--temperature 400 in.fa", "--max-span 100 in.fa", "-a mfe --max-span 0 in.fa"}) {
        const auto result = runFold(dir.root, usage);
        EXPECT_EQ(result.status, 2) << usage;
        EXPECT_EQ(result.out, "") << usage;
        EXPECT_FALSE(result.err.empty()) << usage;
    }
    const auto longOne = runFold(dir.root, "--max-length 12 in.fa missing.fa");
    EXPECT_EQ(longOne.status, 1);
    EXPECT_EQ(blocks(longOne.out).size(), 1u);
    EXPECT_NE(longOne.err.find("korvane-fold: in.fa: record 2 (b): the sequence is longer than the maximum length (12 nt)"),
              std::string::npos);
    EXPECT_NE(longOne.err.find("korvane-fold: missing.fa: cannot be opened"), std::string::npos);

    EXPECT_EQ(runFold(dir.root, "--ct ct in.fa").status, 1);
    std::filesystem::create_directories(dir.root / "svg");
    std::filesystem::create_symlink("/nowhere", dir.root / "svg" / "a.svg");
    const auto linked = runFold(dir.root, "--svg svg --layout arc in.fa");
    EXPECT_EQ(linked.status, 1);
    EXPECT_NE(linked.err.find("record 1 (a): cannot write svg/a.svg"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.root / "svg" / "a.svg"));
    EXPECT_FALSE(readFile(dir.root / "svg" / "b.svg").empty());
}

size_t occurrences(const std::string& text, const std::string& piece) {
    size_t found = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++found;
    return found;
}

TEST(foldCli, drawingsRadiateByDefaultAndArcOnRequest) {
    scratchFolder dir("fold_layouts", false);
    writeFile(dir.root / "in.fa",
              ">tRNA yeast <Phe> & co\nGCGGAUUUAGCUCAGUUGGGAGAGCGCCAGACUGAAGAUCUGGAGGUCCUGUGUUCGAUCCACAGAAUUCGCACCA\n"
              ">open\nACGUACGU\n");
    const auto radiate = runFold(dir.root, "--svg plain --ct ct in.fa");
    ASSERT_EQ(radiate.status, 0) << radiate.err;
    ASSERT_EQ(runFold(dir.root, "--svg named --layout radiate in.fa").status, 0);
    ASSERT_EQ(runFold(dir.root, "--svg arc --layout ARC in.fa").status, 0);
    EXPECT_EQ(runFold(dir.root, "--svg x --layout circles in.fa").status, 2);

    for (const char* name : {"tRNA", "open"}) {
        const std::string picture = readFile(dir.root / "plain" / (std::string(name) + ".svg"));
        EXPECT_EQ(picture, readFile(dir.root / "named" / (std::string(name) + ".svg"))) << name;
        EXPECT_NE(picture.find("viewBox=\"0 0 "), std::string::npos) << name;
        EXPECT_EQ(picture.find("linearGradient"), std::string::npos) << "greedy has no probabilities";
        if (std::system("command -v xmllint >/dev/null 2>&1") == 0) {
            const std::string path = (dir.root / "plain" / (std::string(name) + ".svg")).string();
            EXPECT_EQ(std::system(("xmllint --noout '" + path + "'").c_str()), 0) << name;
        }
    }
    const std::string trna = readFile(dir.root / "plain" / "tRNA.svg");
    EXPECT_EQ(occurrences(trna, "class=\"base\""), 76u);
    EXPECT_NE(trna.find(">tRNA yeast &lt;Phe&gt; &amp; co</text>"), std::string::npos);
    EXPECT_NE(trna.find(">-22.00 kcal/mol</text>"), std::string::npos) << radiate.out;
    EXPECT_EQ(occurrences(readFile(dir.root / "plain" / "open.svg"), "class=\"base\""), 8u);

    // The arc drawing is the one the batch program makes from the same structure's CT file, but
    // for the title, where the CT file's carries the energy.
    auto withoutTitle = [](std::string svg) {
        const size_t title = svg.rfind("<g font-size=\"16\">");
        return title == std::string::npos ? svg : svg.substr(0, title);
    };
    for (const char* name : {"tRNA", "open"}) {
        korvane::structureImage image;
        ASSERT_EQ(image.readStructure((dir.root / "ct" / (std::string(name) + ".ct")).string(), 1), "") << name;
        const auto expected = dir.root / (std::string(name) + "-expected.svg");
        ASSERT_TRUE(image.writeImage(expected.string()));
        const std::string arc = readFile(dir.root / "arc" / (std::string(name) + ".svg"));
        if (name == std::string("tRNA")) {
            EXPECT_NE(arc.find("<path style=\"fill:none"), std::string::npos) << "the arcs are drawn";
        }
        EXPECT_TRUE(withoutTitle(arc) == withoutTitle(readFile(expected))) << name;
    }
}

// The mfe block is the optimum of the library call, printed as every block is; an open chain
// (nothing can pair, or too short to) is a structure of its own, not a refusal.
TEST(foldCli, mfeBlocksPrintTheOptimum) {
    scratchFolder dir("fold_mfe", false);
    std::mt19937 rng(17);
    const std::vector<std::string> letters = {randomRna(rng, 120), "XXXXXXXXXX", "G", "GGGAGGGAAACCCAGGGAAACCCACCC",
                                              randomRna(rng, 57)};
    std::string input;
    for (std::size_t r = 0; r < letters.size(); ++r) input += ">m" + std::to_string(r) + "\n" + letters[r] + "\n";
    const auto result = runFold(dir.root, "--algorithm mfe", input);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const auto tables = korvane::loadParameterSet(korvane::defaultParameterSet(true));
    korvane::fold::mfeWorkspace workspace;
    std::string expected;
    for (std::size_t r = 0; r < letters.size(); ++r) {
        const auto s = korvane::makeSequence("m", letters[r]);
        const korvane::fold::energyModel model(*tables, s.codes, s.length());
        std::vector<int> pairs;
        const int energy = korvane::fold::minimumFreeEnergy(model, workspace, pairs);
        char tail[32];
        std::snprintf(tail, sizeof tail, " (%6.2f)\n", energy / 10.0);
        expected += ">m" + std::to_string(r) + "\n" + letters[r] + "\n" + korvane::bracketNotation(pairs, s.length()) + tail;
    }
    EXPECT_EQ(result.out, expected);
    EXPECT_NE(result.out.find("\nXXXXXXXXXX\n.......... (  0.00)\n"), std::string::npos);
    // The default stays the greedy assembly.
    EXPECT_NE(runFold(dir.root, "", input).out, result.out);
}

TEST(foldCli, parameterSetsAndTemperature) {
    scratchFolder dir("fold_params");
    const std::string input = ">h\nGGGGAAAACCCC\n";
    const auto builtIn = runFold(dir.root, "", input);
    EXPECT_EQ(runFold(dir.root, "--params dat", input).out, builtIn.out);
    EXPECT_EQ(runFold(dir.root, "--params turner1999 --temperature 37", input).out, builtIn.out);
    const auto warm = runFold(dir.root, "--temperature 60", input);
    EXPECT_EQ(warm.status, 0);
    EXPECT_NE(warm.out, builtIn.out);
    EXPECT_EQ(runFold(dir.root, "--params dat --temperature 60", input).out, warm.out);
    std::filesystem::remove(dir.root / "dat" / "stack.dh");
    EXPECT_EQ(runFold(dir.root, "--params dat --temperature 60", input).status, 2);
}

}  // namespace
