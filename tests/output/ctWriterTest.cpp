#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "output/output.h"
#include "outputTestFiles.h"

using namespace korvane;
using namespace korvane::outputtest;

namespace {

const std::string RANGE_MESSAGE = "in ctoutWithNum: error found  \n";

structure gaacExample() {
    structure record = recordOf("GAAC", "t1");
    addPair(record, 1, 1, 4);
    record.energy[1] = -12;
    return record;
}

// Writes with stdout captured; returns what was printed.
std::string writeCapturingStdout(const structure& record, const std::string& path, bool append, int first,
                                 int last) {
    testing::internal::CaptureStdout();
    ctoutWithNum(record, path, append, first, last);
    return testing::internal::GetCapturedStdout();
}

}  // namespace

TEST(ctWriterWrites, fiveLineExampleByteForByte) {
    scratchFile file("example.ct");
    EXPECT_EQ(writeCapturingStdout(gaacExample(), file.path(), false, 1, 1), "");
    EXPECT_EQ(readText(file.path()),
              "    4  ENERGY = -1.2  t1\n"
              "    1 G       0    2    4    1\n"
              "    2 A       1    3    0    2\n"
              "    3 A       2    4    0    3\n"
              "    4 C       3    0    1    4\n");
}

TEST(ctWriterWrites, energyTextOnlyWhenEnergyIsNotZero) {
    scratchFile file("energy.ct");
    structure record = gaacExample();
    const std::pair<int, std::string> cases[] = {
        {0, "    4  t1\n"}, {5, "    4  ENERGY = 0.5  t1\n"}, {-123, "    4  ENERGY = -12.3  t1\n"},
        {-5, "    4  ENERGY = -0.5  t1\n"}};
    for (const auto& [energy, header] : cases) {
        record.energy[1] = energy;
        ctoutWithNum(record, file.path(), false, 1, 1);
        EXPECT_EQ(readText(file.path()).substr(0, header.size() + 1), header + " ") << energy;
    }
}

TEST(ctWriterWrites, titleLineEndsAndEmptyTitle) {
    scratchFile file("titles.ct");
    structure record = recordOf("A", "t1\n");
    ctoutWithNum(record, file.path(), false, 1, 1);
    EXPECT_EQ(readText(file.path()), "    1  t1\n    1 A       0    0    0    1\n");

    record.setLabel(1, "");
    ctoutWithNum(record, file.path(), false, 1, 1);
    EXPECT_EQ(readText(file.path()), "    1  \n    1 A       0    0    0    1\n");
}

TEST(ctWriterWrites, widthSwitchesAtTenThousandBases) {
    scratchFile file("wide.ct");
    {
        structure record = recordOf(std::string(9'999, 'U'), "t");
        addPair(record, 1, 1, 9'999);
        ctoutWithNum(record, file.path(), false, 1, 1);
        const std::string text = readText(file.path());
        EXPECT_EQ(text.substr(0, 40), " 9999  t\n    1 U       0    2 9999    1\n");
        EXPECT_EQ(text.substr(text.size() - 31), " 9999 U    9998    0    1 9999\n");
    }
    {
        structure record = recordOf(std::string(10'000, 'U'), "t");
        ctoutWithNum(record, file.path(), false, 1, 1);
        const std::string text = readText(file.path());
        EXPECT_EQ(text.substr(0, 45), " 10000  t\n     1 U       0     2     0     1\n");
        EXPECT_EQ(text.substr(text.size() - 35), " 10000 U    9999     0     0 10000\n");
    }
}

TEST(ctWriterWrites, columnsStayApartFromAHundredThousandBases) {
    scratchFile file("wider.ct");
    structure record = recordOf(std::string(100'000, 'A'), "t");
    addPair(record, 1, 99'999, 100'000);
    ctoutWithNum(record, file.path(), false, 1, 1);
    const std::string text = readText(file.path());
    // Six-wide columns would run "99998100000" together here.
    EXPECT_EQ(text.substr(text.size() - 78),
              "  99999 A   99998 100000 100000  99999\n 100000 A   99999      0  99999 100000\n");
    structure back;
    readCtFile(back, file.path());
    ASSERT_EQ(back.nbases, 100'000);
    EXPECT_EQ(back.partner(1, 99'999), 100'000);
    EXPECT_EQ(back.partner(1, 100'000), 99'999);
}

TEST(ctWriterWrites, linesMatchThePrintfLayout) {
    // Any stored numbers, negative and wider than their columns included, on both layouts.
    std::mt19937 random(42);
    std::uniform_int_distribution<int> anyNumber(-2'000'000'000, 2'000'000'000);
    std::uniform_int_distribution<int> smallNumber(-120, 120'000);
    const std::string letters = "ACGUTNacgux-I";
    for (const int n : {7, 10'003}) {
        scratchFile file("printf.ct");
        std::string sequence;
        for (int i = 0; i < n; ++i) sequence += letters[static_cast<size_t>(i) % letters.size()];
        structure record = recordOf(sequence, "printf");
        record.energy[1] = -431;
        for (int i = 1; i <= n; ++i) {
            record.pairs(1)[static_cast<size_t>(i)] = i % 3 == 0 ? anyNumber(random) : smallNumber(random);
            record.histnum[static_cast<size_t>(i)] = i % 5 == 0 ? anyNumber(random) : smallNumber(random);
        }
        ctoutWithNum(record, file.path(), false, 1, 1);

        const bool wide = n >= 10'000;
        char line[128];
        std::snprintf(line, sizeof line, wide ? "%6i" : "%5i", n);
        std::string expected = std::string(line) + "  ENERGY = -43.1  printf\n";
        for (int i = 1; i <= n; ++i) {
            std::snprintf(line, sizeof line, wide ? "%6i%2c%8i%6i%6i%6i\n" : "%5i%2c%8i%5i%5i%5i\n", i,
                          sequence[static_cast<size_t>(i - 1)], i - 1, i < n ? i + 1 : 0,
                          record.pairs(1)[static_cast<size_t>(i)], record.histnum[static_cast<size_t>(i)]);
            expected += line;
        }
        EXPECT_EQ(readText(file.path()), expected) << n;
    }
}

TEST(ctWriterWrites, crossingPairsAreWrittenAsStored) {
    scratchFile file("knot.ct");
    structure record = recordOf("GGACC");
    addPair(record, 1, 1, 4);
    addPair(record, 1, 2, 5);
    ctoutWithNum(record, file.path(), false, 1, 1);
    EXPECT_EQ(readText(file.path()),
              "    5  \n"
              "    1 G       0    2    4    1\n"
              "    2 G       1    3    5    2\n"
              "    3 A       2    4    0    3\n"
              "    4 C       3    5    1    4\n"
              "    5 C       4    0    2    5\n");
}

TEST(ctWriterModes, appendKeepsEarlierBlocksAndCreateEmpties) {
    scratchFile file("append.ct");
    structure record = gaacExample();
    ctoutWithNum(record, file.path(), false, 1, 1);
    record.energy[1] = 0;
    record.setLabel(1, "t2");
    ctoutWithNum(record, file.path(), true, 1, 1);
    const std::string text = readText(file.path());
    EXPECT_EQ(text.substr(0, 25), "    4  ENERGY = -1.2  t1\n");
    EXPECT_EQ(text.find("    4  t2\n"), 25u + 4u * 31u);
    EXPECT_EQ(text.size(), 25u + 10u + 8u * 31u);

    ctoutWithNum(record, file.path(), false, 1, 1);
    EXPECT_EQ(readText(file.path()).size(), 10u + 4u * 31u);
}

TEST(ctWriterRange, firstAfterLastReportsAndLeavesEmptyFile) {
    scratchFile file("empty.ct");
    writeText(file.path(), "old content\n");
    EXPECT_EQ(writeCapturingStdout(gaacExample(), file.path(), false, 2, 1), RANGE_MESSAGE);
    EXPECT_TRUE(std::filesystem::exists(file.path()));
    EXPECT_EQ(readText(file.path()), "");
}

TEST(ctWriterRange, noStructuresStillWritesStructureOne) {
    scratchFile file("none.ct");
    structure record = recordOf("GAC", "seq");
    record.nstructs = 0;
    EXPECT_EQ(writeCapturingStdout(record, file.path(), false, 1, 1), RANGE_MESSAGE);
    EXPECT_EQ(readText(file.path()),
              "    3  seq\n"
              "    1 G       0    2    0    1\n"
              "    2 A       1    3    0    2\n"
              "    3 C       2    0    0    3\n");
}

TEST(ctWriterRange, numbersBeyondTheSlotsAreSkipped) {
    scratchFile file("beyond.ct");
    structure record = recordOf("A", "t");
    record.setLabel(record.capacity - 1, "lastSlot");
    EXPECT_EQ(writeCapturingStdout(record, file.path(), false, record.capacity - 1, record.capacity + 50),
              RANGE_MESSAGE);
    EXPECT_EQ(readText(file.path()), "    1  lastSlot\n    1 A       0    0    0    1\n");

    EXPECT_EQ(writeCapturingStdout(record, file.path(), false, -5, -1), RANGE_MESSAGE);
    EXPECT_EQ(readText(file.path()), "");
}

TEST(ctWriterFailures, unopenableFileIsLeftAloneSilently) {
    const std::string path = "/nonexistent-korvane-folder/x.ct";
    EXPECT_EQ(writeCapturingStdout(gaacExample(), path, false, 1, 1), "");
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(korvane::ctoutWithNum(gaacExample(), path, false, 1, 1));
    // A folder in the file's place is refused before any open is tried.
    const auto folder = std::filesystem::temp_directory_path() / "korvane_ct_folder_target";
    std::filesystem::create_directories(folder);
    EXPECT_FALSE(korvane::ctoutWithNum(gaacExample(), folder.string(), false, 1, 1));
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    std::filesystem::remove_all(folder);
}
