// korvane-eval: free energy of given structures under korvane's parameter set.
//   korvane-eval [--dat DIR | --model mfe [--params NAME|DIR]] [--] FILE...
// prints "title<TAB>energy" per structure, energy in kcal/mol with one decimal. --model mfe
// scores with the exact algorithms' model instead of the full one.

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "energy/energy.h"
#include "fold/modelEnergy.h"
#include "structureFile.h"
#include "thermo/parameterSets.h"
#include "thermo/thermoLoader.h"

namespace {

constexpr int EXIT_INPUT_ERROR = 1;
constexpr int EXIT_USAGE = 2;
constexpr const char* PROGRAM = "korvane-eval";
constexpr const char* DEFAULT_DAT = "./dat";
constexpr int SINGLE_STRUCTURE_SLOTS = 2;

constexpr const char* EXACT_MODEL = "mfe";

void usage(std::ostream& out) {
    out << "usage: " << PROGRAM << " [--dat DIR | --model mfe [--params NAME|DIR]] [--] FILE...\n"
        << "Prints the free energy (kcal/mol) of every structure in each CT or dot-bracket FILE,\n"
        << "one line per structure: title, a tab, the energy. DIR defaults to " << DEFAULT_DAT << ".\n"
        << "--model mfe scores with the model korvane-fold --algorithm mfe minimises, under a built-in\n"
        << "parameter set (NAME, default " << korvane::DEFAULT_PARAMETER_SET << ") or a folder of the files.\n";
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

korvane::fold::modelEvaluation exactScoreOf(const korvane::paramTables& tables, const korvane::scoredStructure& s) {
    const int n = static_cast<int>(s.code.size()) - 1;
    const korvane::fold::energyModel model(tables, s.code, n);
    return korvane::fold::evaluateStructure(model, s.pairs);
}

// Reads one value-taking option at argv[a]; false (after a message) when the value is missing.
bool optionValue(int argc, char** argv, int& a, std::string& value) {
    if (a + 1 >= argc) {
        std::cerr << PROGRAM << ": " << argv[a] << " needs a value\n";
        return false;
    }
    value = argv[++a];
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string dat = DEFAULT_DAT;
    std::string model;
    std::string params;
    bool datGiven = false;
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
            datGiven = true;
        } else if (arg == "--model" || arg == "--params") {
            if (!optionValue(argc, argv, a, arg == "--model" ? model : params)) return EXIT_USAGE;
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
    if (!model.empty() && model != EXACT_MODEL) {
        std::cerr << PROGRAM << ": unknown model " << model << " (the one model is " << EXACT_MODEL << ")\n";
        return EXIT_USAGE;
    }
    if (model.empty() && !params.empty()) {
        std::cerr << PROGRAM << ": --params goes with --model " << EXACT_MODEL << "; the full model takes --dat\n";
        return EXIT_USAGE;
    }
    if (!model.empty() && datGiven) {
        std::cerr << PROGRAM << ": --model " << EXACT_MODEL << " takes its parameters from --params, not --dat\n";
        return EXIT_USAGE;
    }
    if (!model.empty()) {
        std::unique_ptr<korvane::paramTables> tables;
        try {
            tables = korvane::loadParameterSet(params.empty() ? korvane::DEFAULT_PARAMETER_SET : params);
        } catch (const korvane::parameterError& error) {
            std::cerr << PROGRAM << ": " << error.what() << "\n";
            return EXIT_USAGE;
        }
        std::string printed;
        for (const auto& file : files) {
            try {
                for (const auto& s : korvane::readStructureFile(file)) {
                    const auto scored = exactScoreOf(*tables, s);
                    if (!scored.allowed) throw korvane::inputError(0, "structure '" + s.title + "': " + scored.fault);
                    printed += s.title + '\t' + kcalText(scored.energy) + '\n';
                }
            } catch (const korvane::inputError& error) {
                std::cerr << PROGRAM << ": " << file << ": ";
                if (error.line > 0) std::cerr << "line " << error.line << ": ";
                std::cerr << error.what() << "\n";
                return EXIT_INPUT_ERROR;
            }
        }
        std::cout << printed;
        std::cout.flush();
        if (!std::cout) {
            std::cerr << PROGRAM << ": cannot write the results\n";
            return EXIT_INPUT_ERROR;
        }
        return EXIT_SUCCESS;
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
