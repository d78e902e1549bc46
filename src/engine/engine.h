#pragma once
// The one engine call: a sequence in memory and options in, a structure and what the engine
// measured out. No files, no console, no exit; failures are foldError.

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "rna/sequence.h"
#include "rna/structure.h"
#include "thermo/paramTables.h"

namespace korvane {

enum class foldAlgorithm { greedy, mfe, mea, threshknot };

constexpr int UNLIMITED_STEM_POOL = 0;

struct foldOptions {
    foldAlgorithm algorithm = foldAlgorithm::greedy;
    // Greedy: stems the pool may hold before the sequence is refused (the batch program's 9,998);
    // UNLIMITED_STEM_POOL lets it grow with the sequence.
    int stemPoolLimit = UNLIMITED_STEM_POOL;
    int beam = 0;             // mfe: 0 exact, otherwise the beam width
    int maxSpan = 0;          // mfe: 0 any pair, otherwise the longest j - i a pair i-j may span
    double gamma = 0.5;       // mea; chosen on the training data's valid molecules (bench/decoding-grid)
    double threshold = 0.5;   // threshknot; chosen the same way
    bool probabilities = false;  // compute base-pair probabilities for any algorithm
    int samples = 0;             // structures drawn from the ensemble
    std::uint64_t seed = 1;
    // Greedy: called once the stems are found, before the assembly (where the batch program
    // shows its progress line, so that anything the assembly reports comes after it).
    std::function<void()> afterSearch;
};

struct foldResult {
    std::vector<int> pairs;  // [n + 1]: partner of p, 0 when unpaired; may cross (threshknot)
    int energy = 0;          // tenths of kcal/mol
    int stems = 0;           // greedy: stems found by the search
    int passes = 0;          // greedy: assembly passes that scored candidates
    bool assembled = true;   // greedy: false when no pass added a pair (the batch files tell)
    // When probabilities were computed:
    bool hasEnsemble = false;
    double ensembleEnergy = 0.0;            // kcal/mol, -RT ln Z
    std::vector<double> pairedProbability;  // [n + 1]
    struct pairProbability {
        int i;
        int j;
        double p;
    };
    std::vector<pairProbability> pairProbabilities;  // i < j, p above a small floor, by (i, j)
    std::vector<std::vector<int>> sampled;           // pair tables of the drawn structures
};

enum class foldErrorKind { noStem, stemPoolFull, outOfMemory, unsupported };

class foldError : public std::runtime_error {
public:
    foldError(foldErrorKind kind, const std::string& what) : std::runtime_error(what), kind_(kind) {}
    foldErrorKind kind() const { return kind_; }

private:
    foldErrorKind kind_;
};

// Scratch memory of one thread, reused across sequences.
class foldWorkspace {
public:
    foldWorkspace();
    ~foldWorkspace();
    foldWorkspace(const foldWorkspace&) = delete;
    foldWorkspace& operator=(const foldWorkspace&) = delete;
    struct parts;
    parts& get() { return *parts_; }

private:
    std::unique_ptr<parts> parts_;
};

// The record the CT, dot-bracket and drawing writers take: title, letters, pairs and energy of
// result as structure 1.
structure resultRecord(const rnaSequence& sequence, const foldResult& result);

// tables are read only and may be shared by threads; each thread has its own workspace.
foldResult foldSequence(const rnaSequence& sequence, const paramTables& tables, const foldOptions& options,
                        foldWorkspace& workspace);

}  // namespace korvane
