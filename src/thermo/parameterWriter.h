#pragma once
// Writes a parameter set in the nineteen-file layout by rewriting an existing set's files:
// every number the reader takes into a cell whose value changed is replaced, and everything
// else (headings, layout, the other numbers) stays as it was.

#include <stdexcept>

#include "thermo/parameterReader.h"

namespace korvane {

struct parameterWriteError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The texts of a set whose cells read as values, laid out as texts. Throws parameterWriteError
// when a changed cell is not read from a number of its own (cells filled by a rule), or when
// two cells read from one number are given different values.
parameterTexts rewriteParameterTexts(const parameterTexts& texts, const paramTables& values);

}  // namespace korvane
