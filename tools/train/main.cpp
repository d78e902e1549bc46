// korvane-train: learns the exact model's free energies from known structures.
#include <CLI/CLI.hpp>

#include <iostream>

#include "korvaneVersion.h"
#include "trainingRun.h"

int main(int argc, char** argv) {
    korvane::train::trainingSettings s;
    CLI::App app{"Learns the exact model's parameters by maximum likelihood of known structures.", "korvane-train"};
    app.add_option("--data", s.data, "folder with manifest.tsv and NAME.ref.ct files")->required();
    app.add_option("--out", s.out, "folder for the learned set, its checkpoint and provenance")->required();
    app.add_option("--init", s.init, "set to start from and pull towards: a built-in name or a folder (default turner2004)");
    app.add_option("--lambda", s.lambda, "weight of the pull towards the start (default 0.001)")->check(CLI::NonNegativeNumber);
    app.add_option("--iterations", s.iterations, "L-BFGS iterations at most (default 50)")->check(CLI::NonNegativeNumber);
    app.add_option("--max-length", s.maxLength, "molecules longer than this are left out (default 400)")
        ->check(CLI::PositiveNumber);
    app.add_option("-j,--jobs", s.jobs, "threads")->check(CLI::PositiveNumber);
    app.add_option("--whole-share", s.wholeShare,
                   "share of the likelihood that reads each reference as the whole structure; the rest reads it as pairs "
                   "the structure holds (default 0)")
        ->check(CLI::Range(0.0, 1.0));
    app.add_option("--accuracy-weight", s.accuracyWeight,
                   "weight of 1 - the expected accuracy of the reference (what mea maximises) beside the likelihood (default 20)")
        ->check(CLI::NonNegativeNumber);
    app.add_flag("--resume", s.resume, "continue from the checkpoint in --out");
    app.set_version_flag("--version", std::string("korvane-train ") + korvane::KORVANE_VERSION);
    CLI11_PARSE(app, argc, argv);
    for (int a = 0; a < argc; ++a) s.commandLine += (a ? " " : "") + std::string(argv[a]);
    return korvane::train::runTraining(s, std::cerr);
}
