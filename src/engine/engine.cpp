#include "engine/engine.h"

#include <algorithm>
#include <new>
#include <utility>

#include "assembly/detail/foldJob.h"
#include "rna/sequenceReader.h"

namespace korvane {

struct foldWorkspace::parts {
    foldJob greedy;
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

}  // namespace

foldResult foldSequence(const rnaSequence& sequence, const paramTables& tables, const foldOptions& options,
                        foldWorkspace& workspace) {
    try {
        switch (options.algorithm) {
            case foldAlgorithm::greedy: return foldGreedy(sequence, tables, options, workspace.get().greedy);
            default: throw foldError(foldErrorKind::unsupported, "this algorithm is not available in this build");
        }
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
