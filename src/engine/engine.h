#pragma once
// The one engine call: every front end folds a sequence held in memory through it. No file,
// console, wait or process exit happens inside; failures are foldError exceptions.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "rna/sequence.h"
#include "thermo/paramTables.h"

namespace korvane {

enum class foldAlgorithm { greedy, mfe, mea, threshknot };

struct foldOptions {
    foldAlgorithm algorithm = foldAlgorithm::greedy;
    // Greedy only: the batch program's fixed stem pool; a sequence whose stems overflow it is
    // refused (foldErrorKind::poolOverflow) instead of the pool growing.
    bool batchPoolLimit = false;
    double gamma = 1.0;      // mea: weight of paired against unpaired accuracy
    double threshold = 0.3;  // threshknot: least pair probability kept
    int beam = 0;            // dynamic programming: 0 exact, else the states kept per span
    bool probabilities = false;  // fill the ensemble fields even where the algorithm needs none
    int samples = 0;             // structures drawn from the Boltzmann ensemble
    std::uint64_t seed = 1;      // for the samples
};

struct pairProbability {
    int i = 0;  // 1-based, i < j
    int j = 0;
    double p = 0.0;
};

struct foldResult {
    std::vector<int> pairs;  // [n + 1], 1-based partner of each position, 0 when unpaired
    int energy = 0;          // tenths of kcal/mol under the algorithm's model
    // Greedy: false when the first pass added nothing (the batch program then writes no
    // dot-bracket structure); pairs are then all 0.
    bool assembled = true;
    int stems = 0;   // greedy: stems found
    int passes = 0;  // greedy: passes that scored candidates
    // Filled by the ensemble algorithms (or when options.probabilities is set).
    bool hasEnsemble = false;
    double ensembleEnergy = 0.0;    // -RT ln Z, kcal/mol
    double expectedAccuracy = 0.0;  // of the returned structure, from the probabilities
    std::vector<pairProbability> probabilities;  // p >= PROBABILITY_FLOOR, ordered by (i, j)
    std::vector<double> unpaired;                // [n + 1], probability that p is unpaired
    std::vector<std::vector<int>> samples;       // partner tables like pairs
};

constexpr double PROBABILITY_FLOOR = 1e-5;

enum class foldErrorKind { tooLong, poolOverflow, outOfMemory, invalidOptions };

class foldError : public std::runtime_error {
public:
    foldError(foldErrorKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    foldErrorKind kind() const { return kind_; }

private:
    foldErrorKind kind_;
};

// Per-thread scratch memory, reusable across sequences so that a batch allocates once. Not
// shared between threads.
class foldWorkspace {
public:
    foldWorkspace();
    ~foldWorkspace();
    foldWorkspace(const foldWorkspace&) = delete;
    foldWorkspace& operator=(const foldWorkspace&) = delete;

    struct state;
    state& get() { return *state_; }

private:
    std::unique_ptr<state> state_;
};

// Folds sequence with tables (immutable, may be shared by threads). Throws foldError.
foldResult foldSequence(const rnaSequence& sequence, const paramTables& tables, const foldOptions& options,
                        foldWorkspace& workspace);

}  // namespace korvane
