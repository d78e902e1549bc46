#pragma once
// Parameter sets by name (built into the binary) or by folder (the nineteen-file layout).

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "thermo/paramTables.h"
#include "thermo/parameterReader.h"

namespace korvane {

constexpr double DEFAULT_CELSIUS = 37.0;
constexpr const char* DEFAULT_PARAMETER_SET = "turner1999";

struct parameterError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The set used where none is named. The greedy assembly keeps the batch program's Turner 1999.
// The exact algorithms and their model take the learned set, which folds the held-out molecules
// best (README, bench/RESULTS.md), at 37 C where it is defined, and Turner 2004 elsewhere.
std::string defaultParameterSet(bool exactModel, double celsius = DEFAULT_CELSIUS);

// Names of the sets built into the binary, default first.
std::vector<std::string> builtinParameterSets();

// The tables of a built-in set (by name) or of a folder holding the nineteen files (a name with
// a '/' in it, or an existing folder), adjusted to celsius. Throws parameterError saying why.
std::unique_ptr<paramTables> loadParameterSet(const std::string& nameOrFolder, double celsius = DEFAULT_CELSIUS);

// The files of a built-in set or of a folder, as texts: the free energies, or the enthalpies.
// Throws parameterError when the set or a file is missing.
parameterTexts parameterSetTexts(const std::string& nameOrFolder, bool enthalpy);

}  // namespace korvane
