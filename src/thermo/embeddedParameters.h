#pragma once
// The parameter sets built into the binary (generated from the parameter folders).

#include <cstddef>

#include "thermo/parameterReader.h"

namespace korvane::detail {

struct embeddedFile {
    const unsigned char* data;  // nullptr when the set has no such file
    std::size_t size;
};

struct embeddedParameterSet {
    const char* name;
    // The free-energy files in parameterFile order, then the enthalpy files in the same order.
    embeddedFile files[2 * PARAMETER_FILE_COUNT];
};

extern const embeddedParameterSet EMBEDDED_PARAMETER_SETS[];
extern const int EMBEDDED_PARAMETER_SET_COUNT;

}  // namespace korvane::detail
