#include "trainingRun.h"

#include <LBFGS.h>

#include <Eigen/Core>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "engine/engine.h"
#include "thermo/parameterSets.h"
#include "thermo/parameterWriter.h"
#include "train/dataset.h"
#include "train/objective.h"

namespace korvane::train {

namespace {

namespace fs = std::filesystem;
using vector = Eigen::VectorXd;

constexpr const char* CHECKPOINT = "checkpoint.tsv";
constexpr const char* PROVENANCE = "PROVENANCE.md";
constexpr std::uint64_t FNV_OFFSET = 14695981039346656037ULL;
constexpr std::uint64_t FNV_PRIME = 1099511628211ULL;

std::uint64_t digestOf(const std::vector<molecule>& molecules) {
    std::uint64_t h = FNV_OFFSET;
    const auto mix = [&h](const void* data, size_t size) {
        for (size_t k = 0; k < size; ++k) h = (h ^ static_cast<const unsigned char*>(data)[k]) * FNV_PRIME;
    };
    for (const molecule& m : molecules) {
        mix(m.name.data(), m.name.size());
        mix(m.sequence.letters.data(), m.sequence.letters.size());
        mix(m.reference.data(), m.reference.size() * sizeof(int));
    }
    return h;
}

std::unique_ptr<paramTables> readSet(const parameterTexts& texts) {
    auto tables = makeParamTables();
    parameterPaths names;
    if (readParameterTexts(texts, names, *tables) != 1) throw parameterError("the start set does not load");
    return tables;
}

// Mean F1 (exact pairs) of mea structures under the tables, over molecules.
double meanF1(const std::vector<const molecule*>& molecules, const paramTables& tables, int jobs) {
    std::vector<double> f1(molecules.size(), 0.0);
    std::atomic<size_t> next{0};
    const auto work = [&] {
        foldWorkspace workspace;
        foldOptions options;
        options.algorithm = foldAlgorithm::mea;
        for (size_t k = next++; k < molecules.size(); k = next++) {
            const molecule& m = *molecules[k];
            const foldResult r = foldSequence(m.sequence, tables, options, workspace);
            int predicted = 0, known = 0, both = 0;
            for (int i = 1; i <= m.sequence.length(); ++i) {
                if (r.pairs[i] > i) ++predicted;
                if (m.reference[i] > i) ++known;
                if (r.pairs[i] > i && r.pairs[i] == m.reference[i]) ++both;
            }
            if (predicted == 0 && known == 0) {
                f1[k] = 1.0;
            } else if (both > 0) {
                const double sensitivity = static_cast<double>(both) / known;
                const double ppv = static_cast<double>(both) / predicted;
                f1[k] = 2 * sensitivity * ppv / (sensitivity + ppv);
            }
        }
    };
    std::vector<std::thread> threads;
    for (int t = 1; t < jobs; ++t) threads.emplace_back(work);
    work();
    for (auto& t : threads) t.join();
    double sum = 0;
    for (double x : f1) sum += x;
    return molecules.empty() ? 0.0 : sum / static_cast<double>(molecules.size());
}

void writeAtomically(const fs::path& path, const std::string& text) {
    const fs::path temporary = path.string() + ".partial";
    {
        std::ofstream out(temporary, std::ios::binary);
        out << text;
        if (!out.flush()) throw std::runtime_error("cannot write " + temporary.string());
    }
    fs::rename(temporary, path);
}

void saveCheckpoint(const fs::path& folder, int iteration, const parameterLayout& layout, const vector& x) {
    std::string text = "# korvane-train checkpoint\niteration\t" + std::to_string(iteration) + "\n";
    char value[64];
    for (int p = 0; p < layout.size(); ++p) {
        std::snprintf(value, sizeof value, "%.17g", x[p]);
        text += layout.name(p) + "\t" + value + "\n";
    }
    writeAtomically(folder / CHECKPOINT, text);
}

bool loadCheckpoint(const fs::path& folder, const parameterLayout& layout, vector& x, int& iteration) {
    std::ifstream in(folder / CHECKPOINT);
    if (!in) return false;
    std::string line;
    std::getline(in, line);
    std::getline(in, line);
    iteration = std::stoi(line.substr(line.find('\t') + 1));
    for (int p = 0; p < layout.size(); ++p) {
        if (!std::getline(in, line) || line.substr(0, line.rfind('\t')) != layout.name(p))
            throw std::runtime_error("the checkpoint does not match this layout at " + layout.name(p));
        x[p] = std::stod(line.substr(line.rfind('\t') + 1));
    }
    return true;
}

}  // namespace

int runTraining(const trainingSettings& s, std::ostream& log) {
    const auto started = std::chrono::steady_clock::now();
    try {
        const int maxLength = std::min(s.maxLength, MAX_TRAINING_LENGTH);
        const std::vector<molecule> molecules = readDataset(s.data, maxLength);
        std::vector<const molecule*> train, valid;
        for (const molecule& m : molecules) (m.valid ? valid : train).push_back(&m);
        const parameterTexts texts = parameterSetTexts(s.init, false);
        const auto start = readSet(texts);
        const parameterLayout layout(*start);
        const objective f(*start, layout, train, s.lambda, s.jobs,
                          s.referenceWhole ? referenceReading::whole : referenceReading::contained);
        fs::create_directories(s.out);
        log << "korvane-train: " << train.size() << " train and " << valid.size() << " valid molecules of at most "
            << maxLength << " nt; " << layout.size() << " parameters; references reduced by " << f.crossingDropped()
            << " crossing and " << f.unformableDropped() << " unformable pairs\n";

        const int n = layout.size();
        vector x(n);
        for (int p = 0; p < n; ++p) x[p] = layout.initial()[p];
        int done = 0;
        if (s.resume && loadCheckpoint(s.out, layout, x, done)) log << "korvane-train: resumed after iteration " << done << "\n";

        std::vector<double> theta(n), gradient;
        auto rounded = readSet(texts);
        const auto value = [&](const vector& at, vector& g) {
            for (int p = 0; p < n; ++p) theta[p] = at[p];
            const double v = f.evaluate(theta, gradient);
            for (int p = 0; p < n; ++p) g[p] = gradient[p];
            return v;
        };
        const auto validF1 = [&](const vector& at) {
            for (int p = 0; p < n; ++p) theta[p] = at[p];
            layout.write(theta, *rounded);
            return meanF1(valid, *rounded, s.jobs);
        };

        LBFGSpp::LBFGSParam<double> param;
        LBFGSpp::BFGSMat<double> curvature;
        curvature.reset(n, param.m);
        vector g(n), xp(n), gp(n), direction(n);
        double fx = value(x, g);
        log << "iteration\tobjective\tgradient norm\tvalid F1 (mea)\n";
        // The set written is the iteration that folds the valid molecules best: the choice of
        // when to stop is made on them, as every other choice is.
        double bestF1 = validF1(x);
        int bestIteration = done;
        vector best = x;
        log << done << "\t" << fx << "\t" << g.norm() << "\t" << bestF1 << "\n" << std::flush;
        direction = -g;
        double step = 1.0 / direction.norm();
        for (int k = done + 1; k <= s.iterations; ++k) {
            xp = x;
            gp = g;
            try {
                LBFGSpp::LineSearchBacktracking<double>::LineSearch(value, fx, x, g, step, direction, xp, param);
            } catch (const std::exception& e) {
                x = xp;
                g = gp;
                log << "korvane-train: stopped at iteration " << k << ": " << e.what() << "\n";
                break;
            }
            const double f1 = validF1(x);
            log << k << "\t" << fx << "\t" << g.norm() << "\t" << f1 << "\n" << std::flush;
            if (f1 > bestF1) bestF1 = f1, bestIteration = k, best = x;
            saveCheckpoint(s.out, k, layout, x);
            if (g.norm() <= param.epsilon) break;
            curvature.add_correction(x - xp, g - gp);
            curvature.apply_Hv(g, -1.0, direction);
            step = 1.0;
        }

        for (int p = 0; p < n; ++p) theta[p] = best[p];
        layout.write(theta, *rounded);
        const parameterTexts learned = rewriteParameterTexts(texts, *rounded);
        for (int k = 0; k < PARAMETER_FILE_COUNT; ++k)
            writeAtomically(fs::path(s.out) / (std::string(PARAMETER_FILE_NAMES[k]) + ".dat"), learned[k]);
        // Enthalpies are the start set's: the learned free energies are defined at 37 C.
        try {
            const parameterTexts enthalpies = parameterSetTexts(s.init, true);
            for (int k = 0; k < PARAMETER_FILE_COUNT; ++k)
                writeAtomically(fs::path(s.out) / (std::string(PARAMETER_FILE_NAMES[k]) + ".dh"), enthalpies[k]);
        } catch (const parameterError&) {
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        char digest[32];
        std::snprintf(digest, sizeof digest, "%016" PRIx64, digestOf(molecules));
        std::ostringstream provenance;
        provenance << "# How this parameter set was made\n\n"
                   << "- command: `" << s.commandLine << "`\n"
                   << "- data: " << s.data << " (" << train.size() << " train, " << valid.size()
                   << " valid molecules of at most " << maxLength << " nt; FNV-1a digest of names, sequences and"
                   << " reference pairs " << digest << ")\n"
                   << "- start and pull: " << s.init << ", lambda " << s.lambda << "\n"
                   << "- likelihood: P(structure " << (s.referenceWhole ? "is" : "holds") << " the reference)\n"
                   << "- iterations asked: " << s.iterations << "; written: iteration " << bestIteration
                   << ", the best mean mea F1 on the valid molecules (" << bestF1 << ")\n"
                   << "- time: " << seconds << " s with " << s.jobs << " threads\n"
                   << "- enthalpies: those of " << s.init << " (the free energies are learned at 37 C)\n";
        writeAtomically(fs::path(s.out) / PROVENANCE, provenance.str());
        log << "korvane-train: the learned set (iteration " << bestIteration << ", valid F1 " << bestF1 << ") is in "
            << s.out << " (" << seconds << " s)\n";
        return 0;
    } catch (const std::exception& e) {
        log << "korvane-train: " << e.what() << "\n";
        return 1;
    }
}

}  // namespace korvane::train
