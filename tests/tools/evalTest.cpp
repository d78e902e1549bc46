// End-to-end runs of the built korvane-eval on files the tests write themselves.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fold/mfe.h"
#include "output/output.h"
#include "rna/sequence.h"
#include "thermo/parameterSets.h"

namespace {

namespace fs = std::filesystem;

struct runResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string inQuotes(const std::string& text) { return "'" + text + "'"; }

// CT text of a dot-bracket pairing, laid out as korvane's CT writer does.
std::string ctOf(const std::string& header, const std::string& seq, const std::string& brackets) {
    std::vector<int> partner(seq.size() + 1, 0);
    std::vector<int> open;
    for (size_t p = 1; p <= brackets.size(); ++p) {
        if (brackets[p - 1] == '(') open.push_back(static_cast<int>(p));
        if (brackets[p - 1] == ')') {
            partner[p] = open.back();
            partner[open.back()] = static_cast<int>(p);
            open.pop_back();
        }
    }
    std::ostringstream ct;
    ct << "   " << seq.size() << header << "\n";
    for (size_t i = 1; i <= seq.size(); ++i) {
        ct << "    " << i << " " << seq[i - 1] << "       " << i - 1 << "    " << (i == seq.size() ? 0 : i + 1) << "    "
           << partner[i] << "    " << i << "\n";
    }
    return ct.str();
}

class korvaneEval : public ::testing::Test {
protected:
    fs::path dir;
    const std::string binary = std::string(KORVANE_BINARY_DIR) + "/korvane-eval";
    const std::string dat = std::string(KORVANE_SOURCE_DIR) + "/dat";

    void SetUp() override {
        ASSERT_TRUE(fs::exists(binary)) << binary;
        dir = fs::temp_directory_path() / ("korvane-eval-test-" + std::to_string(getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string write(const std::string& name, const std::string& text) {
        const fs::path path = dir / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    // Runs the program with a time limit, so a hang fails the test instead of blocking it.
    runResult run(const std::string& args, const std::string& cwd = "") {
        const fs::path out = dir / "stdout.txt";
        const fs::path err = dir / "stderr.txt";
        std::string command = "timeout 60 " + inQuotes(binary) + " " + args + " > " + inQuotes(out.string()) + " 2> " +
                              inQuotes(err.string()) + " < /dev/null";
        if (!cwd.empty()) command = "cd " + inQuotes(cwd) + " && " + command;
        const int raw = std::system(command.c_str());
        runResult r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = slurp(out);
        r.err = slurp(err);
        return r;
    }

    runResult score(const std::string& file) { return run("--dat " + inQuotes(dat) + " " + inQuotes(file)); }

    // A refused input: failure status, nothing on standard output, one line on standard error
    // naming the file and holding every fragment.
    void expectRefused(const std::string& file, std::initializer_list<std::string> fragments) {
        const runResult r = score(file);
        EXPECT_EQ(r.status, 1) << file;
        EXPECT_EQ(r.out, "") << file;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find(file), std::string::npos) << r.err;
        for (const auto& fragment : fragments) EXPECT_NE(r.err.find(fragment), std::string::npos) << r.err;
    }
};

// Energies below are the independently computed ones of the golden list.
TEST_F(korvaneEval, readsDotBracketRecords) {
    const auto file = write("two.dp",
                            "> int21cell_001\nGCAGGCCCCAUUAACGACGUCAAGC\n((.(((............)))..))\n"
                            "\n>  ext_002 \r\nACGCUGCCGUGAGGUUGGUGAU\r\n..((((((....)).))))...\r\n"
                            "> unpaired\nacgun\n.....\n");
    const runResult r = score(file);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "int21cell_001\t0.8\next_002\t-6.4\nunpaired\t0.0\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(korvaneEval, readsCtBlocksAndTakesTheHeaderTextAsTitle) {
    const auto file = write("two.ct", "# written by hand\n" +
                                          ctOf("  ENERGY = -9.9  hairpin_001", "CGGUUUGAGAGGGCUG", "((((((....))))))") +
                                          ctOf("  ext_001", "AUCGGAGCGUGGAUUGAAAAAUGAUAUUGUUUUUGU",
                                               "....(((..((.(((....)))..))...)))....") +
                                          "\n" + ctOf("", "GGAAACC", "......."));
    const runResult r = score(file);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "hairpin_001\t-4.7\next_001\t3.8\n\t0.0\n");
}

TEST_F(korvaneEval, loadsDatFromTheWorkingDirectoryByDefault) {
    const auto file = write("one.dp", "> hairpin_001\nCGGUUUGAGAGGGCUG\n((((((....))))))\n");
    const runResult r = run(inQuotes(file), KORVANE_SOURCE_DIR);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "hairpin_001\t-4.7\n");
    const runResult elsewhere = run(inQuotes(file), dir.string());
    EXPECT_EQ(elsewhere.status, 1);
    EXPECT_EQ(elsewhere.out, "");
    EXPECT_NE(elsewhere.err.find("./dat"), std::string::npos) << elsewhere.err;
}

TEST_F(korvaneEval, rejectsUnreadableFilesAndUsage) {
    expectRefused((dir / "missing.ct").string(), {"cannot open"});
    fs::create_directories(dir / "folder");
    expectRefused((dir / "folder").string(), {"directory"});
    expectRefused(write("empty.dp", ""), {"no structure"});
    expectRefused(write("blank.ct", "\n  \n# only a comment\n"), {"no structure"});
    expectRefused(write("binary.ct", std::string("\x01\x02\0\xff\xfe garbage\n\0\0", 16)), {"line 1"});

    const auto good = write("good.dp", "> t\nGAAAC\n(...)\n");
    const runResult noFile = run("--dat " + inQuotes(dat));
    EXPECT_EQ(noFile.status, 2);
    EXPECT_NE(noFile.err.find("usage"), std::string::npos);
    EXPECT_EQ(run("--bogus " + inQuotes(good)).status, 2);
    EXPECT_EQ(run(inQuotes(good) + " --dat").status, 2);
    const runResult noDat = run("--dat " + inQuotes((dir / "nodat").string()) + " " + inQuotes(good));
    EXPECT_EQ(noDat.status, 1);
    EXPECT_EQ(noDat.out, "");
    EXPECT_NE(noDat.err.find("parameter set"), std::string::npos) << noDat.err;
}

TEST_F(korvaneEval, rejectsBadDotBracket) {
    expectRefused(write("close.dp", "> t\nGGAAACC\n(.....))\n"), {"line 3", "8 characters"});
    expectRefused(write("unmatched.dp", "> t\nGGAAACC\n(...)))\n"), {"line 3", "')' at position 6"});
    expectRefused(write("unclosed.dp", "> t\nGGAAACC\n((...).\n"), {"line 3", "'(' at position 1"});
    expectRefused(write("letter.dp", "> t\nGGAZACC\n((...))\n"), {"line 2", "'Z'", "position 4"});
    expectRefused(write("symbol.dp", "> t\nGGAAACC\n((.[.))\n"), {"line 3", "'['"});
    expectRefused(write("short.dp", "> t\nGGAAACC\n"), {"structure"});
    expectRefused(write("notitle.dp", "> t\nGAAAC\n(...)\nGAAAC\n(...)\n"), {"line 4", "title"});
    expectRefused(write("twotitles.dp", "> t\n> u\nGAAAC\n(...)\n"), {"line 2", "sequence"});
    // Nothing is printed for a file whose later record is bad.
    expectRefused(write("later.dp", "> ok\nGAAAC\n(...)\n> bad\nGAAAC\n(..))\n"), {"line 6"});
}

TEST_F(korvaneEval, refusesStructuresThatCannotForm) {
    // These used to print the forbidden-combination value (about 1400) as an energy.
    expectRefused(write("gc.dp", "> t\nGC\n()\n"), {"pair 1-2 (G-C)", "hairpin"});
    expectRefused(write("two.dp", "> t\nGGAUCC\n((..))\n"), {"pair 2-5 (G-C)", "fewer than three unpaired"});
    expectRefused(write("aa2.dp", "> t\nAGAAAAA\n(.....)\n"), {"pair 1-7 (A-A)", "not a canonical pair"});
    // A multiloop-free chain of stacks around a tetraloop is fine; so is a G-U closing pair.
    const runResult r = score(write("ok.dp", "> ok\nGGGAAAAUCC\n(((....)))\n"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("ok\t", 0), 0U) << r.out;
}

TEST_F(korvaneEval, acceptsEnergiesSplitLinesAndTheEndOfOptions) {
    const std::string sequence = "CGGUUUGAGAGGGCUG";  // -4.7 as one line, see above
    const auto file = write("tools.dp", "> plain\n" + sequence + "\n((((((....))))))  (-4.70)\n"
                                        "> square\n" + sequence + "\n((((((....)))))) [-4.7]\n"
                                        "> spaced\n" + sequence + "\n((((((....)))))) ( -4.70)\r\n"
                                        "> split\nCGGUUUGA\n\nGAGGGCUG\n((((((..\n..))))))\n");
    const runResult r = score(file);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "plain\t-4.7\nsquare\t-4.7\nspaced\t-4.7\nsplit\t-4.7\n");
    // Something after the structure that is no energy still counts against it.
    expectRefused(write("word.dp", "> t\n" + sequence + "\n((((((....)))))) (low)\n"), {"line 3", "characters"});
    expectRefused(write("glued.dp", "> t\n" + sequence + "\n((((((....))))))(-4.7)\n"), {"line 3", "characters"});
    expectRefused(write("long.dp", "> t\n" + sequence + "\n((((((....\n))))))..\n"), {"line 4", "18 characters"});
    expectRefused(write("partial.dp", "> t\n" + sequence + "\n((((((....\n> u\n"), {"line 3", "10 characters"});
    expectRefused(write("letters.dp", "> t\nGGGAAA\n(((\nCCC\n"), {"line 4", "rest of the structure"});

    // After "--" a name starting with '-' is a file; "--" alone names none.
    write("-dashed.dp", "> dashed\n" + sequence + "\n((((((....))))))\n");
    const runResult ended = run("--dat " + inQuotes(dat) + " -- -dashed.dp " + inQuotes(file), dir.string());
    EXPECT_EQ(ended.status, 0) << ended.err;
    EXPECT_TRUE(ended.out.starts_with("dashed\t-4.7\nplain\t-4.7\n")) << ended.out;
    EXPECT_EQ(run("--dat " + inQuotes(dat) + " --").status, 2);
}

TEST_F(korvaneEval, rejectsMalformedOrUnscorableCt) {
    const std::string ok = ctOf("  t", "GGAAACC", "((...))");
    const auto replaceLine = [&](int line, const std::string& text) {
        std::istringstream in(ok);
        std::string out, current;
        for (int n = 1; std::getline(in, current); ++n) out += (n == line ? text : current) + "\n";
        return out;
    };
    expectRefused(write("header.ct", "seven  t\n" + ok.substr(ok.find('\n') + 1)), {"line 1", "length"});
    expectRefused(write("zero.ct", "0 t\n"), {"line 1", "length"});
    expectRefused(write("columns.ct", replaceLine(3, "2 G 1 3 6")), {"line 3", "expected 6 values, found 5"});
    expectRefused(write("position.ct", replaceLine(3, "3 G 1 3 6 2")), {"line 3", "expected position 2"});
    expectRefused(write("letter.ct", replaceLine(3, "2 Q 1 3 6 2")), {"line 3", "'Q'"});
    expectRefused(write("number.ct", replaceLine(3, "2 G x 3 6 2")), {"line 3", "column 3"});
    expectRefused(write("partner.ct", replaceLine(3, "2 G 1 3 9 2")), {"line 3", "partner"});
    expectRefused(write("self.ct", replaceLine(3, "2 G 1 3 2 2")), {"line 3", "itself"});
    expectRefused(write("asymmetric.ct", replaceLine(3, "2 G 1 3 5 2")), {"line 3", "pairs with 5"});
    expectRefused(write("truncated.ct", ok.substr(0, ok.rfind('\n', ok.size() - 2) + 1)), {"line 1", "6 of the 7"});
    // 1-5 with 3-7: a pseudoknot.
    expectRefused(write("knot.ct", "7 knot\n1 G 0 2 5 1\n2 A 1 3 0 2\n3 G 2 4 7 3\n4 A 3 5 0 4\n"
                                   "5 C 4 6 1 5\n6 A 5 7 0 6\n7 C 6 0 3 7\n"),
                  {"line 6", "1-5 crosses pair 3-7"});
}

// The exact model's evaluator scores the fold's own optimum at the fold's energy, and refuses
// what that model cannot form (here a bulge beyond the loop-size tables).
TEST_F(korvaneEval, exactModelAgreesWithTheFold) {
    const auto tables = korvane::loadParameterSet("turner1999");
    korvane::fold::mfeWorkspace workspace;
    std::string records, expected;
    unsigned state = 29;
    for (int r = 0; r < 6; ++r) {
        std::string letters;
        for (int p = 0; p < 40 + 61 * r; ++p) letters += "ACGU"[(state = state * 1103515245u + 12345u) >> 30];
        const auto s = korvane::makeSequence("r", letters);
        const korvane::fold::energyModel model(*tables, s.codes, s.length());
        std::vector<int> pairs;
        const int energy = korvane::fold::minimumFreeEnergy(model, workspace, pairs);
        records += "> r" + std::to_string(r) + "\n" + letters + "\n" + korvane::bracketNotation(pairs, s.length()) + "\n";
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", energy / 10.0);
        expected += "r" + std::to_string(r) + "\t" + (energy == 0 ? "0.0" : text) + "\n";
    }
    const auto file = write("optima.dp", records);
    const runResult r = run("--model mfe --params turner1999 " + inQuotes(file));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(run("--model mfe " + inQuotes(file)).out, run("--model mfe --params learned " + inQuotes(file)).out);
    EXPECT_EQ(run("--model mfe --params " + inQuotes(dat) + " " + inQuotes(file)).out, expected);

    const std::string bulge = "G" + std::string(33, 'A') + "GAAACC";
    const auto wide = write("wide.dp", "> wide\n" + bulge + "\n(" + std::string(33, '.') + "(...))\n");
    const runResult refused = run("--model mfe " + inQuotes(wide));
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(refused.err.find("closed by 1-40 cannot form in this model"), std::string::npos) << refused.err;
    EXPECT_EQ(score(wide).status, 0);  // the full model takes any loop size

    for (const std::string& usage : std::vector<std::string>{"--model full ", "--params turner1999 ", "--model mfe --params nowhere ",
                                     "--model mfe --dat " + inQuotes(dat) + " ", "--model "}) {
        EXPECT_EQ(run(usage + inQuotes(file)).status, 2) << usage;
    }
}

}  // namespace
