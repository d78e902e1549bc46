#pragma once
// One training run: L-BFGS over the exact model's free parameters, with a line per iteration,
// a checkpoint after each, and the learned set written in the nineteen-file layout.

#include <functional>
#include <ostream>
#include <string>

namespace korvane::train {

struct trainingSettings {
    std::string data;           // folder with manifest.tsv and NAME.ref.ct
    std::string out;            // folder for the learned set, checkpoint and provenance
    std::string init = "turner2004";
    double lambda = 1e-3;       // pull towards init, per tenth of kcal/mol squared
    int iterations = 50;
    int maxLength = 400;
    int jobs = 1;
    bool resume = false;
    double wholeShare = 0.0;      // of the likelihood reading each reference as the whole structure
    double accuracyWeight = 20.0;  // of 1 - the expected mea accuracy beside the likelihood
    std::string commandLine;    // for the provenance file
};

// Runs the training; progress lines go to log. Returns 0, or 1 after a message on log.
int runTraining(const trainingSettings& settings, std::ostream& log);

}  // namespace korvane::train
