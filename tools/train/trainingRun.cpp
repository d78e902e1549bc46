#include "trainingRun.h"

#include <LBFGS.h>

#include <Eigen/Core>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <span>
#include <sstream>
#include <thread>

#include "engine/engine.h"
#include "fold/decoding.h"
#include "thermo/parameterSets.h"
#include "thermo/parameterWriter.h"
#include "train/dataset.h"
#include "train/ensembleCounts.h"
#include "train/objective.h"

namespace korvane::train {

namespace {

namespace fs = std::filesystem;
using vector = Eigen::VectorXd;

constexpr const char* CHECKPOINT = "checkpoint.tsv";
constexpr const char* BEST = "best.tsv";  // the iteration of best valid F1 so far, kept across --resume
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

// F1 of exact pairs; two empty structures agree fully.
double pairF1(std::span<const int> predicted, std::span<const int> known) {
    int found = 0, reference = 0, both = 0;
    for (size_t i = 1; i < known.size(); ++i) {
        if (predicted[i] > static_cast<int>(i)) ++found;
        if (known[i] > static_cast<int>(i)) ++reference;
        if (predicted[i] > static_cast<int>(i) && predicted[i] == known[i]) ++both;
    }
    if (found == 0 && reference == 0) return 1.0;
    if (both == 0) return 0.0;
    const double sensitivity = static_cast<double>(both) / reference;
    const double ppv = static_cast<double>(both) / found;
    return 2 * sensitivity * ppv / (sensitivity + ppv);
}

// Mean over molecules of score(k, thread's scratch), on jobs threads.
template <typename Scratch, typename Score>
double meanOver(size_t count, int jobs, Score score) {
    std::vector<double> values(count, 0.0);
    std::atomic<size_t> next{0};
    const auto work = [&] {
        Scratch scratch;
        for (size_t k = next++; k < count; k = next++) values[k] = score(k, scratch);
    };
    std::vector<std::thread> threads;
    for (int t = 1; t < jobs; ++t) threads.emplace_back(work);
    work();
    for (auto& t : threads) t.join();
    double sum = 0;
    for (double x : values) sum += x;
    return count == 0 ? 0.0 : sum / static_cast<double>(count);
}

// Mean F1 of the mea structures korvane-fold gives under the tables.
double meanF1(const std::vector<const molecule*>& molecules, const paramTables& tables, int jobs) {
    foldOptions options;
    options.algorithm = foldAlgorithm::mea;
    return meanOver<foldWorkspace>(molecules.size(), jobs, [&](size_t k, foldWorkspace& workspace) {
        const molecule& m = *molecules[k];
        return pairF1(foldSequence(m.sequence, tables, options, workspace).pairs, m.reference);
    });
}

// The same decoding from the probabilities of real-valued tables, so that the F1 of unrounded
// parameters can be set beside that of the same parameters rounded to tenths.
double meanF1Real(const std::vector<const molecule*>& molecules, const realTables& real, const paramTables& cells,
                  const parameterLayout& layout, int jobs) {
    constexpr double LISTED_FLOOR = 1e-6;
    const double gamma = foldOptions{}.gamma;
    return meanOver<ensembleCounts>(molecules.size(), jobs, [&](size_t k, ensembleCounts& ensemble) {
        const molecule& m = *molecules[k];
        const int n = m.sequence.length();
        const fold::energyModel named(cells, m.sequence.codes, n);
        const realModel model(real, m.sequence.codes, n);
        std::vector<double> counts;
        ensemble.compute(model, named, layout, counts);
        std::vector<fold::pairProbability> listed;
        std::vector<double> unpaired(n + 1, 1.0);
        for (int i = 1; i <= n; ++i)
            for (int j = i + fold::MIN_HAIRPIN + 1; j <= n; ++j)
                if (const double p = ensemble.probability(i, j); p >= LISTED_FLOOR) {
                    listed.push_back({i, j, p});
                    unpaired[i] -= p;
                    unpaired[j] -= p;
                }
        return pairF1(fold::withinModel(fold::maximumExpectedAccuracy(n, listed, unpaired, gamma)), m.reference);
    });
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

void saveCheckpoint(const fs::path& path, int iteration, double f1, const parameterLayout& layout, const vector& x) {
    char value[64];
    std::snprintf(value, sizeof value, "%.17g", f1);
    std::string text = "# korvane-train checkpoint\niteration\t" + std::to_string(iteration) + "\t" + value + "\n";
    for (int p = 0; p < layout.size(); ++p) {
        std::snprintf(value, sizeof value, "%.17g", x[p]);
        text += layout.name(p) + "\t" + value + "\n";
    }
    writeAtomically(path, text);
}

bool loadCheckpoint(const fs::path& path, const parameterLayout& layout, vector& x, int& iteration, double& f1) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    std::getline(in, line);
    std::getline(in, line);
    std::istringstream fields(line.substr(line.find('\t') + 1));
    fields >> iteration >> f1;
    for (int p = 0; p < layout.size(); ++p) {
        if (!std::getline(in, line) || line.substr(0, line.rfind('\t')) != layout.name(p))
            throw std::runtime_error("the checkpoint does not match this layout at " + layout.name(p));
        x[p] = std::stod(line.substr(line.rfind('\t') + 1));
    }
    return true;
}

// The processor model and memory of this machine, for the provenance; "unknown" where the
// system does not say.
std::string machineDescription() {
    std::string model = "unknown processor", memory;
    std::ifstream cpu("/proc/cpuinfo");
    for (std::string line; std::getline(cpu, line);)
        if (line.rfind("model name", 0) == 0 && line.find(':') != std::string::npos) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    std::ifstream mem("/proc/meminfo");
    std::string key;
    long long kilobytes = 0;
    if (mem >> key >> kilobytes && key == "MemTotal:") memory = ", " + std::to_string(kilobytes / (1024 * 1024)) + " GB";
    return std::to_string(std::thread::hardware_concurrency()) + " hardware threads, " + model + memory;
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
        const objective f(*start, layout, train, s.lambda, s.jobs, s.wholeShare, s.accuracyWeight, foldOptions{}.gamma);
        fs::create_directories(s.out);
        if (!s.resume) fs::remove(fs::path(s.out) / BEST);  // another run's
        log << "korvane-train: " << train.size() << " train and " << valid.size() << " valid molecules of at most "
            << maxLength << " nt; " << layout.size() << " parameters; references reduced by " << f.crossingDropped()
            << " crossing and " << f.unformableDropped() << " unformable pairs\n";

        const int n = layout.size();
        vector x(n);
        for (int p = 0; p < n; ++p) x[p] = layout.initial()[p];
        int done = 0;
        double ignoredF1 = 0;
        if (s.resume && loadCheckpoint(fs::path(s.out) / CHECKPOINT, layout, x, done, ignoredF1))
            log << "korvane-train: resumed after iteration " << done << "\n";

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
        {
            vector earlier(n);
            int iteration = 0;
            double f1 = 0;
            if (s.resume && loadCheckpoint(fs::path(s.out) / BEST, layout, earlier, iteration, f1) && f1 > bestF1)
                bestF1 = f1, bestIteration = iteration, best = earlier;
        }
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
            if (f1 > bestF1) {
                bestF1 = f1, bestIteration = k, best = x;
                saveCheckpoint(fs::path(s.out) / BEST, k, f1, layout, x);
            }
            saveCheckpoint(fs::path(s.out) / CHECKPOINT, k, f1, layout, x);
            if (g.norm() <= param.epsilon) break;
            curvature.add_correction(x - xp, g - gp);
            curvature.apply_Hv(g, -1.0, direction);
            step = 1.0;
        }

        for (int p = 0; p < n; ++p) theta[p] = best[p];
        layout.write(theta, *rounded);
        // What storing in tenths costs: the same decoding from unrounded and rounded parameters.
        auto exact = realCopy(*start);
        layout.write(theta, *exact);
        const double unroundedF1 = meanF1Real(valid, *exact, *start, layout, s.jobs);
        const double roundedF1 = meanF1Real(valid, *realCopy(*rounded), *start, layout, s.jobs);
        log << "korvane-train: valid F1 (mea) " << unroundedF1 << " unrounded, " << roundedF1 << " in tenths\n";
        const parameterTexts learned = rewriteParameterTexts(texts, *rounded);
        for (int k = 0; k < PARAMETER_FILE_COUNT; ++k)
            writeAtomically(fs::path(s.out) / (std::string(PARAMETER_FILE_NAMES[k]) + ".dat"), learned[k]);
        // No enthalpies: the start set's would give the learned free energies a temperature
        // dependence nobody measured, so a learned set is defined at 37 C only.
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
                   << "- likelihood: " << s.wholeShare << " of ln P(structure is the reference), the rest ln P(structure"
                   << " holds the reference pairs); expected accuracy weight " << s.accuracyWeight << "\n"
                   << "- iterations asked: " << s.iterations << "; written: iteration " << bestIteration
                   << ", the best mean mea F1 on the valid molecules (" << bestF1 << ")\n"
                   << "- time: " << seconds << " s with " << s.jobs << " threads\n"
                   << "- machine: " << machineDescription() << "\n"
                   << "- storing in tenths of kcal/mol: valid mea F1 " << roundedF1 << " against " << unroundedF1
                   << " unrounded\n"
                   << "- defined at 37 C only: no enthalpies (the free energies are learned at 37 C)\n";
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
