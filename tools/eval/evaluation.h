#pragma once
// korvane-eval's scoring of a read structure, shared with the Python module: which structures
// can be scored at all, and their free energy under a named energy model.

#include <string>
#include <vector>

#include "structureFile.h"
#include "thermo/paramTables.h"

namespace korvane {

// The models a structure can be scored under: "full" is the batch program's evaluator, "mfe"
// the model that the exact algorithms optimise.
enum class scoringModel { full, mfe };

// Names of the models, in the order help texts list them.
std::vector<std::string> energyModelNames();

// The model called name. Throws std::invalid_argument naming the known models.
scoringModel energyModelNamed(const std::string& name);

// Why s cannot form at all (a pair other than A-U, C-G, G-U, or a hairpin of fewer than three
// unpaired nucleotides), naming the pair; empty when s can be scored.
std::string impossibility(const scoredStructure& s);

// Why model cannot score s: impossibility(s), and for mfe also loops beyond what it forms.
std::string modelFault(scoringModel model, const paramTables& tables, const scoredStructure& s);

// Free energy of s in tenths of kcal/mol under model with tables. s must be nested and scorable
// (modelFault empty); the tables' forbidden-combination value comes back otherwise.
int evaluateStructure(scoringModel model, const paramTables& tables, const scoredStructure& s);

}  // namespace korvane
