#include <unistd.h>
#include <termios.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "engine/engine.h"
#include "output/output.h"
#include "rna/fatalStop.h"
#include "rna/sequenceReader.h"
#include "thermo/thermoLoader.h"

namespace korvane {

namespace {

// Finding this many stems refuses a file (the batch program's pool).
constexpr int STEM_POOL_LIMIT = 9999;
constexpr const char* LISTING_PATTERN = ".\\sequences\\*.fasta";
constexpr const char* POOL_OVERFLOW_REASON =
    "the stems overflow the stem pool: korvane folds sequences of up to about 9,998 stems (roughly "
    "1,000 nt of random sequence); korvane-fold has no such limit";

void printBanner() {
    std::cout << '\n'
              << std::string(ASTERISK_LINE_LENGTH, '*') << '\n'
              << "Korvane is launched.\n"
              << "All the fasta files under the path .\\sequences\\ will be processed.\n";
}

// Keystrokes typed before the prompt must not answer it; piped input is deliberate and kept.
void discardPendingInput() {
    if (isatty(STDIN_FILENO)) tcflush(STDIN_FILENO, TCIFLUSH);
}

int listUntilFound(std::vector<std::string>& fileNames) {
    for (;;) {
        const int count = listFastaFiles(LISTING_PATTERN, fileNames);
        if (count > 0) return count;
        std::cout << "Can not find any fasta file under the path .\\sequences\\.\n"
                  << "Please put fasta files under the path .\\sequences\\, then press ENTER to continue\n";
        std::cout.flush();
        discardPendingInput();
        // Without a terminal nobody can add files: waiting again would spin forever.
        if (std::getchar() == EOF) {
            fatalExit(std::cout, "No fasta file found under the path .\\sequences\\ and no more input: korvane stops.");
        }
    }
}

void waitForEnter() {
    std::cout.flush();
    std::getchar();
}

// Parameters are loaded once for the whole run; a failure ends it before any file.
std::unique_ptr<paramTables> loadParameters(thermoLoader& loader) {
    const int code = loader.loadTables("./dat");
    if (code != 0) {
        fatalExit(std::cout, "in multiDatmain():error thermodynamics fail: " + std::to_string(code));
    }
    return loader.releaseTables();
}

void reportUnwritable(const std::string& path) {
    std::cout << "\nCan not write the output file " << path << ".\n";
}

// The drawing is made from the CT file just written: when that failed, an old CT file (or none)
// would be drawn, or the missing file would end the whole batch, so the drawing is skipped and
// any old drawing removed rather than left to contradict the run. True when all three were written.
bool writeOutputs(const structure& record, const entryPaths& paths) {
    const bool ctWritten = ctoutWithNum(record, paths.ct, false, 1, 1);
    if (!ctWritten) reportUnwritable(paths.ct);
    const bool dotBracketWritten = writeDotBracket(record, paths.dotBracket);
    if (!dotBracketWritten) reportUnwritable(paths.dotBracket);
    bool drawn = false;
    if (ctWritten) {
        drawn = drawCtFile(paths.ct, paths.drawing) == 0;
    } else {
        removeRegularFile(paths.drawing);
    }
    if (!drawn) reportUnwritable(paths.drawing);
    return ctWritten && dotBracketWritten && drawn;
}

// True when everything printed so far reached standard output.
bool consoleWritten() {
    std::cout.flush();
    return std::cout.good() && std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
}

enum class invalidReason { unreadable, noStem, poolOverflow, outOfMemory };

// The console line stays as it always was; why goes to standard error, and outputs of an earlier
// run of the same name would contradict the report, so they go (regular files only).
void reportInvalid(const entryPaths& paths, invalidReason reason) {
    std::string why;
    switch (reason) {
        case invalidReason::unreadable: why = sequenceFileFault(paths.input); break;
        case invalidReason::noStem: why = "no stem (three or more stacked pairs) was found"; break;
        case invalidReason::poolOverflow: why = POOL_OVERFLOW_REASON; break;
        case invalidReason::outOfMemory: why = "not enough memory to fold it"; break;
    }
    std::cerr << paths.input << ": invalid: " << why << '\n';
    std::cout << "\nCan not process invalid file " << paths.input << ". \nPress ENTER to continue.\n";
    for (const std::string* output : {&paths.ct, &paths.dotBracket, &paths.drawing}) removeRegularFile(*output);
}

}  // namespace

int multiDatmain() {
    bool allWritten = true;
    printBanner();
    std::vector<std::string> fileNames;
    const int count = listUntilFound(fileNames);
    if (count > MAX_INPUT_FILES) {
        std::cout << "Korvane can process no more than 1000 fasta files at one time. The number of fasta "
                     "files is more than 1000. And korvane will process first 1000 fasta file. \n";
    }
    const int last = count > MAX_INPUT_FILES ? MAX_INPUT_FILES : count;
    thermoLoader loader(true);
    std::unique_ptr<paramTables> tables = loadParameters(loader);
    foldOptions options;
    options.stemPoolLimit = STEM_POOL_LIMIT;
    // One workspace for the whole run: its buffers keep their room from file to file.
    foldWorkspace workspace;
    rnaSequence sequence;
    for (int i = 1; i <= last; ++i) {
        options.afterSearch = [i, count] { showProgress(i, count); };
        const entryPaths paths = composePaths(fileNames[i]);
        std::optional<invalidReason> invalid;
        foldResult result;
        try {
            if (!readSequenceFile(paths.input, sequence)) {
                invalid = invalidReason::unreadable;
            } else {
                result = foldSequence(sequence, *tables, options, workspace);
            }
        } catch (const foldError& error) {
            if (error.kind() == foldErrorKind::stemPoolFull) {
                std::cout << "FindStem: 茎区的个数超过stemsnum" << std::flush;
                invalid = invalidReason::poolOverflow;
            } else {
                invalid = error.kind() == foldErrorKind::noStem ? invalidReason::noStem : invalidReason::outOfMemory;
            }
        } catch (const std::bad_alloc&) {
            invalid = invalidReason::outOfMemory;
        }
        if (invalid) {
            reportInvalid(paths, *invalid);
            waitForEnter();
            continue;
        }
        if (!writeOutputs(resultRecord(sequence, result), paths)) allWritten = false;
    }
    tables.reset();
    std::cout << '\n'
              << "Processing ends.\n"
              << "All the output files are under the path .\\sequences\\.\n"
              << std::string(ASTERISK_LINE_LENGTH, '*') << '\n'
              << "Press ENTER to stop korvane.\n";
    std::cout.flush();
    return allWritten && consoleWritten() ? 0 : 1;
}

}  // namespace korvane
