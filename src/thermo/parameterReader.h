#pragma once
// Reads the nineteen parameter files of one set (free energies or enthalpies; the layouts
// are the same) into a paramTables.

#include <array>
#include <string>
#include <string_view>

#include "thermo/paramTables.h"

namespace korvane {

constexpr int PARAMETER_FILE_COUNT = 19;

// Position of each file in a path array; paths are always built and passed in this order.
enum parameterFile : int {
    loopFile,
    stackFile,
    tstackhFile,
    tstackiFile,
    tloopFile,
    miscloopFile,
    dangleFile,
    int22File,
    int21File,
    coaxialFile,
    tstackcoaxFile,
    coaxstackFile,
    tstackFile,
    tstackmFile,
    triloopFile,
    int11File,
    hexaloopFile,
    tstacki23File,
    tstacki1nFile,
};

using parameterPaths = std::array<std::string, PARAMETER_FILE_COUNT>;

// File names without folder or suffix, indexed by parameterFile.
inline constexpr std::array<std::string_view, PARAMETER_FILE_COUNT> PARAMETER_FILE_NAMES = {
    "loop",  "stack",      "tstackh",   "tstacki", "tloop",   "miscloop", "dangle",   "int22",     "int21",    "coaxial",
    "tstackcoax", "coaxstack", "tstack", "tstackm", "triloop", "int11",    "hexaloop", "tstacki23", "tstacki1n"};

// Fills tables (already constructed) from the nineteen files. Returns 1 when all were read,
// 0 when one cannot be opened (tables untouched) or when the miscellaneous file lacks a "-->"
// marker (a line on standard error names the record). A file shorter than its layout, or a
// value with no leading number, still loads (those cells get 0) but is reported by one line
// on standard error per file and kind. Cells with base code 0 or 5 are filled by fixed rules.
int readParameterFiles(const parameterPaths& paths, paramTables& tables);

// The contents of the nineteen files, in the order of parameterPaths.
using parameterTexts = std::array<std::string, PARAMETER_FILE_COUNT>;

// readParameterFiles on contents already read; paths only name the files in messages.
int readParameterTexts(const parameterTexts& contents, const parameterPaths& paths, paramTables& tables);

// Code of the first character: A or B 1, C or Z 2, G or H 3, U, V, T or W 4, anything else
// (lower case and the empty text included) 0.
int baseCodeOfLetter(std::string_view text);

// Key of a special hairpin: sum of code(p) * 5^p over the first length characters, the first
// character least significant; characters past the end of the text count as 0.
int specialHairpinKey(std::string_view sequence, int length);

}  // namespace korvane
