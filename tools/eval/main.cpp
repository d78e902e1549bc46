// korvane-eval: free energy of given structures under korvane's parameter set.
//   korvane-eval [--dat DIR] [--] FILE...
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
    out << "usage: " << PROGRAM << " [--dat DIR] [--] FILE...\n"
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

constexpr int MIN_HAIRPIN_UNPAIRED = 3;

bool isCanonicalPair(int a, int b) {
    const int low = a < b ? a : b;
    const int high = a < b ? b : a;
    // A-U, C-G and G-U in code order (A 1, C 2, G 3, U 4); unknown letters pair with nothing.
    return (low == 1 && high == 4) || (low == 2 && high == 3) || (low == 3 && high == 4);
}

// Why structure s cannot be formed at all, or empty: such structures have no meaningful energy,
// and printing the forbidden-combination value as one would pass for a result.
std::string impossibility(const korvane::scoredStructure& s) {
    static constexpr char LETTERS[] = "NACGU";
    const int n = static_cast<int>(s.code.size()) - 1;
    for (int i = 1; i <= n; ++i) {
        const int j = s.pairs[i];
        if (j <= i) continue;
        const auto letter = [&](int p) {
            const int c = s.code[p];
            return c >= 0 && c <= 4 ? LETTERS[c] : '?';
        };
        const std::string pair = "pair " + std::to_string(i) + "-" + std::to_string(j) + " (" + letter(i) + "-" +
                                 letter(j) + ")";
        if (!isCanonicalPair(s.code[i], s.code[j])) return pair + " is not a canonical pair (A-U, C-G, G-U)";
        bool hairpin = true;
        for (int p = i + 1; p < j && hairpin; ++p) hairpin = s.pairs[p] == 0;
        if (hairpin && j - i - 1 < MIN_HAIRPIN_UNPAIRED) {
            return pair + " closes a hairpin of fewer than three unpaired nucleotides";
        }
    }
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    std::string dat = DEFAULT_DAT;
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        if (optionsEnded) {
            files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--dat") {
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
            for (const auto& s : inputs.back()) {
                const std::string why = impossibility(s);
                if (!why.empty()) throw korvane::inputError(0, "structure '" + s.title + "': " + why);
            }
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
