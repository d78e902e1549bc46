#pragma once
// Turns a parameter folder into loaded tables, adjusted to the folding temperature.

#include <array>
#include <memory>
#include <string>

#include "thermo/paramTables.h"
#include "thermo/parameterReader.h"

namespace korvane {

constexpr double STANDARD_TEMPERATURE = 310.15;  // 37 C in kelvin; the files hold these values
constexpr double TEMPERATURE_TOLERANCE = 0.01;   // closer than this to 37 C needs no adjustment
constexpr int LOAD_SUCCEEDED = 0;
constexpr int LOAD_FAILED = 5;

class thermoLoader {
public:
    // isRna selects the file names (false prefixes "dna"); temperature in kelvin.
    explicit thermoLoader(bool isRna, double temperature = STANDARD_TEMPERATURE);

    // Reads the nineteen ".dat" files of directory (nullptr means "./dat") and, away from
    // 37 C, their ".dh" twins to adjust every free energy. Returns LOAD_SUCCEEDED (0) or
    // LOAD_FAILED (5). A failed free-energy read leaves no tables; a failed enthalpy read
    // keeps the unadjusted tables and leaves loaded as it was.
    int loadTables(const char* directory);

    // Tables of the last load, or nullptr; still owned by the loader.
    paramTables* tables() const { return tables_.get(); }

    // Hands the tables to the caller; the loader holds none afterwards.
    std::unique_ptr<paramTables> releaseTables() { return std::move(tables_); }

    bool isRna;
    bool loaded = false;
    double temperature;  // kelvin

private:
    std::unique_ptr<paramTables> tables_;
};

// Fills paths in file order: directory (which must end in '/'), "dna" unless isRna, the file
// name, then ".dh" for enthalpies or ".dat" for free energies.
void buildParameterPaths(parameterPaths& paths, const std::string& directory, bool isRna, bool enthalpy);

// Writes into out the free energies of freeEnergy37 recomputed for temperature T (kelvin)
// from the enthalpies; out may be freeEnergy37 itself. Keys and counts are not touched.
void adjustToTemperature(float T, const paramTables& freeEnergy37, const paramTables& enthalpy, paramTables& out);

// h - floor((h - g37) * T / 310.15 + 0.5) in tenths of kcal/mol; INFINITE when g37 is.
int adjustValue(double T, int g37, int h);

}  // namespace korvane
