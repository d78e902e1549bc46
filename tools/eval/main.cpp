// korvane-eval: free energy of given structures under korvane's parameter set.
//   korvane-eval [--dat DIR] FILE...
// prints "title<TAB>energy" per structure, energy in kcal/mol with one decimal.

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "energy/energy.h"
#include "structureFile.h"
#include "thermo/thermoLoader.h"

namespace {

constexpr int EXIT_INPUT_ERROR = 1;
constexpr int EXIT_USAGE = 2;
constexpr const char* PROGRAM = "korvane-eval";
constexpr const char* DEFAULT_DAT = "./dat";
constexpr int SINGLE_STRUCTURE_SLOTS = 2;

void usage(std::ostream& out) {
    out << "usage: " << PROGRAM << " [--dat DIR] FILE...\n"
        << "Prints the free energy (kcal/mol) of every structure in each CT or dot-bracket FILE,\n"
        << "one line per structure: title, a tab, the energy. DIR defaults to " << DEFAULT_DAT << ".\n";
}

// Tenths of kcal/mol as text with one decimal, without going through floating point.
std::string kcalText(int tenths) {
    const long long value = tenths;
    const long long magnitude = value < 0 ? -value : value;
    std::string text = value < 0 ? "-" : "";
    text += std::to_string(magnitude / 10);
    text += '.';
    text += std::to_string(magnitude % 10);
    return text;
}

int scoreOf(const korvane::paramTables& tables, const korvane::scoredStructure& s) {
    korvane::structure record(SINGLE_STRUCTURE_SLOTS);
    const int n = static_cast<int>(s.code.size()) - 1;
    record.allocateSequence(n);
    record.nbases = n;
    record.nstructs = 1;
    auto row = record.pairs(1);
    for (int p = 1; p <= n; ++p) {
        record.seqcode[p] = s.code[p];
        row[p] = s.pairs[p];
    }
    korvane::structureEnergy(tables, record, 1);
    return record.energy[1];
}

}  // namespace

int main(int argc, char** argv) {
    std::string dat = DEFAULT_DAT;
    std::vector<std::string> files;
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        if (arg == "--dat") {
            if (a + 1 >= argc) {
                std::cerr << PROGRAM << ": --dat needs a directory\n";
                return EXIT_USAGE;
            }
            dat = argv[++a];
        } else if (arg == "-h" || arg == "--help") {
            usage(std::cout);
            return EXIT_SUCCESS;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::cerr << PROGRAM << ": unknown option " << arg << "\n";
            usage(std::cerr);
            return EXIT_USAGE;
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        usage(std::cerr);
        return EXIT_USAGE;
    }

    // Every file is read before anything is printed, so bad input yields no partial output.
    std::vector<std::vector<korvane::scoredStructure>> inputs;
    for (const auto& file : files) {
        try {
            inputs.push_back(korvane::readStructureFile(file));
        } catch (const korvane::inputError& error) {
            std::cerr << PROGRAM << ": " << file << ": ";
            if (error.line > 0) std::cerr << "line " << error.line << ": ";
            std::cerr << error.what() << "\n";
            return EXIT_INPUT_ERROR;
        }
    }

    korvane::thermoLoader loader(true);
    if (loader.loadTables(dat.c_str()) != korvane::LOAD_SUCCEEDED) {
        std::cerr << PROGRAM << ": cannot load the parameter set from " << dat
                  << ": a parameter file is missing or unreadable\n";
        return EXIT_INPUT_ERROR;
    }
    const korvane::paramTables& tables = *loader.tables();

    for (const auto& structures : inputs) {
        for (const auto& s : structures) std::cout << s.title << '\t' << kcalText(scoreOf(tables, s)) << '\n';
    }
    std::cout.flush();
    if (!std::cout) {
        std::cerr << PROGRAM << ": cannot write the results\n";
        return EXIT_INPUT_ERROR;
    }
    return EXIT_SUCCESS;
}
