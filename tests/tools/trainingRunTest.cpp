#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "thermo/parameterSets.h"
#include "trainingRun.h"

namespace korvane::train {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// A few hairpin molecules the test makes itself, in the training data's layout.
fs::path makeData(const fs::path& root) {
    fs::create_directories(root);
    std::ofstream manifest(root / "manifest.tsv");
    manifest << "name\tfamily\tsplit\n";
    std::mt19937 random(5);
    for (int m = 0; m < 8; ++m) {
        const std::string name = "m" + std::to_string(m);
        manifest << name << "\tF" << m % 3 << "\t" << (m < 6 ? "train" : "valid") << "\n";
        std::string stem;
        for (int p = 0; p < 6; ++p) stem += "GCAU"[random() % 4];
        std::string partner;
        for (auto it = stem.rbegin(); it != stem.rend(); ++it) partner += *it == 'G' ? 'C' : *it == 'C' ? 'G' : *it == 'A' ? 'U' : 'A';
        const std::string letters = "AA" + stem + "GAAA" + partner + "AA";
        std::ofstream ct(root / (name + ".ref.ct"));
        const int n = static_cast<int>(letters.size());
        ct << n << "  " << name << "\n";
        for (int p = 1; p <= n; ++p) {
            const int partnerOf = (p >= 3 && p <= 8) ? 21 - p : (p >= 13 && p <= 18) ? 21 - p : 0;
            ct << p << " " << letters[p - 1] << " " << p - 1 << " " << (p + 1) % (n + 1) << " " << partnerOf << " " << p << "\n";
        }
    }
    return root;
}

TEST(trainingRun, learnsReproduciblyResumesAndWritesALoadableSet) {
    const fs::path root = fs::temp_directory_path() / ("korvane-train-" + std::to_string(::getpid()));
    fs::remove_all(root);
    const fs::path data = makeData(root / "data");
    trainingSettings s;
    s.data = data.string();
    s.iterations = 2;
    s.out = (root / "one").string();
    std::ostringstream first, second, resumed;
    ASSERT_EQ(runTraining(s, first), 0) << first.str();
    s.out = (root / "two").string();
    s.jobs = 2;
    ASSERT_EQ(runTraining(s, second), 0) << second.str();
    for (const char* file : {"stack.dat", "loop.dat", "int11.dat", "miscloop.dat", "tstackh.dat"})
        EXPECT_EQ(readAll(root / "one" / file), readAll(root / "two" / file)) << file;

    // Objective of iteration 0 and of the last one, from the table lines.
    std::vector<double> objective;
    std::istringstream lines(first.str());
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) objective.push_back(std::stod(line.substr(line.find('\t') + 1)));
    ASSERT_GE(objective.size(), 2u) << first.str();
    EXPECT_LT(objective.back(), objective.front());

    s.out = (root / "one").string();
    s.iterations = 3;
    s.resume = true;
    ASSERT_EQ(runTraining(s, resumed), 0) << resumed.str();
    EXPECT_NE(resumed.str().find("resumed after iteration 2"), std::string::npos) << resumed.str();
    EXPECT_NO_THROW(loadParameterSet((root / "one").string()));
    EXPECT_THROW(loadParameterSet((root / "one").string(), 25.0), parameterError);  // defined at 37 C only
    EXPECT_NE(readAll(root / "one" / "PROVENANCE.md").find("iterations asked: 3"), std::string::npos);

    s.data = (root / "missing").string();
    std::ostringstream refused;
    EXPECT_EQ(runTraining(s, refused), 1);
    fs::remove_all(root);
}

}  // namespace
}  // namespace korvane::train
