#include "output/drawing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <iomanip>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "output/output.h"
#include "outputTestFiles.h"

using namespace korvane;
using namespace korvane::outputtest;

namespace {

const std::string OUT_OF_RANGE = "Structure number out of range.";

// Writes record as a CT file and lays out its structure 1.
structureImage layOut(const structure& record, const scratchFile& file) {
    ctoutWithNum(record, file.path(), false, 1, 1);
    structureImage image;
    EXPECT_EQ(image.readStructure(file.path(), 1), "");
    return image;
}

std::string lastTokens(const std::string& record, int count) {
    size_t at = record.size();
    for (int k = 0; k < count; ++k) at = record.rfind(' ', at - 1);
    return record.substr(at + 1);
}

}  // namespace

TEST(drawingLayout, hairpinExampleRecords) {
    scratchFile file("hairpin.ct");
    structure record = recordOf("GGGAAACCC", "t1");
    record.energy[1] = -12;
    for (int k = 0; k < 3; ++k) addPair(record, 1, 1 + k, 9 - k);
    const structureImage image = layOut(record, file);

    ASSERT_EQ(image.nucleotides.size(), 9u);
    EXPECT_EQ(image.nucleotides[0], "G  102 36 102 66 -1 -1 -1");
    EXPECT_EQ(image.nucleotides[4], "A  102 156 102 186 -1 -1 -1");
    EXPECT_EQ(image.nucleotides[8], "C  102 276 -1 -1 -1 -1 -1");
    EXPECT_EQ(image.pairs, (std::vector<std::string>{"1-9 102 36 270 156 102 276", "2-8 102 66 228 156 102 246",
                                                      "3-7 102 96 186 156 102 216"}));
    EXPECT_EQ(image.maxY, 342);
    EXPECT_DOUBLE_EQ(image.maxX, 372);
    EXPECT_EQ(image.title, "  ENERGY = -1.2  t1");
    EXPECT_FALSE(image.hasLinker);
    EXPECT_FALSE(image.circleOutline);
}

TEST(drawingLayout, numberLabelsEveryTenthPosition) {
    scratchFile file("labels.ct");
    structure shortRecord = recordOf("GGGGAAAAC");
    for (const auto& nucleotide : layOut(shortRecord, file).nucleotides) {
        EXPECT_EQ(lastTokens(nucleotide, 3), "-1 -1 -1");
    }
    const structureImage image = layOut(recordOf(std::string(25, 'A')), file);
    for (int i = 1; i <= 25; ++i) {
        const std::string tail = lastTokens(image.nucleotides[i - 1], 3);
        if (i == 10) EXPECT_EQ(tail, "30 306 10");
        else if (i == 20) EXPECT_EQ(tail, "30 606 20");
        else EXPECT_EQ(tail, "-1 -1 -1") << i;
    }
}

TEST(drawingLayout, linkerBasesMoveTheColumnAndDropLabels) {
    scratchFile file("linker.ct");
    structure record = recordOf("GGGIAAACCC");
    addPair(record, 1, 1, 10);
    addPair(record, 1, 4, 8);
    const structureImage image = layOut(record, file);
    EXPECT_TRUE(image.hasLinker);
    EXPECT_EQ(image.nucleotides[2], "G  30 96 30 126 -1 -1 -1");
    EXPECT_EQ(image.nucleotides[3], "");
    EXPECT_EQ(image.nucleotides[9], "C  30 306 -1 -1 -1 -1 -1");
    // The linker's own y stands in for its missing record.
    EXPECT_EQ(image.pairs, (std::vector<std::string>{"1-10 30 36 219 171 30 306", "4-8 30 126 114 186 30 246"}));
    EXPECT_DOUBLE_EQ(image.maxX, 249);
}

TEST(drawingLayout, crossingAndAdjacentPairs) {
    scratchFile file("knot.ct");
    structure record = recordOf("GGACCAU");
    addPair(record, 1, 1, 4);
    addPair(record, 1, 2, 5);
    addPair(record, 1, 6, 7);
    const structureImage image = layOut(record, file);
    EXPECT_EQ(image.pairs, (std::vector<std::string>{"1-4 102 36 165 81 102 126", "2-5 102 66 165 111 102 156",
                                                      "6-7 102 186 123 201 102 216"}));
}

TEST(drawingLayout, noPairsLeaveTheRightBoundOpen) {
    scratchFile file("nopairs.ct");
    const structureImage image = layOut(recordOf("GAAAC", "x"), file);
    EXPECT_TRUE(image.pairs.empty());
    EXPECT_TRUE(std::isinf(image.maxX) && image.maxX < 0);
    EXPECT_EQ(image.maxY, 5 * 30 + 72);
}

TEST(drawingLayout, structureNumbersOutsideTheFile) {
    scratchFile file("range.ct");
    ctoutWithNum(recordOf("GAAAC"), file.path(), false, 1, 1);
    structureImage image;
    EXPECT_EQ(image.readStructure(file.path(), 2), OUT_OF_RANGE);
    EXPECT_EQ(image.readStructure(file.path(), 0), OUT_OF_RANGE);
    EXPECT_EQ(image.readStructure(file.path(), 1), "");
}

TEST(drawingLayout, numbersUseSixSignificantDigits) {
    EXPECT_EQ(drawingNumber(102), "102");
    EXPECT_EQ(drawingNumber(7.5), "7.5");
    EXPECT_EQ(drawingNumber(-7.5), "-7.5");
    EXPECT_EQ(drawingNumber(0), "0");
    EXPECT_EQ(drawingNumber(790.0 / 372.0), "2.12366");
    EXPECT_EQ(drawingNumber(999'996), "999996");
    // Past 33,333 bases the coordinates keep this rounding.
    EXPECT_EQ(drawingNumber(1'000'026), "1.00003e+06");
}

TEST(drawingLayout, numbersMatchTheDefaultStreamFormatting) {
    std::vector<double> values = {0.0, -0.0, 1, -1, 0.5, -0.5, 7.5, 22.5, 999'999, -999'999, 999'999.4, 999'999.5,
                                  999'999.6, 1e6, 1'000'026, -1'000'026, 123'456'789, 1e15, 1e16, 1e21, 1e300,
                                  1e-4, 1e-5, 1.5e-5, 1e-9, -1e-9, 1e-12, 4.9e-324, 1 - 1e-10, 1 + 1e-10,
                                  0.9999995, 0.99999949, 99'999.95, 2.0 / 3, 790.0 / 372.0,
                                  std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::max(), std::numeric_limits<double>::min()};
    for (int i = -2'000; i <= 2'000; ++i) {
        values.push_back(i);
        values.push_back(i + 0.5);
        values.push_back(i / 4.0);
        values.push_back(i * 1'000.0);
    }
    // Layout coordinates: positions, arc control points (often a few ulps off a whole number),
    // midpoints and label masks, also past 33,333 bases.
    for (int k = 1; k <= 40'000; k += 7) {
        const double y = 36 + 30.0 * (k - 1);
        values.push_back(y);
        values.push_back(102 + 0.7 * (30.0 * k));
        values.push_back(30 + 0.7 * (30.0 * k));
        values.push_back((36 + y) / 2);
    }
    std::mt19937_64 random(20261207);
    std::uniform_real_distribution<double> wide(-2e6, 2e6);
    std::uniform_real_distribution<double> exponent(-30, 30);
    for (int k = 0; k < 20'000; ++k) {
        values.push_back(wide(random));
        values.push_back(std::pow(10.0, exponent(random)) * (k % 2 == 0 ? 1 : -1));
        const double whole = std::round(wide(random));
        values.push_back(std::nextafter(whole, whole + 1));
        values.push_back(std::nextafter(whole, whole - 1));
        values.push_back(whole + (k % 3 - 1) * 1e-9);
    }
    int wrong = 0;
    for (const double value : values) {
        std::ostringstream stream;
        stream << value;
        if (drawingNumber(value) != stream.str()) {
            ++wrong;
            ADD_FAILURE() << std::setprecision(17) << value << ": " << drawingNumber(value) << " against "
                          << stream.str();
            if (wrong > 10) break;
        }
    }
    EXPECT_EQ(wrong, 0);
    std::ostringstream nan;
    nan << std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(drawingNumber(std::numeric_limits<double>::quiet_NaN()), nan.str());
}

TEST(drawingRun, fileWithoutStructureReportsAndRemovesTheOldPicture) {
    scratchFile ct("lengthonly.ct");
    scratchFile svg("lengthonly.svg");
    writeText(ct.path(), "   12");
    writeText(svg.path(), "old picture");
    testing::internal::CaptureStderr();
    EXPECT_EQ(drawCtFile(ct.path(), svg.path()), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "\nStructure number out of range.\n\nStructure drawing complete with errors.\n");
    EXPECT_FALSE(std::filesystem::exists(svg.path()));
}

TEST(drawingRun, successfulRunIsSilent) {
    scratchFile ct("quiet.ct");
    scratchFile svg("quiet.svg");
    structure record = recordOf("GGGAAACCC");
    addPair(record, 1, 1, 9);
    ctoutWithNum(record, ct.path(), false, 1, 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(drawCtFile(ct.path(), svg.path()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_NE(readText(svg.path()).find("d=\"M102,36 Q270,156 102,276\""), std::string::npos);
}

TEST(drawingRun, unreadableCtFileEndsTheProgram) {
    EXPECT_EXIT(
        {
            std::freopen("/dev/null", "r", stdin);
            drawCtFile("/nonexistent-korvane-folder/x.ct", "/nonexistent-korvane-folder/x.svg");
        },
        testing::ExitedWithCode(1), "Error opening ct file /nonexistent-korvane-folder/x.ct");
}
