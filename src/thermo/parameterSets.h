#pragma once
// Parameter sets by name (built into the binaries) or by folder (the nineteen-file layout).

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "thermo/paramTables.h"

namespace korvane {

constexpr const char* DEFAULT_PARAMETER_SET = "turner1999";

class parameterError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Names of the sets built into this binary, in a fixed order.
std::vector<std::string> builtinParameterSets();

// Tables of the built-in set called nameOrFolder, or else of the folder at that path, adjusted
// to celsius. Throws parameterError naming the set or file and what is wrong.
std::unique_ptr<paramTables> loadParameterSet(const std::string& nameOrFolder, double celsius);

}  // namespace korvane
