#pragma once
// ln Z of one sequence under real-valued parameters and the expected count of every free
// parameter's cells over the Boltzmann ensemble: the inside recursions of the exact model, then
// their adjoint (the outside pass), which gives each loop's probability and with it the
// loop's features. This is the gradient of ln Z that training needs.

#include <span>
#include <vector>

#include "fold/model.h"
#include "train/parameterLayout.h"
#include "train/realTables.h"

namespace korvane::train {

// Longest sequence summed without scaling: beyond it Z may leave double range.
constexpr int MAX_TRAINING_LENGTH = 600;

using realModel = fold::basicEnergyModel<realTables>;

class ensembleCounts {
public:
    // real scores the ensemble; cells names the features (the same sequence on integer tables,
    // whose cells the layout knows). counts gets size layout.size(), zeroed, then filled with
    // expected counts. Returns ln Z. Throws std::range_error when Z is not finite.
    // held (n + 1 partner entries, nested; empty for none): the ensemble is then only the
    // structures holding every one of those pairs.
    double compute(const realModel& real, const fold::energyModel& cells, const parameterLayout& layout,
                   std::vector<double>& counts, std::span<const int> held = {});

    // As compute, and the expected gain of a structure whose pairs (i, j) each gain
    // pairGain[i * (n + 1) + j], with gainCounts[p] = E[gain count_p] - E[gain] E[count_p]: the
    // expected gain's gradient is -beta gainCounts.
    double computeGain(const realModel& real, const fold::energyModel& cells, const parameterLayout& layout,
                       std::vector<double>& counts, std::span<const double> pairGain, std::vector<double>& gainCounts,
                       double& expectedGain);

    // p(i, j) of the last compute.
    double probability(int i, int j) const;

    struct gainValue {
        double a = 0;  // weight
        double b = 0;  // weight times gain
    };

private:
    template <typename V>
    struct grids {
        std::vector<V> qb, qm, qm1, qbBar, qmBar, qm1Bar, q, qBar;
        V z{};
    };
    template <typename V>
    double run(grids<V>& g, const realModel& real, const fold::energyModel& cells, const parameterLayout& layout,
               std::vector<double>& counts, std::span<const int> held, std::span<const double> pairGain,
               std::vector<double>* gainCounts);

    int n_ = 0;
    int width_ = 0;
    grids<double> plainGrids_;
    grids<gainValue> gainGrids_;
    bool withGain_ = false;
    std::vector<int> enclosing_, heldUpTo_;
    std::vector<double> branch_, unpairedPower_;
    loopFeatures features_;
    // The inside pass's interior loops with a non-zero inner pair, kept for the outside pass:
    // loops of pair (i, j) are interior_[first_[at(i, j)] .. last_[at(i, j)]).
    struct interiorLoop {
        int k;
        int l;
        double weight;
    };
    std::vector<interiorLoop> interior_;
    std::vector<size_t> first_, last_;
    size_t at(int i, int j) const { return static_cast<size_t>(i) * width_ + static_cast<size_t>(j); }
    // The one-branch pieces are always summed over their 5' end: stored by column.
    size_t byColumn(int i, int j) const { return static_cast<size_t>(j) * width_ + static_cast<size_t>(i); }
};

}  // namespace korvane::train
