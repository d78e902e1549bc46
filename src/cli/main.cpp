// korvane-fold: the engine for pipelines and shells.
#include <iostream>
#include <memory>

#include "cli/commandLine.h"
#include "thermo/parameterSets.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    using namespace korvane;
    cli::foldSettings settings;
    const int parsed = cli::parseCommandLine(argc, argv, settings, std::cout, std::cerr);
    if (parsed != cli::GO_ON) return parsed;
    std::unique_ptr<paramTables> tables;
    try {
        const bool exact = settings.engine.algorithm != foldAlgorithm::greedy;
        tables = loadParameterSet(
            settings.parameterSet.empty() ? defaultParameterSet(exact, settings.celsius) : settings.parameterSet,
            settings.celsius);
    } catch (const parameterError& error) {
        std::cerr << "korvane-fold: " << error.what() << '\n';
        return cli::EXIT_USAGE;
    }
    return cli::runFold(settings, *tables, std::cout, std::cerr);
}
