#include "engine/engine.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <utility>

#include "assembly/detail/foldJob.h"
#include "fold/mfe.h"
#include "fold/decoding.h"
#include "fold/modelEnergy.h"
#include "fold/partition.h"
#include "rna/sequenceReader.h"

namespace korvane {

struct foldWorkspace::parts {
    foldJob greedy;
    fold::mfeWorkspace mfe;
    fold::partitionFunction ensemble;
};

foldWorkspace::foldWorkspace() : parts_(std::make_unique<parts>()) {}
foldWorkspace::~foldWorkspace() = default;

namespace {

foldResult foldGreedy(const rnaSequence& sequence, const paramTables& tables, const foldOptions& options,
                      foldJob& job) {
    job.tables = &tables;
    job.poolLimit = options.stemPoolLimit;
    job.load(sequence);
    if (!job.findMaxStems()) {
        if (options.stemPoolLimit != UNLIMITED_STEM_POOL && job.stemsFound() >= options.stemPoolLimit)
            throw foldError(foldErrorKind::stemPoolFull,
                            "the stems fill the stem pool (" + std::to_string(options.stemPoolLimit) + ")");
        throw foldError(foldErrorKind::noStem, "no stem (three or more stacked pairs) was found");
    }
    if (options.afterSearch) options.afterSearch();
    job.SAT();
    foldResult result;
    const auto row = std::as_const(job.finalStructure).pairs(1);
    result.pairs.assign(row.begin(), row.begin() + sequence.length() + 1);
    result.energy = job.finalStructure.energy[1];
    result.stems = job.stemsFound();
    result.passes = job.passesRun();
    result.assembled = job.finalStructure.nstructs >= 1;
    return result;
}

foldResult foldMfe(const rnaSequence& sequence, const paramTables& tables, const foldOptions& options,
                   fold::mfeWorkspace& workspace) {
    if (options.beam != 0) throw foldError(foldErrorKind::unsupported, "the beam is not available in this build");
    const fold::energyModel model(tables, sequence.codes, sequence.length());
    foldResult result;
    result.energy = fold::minimumFreeEnergy(model, workspace, result.pairs, options.maxSpan);
    return result;
}

foldResult foldByAlgorithm(const rnaSequence& sequence, const paramTables& tables, const foldOptions& options,
                           foldWorkspace& workspace) {
    switch (options.algorithm) {
        case foldAlgorithm::greedy: return foldGreedy(sequence, tables, options, workspace.get().greedy);
        case foldAlgorithm::mfe: return foldMfe(sequence, tables, options, workspace.get().mfe);
        default: throw foldError(foldErrorKind::unsupported, "this algorithm is not available in this build");
    }
}

// Pairs listed in the result, the decoders' candidates and the probability outputs.
constexpr double LISTED_PROBABILITY_FLOOR = 1e-6;

// Energy of a decoded structure: that of its nested part (crossing pairs of lower probability
// dropped), less any pair closing a loop the model cannot form.
int decodedEnergy(const fold::energyModel& model, const foldResult& result) {
    std::vector<fold::pairProbability> listed;
    listed.reserve(result.pairProbabilities.size());
    for (const auto& pair : result.pairProbabilities) listed.push_back({pair.i, pair.j, pair.p});
    const std::vector<int> nested = fold::withinModel(fold::nestedByProbability(result.pairs, listed));
    const fold::modelEvaluation evaluation = fold::evaluateStructure(model, nested);
    return evaluation.allowed ? evaluation.energy : 0;
}

// Fills the ensemble fields of result (and the structure, for the decoding algorithms).
void addEnsemble(const rnaSequence& sequence, const paramTables& tables, const foldOptions& options,
                 fold::partitionFunction& ensemble, foldResult& result) {
    const int n = sequence.length();
    const fold::energyModel model(tables, sequence.codes, n);
    try {
        ensemble.compute(model);
    } catch (const std::range_error& error) {
        throw foldError(foldErrorKind::unsupported, error.what());
    }
    result.hasEnsemble = true;
    result.ensembleEnergy = ensemble.ensembleEnergy();
    result.pairedProbability.assign(static_cast<std::size_t>(n) + 1, 0.0);
    for (int p = 1; p <= n; ++p) result.pairedProbability[p] = 1.0 - ensemble.unpaired()[p];
    const std::vector<fold::pairProbability> listed = ensemble.pairs(LISTED_PROBABILITY_FLOOR);
    result.pairProbabilities.clear();
    result.pairProbabilities.reserve(listed.size());
    for (const auto& pair : listed) result.pairProbabilities.push_back({pair.i, pair.j, pair.p});
    if (options.algorithm == foldAlgorithm::mea) {
        result.pairs = fold::withinModel(
            fold::maximumExpectedAccuracy(n, listed, ensemble.unpaired(), options.gamma));
        result.energy = decodedEnergy(model, result);
    } else if (options.algorithm == foldAlgorithm::threshknot) {
        result.pairs = fold::threshKnot(n, listed, options.threshold);
        result.energy = decodedEnergy(model, result);
    }
    if (options.samples > 0) result.sampled = ensemble.sample(options.samples, options.seed);
}

}  // namespace

foldResult foldSequence(const rnaSequence& sequence, const paramTables& tables, const foldOptions& options,
                        foldWorkspace& workspace) {
    try {
        const bool decoded = options.algorithm == foldAlgorithm::mea || options.algorithm == foldAlgorithm::threshknot;
        const bool ensemble = decoded || options.probabilities || options.samples > 0;
        if (!ensemble) return foldByAlgorithm(sequence, tables, options, workspace);
        foldResult result;
        try {
            if (!decoded) result = foldByAlgorithm(sequence, tables, options, workspace);
        } catch (const foldError& error) {
            // The ensemble exists even where the greedy search finds no stem: of the open chain.
            if (error.kind() != foldErrorKind::noStem) throw;
            result.pairs.assign(static_cast<std::size_t>(sequence.length()) + 1, 0);
        }
        if (decoded) result.pairs.assign(static_cast<std::size_t>(sequence.length()) + 1, 0);
        addEnsemble(sequence, tables, options, workspace.get().ensemble, result);
        return result;
    } catch (const std::bad_alloc&) {
        // The workspace may hold half-built buffers; the next load starts them afresh.
        throw foldError(foldErrorKind::outOfMemory, "not enough memory for a sequence of " +
                                                        std::to_string(sequence.length()) + " nucleotides");
    }
}

structure resultRecord(const rnaSequence& sequence, const foldResult& result) {
    const int n = sequence.length();
    structure record(2);
    record.setLabel(1, sequence.title);
    fillSequence(record, sequence.letters);
    auto row = record.pairs(1);
    for (int p = 1; p <= n && p < static_cast<int>(result.pairs.size()); ++p) row[p] = result.pairs[p];
    record.energy[1] = result.energy;
    record.nstructs = result.assembled ? 1 : 0;
    return record;
}

}  // namespace korvane
