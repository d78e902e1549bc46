#include "output/svgWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "output/drawing.h"
#include "output/output.h"
#include "outputTestFiles.h"

using namespace korvane;
using namespace korvane::outputtest;

namespace {

const std::string FONT_GROUP = "<g font-size=\"16\">\n";
const std::string BLACK_TEXT = "fill=\"rgb(0,0,0)\" stroke=\"rgb(0,0,0)\"";

std::string expectedFile(const std::string& name) {
    return readText(std::string(KORVANE_SOURCE_DIR) + "/tests/data/output/" + name);
}

// A one-pair image over the given nucleotide records.
structureImage imageOf(std::vector<std::string> nucleotides, std::string title = "") {
    structureImage image;
    image.nucleotides = std::move(nucleotides);
    image.pairs = {"1-2 102 36 123 51 102 66"};
    image.maxX = 790;
    image.maxY = 853;
    image.title = std::move(title);
    return image;
}

std::string written(const structureImage& image) {
    scratchFile file("image.svg");
    EXPECT_TRUE(image.writeImage(file.path()));
    return readText(file.path());
}

// What the title group holds, between its opening and closing lines.
std::string titleGroup(const std::string& svg) {
    const size_t start = svg.find(FONT_GROUP);
    const size_t end = svg.rfind("</g>\n</svg>\n");
    if (start == std::string::npos || end == std::string::npos) return "<no title group>";
    return svg.substr(start + FONT_GROUP.size(), end - start - FONT_GROUP.size());
}

std::string repeated(const std::string& text, int times) {
    std::string result;
    for (int k = 0; k < times; ++k) result += text;
    return result;
}

std::string titleLine(const std::string& text) {
    return "<text x=\"36\" y=\"892\" " + BLACK_TEXT + ">" + text + "</text>\n";
}

}  // namespace

TEST(svgWriterWrites, hairpinExampleByteForByte) {
    scratchFile ct("hairpin.ct");
    scratchFile svg("hairpin.svg");
    structure record = recordOf("GGGAAACCC", "t1");
    record.energy[1] = -12;
    for (int k = 0; k < 3; ++k) addPair(record, 1, 1 + k, 9 - k);
    ctoutWithNum(record, ct.path(), false, 1, 1);
    drawCtFile(ct.path(), svg.path());
    EXPECT_EQ(readText(svg.path()), expectedFile("gggaaaccc.svg"));
}

TEST(svgWriterWrites, structureWithoutPairsGivesFiveLines) {
    scratchFile ct("nopairs.ct");
    scratchFile svg("nopairs.svg");
    ctoutWithNum(recordOf("GGGAAACCC", "t1"), ct.path(), false, 1, 1);
    drawCtFile(ct.path(), svg.path());
    EXPECT_EQ(readText(svg.path()), expectedFile("nopairs.svg"));
}

TEST(svgWriterWrites, labelMasksWidenWithTheDigits) {
    EXPECT_NE(written(imageOf({"A  102 306 102 336 30 306 10"}))
                  .find("<line style=\"fill:none;stroke-width:1\" stroke=\"rgb(0,0,0)\" x1=\"102\" y1=\"306\" "
                        "x2=\"30\" y2=\"306\"/> <rect x=\"15\" y=\"294\" width=\"30\" height=\"24\" "
                        "fill=\"rgb(255,255,255)\" stroke=\"rgb(255,255,255)\"/> <text x=\"15\" y=\"314\" " +
                        BLACK_TEXT + ">10</text> <circle "),
              std::string::npos);
    const std::pair<std::string, std::string> cases[] = {
        {"100", "<rect x=\"7.5\" y=\"24\" width=\"45\""},
        {"1000", "<rect x=\"0\" y=\"24\" width=\"60\""},
        {"10000", "<rect x=\"-7.5\" y=\"24\" width=\"75\""}};
    for (const auto& [label, rect] : cases) {
        const std::string svg = written(imageOf({"A  102 36 -1 -1 30 36 " + label}));
        EXPECT_NE(svg.find(rect), std::string::npos) << label;
        EXPECT_NE(svg.find(">" + label + "</text>"), std::string::npos) << label;
    }
}

TEST(svgWriterWrites, lowerCaseGSitsHigher) {
    const std::string svg = written(imageOf({"g  102 36 102 66 -1 -1 -1", "G  102 66 -1 -1 -1 -1 -1"}));
    EXPECT_NE(svg.find("<text x=\"94\" y=\"41\" " + BLACK_TEXT + ">g</text>"), std::string::npos);
    EXPECT_NE(svg.find("<text x=\"94\" y=\"74\" " + BLACK_TEXT + ">G</text>"), std::string::npos);
}

TEST(svgWriterWrites, scaleFitsTheWiderOrTheLongerSide) {
    structureImage image = imageOf({"A  102 36 -1 -1 -1 -1 -1"});
    image.maxX = 1580;
    image.maxY = 100;
    EXPECT_NE(written(image).find("<g transform=\"scale(0.5)\">\n"), std::string::npos);
    image.maxX = 100;
    image.maxY = 3412;
    EXPECT_NE(written(image).find("<g transform=\"scale(0.25)\">\n"), std::string::npos);
}

TEST(svgWriterWrites, outlineColourFollowsCircleOutline) {
    structureImage image = imageOf({"A  102 36 -1 -1 -1 -1 -1"});
    image.circleOutline = true;
    EXPECT_NE(written(image).find("fill=\"rgb(255,255,255)\" stroke=\"rgb(0,0,0)\"/>"), std::string::npos);
}

TEST(svgWriterTitles, trimmingRemovalAndLength) {
    const std::string a45(45, 'a');
    const std::pair<std::string, std::string> cases[] = {
        {"  ENERGY = -1.2  t1", titleLine("ENERGY = -1.2  t1")},
        {a45, titleLine(a45)},
        {a45 + "b", titleLine(std::string(42, 'a') + "...")},
        {" \t(" + a45 + ")\r\n", titleLine(a45)},
        {"()<>", ""},
        {"   ", titleLine("   ")},
        {"(t1) <x>", titleLine("t1 x")},
        {"", ""},
        {"TEXTSTRING COLOR LOCX SCALEFACTOR", titleLine("TEXTSTRING COLOR LOCX SCALEFACTOR")},
    };
    for (const auto& [title, expected] : cases) {
        EXPECT_EQ(titleGroup(written(imageOf({"A  102 36 -1 -1 -1 -1 -1"}, title))), expected) << title;
    }
}

TEST(svgWriterTitles, specialCharactersAreEscapedAfterTheRules) {
    const std::pair<std::string, std::string> cases[] = {
        {"Tom & Jerry \"q\"", titleLine("Tom &amp; Jerry &quot;q&quot;")},
        {std::string(45, '&'), titleLine(repeated("&amp;", 45))},
        {"bell\x07 caf\xc3\xa9 latin\xe9", titleLine("bell? caf\xc3\xa9 latin?")},
        // Lengths count characters: a two-byte one is kept whole at the cut, and does not push a
        // title of 45 characters over the limit; a stray byte counts as the one '?' it shows.
        {std::string(41, 'a') + "\xc3\xa9" + "bbbb", titleLine(std::string(41, 'a') + "\xc3\xa9...")},
        {std::string(44, 'a') + "\xe2\x82\xac", titleLine(std::string(44, 'a') + "\xe2\x82\xac")},
        {std::string(41, 'a') + "\xe9\xe9" + "bbb", titleLine(std::string(41, 'a') + "?...")},
    };
    for (const auto& [title, expected] : cases) {
        EXPECT_EQ(titleGroup(written(imageOf({"A  102 36 -1 -1 -1 -1 -1"}, title))), expected) << title;
    }
    const std::string svg = written(imageOf({"&  102 36 102 66 -1 -1 -1", "<  102 66 -1 -1 -1 -1 -1"}));
    EXPECT_NE(svg.find(">&amp;</text>"), std::string::npos);
    EXPECT_NE(svg.find(">&lt;</text>"), std::string::npos);
}

TEST(svgTemplateFills, compiledTemplatesGiveThePlainReplacement) {
    // The drawing's elements with their fixed values, and one whose fixed value holds a keyword
    // replaced after it.
    const std::string_view black = "\"rgb(0,0,0)\"";
    const svgTemplate line("<line style=\"fill:none;stroke-width:LINEWEIGHT\" stroke=COLOR x1=\"STARTX\" "
                           "y1=\"STARTY\" x2=\"ENDX\" y2=\"ENDY\"/>",
                           {{"COLOR", black}, {"LINEWEIGHT", "1"}, {"STARTX"}, {"STARTY"}, {"ENDX"}, {"ENDY"}});
    const svgTemplate arc("<path style=\"fill:none;stroke-width:CURVEWEIGHT\" stroke=COLOR d=\"MX1,Y1 "
                          "QCONTROLX,CONTROLY X2,Y2\"/>",
                          {{"CURVEWEIGHT", "3"}, {"X1"}, {"Y1"}, {"CONTROLX"}, {"CONTROLY"}, {"X2"}, {"Y2"},
                           {"COLOR", black}});
    const svgTemplate text("<text x=\"LOCX\" y=\"LOCY\" fill=COLOR stroke=COLOR>TEXTSTRING</text>",
                           {{"COLOR", black}, {"LOCX"}, {"LOCY"}, {"TEXTSTRING"}});
    const svgTemplate nested("KEYA-KEYB-KEYA|KEYC;", {{"KEYB"}, {"KEYA", "(KEYC)"}, {"KEYC"}});

    const std::vector<std::string> samples = {"", "0", "1", "2", "102", "-7.5", "1.00003e+06", "inf", "X", "Y",
                                              "COLOR", "LOCY", "Y1", "1X1", "KEYC", "TEXTSTRING", "\x01", "a\x02b",
                                              "\"rgb(255,255,255)\"", "g"};
    std::mt19937 random(7);
    std::uniform_int_distribution<size_t> pick(0, samples.size() - 1);
    auto value = [&] { return std::string_view(samples[pick(random)]); };
    for (int round = 0; round < 3'000; ++round) {
        const std::string_view v[6] = {value(), value(), value(), value(), value(), value()};
        std::string out = "<";
        line.appendFilled(out, {v[0], v[1], v[2], v[3]});
        EXPECT_EQ(out, "<" + fillTemplate(line.pattern(), {{"COLOR", black}, {"LINEWEIGHT", "1"}, {"STARTX", v[0]},
                                                           {"STARTY", v[1]}, {"ENDX", v[2]}, {"ENDY", v[3]}}));
        out.clear();
        arc.appendFilled(out, {v[0], v[1], v[2], v[3], v[4], v[5]});
        EXPECT_EQ(out, fillTemplate(arc.pattern(), {{"CURVEWEIGHT", "3"}, {"X1", v[0]}, {"Y1", v[1]},
                                                    {"CONTROLX", v[2]}, {"CONTROLY", v[3]}, {"X2", v[4]},
                                                    {"Y2", v[5]}, {"COLOR", black}}));
        out.clear();
        text.appendFilled(out, {v[0], v[1], v[2]});
        EXPECT_EQ(out, fillTemplate(text.pattern(), {{"COLOR", black}, {"LOCX", v[0]}, {"LOCY", v[1]},
                                                     {"TEXTSTRING", v[2]}}));
        out.clear();
        nested.appendFilled(out, {v[0], v[1]});
        EXPECT_EQ(out, fillTemplate(nested.pattern(), {{"KEYB", v[0]}, {"KEYA", "(KEYC)"}, {"KEYC", v[1]}}));
        if (HasFailure()) break;
    }
}

TEST(svgTemplateFills, replacementOrderAndRescanning) {
    // A value is not searched for its own keyword again, but is searched for later ones.
    EXPECT_EQ(fillTemplate("A=LOCX B=LOCY", {{"LOCX", "LOCX LOCY"}, {"LOCY", "7"}}), "A=LOCX 7 B=7");
    EXPECT_EQ(fillTemplate("A=LOCX B=LOCY", {{"LOCY", "7"}, {"LOCX", "LOCX LOCY"}}), "A=LOCX LOCY B=7");
    const svgTemplate pair("A=LOCX B=LOCY", {{"LOCX"}, {"LOCY"}});
    std::string out;
    pair.appendFilled(out, {"LOCX LOCY", "7"});
    pair.appendFilled(out, {"1", "LOCX"});
    EXPECT_EQ(out, "A=LOCX 7 B=7A=1 B=LOCX");
}

TEST(svgWriterWrites, colourTable) {
    EXPECT_EQ(colorValue("White"), "\"rgb(255,255,255)\"");
    EXPECT_EQ(colorValue("Light Blue"), "\"rgb(0,171,255)\"");
    EXPECT_EQ(colorValue("Yellow"), "\"rgb(212,212,44)\"");
    EXPECT_EQ(colorValue("Black"), "\"rgb(0,0,0)\"");
    EXPECT_EQ(colorValue("white"), "\"rgb(0,0,0)\"");
}

TEST(svgWriterWrites, unwritablePathReportsFalse) {
    EXPECT_FALSE(imageOf({"A  102 36 -1 -1 -1 -1 -1"}).writeImage("/nonexistent-korvane-folder/x.svg"));
}

TEST(svgWriterWellFormed, xmllintAcceptsAPictureWithSpecialCharacters) {
    if (std::system("command -v xmllint >/dev/null 2>&1") != 0) GTEST_SKIP() << "xmllint is not installed";
    scratchFile ct("special.ct");
    scratchFile svg("special.svg");
    std::string text = "   12  ENERGY = -3.4  A&B <c> \"d\" (e) caf\xe9\x01\n";
    const std::string letters = "&<>\"gGAUIacu";
    for (int i = 1; i <= 12; ++i) {
        const int partner = i <= 3 ? 13 - i : (i >= 10 ? 13 - i : 0);
        text += std::to_string(i) + ' ' + letters[i - 1] + " 0 0 " + std::to_string(partner) + ' ' +
                std::to_string(i) + '\n';
    }
    writeText(ct.path(), text);
    drawCtFile(ct.path(), svg.path());
    const std::string svgText = readText(svg.path());
    ASSERT_NE(svgText.find("<path"), std::string::npos);
    EXPECT_EQ(std::system(("xmllint --noout '" + svg.path() + "'").c_str()), 0) << svgText;
}
