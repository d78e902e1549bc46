#pragma once
// Parameter sets for the Python module, loaded once per (name, temperature) and kept.

#include <memory>
#include <string>

#include "thermo/paramTables.h"

namespace korvane::python {

// The tables loadParameterSet gives for nameOrFolder at celsius, shared with every later caller
// asking for the same pair (a folder is read once: later edits of its files are not seen).
// Throws parameterError as loadParameterSet does. Safe to call from several threads.
std::shared_ptr<const paramTables> cachedParameterSet(const std::string& nameOrFolder, double celsius);

}  // namespace korvane::python
