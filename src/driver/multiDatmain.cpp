#include <unistd.h>
#include <termios.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "assembly/foldJob.h"
#include "driver/driver.h"
#include "output/output.h"
#include "rna/fatalStop.h"
#include "thermo/thermoLoader.h"

namespace korvane {

namespace {

constexpr const char* LISTING_PATTERN = ".\\sequences\\*.fasta";

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

}  // namespace

void multiDatmain() {
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
    for (int i = 1; i <= last; ++i) {
        const entryPaths paths = composePaths(fileNames[i]);
        auto job = std::make_unique<foldJob>(paths.input, tables.get());
        if (!job->findMaxStems()) {
            std::cout << "\nCan not process invalid file " << paths.input << ". \nPress ENTER to continue.\n";
            waitForEnter();
            continue;
        }
        showProgress(i, count);
        job->SAT();
        ctoutWithNum(job->finalStructure, paths.ct, false, 1, 1);
        writeDotBracket(job->finalStructure, paths.dotBracket);
        drawCtFile(paths.ct, paths.drawing);
    }
    tables.reset();
    std::cout << '\n'
              << "Processing ends.\n"
              << "All the output files are under the path .\\sequences\\.\n"
              << std::string(ASTERISK_LINE_LENGTH, '*') << '\n'
              << "Press ENTER to stop korvane.\n";
    std::cout.flush();
}

}  // namespace korvane
