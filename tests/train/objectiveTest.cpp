#include <gtest/gtest.h>

#include <random>

#include "../fold/bruteForce.h"
#include "rna/sequence.h"
#include "thermo/parameterSets.h"
#include "train/objective.h"

namespace korvane::train {
namespace {

// A few molecules the test makes itself: random sequences, each with a structure it admits.
std::vector<molecule> someMolecules(int count, std::mt19937& random) {
    std::vector<molecule> out;
    while (static_cast<int>(out.size()) < count) {
        molecule m;
        std::string letters;
        for (int p = 0; p < 30 + static_cast<int>(random() % 30); ++p) letters += "GGCCAUAU"[random() % 8];
        m.name = "m" + std::to_string(out.size());
        m.sequence = makeSequence(m.name, letters);
        const int n = m.sequence.length();
        m.reference.assign(n + 1, 0);
        // A greedy ladder of pairs from the outside in, wherever the letters allow.
        for (int i = 1, j = n; i + 4 < j; ++i, --j)
            if (codesPair(m.sequence.codes[i], m.sequence.codes[j]) && random() % 4 != 0)
                m.reference[i] = j, m.reference[j] = i;
        out.push_back(std::move(m));
    }
    return out;
}

void expectExactGradient(double wholeShare, double accuracyWeight) {
    const auto turner = loadParameterSet("turner1999");
    const parameterLayout layout(*turner);
    std::mt19937 random(29);
    const auto molecules = someMolecules(5, random);
    std::vector<const molecule*> use;
    for (const auto& m : molecules) use.push_back(&m);
    const objective one(*turner, layout, use, 0.01, 1, wholeShare, accuracyWeight);
    const objective two(*turner, layout, use, 0.01, 2, wholeShare, accuracyWeight);
    std::vector<double> theta = layout.initial();
    for (double& x : theta) x += std::uniform_real_distribution<double>(-3, 3)(random);
    std::vector<double> gradient, other;
    const double value = one.evaluate(theta, gradient);
    EXPECT_EQ(value, two.evaluate(theta, other));
    EXPECT_EQ(gradient, other);

    // The parameters these molecules use most, and a few others.
    std::vector<int> checked;
    for (int p = 0; p < layout.size(); ++p)
        if (std::abs(gradient[p]) > 1e-3 && checked.size() < 12) checked.push_back(p);
    ASSERT_GE(checked.size(), 6u);
    const double h = 1e-4;
    for (int p : checked) {
        std::vector<double> up = theta, down = theta, ignored;
        up[p] += h, down[p] -= h;
        const double numeric = (one.evaluate(up, ignored) - one.evaluate(down, ignored)) / (2 * h);
        EXPECT_NEAR(gradient[p], numeric, 1e-6 + 1e-5 * std::abs(numeric)) << layout.name(p);
    }
    // Holding the reference is likelier than being it: the contained reading's value is lower.
    if (wholeShare < 1 && accuracyWeight == 0) {
        const objective whole(*turner, layout, use, 0.01, 1, 1.0);
        std::vector<double> ignored;
        EXPECT_LT(value, whole.evaluate(theta, ignored));
    }
}

TEST(TrainingObjective, GradientEqualsFiniteDifferencesAndThreadsDoNotChangeIt) {
    for (double wholeShare : {1.0, 0.0, 0.3}) expectExactGradient(wholeShare, 0.0);
    expectExactGradient(0.0, 5.0);
}

}  // namespace
}  // namespace korvane::train
