#include "cli/commandLine.h"

#include <CLI/CLI.hpp>

#include <map>

#include "korvaneVersion.h"
#include "thermo/parameterSets.h"

namespace korvane::cli {

int parseCommandLine(int argc, const char* const* argv, foldSettings& settings, std::ostream& out, std::ostream& err) {
    CLI::App app{"korvane-fold: predicts RNA secondary structures of every record of FASTA files (or of\n"
                 "bare sequence lines) and prints, per record, the title, the sequence and the structure\n"
                 "with its free energy in kcal/mol.",
                 "korvane-fold"};
    app.add_option("files", settings.inputs, "FASTA files; none or '-' reads standard input");
    const std::map<std::string, foldAlgorithm> algorithms = {{"greedy", foldAlgorithm::greedy},
                                                             {"mfe", foldAlgorithm::mfe},
                                                             {"mea", foldAlgorithm::mea},
                                                             {"threshknot", foldAlgorithm::threshknot}};
    app.add_option("-a,--algorithm", settings.engine.algorithm,
                   "greedy (stem assembly, the default), mfe (minimum free energy), mea, threshknot")
        ->transform(CLI::CheckedTransformer(algorithms, CLI::ignore_case));
    std::string setsHelp = "parameter set: a built-in name (";
    for (const std::string& name : builtinParameterSets()) setsHelp += name + "; ";
    setsHelp += "...) or a folder of the nineteen .dat files (and .dh files for other temperatures). Default: " +
                defaultParameterSet(false) + " for greedy; " + defaultParameterSet(true) +
                " for mfe, mea and threshknot at 37 C, " + defaultParameterSet(true, 0.0) + " at other temperatures";
    app.add_option("-p,--params", settings.parameterSet, setsHelp);
    app.add_option("-T,--temperature", settings.celsius, "folding temperature in degrees Celsius (default 37)")
        ->check(CLI::Range(-50.0, 150.0));
    app.add_option("-j,--jobs", settings.jobs, "threads folding at once (default 1); output is the same for any number")
        ->check(CLI::Range(1, 1024));
    app.add_option("--max-span", settings.engine.maxSpan,
                   "mfe: only pairs i-j with j - i at most this (memory and time then grow linearly with the length)")
        ->check(CLI::PositiveNumber);
    app.add_option("--max-length", settings.maxLength, "refuse records longer than this many nucleotides")
        ->check(CLI::PositiveNumber);
    app.add_option("--ct", settings.ctFolder, "write one connectivity table per record into this folder (NAME.ct)");
    app.add_option("--dp", settings.dotBracketFolder, "write one dot-bracket file per record into this folder (NAME.dp)");
    app.add_option("--svg", settings.svgFolder, "write one drawing per record into this folder (NAME.svg)");
    app.add_option("--gamma", settings.engine.gamma,
                   "mea: weight of a pair's probability against unpaired positions (default 0.5)")
        ->check(CLI::PositiveNumber);
    app.add_option("--threshold", settings.engine.threshold,
                   "threshknot: least probability of a kept pair (default 0.5)")
        ->check(CLI::Range(0.0, 1.0));
    app.add_option("--bpp", settings.probabilityFolder,
                   "write each record's base-pair and unpaired probabilities into this folder (NAME.bpp)");
    app.add_option("--dotplot", settings.dotPlotFolder,
                   "write each record's dot plot into this folder (NAME.dotplot.svg)");
    app.add_option("--sample", settings.engine.samples,
                   "print this many structures drawn from the Boltzmann ensemble after each block")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--seed", settings.engine.seed, "seed of --sample (default 1): the same seed draws the same structures");
    const std::map<std::string, drawingLayout> layouts = {{"radiate", drawingLayout::radiate},
                                                               {"arc", drawingLayout::arc}};
    app.add_option("--layout", settings.layout,
                   "drawing for --svg: radiate (helices as ladders, loops as rings; the default) or arc (the batch "
                   "program's arc diagram)")
        ->transform(CLI::CheckedTransformer(layouts, CLI::ignore_case));
    app.add_flag("-q,--quiet", settings.quiet, "no progress line on standard error");
    app.add_flag("--stats", settings.stats,
                 "per record on standard error: korvane-fold: stats<TAB>title<TAB>length<TAB>stems<TAB>passes<TAB>"
                 "processor milliseconds");
    app.set_version_flag("--version", std::string("korvane-fold ") + KORVANE_VERSION);
    app.footer(
        "Output names come from the first word of each title, made safe for a file name and unique\n"
        "within the run. A record that cannot be folded gets one line on standard error\n"
        "(korvane-fold: FILE: record N (TITLE): REASON) and the run goes on.\n"
        "Exit status: 0 all folded, 1 something skipped or not written, 2 usage error.");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // CLI11 writes help and version as "errors" of status 0.
        const int status = app.exit(error, out, err);
        return status == 0 ? EXIT_ALL_FOLDED : EXIT_USAGE;
    }
    if (!settings.probabilityFolder.empty() || !settings.dotPlotFolder.empty()) settings.engine.probabilities = true;
    if (settings.engine.maxSpan != 0 && settings.engine.algorithm != foldAlgorithm::mfe) {
        err << "korvane-fold: --max-span goes with --algorithm mfe\n";
        return EXIT_USAGE;
    }
    return GO_ON;
}

}  // namespace korvane::cli
