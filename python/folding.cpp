#include "folding.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <optional>
#include <thread>

#include "output/output.h"

namespace korvane::python {

namespace {

constexpr double TENTHS_PER_KCAL = 10.0;

}  // namespace

foldedStructure foldOne(const rnaSequence& sequence, const paramTables& tables, const foldOptions& options,
                        foldWorkspace& workspace) {
    const int n = sequence.length();
    foldResult result;
    try {
        result = foldSequence(sequence, tables, options, workspace);
    } catch (const foldError& error) {
        if (error.kind() != foldErrorKind::noStem) throw;
        result = foldResult{};
        result.pairs.assign(static_cast<std::size_t>(n) + 1, 0);
    }
    foldedStructure folded;
    folded.title = sequence.title;
    folded.sequence = sequence.letters;
    folded.structure = bracketNotation(result.pairs, n);
    for (int i = 1; i <= n; ++i)
        if (result.pairs[i] > i) folded.pairs.emplace_back(i, result.pairs[i]);
    folded.energy = result.energy / TENTHS_PER_KCAL;
    folded.stems = result.stems;
    folded.passes = result.passes;
    return folded;
}

std::vector<foldedStructure> foldMany(const std::vector<rnaSequence>& sequences, const paramTables& tables,
                                      const foldOptions& options, int jobs) {
    const std::size_t count = sequences.size();
    std::vector<foldedStructure> results(count);
    std::vector<std::optional<foldError>> failures(count);
    std::vector<std::exception_ptr> otherFailures(count);
    std::atomic<std::size_t> next{0};
    const auto work = [&]() {
        foldWorkspace workspace;
        for (std::size_t k = next++; k < count; k = next++) {
            try {
                results[k] = foldOne(sequences[k], tables, options, workspace);
            } catch (const foldError& error) {
                failures[k] = foldError(error.kind(), "sequence " + std::to_string(k + 1) + ": " + error.what());
            } catch (...) {
                otherFailures[k] = std::current_exception();
            }
        }
    };
    const std::size_t threads = std::min<std::size_t>(static_cast<std::size_t>(std::max(jobs, 1)), count);
    {
        std::vector<std::jthread> workers;
        for (std::size_t t = 1; t < threads; ++t) workers.emplace_back(work);
        work();
    }
    for (std::size_t k = 0; k < count; ++k) {
        if (failures[k]) throw *failures[k];
        if (otherFailures[k]) std::rethrow_exception(otherFailures[k]);
    }
    return results;
}

}  // namespace korvane::python
