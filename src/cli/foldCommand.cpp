#include "cli/foldCommand.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <thread>

#include "cli/outputNames.h"
#include "cli/progressMeter.h"
#include "layout/layout.h"
#include "output/drawing.h"
#include "output/ensembleOutput.h"
#include "output/output.h"
#include "output/outputTarget.h"
#include "fold/modelEnergy.h"
#include "rna/recordReader.h"

namespace korvane::cli {

namespace {

// Records read ahead and folded together; the nucleotide bound keeps memory in check when
// the records are long.
constexpr std::size_t RECORDS_PER_THREAD_IN_BATCH = 64;
constexpr std::size_t NUCLEOTIDES_PER_BATCH = 1 << 22;
constexpr const char* PROGRAM = "korvane-fold";
constexpr const char* STANDARD_INPUT = "-";

double threadCpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct recordJob {
    sequenceRecord record;
    const std::string* file = nullptr;
    std::string outputName;  // for per-record files, given out in input order
    std::string printed;     // the standard-output block
    std::string complaints;  // standard-error lines
    bool skipped = false;
};

std::string complaint(const recordJob& job, const std::string& reason) {
    return std::string(PROGRAM) + ": " + *job.file + ": record " + std::to_string(job.record.number) + " (" +
           job.record.title + "): " + reason + "\n";
}

std::string radiatePicture(const rnaSequence& sequence, const foldResult& result) {
    layout::radiateDrawing drawing;
    drawing.letters = sequence.letters;
    drawing.title = sequence.title;
    char energy[48];
    std::snprintf(energy, sizeof energy, "%.2f kcal/mol", result.energy / 10.0);
    drawing.energyText = energy;
    if (result.hasEnsemble) drawing.pairedProbability = result.pairedProbability;
    return layout::radiateSvg(layout::layOutPlanar(result.pairs), drawing);
}

// Expected fraction of positions whose state the structure gets right: pairs count 2 p each,
// unpaired positions their probability of being unpaired (pairs under the listed floor count 0).
double expectedAccuracy(const foldResult& result, int n) {
    if (n == 0) return 1.0;
    double sum = 0.0;
    for (int i = 1; i <= n; ++i) {
        const int j = result.pairs[i];
        if (j == 0) {
            sum += 1.0 - result.pairedProbability[i];
            continue;
        }
        const int a = std::min(i, j);
        const int b = std::max(i, j);
        const auto found = std::lower_bound(result.pairProbabilities.begin(), result.pairProbabilities.end(),
                                            std::pair{a, b}, [](const foldResult::pairProbability& x, std::pair<int, int> y) {
                                                return std::pair{x.i, x.j} < y;
                                            });
        if (found != result.pairProbabilities.end() && found->i == a && found->j == b) sum += found->p;
    }
    return sum / n;
}

class folder {
public:
    folder(const foldSettings& settings, const paramTables& tables) : settings_(settings), tables_(tables) {}

    void fold(recordJob& job, foldWorkspace& workspace) const {
        if (!job.record.fault.empty()) {
            job.complaints = complaint(job, job.record.fault);
            job.skipped = true;
            return;
        }
        const rnaSequence sequence = makeSequence(job.record.title, std::move(job.record.letters));
        foldResult result;
        const double started = settings_.stats ? threadCpuMilliseconds() : 0;
        try {
            result = foldSequence(sequence, tables_, settings_.engine, workspace);
        } catch (const foldError& error) {
            if (error.kind() != foldErrorKind::noStem) {
                job.complaints = complaint(job, error.what());
                job.skipped = true;
                return;
            }
            // Nothing can pair: the open chain is the structure.
            result = foldResult{};
            result.pairs.assign(static_cast<std::size_t>(sequence.length()) + 1, 0);
        }
        const int n = sequence.length();
        if (settings_.stats) {
            char figures[128];
            std::snprintf(figures, sizeof figures, "\t%d\t%d\t%d\t%.3f\n", n, result.stems, result.passes,
                          threadCpuMilliseconds() - started);
            job.complaints += std::string(PROGRAM) + ": stats\t" + sequence.title + figures;
        }
        job.printed = ">" + sequence.title + "\n" + sequence.letters + "\n";
        if (result.hasEnsemble)
            job.printed += ensembleStructureLine(result.pairs, n, result.energy, result.ensembleEnergy,
                                                 expectedAccuracy(result, n));
        else
            job.printed += structureLine(result.pairs, n, result.energy);
        const fold::energyModel model(tables_, sequence.codes, n);
        for (const std::vector<int>& drawn : result.sampled)
            job.printed += structureLine(drawn, n, fold::evaluateStructure(model, drawn).energy);
        writeFiles(job, sequence, result);
        writeEnsembleFiles(job, sequence, result);
    }

private:
    const foldSettings& settings_;
    const paramTables& tables_;

    void writeFiles(recordJob& job, const rnaSequence& sequence, const foldResult& result) const {
        if (settings_.ctFolder.empty() && settings_.dotBracketFolder.empty() && settings_.svgFolder.empty()) return;
        structure record = resultRecord(sequence, result);
        record.nstructs = 1;  // an open chain is a structure too: its files are complete
        auto failed = [&](const std::string& path) {
            job.complaints += complaint(job, "cannot write " + path);
            job.skipped = true;
        };
        const std::string base = "/" + job.outputName;
        if (!settings_.ctFolder.empty()) {
            const std::string path = settings_.ctFolder + base + ".ct";
            if (!ctoutWithNum(record, path, false, 1, 1)) failed(path);
        }
        if (!settings_.dotBracketFolder.empty()) {
            const std::string path = settings_.dotBracketFolder + base + ".dp";
            if (!writeDotBracket(record, path)) failed(path);
        }
        if (!settings_.svgFolder.empty()) {
            const std::string path = settings_.svgFolder + base + ".svg";
            if (settings_.layout == drawingLayout::arc) {
                structureImage image;
                if (!image.layOut(record, 1).empty() || !image.writeImage(path)) failed(path);
            } else if (!replaceFile(path, radiatePicture(sequence, result))) {
                failed(path);
            }
        }
    }

    void writeEnsembleFiles(recordJob& job, const rnaSequence& sequence, const foldResult& result) const {
        if (!result.hasEnsemble || (settings_.probabilityFolder.empty() && settings_.dotPlotFolder.empty())) return;
        std::vector<pairWeight> pairs;
        pairs.reserve(result.pairProbabilities.size());
        for (const auto& pair : result.pairProbabilities) pairs.push_back({pair.i, pair.j, pair.p});
        const std::string base = "/" + job.outputName;
        auto write = [&](const std::string& path, const std::string& bytes) {
            if (!replaceFile(path, bytes)) {
                job.complaints += complaint(job, "cannot write " + path);
                job.skipped = true;
            }
        };
        if (!settings_.probabilityFolder.empty())
            write(settings_.probabilityFolder + base + ".bpp",
                  probabilityTable(sequence.title, sequence.length(), pairs, result.pairedProbability,
                                   result.ensembleEnergy));
        if (!settings_.dotPlotFolder.empty())
            write(settings_.dotPlotFolder + base + ".dotplot.svg",
                  dotPlotSvg(sequence.title, sequence.letters, pairs, result.pairs));
    }
};

// Records in the input, counted ahead for the progress line; 0 when a file cannot be counted
// (standard input, or not a regular file).
long long countRecords(const std::vector<std::string>& inputs) {
    long long total = 0;
    for (const std::string& path : inputs) {
        std::error_code error;
        if (path == STANDARD_INPUT || !std::filesystem::is_regular_file(path, error)) return 0;
        std::ifstream in(path, std::ios::binary);
        std::string line;
        bool titled = false;
        long long bare = 0;
        long long titles = 0;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == ';') continue;
            if (line[0] == '>') {
                ++titles;
                titled = true;
            } else if (!titled && line.find_first_not_of(" \t\r") != std::string::npos) {
                ++bare;
            }
        }
        total += titles + bare;
    }
    return total;
}

// Folds the jobs on up to `threads` threads, each with its own workspace.
void foldAll(std::vector<recordJob>& jobs, const folder& work, std::vector<std::unique_ptr<foldWorkspace>>& workspaces) {
    std::atomic<std::size_t> next{0};
    auto worker = [&](foldWorkspace& workspace) {
        for (std::size_t k = next++; k < jobs.size(); k = next++) work.fold(jobs[k], workspace);
    };
    const std::size_t helpers = std::min(workspaces.size(), jobs.size()) - (jobs.empty() ? 0 : 1);
    std::vector<std::thread> threads;
    threads.reserve(helpers);
    for (std::size_t t = 0; t < helpers; ++t) threads.emplace_back(worker, std::ref(*workspaces[t + 1]));
    worker(*workspaces[0]);
    for (std::thread& thread : threads) thread.join();
}

bool prepareFolder(const std::string& folder, std::ostream& err) {
    if (folder.empty()) return true;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder, error)) {
        err << PROGRAM << ": " << folder << ": cannot create the output folder\n";
        return false;
    }
    return true;
}

}  // namespace

std::string ensembleStructureLine(const std::vector<int>& pairs, int n, int energyTenths, double ensembleEnergy,
                                  double accuracy) {
    char figures[64];
    std::snprintf(figures, sizeof figures, " (%6.2f) [%6.2f] {%.3f}\n", energyTenths / 10.0, ensembleEnergy, accuracy);
    return bracketNotation(pairs, n) + figures;
}

std::string structureLine(const std::vector<int>& pairs, int n, int energyTenths) {
    char energy[32];
    std::snprintf(energy, sizeof energy, " (%6.2f)\n", energyTenths / 10.0);
    return bracketNotation(pairs, n) + energy;
}

int runFold(const foldSettings& settings, const paramTables& tables, std::ostream& out, std::ostream& err) {
    for (const std::string* folderName : {&settings.ctFolder, &settings.dotBracketFolder, &settings.svgFolder,
                                          &settings.probabilityFolder, &settings.dotPlotFolder})
        if (!prepareFolder(*folderName, err)) return EXIT_SOMETHING_SKIPPED;
    std::vector<std::string> inputs = settings.inputs;
    if (inputs.empty()) inputs.push_back(STANDARD_INPUT);

    const bool showProgress = !settings.quiet && isatty(STDERR_FILENO);
    progressMeter progress(err, showProgress, showProgress ? countRecords(inputs) : 0);
    const folder work(settings, tables);
    std::vector<std::unique_ptr<foldWorkspace>> workspaces;
    for (int t = 0; t < std::max(settings.jobs, 1); ++t) workspaces.push_back(std::make_unique<foldWorkspace>());
    const std::size_t batchRecords = RECORDS_PER_THREAD_IN_BATCH * workspaces.size();

    outputNames names;
    bool anySkipped = false;
    long long done = 0;
    std::vector<recordJob> jobs;
    auto flush = [&] {
        foldAll(jobs, work, workspaces);
        for (recordJob& job : jobs) {
            out << job.printed;
            if (!job.complaints.empty()) {
                progress.finish();
                err << job.complaints;
            }
            anySkipped = anySkipped || job.skipped;
        }
        out.flush();
        done += static_cast<long long>(jobs.size());
        progress.update(done);
        jobs.clear();
    };

    const bool namesNeeded = !settings.ctFolder.empty() || !settings.dotBracketFolder.empty() ||
                             !settings.svgFolder.empty() || !settings.probabilityFolder.empty() ||
                             !settings.dotPlotFolder.empty();
    for (const std::string& path : inputs) {
        std::ifstream file;
        std::istream* in = &std::cin;
        if (path != STANDARD_INPUT) {
            std::error_code error;
            if (std::filesystem::is_directory(path, error)) {
                err << PROGRAM << ": " << path << ": is a folder, not a sequence file\n";
                anySkipped = true;
                continue;
            }
            file.open(path, std::ios::binary);
            if (!file) {
                err << PROGRAM << ": " << path << ": cannot be opened\n";
                anySkipped = true;
                continue;
            }
            in = &file;
        }
        recordReader reader(*in, settings.maxLength);
        std::size_t nucleotides = 0;
        recordJob job;
        while (reader.next(job.record)) {
            job.file = &path;
            if (namesNeeded && job.record.fault.empty()) job.outputName = names.nameFor(job.record.title, job.record.number);
            nucleotides += job.record.letters.size();
            jobs.push_back(std::move(job));
            job = recordJob{};
            if (jobs.size() >= batchRecords || nucleotides >= NUCLEOTIDES_PER_BATCH) {
                flush();
                nucleotides = 0;
            }
        }
        if (in->bad()) {
            err << PROGRAM << ": " << path << ": read error\n";
            anySkipped = true;
        }
    }
    flush();
    progress.finish();
    out.flush();
    if (!out.good()) {
        err << PROGRAM << ": standard output could not be written\n";
        return EXIT_SOMETHING_SKIPPED;
    }
    return anySkipped ? EXIT_SOMETHING_SKIPPED : EXIT_ALL_FOLDED;
}

}  // namespace korvane::cli
