#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "../driver/runKorvane.h"
#include "layout/layout.h"
#include "layoutTestSupport.h"
#include "pngImage.h"

namespace {

using korvane::layout::layOutPlanar;
using korvane::layout::radiateDrawing;
using korvane::layout::radiateSvg;
using korvane::testing::partnersOf;
using korvane::testing::readFile;
using korvane::testing::scratchFolder;
using korvane::testing::writeFile;

constexpr const char* HIGH = "#fc8d59";  // the colour scale's ends
constexpr const char* LOW = "#91bfdb";

struct circle {
    double x;
    double y;
    std::string fill;
};

// The nucleotide circles of a picture, in order (the G-U dots carry no fill of their own).
std::vector<circle> nucleotideCircles(const std::string& svg) {
    static const std::regex shape("<circle cx=\"([0-9.]+)\" cy=\"([0-9.]+)\" r=\"[0-9.]+\" fill=\"(#[0-9a-f]{6})\"/>");
    std::vector<circle> found;
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), shape); it != std::sregex_iterator(); ++it)
        found.push_back({std::stod((*it)[1]), std::stod((*it)[2]), (*it)[3]});
    return found;
}

size_t count(const std::string& text, const std::string& piece) {
    size_t found = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++found;
    return found;
}

std::string drawn(const std::string& letters, const std::string& brackets, std::vector<double> probability = {}) {
    radiateDrawing drawing;
    drawing.letters = letters;
    drawing.title = "test <drawing> & \"more\"";
    drawing.energyText = "-22.00 kcal/mol";
    drawing.pairedProbability = std::move(probability);
    return radiateSvg(layOutPlanar(partnersOf(brackets)), drawing);
}

int attributeOf(const std::string& svg, const std::string& name) {
    const std::regex value(" " + name + "=\"([0-9]+)\"");
    std::smatch match;
    return std::regex_search(svg, match, value) ? std::stoi(match[1]) : -1;
}

bool have(const char* command) { return std::system(("command -v " + std::string(command) + " >/dev/null 2>&1").c_str()) == 0; }

TEST(radiateSvgWrites, everyPartOfTheCloverleaf) {
    const std::string& letters = korvane::testing::TRNA_LETTERS;
    const std::string svg = drawn(letters, korvane::testing::TRNA_BRACKETS);
    const auto circles = nucleotideCircles(svg);
    ASSERT_EQ(circles.size(), letters.size());
    EXPECT_EQ(circles[0].fill, "#b5ecb5");   // G
    EXPECT_EQ(circles[1].fill, "#b3d4ff");   // C
    EXPECT_EQ(circles[4].fill, "#ffb3b3");   // A
    EXPECT_EQ(circles[5].fill, "#ffec99");   // U
    for (int number = 10; number <= 70; number += 10)
        EXPECT_NE(svg.find(">" + std::to_string(number) + "</text>"), std::string::npos) << number;
    EXPECT_EQ(svg.find(">80</text>"), std::string::npos);
    EXPECT_EQ(count(svg, "class=\"end\">5\u2032<"), 1u);
    EXPECT_EQ(count(svg, "class=\"end\">3\u2032<"), 1u);
    EXPECT_NE(svg.find(">test &lt;drawing&gt; &amp; &quot;more&quot;</text>"), std::string::npos);
    EXPECT_NE(svg.find(">-22.00 kcal/mol</text>"), std::string::npos);
    // the tRNA's G-U pairs: 4-69, 30-40 and 49-65 under this structure's letters
    int wobbles = 0;
    const auto pairs = partnersOf(korvane::testing::TRNA_BRACKETS);
    for (size_t i = 1; i < pairs.size(); ++i) {
        if (pairs[i] <= static_cast<int>(i)) continue;
        const std::string both{letters[i - 1], letters[static_cast<size_t>(pairs[i]) - 1]};
        wobbles += both == "GU" || both == "UG";
    }
    EXPECT_GT(wobbles, 0);
    const size_t dots = svg.find("class=\"wobble\"");
    ASSERT_NE(dots, std::string::npos);
    EXPECT_EQ(count(svg.substr(dots, svg.find("</g>", dots) - dots), "<circle"), static_cast<size_t>(wobbles));
    EXPECT_EQ(svg.find("linearGradient"), std::string::npos) << "a legend without probabilities";
    const int width = attributeOf(svg, "width");
    const int height = attributeOf(svg, "height");
    EXPECT_NE(svg.find("viewBox=\"0 0 " + std::to_string(width) + " " + std::to_string(height) + "\""), std::string::npos);
    for (const circle& c : circles) {
        EXPECT_GT(c.x, 0);
        EXPECT_LT(c.x, width);
        EXPECT_GT(c.y, 0);
        EXPECT_LT(c.y, height);
    }
}

TEST(radiateSvgWrites, probabilityOfTheStateDrawn) {
    // paired as drawn with p = 1, unpaired with paired p = 0: both certain; the opposites not
    const std::string brackets = "((....))";
    std::vector<double> probability{0, 1, 1, 0, 1, 0.5, 0.5, 1, 0};
    const auto circles = nucleotideCircles(drawn("GGAAAACC", brackets, probability));
    ASSERT_EQ(circles.size(), 8u);
    EXPECT_EQ(circles[0].fill, HIGH);
    EXPECT_EQ(circles[1].fill, HIGH);
    EXPECT_EQ(circles[2].fill, HIGH);
    EXPECT_EQ(circles[3].fill, LOW);
    EXPECT_EQ(circles[4].fill, circles[5].fill);
    EXPECT_NE(circles[4].fill, HIGH);
    EXPECT_NE(circles[4].fill, LOW);
    EXPECT_EQ(circles[6].fill, HIGH);
    EXPECT_EQ(circles[7].fill, LOW);
    EXPECT_NE(drawn("GGAAAACC", brackets, probability).find("linearGradient"), std::string::npos);
    // a vector of the wrong size is ignored: base colours, no legend
    probability.pop_back();
    const std::string plain = drawn("GGAAAACC", brackets, probability);
    EXPECT_EQ(nucleotideCircles(plain)[0].fill, "#b5ecb5");
    EXPECT_EQ(plain.find("linearGradient"), std::string::npos);
}

TEST(radiateSvgWrites, crossingPairsAsExtraLines) {
    const std::string svg = drawn("GGGGGGAAACCCAACCCCCCAAGGGA", "((((((...[[[..))))))..]]].");
    const size_t group = svg.find("class=\"crossing\"");
    ASSERT_NE(group, std::string::npos);
    EXPECT_EQ(count(svg.substr(group, svg.find("</g>", group) - group), "<line"), 3u);
    EXPECT_EQ(drawn("GGGAAACCC", "(((...)))").find("crossing"), std::string::npos);
}

TEST(radiateSvgWrites, numbersClearOfEveryCircle) {
    std::mt19937 rng(21);
    static const std::regex number("<text x=\"([0-9.]+)\" y=\"([0-9.]+)\" class=\"number\">");
    size_t labels = 0;
    size_t crowded = 0;
    for (int trial = 0; trial < 20; ++trial) {
        const auto pairs = korvane::testing::randomNested(rng, 500);
        std::string brackets;
        for (size_t p = 1; p < pairs.size(); ++p) brackets += pairs[p] == 0 ? '.' : pairs[p] > static_cast<int>(p) ? '(' : ')';
        const std::string svg = drawn(korvane::testing::lettersFor(pairs, rng), brackets);
        const auto circles = nucleotideCircles(svg);
        for (auto it = std::sregex_iterator(svg.begin(), svg.end(), number); it != std::sregex_iterator(); ++it) {
            ++labels;
            // the text's baseline sits a third of its size below its middle
            const double x = std::stod((*it)[1]);
            const double y = std::stod((*it)[2]) - 4;
            bool clear = true;
            for (const circle& c : circles) clear = clear && std::hypot(c.x - x, c.y - y) >= 0.9 * korvane::layout::UNIT_PIXELS;
            crowded += clear ? 0 : 1;
        }
    }
    EXPECT_EQ(labels, 20u * 50u);
    EXPECT_EQ(crowded, 0u);
}

// Pictures a renderer must take: well-formed, of their stated size, and showing the circles in
// their colours.
TEST(radiateSvgRendered, byXmllintAndRsvgConvert) {
    if (!have("xmllint") || !have("rsvg-convert")) GTEST_SKIP() << "xmllint or rsvg-convert is not installed";
    scratchFolder dir("radiate_render", false);
    std::mt19937 rng(11);
    const auto random = korvane::testing::randomNested(rng, 500);
    std::string randomBrackets;
    for (size_t p = 1; p < random.size(); ++p) randomBrackets += random[p] == 0 ? '.' : random[p] > static_cast<int>(p) ? '(' : ')';
    std::vector<double> probability(random.size());
    for (double& p : probability) p = static_cast<double>(rng() % 1001) / 1000;
    const std::vector<std::pair<std::string, std::string>> pictures = {
        {"trna", drawn(korvane::testing::TRNA_LETTERS, korvane::testing::TRNA_BRACKETS)},
        {"fiveS", drawn(korvane::testing::lettersFor(partnersOf(korvane::testing::FIVE_S_BRACKETS), rng),
                        korvane::testing::FIVE_S_BRACKETS)},
        {"knot", drawn("GGGGGGAAACCCAACCCCCCAAGGGA", "((((((...[[[..))))))..]]].")},
        {"random", drawn(korvane::testing::lettersFor(random, rng), randomBrackets, probability)},
        {"empty", drawn("", "")},
    };
    for (const auto& [name, svg] : pictures) {
        const auto svgPath = dir.root / (name + ".svg");
        const auto pngPath = dir.root / (name + ".png");
        writeFile(svgPath, svg);
        EXPECT_EQ(std::system(("xmllint --noout '" + svgPath.string() + "'").c_str()), 0) << name;
        ASSERT_EQ(std::system(("rsvg-convert -f png -o '" + pngPath.string() + "' '" + svgPath.string() + "'").c_str()), 0)
            << name;
        const int width = attributeOf(svg, "width");
        const int height = attributeOf(svg, "height");
        const std::string png = readFile(pngPath);
        const auto image = korvane::testing::readPng(png);
        EXPECT_EQ(image.width, width) << name;
        EXPECT_EQ(image.height, height) << name;

        // A white page of the same size compresses to far less than a drawing.
        const auto blankSvg = dir.root / (name + "-blank.svg");
        const auto blankPng = dir.root / (name + "-blank.png");
        writeFile(blankSvg, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) + "\" height=\"" +
                                std::to_string(height) + "\"><rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/></svg>");
        ASSERT_EQ(std::system(("rsvg-convert -f png -o '" + blankPng.string() + "' '" + blankSvg.string() + "'").c_str()), 0);
        if (name != "empty") {
            EXPECT_GT(png.size(), 3 * readFile(blankPng).size()) << name;
        }

        if (!image.decoded) continue;  // built without zlib: no pixels to look at
        size_t inked = 0;
        for (const auto& pixel : image.pixels) inked += pixel != std::array<std::uint8_t, 3>{255, 255, 255};
        if (name != "empty") {
            EXPECT_GT(inked, image.pixels.size() / 50) << name;
        }
        // Below each letter, inside its circle, the renderer painted the circle's fill.
        size_t matching = 0;
        const auto circles = nucleotideCircles(svg);
        for (const circle& c : circles) {
            const auto pixel = image.at(static_cast<int>(c.x), static_cast<int>(c.y + 7));
            const int expected = std::stoi(c.fill.substr(1), nullptr, 16);
            bool same = true;
            for (int k = 0; k < 3; ++k) same = same && std::abs(pixel[static_cast<size_t>(k)] - ((expected >> (16 - 8 * k)) & 0xff)) <= 2;
            matching += same;
        }
        EXPECT_EQ(matching, circles.size()) << name;
    }
}

}  // namespace
