#pragma once
// The folds behind korvane.fold and korvane.fold_many, free of Python so that they run with the
// interpreter lock released.

#include <string>
#include <utility>
#include <vector>

#include "engine/engine.h"

namespace korvane::python {

// One folded sequence as the module hands it out.
struct foldedStructure {
    std::string title;
    std::string sequence;
    std::string structure;                  // dot-bracket
    std::vector<std::pair<int, int>> pairs;  // 1-based, i < j, by i
    double energy = 0.0;                     // kcal/mol
    int stems = 0;
    int passes = 0;
};

// Folds sequence as korvane-fold does: a sequence with no stem is the open chain of energy 0.
// Throws foldError for anything else the engine refuses.
foldedStructure foldOne(const rnaSequence& sequence, const paramTables& tables, const foldOptions& options,
                        foldWorkspace& workspace);

// foldOne for every sequence on up to jobs threads (one workspace each), results in input
// order. When folds fail, the failure of the first such sequence is thrown (a foldError naming
// its number, from 1) once every thread has stopped.
std::vector<foldedStructure> foldMany(const std::vector<rnaSequence>& sequences, const paramTables& tables,
                                      const foldOptions& options, int jobs);

}  // namespace korvane::python
