// Every structure of the golden list, scored with the shipped parameter set, must match its
// independently computed energy exactly.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "energy/energy.h"
#include "energyTestSupport.h"
#include "thermo/thermoLoader.h"

namespace korvane {
namespace {

using namespace korvane::testing;

struct goldenCase {
    std::string name;
    std::string sequence;
    std::string brackets;
    int tenths = 0;
};

// "-12.3" -> -123 without going through floating point.
int tenthsOf(const std::string& text) {
    const bool negative = !text.empty() && text[0] == '-';
    const std::string digits = negative ? text.substr(1) : text;
    const auto dot = digits.find('.');
    if (dot == std::string::npos || dot + 2 != digits.size()) throw std::invalid_argument("bad energy " + text);
    const int value = std::stoi(digits.substr(0, dot)) * 10 + (digits[dot + 1] - '0');
    return negative ? -value : value;
}

std::vector<goldenCase> readGolden() {
    std::ifstream in(std::string(KORVANE_SOURCE_DIR) + "/tests/data/golden/energies.tsv");
    std::vector<goldenCase> cases;
    std::string line;
    std::getline(in, line);  // column names
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        std::istringstream fields(line);
        goldenCase c;
        std::string energy;
        std::getline(fields, c.name, '\t');
        std::getline(fields, c.sequence, '\t');
        std::getline(fields, c.brackets, '\t');
        std::getline(fields, energy, '\t');
        c.tenths = tenthsOf(energy);
        cases.push_back(c);
    }
    return cases;
}

TEST(goldenEnergies, shippedParametersReproduceEveryListedEnergy) {
    thermoLoader loader(true);
    const std::string dat = std::string(KORVANE_SOURCE_DIR) + "/dat";
    ASSERT_EQ(loader.loadTables(dat.c_str()), 0) << dat;
    const paramTables& tables = *loader.tables();

    const auto cases = readGolden();
    ASSERT_EQ(cases.size(), 440u);
    int mismatches = 0;
    for (const auto& c : cases) {
        ASSERT_EQ(c.sequence.size(), c.brackets.size()) << c.name;
        structure record;
        const int n = static_cast<int>(c.sequence.size());
        record.allocateSequence(n);
        record.nbases = n;
        record.nstructs = 1;
        const auto code = codesOf(c.sequence);
        const auto pairs = pairsOf(c.brackets);
        auto row = record.pairs(1);
        for (int p = 1; p <= n; ++p) {
            record.seqcode[p] = code[p];
            row[p] = pairs[p];
        }
        structureEnergy(tables, record, 1);
        if (record.energy[1] != c.tenths) ++mismatches;
        EXPECT_EQ(record.energy[1], c.tenths) << c.name << " " << c.sequence << " " << c.brackets;
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace korvane
