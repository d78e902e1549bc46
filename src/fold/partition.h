#pragma once
// The Boltzmann ensemble of the exact model (model.h): partition function by inside and outside
// recursions, base-pair and unpaired probabilities, and structures drawn from the ensemble.
//
// Tables hold scaled values: a quantity over positions i..j is stored times sigma^(j-i+1),
// sigma chosen from the sequence's own free energy per nucleotide, so that values stay near 1
// whatever the length. The inside pass runs by rows from the 3' end and starts again with a
// corrected sigma when a suffix drifts far from 1.
//
// Multibranch segments are split at their first branch, and each pair's share is pushed along
// the rows of later segments, so only pairable cells cost a pass over a row (as in mfe.cpp).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fold/model.h"

namespace korvane::fold {

class loopWeights;

struct pairProbability {
    int i;  // 1-based, i < j
    int j;
    double p;
};

// Scratch and results of one sequence; reuse across sequences to keep the allocations.
class partitionFunction {
public:
    // Inside and outside over model (which must outlive later sample calls). Throws
    // std::bad_alloc when the tables do not fit, std::range_error when no scale keeps the values
    // finite.
    void compute(const energyModel& model);

    int length() const { return n_; }
    double logPartition() const { return logZ_; }  // ln Z
    double ensembleEnergy() const;                 // -RT ln Z, kcal/mol

    // p(i, j) for 1 <= i < j <= n.
    double probability(int i, int j) const;
    // Probability that position p (1-based) is unpaired; [n + 1] entries, [0] unused.
    const std::vector<double>& unpaired() const { return unpaired_; }
    // Every pair with p >= floor, sorted by (i, j).
    std::vector<pairProbability> pairs(double floor) const;

    // count structures drawn independently with their Boltzmann probabilities (partner tables of
    // n + 1 entries); the same seed draws the same structures.
    std::vector<std::vector<int>> sample(int count, std::uint64_t seed) const;

    // Rescales the inside pass needed on the last compute (0 when the first sigma held).
    int rescales() const { return rescales_; }

private:
    const energyModel* model_ = nullptr;
    int n_ = 0;
    double sigma_ = 1.0;  // scale per nucleotide
    double logZ_ = 0.0;
    int rescales_ = 0;
    // Row-major triangles, rows 1..n+1 (row i holds j = i-1..n): index rowBase_[i] + j.
    std::vector<std::size_t> rowBase_;
    // Pair i-j closed; i..j of a multibranch loop with one branch or more; with two or more.
    std::vector<double> qb_, qm_, qs_;
    std::vector<double> qbOut_, qmOut_;  // outside values, already divided by Z
    // Row i at i mod RING. Inside: qb times the pair's mismatch as the inner pair of
    // an internal loop. Outside: the generic internal loops' share of qbOut, still to be
    // multiplied by that mismatch.
    std::vector<double> innerRing_;
    // The same for bulges on the 5' side (which reach down a column): qb times the terminal
    // penalty, then the outside share.
    std::vector<double> bulgeRing_;
    std::vector<double> suffix_;         // exterior loop over i..n, [n + 1] = 1
    std::vector<double> suffixOut_;
    std::vector<double> unpairedPower_;  // (multibranch unpaired weight)^m
    std::vector<double> unpaired_;
    // Rows of a block: two-or-more sums with the first branch at the row's start, their outside,
    // and the outside of the two-or-more segments.
    std::vector<double> more_, moreOut_, twoOut_;

    std::size_t row(int i, int j) const { return rowBase_[i] + static_cast<std::size_t>(j); }
    double* innerRow(int i);
    double* bulgeRow(int i);
    void allocate(int n);
    bool inside();  // false when the scale must change
    void outside();
    double interiorInside(const loopWeights& w, int i, int j);
    void interiorOutside(const loopWeights& w, int i, int j, double out);
};

}  // namespace korvane::fold
