#include <gtest/gtest.h>

#include <sstream>

#include "driver/driver.h"
#include "runKorvane.h"

namespace {

using namespace korvane::testing;

std::string progressFor(int files, int shownUpTo) {
    std::ostringstream out;
    korvane::progressLine line(out);
    for (int i = 1; i <= shownUpTo; ++i) line.show(i, files);
    return out.str();
}

TEST(progress, singleFileShowsHundredPercent) { EXPECT_EQ(progressFor(1, 1), "Process... ...  100%"); }

TEST(progress, threeHundredFilesUseEighteenThenNineteenBackspaces) {
    EXPECT_EQ(progressFor(300, 1), "Process... ...  1%");
    EXPECT_EQ(progressFor(300, 5), "Process... ...  1%");
    const std::string six = progressFor(300, 6);
    EXPECT_EQ(six, "Process... ...  1%" + std::string(18, '\b') + "Process... ...  2%");
    const std::string at32 = progressFor(300, 32);
    EXPECT_EQ(at32.substr(at32.size() - 37), std::string(18, '\b') + "Process... ...  10%");
    const std::string at33 = progressFor(300, 33);
    EXPECT_EQ(at33.substr(at33.size() - 19 - 16 - 3), std::string(19, '\b') + "Process... ...  11%");
    const std::string all = progressFor(300, 300);
    EXPECT_TRUE(all.ends_with(std::string(19, '\b') + "Process... ...  100%"));
}

TEST(progress, firstLineMayComeLateAndNonPositiveIsIgnored) {
    std::ostringstream out;
    korvane::progressLine line(out);
    line.show(0, 4);
    line.show(-3, 4);
    EXPECT_EQ(out.str(), "");
    line.show(2, 4);
    EXPECT_EQ(out.str(), std::string(19, '\b') + "Process... ...  50%");
}

TEST(listing, sortedSkipsDotNamesAndKeepsInnerDots) {
    scratchFolder dir("listing", false);
    for (const char* name : {"b.fasta", "a.b.fasta", ".x.fasta", "c.fa", "A.fasta", "sub.fasta/"}) {
        if (std::string(name).ends_with('/'))
            std::filesystem::create_directories(dir.root / "sequences" / name);
        else
            dir.addSequence(name, ">t\nACGU\n");
    }
    std::vector<std::string> names;
    const std::string pattern = (dir.root / "sequences").string() + "\\*.fasta";
    ASSERT_EQ(korvane::listFastaFiles(pattern, names), 4);
    EXPECT_EQ(names, (std::vector<std::string>{"", "A", "a.b", "b", "sub"}));
    EXPECT_EQ(korvane::listFastaFiles((dir.root / "missing").string() + "\\*.fasta", names), -1);
    const auto paths = korvane::composePaths("a.b");
    EXPECT_EQ(paths.input, "./sequences/a.b.fasta");
    EXPECT_EQ(paths.ct, "./sequences/a.b_varn.ct");
    EXPECT_EQ(paths.dotBracket, "./sequences/a.b_varn.dp");
    EXPECT_EQ(paths.drawing, "./sequences/a.b_varn.svg");
}

TEST(listing, stopsAtTheThousandAndFirst) {
    scratchFolder dir("many", false);
    std::filesystem::create_directories(dir.root / "sequences");
    for (int k = 0; k < 1005; ++k) std::ofstream(dir.root / "sequences" / ("s" + std::to_string(10000 + k) + ".fasta"));
    std::vector<std::string> names;
    EXPECT_EQ(korvane::listFastaFiles((dir.root / "sequences").string() + "\\*.fasta", names), 1001);
    ASSERT_EQ(names.size(), 1001u);
    EXPECT_EQ(names[1000], "s10999");
}

TEST(batchRun, emptyFolderWithClosedInputStopsWithFailure) {
    scratchFolder dir("empty");
    const auto result = dir.run("\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, BANNER + NOTHING_FOUND + NOTHING_FOUND +
                              "No fasta file found under the path .\\sequences\\ and no more input: korvane stops.\n");
}

TEST(batchRun, missingParameterFileStopsBeforeAnyFile) {
    scratchFolder dir("noparams");
    dir.addSequence("x.fasta", ">x\nGGGGAAACCCCAAAGGGGAAACCCC\n");
    std::filesystem::remove(dir.root / "dat" / "int22.dat");
    const auto result = dir.run();
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, BANNER + "in multiDatmain():error thermodynamics fail: 5\n");
    EXPECT_FALSE(std::filesystem::exists(dir.root / "sequences" / "x_varn.ct"));
}

TEST(batchRun, invalidFilesAreReportedAndSkipped) {
    scratchFolder dir("invalid");
    dir.addSequence("bad.fasta", "no header\n");
    dir.addSequence("short.fasta", ">s\nGGGAAACC\n");
    const auto result = dir.run();
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, BANNER +
                              "\nCan not process invalid file ./sequences/bad.fasta. \nPress ENTER to continue.\n"
                              "\nCan not process invalid file ./sequences/short.fasta. \nPress ENTER to continue.\n" +
                              CLOSING);
    for (const auto& entry : std::filesystem::directory_iterator(dir.root / "sequences"))
        EXPECT_FALSE(entry.path().string().find("_varn") != std::string::npos) << entry.path();
}

TEST(batchRun, foldsEachFileIntoItsOwnThreeOutputs) {
    scratchFolder dir("fold");
    const std::string hairpin = ">hp\nGGGGCGCAAGCCCC\n";
    dir.addSequence("a.b.fasta", hairpin);
    dir.addSequence("a.fasta", ">other\nGGGAAAACCCAAAAAAAAAAAAAA\n");
    const auto result = dir.run();
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, BANNER + "Process... ...  50%" + std::string(19, '\b') + "Process... ...  100%" + CLOSING);
    EXPECT_EQ(result.err, "");
    const auto seq = dir.root / "sequences";
    for (const char* suffix : {"_varn.ct", "_varn.dp", "_varn.svg"}) {
        EXPECT_TRUE(std::filesystem::exists(seq / (std::string("a.b") + suffix))) << suffix;
        EXPECT_TRUE(std::filesystem::exists(seq / (std::string("a") + suffix))) << suffix;
    }
    EXPECT_EQ(readFile(seq / "a.b.fasta"), hairpin);
    const std::string dp = readFile(seq / "a.b_varn.dp");
    // One stem of five pairs closing GCAA is the only candidate.
    EXPECT_EQ(dp, "> hp\nGGGGCGCAAGCCCC\n(((((....)))))\n");
    EXPECT_TRUE(readFile(seq / "a.b_varn.ct").starts_with("   14  ENERGY = "));
}

}  // namespace
