// fold_bench [folder] [--reference | --compare] [--dat DIR]
// Folds every *.fasta of folder (default: the dev set beside the clone, ../shared/bench/dev) and
// prints per file its length, stem count, passes, final energy, processor time (all and stem
// search) and any diagnostic the fold printed, then totals, wall time and the process's peak memory.
// --compare folds every file a second time the reference way and counts the files whose final
// pairing, energy, structure count or remaining pool differ. --reference scores candidates the plain way.

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "assembly/detail/foldJob.h"
#include "rna/sequenceReader.h"
#include "thermo/thermoLoader.h"

namespace {

constexpr const char* DEFAULT_FOLDER = KORVANE_SOURCE_DIR "/../shared/bench/dev";
constexpr const char* DEFAULT_DAT = KORVANE_SOURCE_DIR "/dat";

// Processor time of this thread: on a shared machine wall time mostly measures the neighbours.
double cpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// What a fold leaves that the outputs or a later pass could see.
struct foldOutcome {
    std::vector<int> pairs;
    int energy = 0;
    int nstructs = 0;
    std::vector<int> pool;
    bool operator==(const foldOutcome&) const = default;
};

foldOutcome fold(const std::string& path, const korvane::paramTables* tables, korvane::candidateScoring how) {
    korvane::foldJob job(tables);
    korvane::rnaSequence sequence;
    if (korvane::readSequenceFile(path, sequence)) job.load(sequence);
    job.scoring = how;
    foldOutcome out;
    if (job.findMaxStems()) job.SAT();
    const auto row = job.finalStructure.pairs(1);
    out.pairs.assign(row.begin(), row.end());
    out.energy = job.finalStructure.energy[1];
    out.nstructs = job.finalStructure.nstructs;
    for (int s = 1; s <= job.numOfstemsInPool; ++s)
        out.pool.insert(out.pool.end(), {job.stemPool[s].start, job.stemPool[s].end, job.stemPool[s].length});
    return out;
}

struct fileResult {
    std::string name;
    int length = 0;
    int stems = 0;
    int passes = 0;
    int energy = 0;
    double milliseconds = 0;
    double searchMilliseconds = 0;
    double wallMilliseconds = 0;
    std::string printed;
};

}  // namespace

int main(int argc, char** argv) {
    std::string folder = DEFAULT_FOLDER;
    std::string dat = DEFAULT_DAT;
    bool reference = false;
    bool compare = false;
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        if (arg == "--reference") {
            reference = true;
        } else if (arg == "--compare") {
            compare = true;
        } else if (arg == "--dat" && a + 1 < argc) {
            dat = argv[++a];
        } else {
            folder = arg;
        }
    }
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        std::cerr << "fold_bench: folder " << folder << " is missing; pass a folder of FASTA files\n";
        return 2;
    }
    korvane::thermoLoader loader(true);
    if (loader.loadTables(dat.c_str()) != korvane::LOAD_SUCCEEDED) {
        std::cerr << "fold_bench: cannot load the parameter set in " << dat << "\n";
        return 2;
    }
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".fasta") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::cerr << "fold_bench: no .fasta file in " << folder << "\n";
        return 2;
    }

    int differing = 0;
    std::vector<fileResult> results;
    std::streambuf* console = std::cout.rdbuf();
    for (const std::string& path : files) {
        fileResult r;
        r.name = std::filesystem::path(path).stem().string();
        std::ostringstream printed;
        std::cout.rdbuf(printed.rdbuf());  // the fold's own diagnostics, kept apart
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = cpuMilliseconds();
        {
            korvane::foldJob job(loader.tables());
            korvane::rnaSequence sequence;
            if (korvane::readSequenceFile(path, sequence)) job.load(sequence);
            job.scoring = reference ? korvane::candidateScoring::reference : korvane::candidateScoring::incremental;
            r.length = job.subStructure.nbases;
            const double searchStart = cpuMilliseconds();
            const bool found = job.findMaxStems();
            r.searchMilliseconds = cpuMilliseconds() - searchStart;
            if (found) {
                job.SAT();
                r.passes = job.passesRun();
                r.energy = job.finalStructure.energy[1];
            }
            r.stems = job.stemsFound();
        }
        r.milliseconds = cpuMilliseconds() - cpuStart;
        r.wallMilliseconds = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::cout.rdbuf(console);
        r.printed = printed.str();
        if (compare) {
            std::cout.rdbuf(printed.rdbuf());
            const bool same = fold(path, loader.tables(), korvane::candidateScoring::incremental) ==
                              fold(path, loader.tables(), korvane::candidateScoring::reference);
            std::cout.rdbuf(console);
            if (!same) {
                ++differing;
                std::printf("differs: %s\n", r.name.c_str());
            }
        }
        results.push_back(r);
    }

    std::printf("%-40s %6s %6s %6s %8s %9s %9s\n", "file", "length", "stems", "passes", "energy", "cpu ms", "search");
    double total = 0;
    double searchTotal = 0;
    double wallTotal = 0;
    double slowest = 0;
    long bases = 0;
    int messages = 0;
    for (const fileResult& r : results) {
        std::printf("%-40s %6d %6d %6d %8.1f %9.3f %9.3f\n", r.name.c_str(), r.length, r.stems, r.passes,
                    r.energy / 10.0, r.milliseconds, r.searchMilliseconds);
        if (!r.printed.empty()) {
            ++messages;
            std::printf("  printed: %s\n", r.printed.c_str());
        }
        total += r.milliseconds;
        searchTotal += r.searchMilliseconds;
        wallTotal += r.wallMilliseconds;
        slowest = std::max(slowest, r.milliseconds);
        bases += r.length;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("files %zu, bases %ld, processor time %.1f ms (stem search %.1f ms), slowest %.3f ms, wall %.1f ms, "
                "files with diagnostics %d, peak memory %.1f MB (%s)\n",
                results.size(), bases, total, searchTotal, slowest, wallTotal, messages, usage.ru_maxrss / 1024.0,
                reference ? "reference scoring" : "incremental scoring");
    if (compare) std::printf("incremental and reference folds differ on %d of %zu files\n", differing, results.size());
    return 0;
}
