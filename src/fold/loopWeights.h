#pragma once
// Boltzmann weights of the model's loop terms, scaled by sigma per nucleotide the loop itself
// covers (a pair's own two nucleotides count with the loop they close). Shared by the
// recursions and the sampler so that both weigh every loop identically.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "energy/loopTermsOf.h"
#include "fold/model.h"

namespace korvane::fold {

constexpr double TENTHS_PER_KCAL = 10.0;

// [a][b][c][d] by base codes, as the parameter grids.
using weightGrid = std::array<std::array<std::array<std::array<double, CODES>, CODES>, CODES>, CODES>;

class loopWeights {
    static constexpr int SHAPES = 3;
    static constexpr auto GENERIC = loopTerms::mismatchShape::generic;
    static constexpr int GENERIC_SHAPE = static_cast<int>(GENERIC);
    static constexpr loopTerms::mismatchShape shapeOf(int s1, int s2) { return loopTerms::shapeOf(s1, s2); }
    static const codeGrid<4>& mismatchTable(const paramTables& t, int shape) {
        return loopTerms::mismatchTable(t, static_cast<loopTerms::mismatchShape>(shape));
    }

public:
    loopWeights(const energyModel& model, double sigma) : m_(model), sigma_(sigma) {
        beta_ = 1.0 / (TENTHS_PER_KCAL * static_cast<double>(model.tables.rtKcal));
        const paramTables& t = model.tables;
        for (int a = 0; a < CODES; ++a)
            for (int b = 0; b < CODES; ++b)
                for (int c = 0; c < CODES; ++c)
                    for (int d = 0; d < CODES; ++d) {
                        stack_[a][b][c][d] = factor(t.stack[a][b][c][d] + t.loopConst[1]) * sigma * sigma;
                        for (int shape = 0; shape < SHAPES; ++shape)
                            mismatch_[shape][a][b][c][d] = factor(mismatchTable(t, shape)[a][b][c][d]);
                        // Helix end a-b with c after a and d before b, as model.h's helixEnd.
                        const int end = t.pairAuPenalty(a, b) + t.dangle[a][b][c][SIDE_3PRIME] + t.dangle[a][b][d][SIDE_5PRIME];
                        multiClosing_[a][b][c][d] = factor(model.multiOffset() + model.multiPerHelix() + end) * sigma * sigma;
                        multiBranch_[a][b][c][d] = factor(model.multiPerHelix() + end);
                        exterior_[a][b][c][d] = factor(end);
                        bulgeOne_[a][b][c][d] = factor(t.stack[a][b][c][d] + t.bulgeLoop[1] + t.loopConst[2]) *
                                                std::pow(sigma, 3);
                    }
        for (int a = 0; a < CODES; ++a)
            for (int b = 0; b < CODES; ++b) au_[a][b] = factor(t.pairAuPenalty(a, b));
        shaped_ = t.tstacki1n != t.tstacki || t.tstacki23 != t.tstacki;
        for (int s1 = 0; s1 <= MAX_INTERIOR; ++s1)
            for (int s2 = 0; s1 + s2 <= MAX_INTERIOR; ++s2) {
                const int size = s1 + s2;
                const double cover = std::pow(sigma, size + 2);
                if (size == 0) continue;
                if (s1 == 0 || s2 == 0) {
                    bulge_[size] = factor(t.bulgeLoop[size] + t.loopConst[2]) * cover;
                } else {
                    const int side = std::min({2, s1, s2});
                    const int asymmetry = std::min(t.asymmetryMax, std::abs(s1 - s2) * t.asymmetryPenalty[side]);
                    generic_[s1][s2] = factor(t.internalLoop[size] + t.loopConst[3] + asymmetry) * cover;
                }
            }
        multiUnpaired_ = factor(model.multiPerUnpaired()) * sigma;
        logSigma_ = std::log(sigma);
        for (int m = 0; m <= MAX_INTERIOR + 2; ++m) sigmaPower_[m] = std::pow(sigma, m);
        for (int s1 = 0; s1 <= MAX_INTERIOR; ++s1)
            for (int r = 0; r <= MAX_INTERIOR - s1; ++r) {
                const int s2 = MAX_INTERIOR - s1 - r;
                const bool ownTable = shaped_ && s1 > 0 && s2 > 0 && shapeOf(s1, s2) != GENERIC;
                genericRising_[s1][r] = ownTable ? 0.0 : generic_[s1][s2];
            }
    }

    double factor(int tenths) const { return std::exp(-beta_ * tenths); }
    double beta() const { return beta_; }
    double sigma() const { return sigma_; }

    double hairpin(int i, int j) const { return std::exp(-beta_ * m_.hairpin(i, j) + logSigma_ * (j - i + 1)); }

    // Loop closed by i-j around k-l; the size-limited range is the caller's.
    double interior(int i, int j, int k, int l) const {
        const int s1 = k - i - 1;
        const int s2 = j - l - 1;
        const auto& c = m_.code;
        if (s1 + s2 == 0) return stack_[c[i]][c[j]][c[k]][c[l]];
        if (s1 + s2 == 1) return bulgeOne_[c[i]][c[j]][c[k]][c[l]];
        if (s1 <= 2 && s2 <= 2 && (s1 + s2 == 1 || (s1 > 0 && s2 > 0)))
            return factor(m_.interior(i, j, k, l)) * sigmaPower_[s1 + s2 + 2];
        if (s1 == 0 || s2 == 0) return bulge_[s1 + s2] * au_[c[i]][c[j]] * au_[c[k]][c[l]];
        const weightGrid& mismatch = mismatch_[static_cast<int>(shapeOf(s1, s2))];
        return generic_[s1][s2] * mismatch[c[i]][c[j]][c[i + 1]][c[j - 1]] * mismatch[c[l]][c[k]][c[l + 1]][c[k - 1]];
    }

    // Whether 1xn and 2x3 loops have mismatch tables of their own. If so, genericRising leaves
    // them out and the caller adds them with their shape's mismatches; otherwise every generic
    // loop factorises with the common ones.
    bool shapedLoops() const { return shaped_; }

    // The generic internal loop's weight factorises: genericSize(s1, s2) times the mismatch of
    // the closing pair i-j times that of the inner pair k-l (seen from the loop), both from the
    // loop shape's table; outerMismatch and innerMismatch are those of the common table.
    double genericSize(int s1, int s2) const { return generic_[s1][s2]; }
    // A bulge of size unpaired nucleotides (at least 2) without its two terminal penalties.
    double bulgeSize(int size) const { return bulge_[size]; }
    double terminal(int a, int b) const { return au_[m_.code[a]][m_.code[b]]; }
    // genericSize(s1, 30 - s1 - r) at [r]: rising with the inner pair's 3' end.
    const double* genericRising(int s1) const { return genericRising_[s1].data(); }
    double outerMismatch(int i, int j) const {
        const auto& c = m_.code;
        return mismatch_[GENERIC_SHAPE][c[i]][c[j]][c[i + 1]][c[j - 1]];
    }
    double innerMismatch(int k, int l) const {
        const auto& c = m_.code;
        return mismatch_[GENERIC_SHAPE][c[l]][c[k]][c[l + 1]][c[k - 1]];
    }

    // The same from the table of a loop shape (loopTerms::shapeOf).
    double outerMismatch(int i, int j, loopTerms::mismatchShape shape) const {
        const auto& c = m_.code;
        return mismatch_[static_cast<int>(shape)][c[i]][c[j]][c[i + 1]][c[j - 1]];
    }
    double innerMismatch(int k, int l, loopTerms::mismatchShape shape) const {
        const auto& c = m_.code;
        return mismatch_[static_cast<int>(shape)][c[l]][c[k]][c[l + 1]][c[k - 1]];
    }

    double multiClosing(int i, int j) const {
        const auto& c = m_.code;
        return multiClosing_[c[i]][c[j]][c[i + 1]][c[j - 1]];
    }
    // 1 < k, l < n: a branch always has its neighbours inside the closing pair.
    double multiBranch(int k, int l) const {
        const auto& c = m_.code;
        return multiBranch_[c[l]][c[k]][c[l + 1]][c[k - 1]];
    }
    double multiUnpaired() const { return multiUnpaired_; }
    double exteriorBranch(int k, int l) const {
        const auto& c = m_.code;
        if (k == 1 || l == m_.n) return factor(m_.exteriorBranch(k, l));
        return exterior_[c[l]][c[k]][c[l + 1]][c[k - 1]];
    }

private:
    const energyModel& m_;
    double sigma_;
    double beta_ = 0.0;  // 1 / RT in 1 / (tenths of kcal/mol)
    weightGrid stack_{};
    std::array<weightGrid, SHAPES> mismatch_{};  // by loopTerms::mismatchShape
    weightGrid multiClosing_{};  // by the closing pair's codes and the two inside it
    weightGrid multiBranch_{};   // by the branch's codes (3' first) and its outer neighbours
    weightGrid exterior_{};
    weightGrid bulgeOne_{};
    std::array<std::array<double, CODES>, CODES> au_{};
    std::array<double, MAX_INTERIOR + 1> bulge_{};
    std::array<std::array<double, MAX_INTERIOR + 1>, MAX_INTERIOR + 1> generic_{};
    bool shaped_ = false;
    double multiUnpaired_ = 0.0;
    double logSigma_ = 0.0;
    std::array<double, MAX_INTERIOR + 3> sigmaPower_{};
    std::array<std::array<double, MAX_INTERIOR + 1>, MAX_INTERIOR + 1> genericRising_{};
};

}  // namespace korvane::fold
