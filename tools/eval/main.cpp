// korvane-eval: free energy of given structures under korvane's parameter set.
//   korvane-eval [--dat DIR] [--] FILE...
// prints "title<TAB>energy" per structure, energy in kcal/mol with one decimal.

#include <cstdlib>
#include <memory>
#include <iostream>
#include <string>
#include <vector>

#include "evaluation.h"
#include "korvaneVersion.h"
#include "structureFile.h"
#include "thermo/parameterSets.h"
#include "thermo/thermoLoader.h"

namespace {

constexpr int EXIT_INPUT_ERROR = 1;
constexpr int EXIT_USAGE = 2;
constexpr const char* PROGRAM = "korvane-eval";
constexpr const char* DEFAULT_DAT = "./dat";
constexpr const char* EXACT_MODEL = "mfe";

void usage(std::ostream& out) {
    out << "usage: " << PROGRAM << " [--dat DIR | --model mfe [--params NAME|DIR]] [--] FILE...\n"
        << "\n"
        << "Prints the free energy (kcal/mol) of every structure in each CT or dot-bracket FILE,\n"
        << "one line per structure: title, a tab, the energy. DIR defaults to " << DEFAULT_DAT << ".\n"
        << "\n"
        << "  --dat DIR        the folder of the nineteen parameter files\n"
        << "  --model mfe      score with the model korvane-fold --algorithm mfe minimises\n"
        << "  --params NAME    with --model mfe: a built-in set (default " << korvane::defaultParameterSet(true)
        << ") or a folder of the files\n"
        << "  --help       this text\n"
        << "  --version    the version\n";
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
        } else if (arg == "--version") {
            std::cout << PROGRAM << ' ' << korvane::KORVANE_VERSION << '\n';
            return std::cout.flush() ? EXIT_SUCCESS : EXIT_INPUT_ERROR;
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
            tables = korvane::loadParameterSet(params.empty() ? korvane::defaultParameterSet(true) : params);
        } catch (const korvane::parameterError& error) {
            std::cerr << PROGRAM << ": " << error.what() << "\n";
            return EXIT_USAGE;
        }
        std::string printed;
        for (const auto& file : files) {
            try {
                for (const auto& s : korvane::readStructureFile(file)) {
                    const std::string why = korvane::modelFault(korvane::scoringModel::mfe, *tables, s);
                    if (!why.empty()) throw korvane::inputError(0, "structure '" + s.title + "': " + why);
                    printed += s.title + '\t' +
                               kcalText(korvane::evaluateStructure(korvane::scoringModel::mfe, *tables, s)) + '\n';
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
                const std::string why = korvane::impossibility(s);
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
        for (const auto& s : structures)
            std::cout << s.title << '\t' << kcalText(korvane::evaluateStructure(korvane::scoringModel::full, tables, s))
                      << '\n';
    }
    std::cout.flush();
    if (!std::cout) {
        std::cerr << PROGRAM << ": cannot write the results\n";
        return EXIT_INPUT_ERROR;
    }
    return EXIT_SUCCESS;
}
