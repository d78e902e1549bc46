#include <unistd.h>
#include <termios.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "rna/fatalStop.h"
#include "rna/sequenceReader.h"

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

bool processEntry(const entryPaths& paths) {
    structure record(STRUCTURE_SLOTS);
    return openseq(record, paths.input);
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
    for (int i = 1; i <= last; ++i) {
        const entryPaths paths = composePaths(fileNames[i]);
        if (!processEntry(paths)) {
            std::cout << "\nCan not process invalid file " << paths.input << ". \nPress ENTER to continue.\n";
            waitForEnter();
            continue;
        }
        showProgress(i, count);
    }
    std::cout << '\n'
              << "Processing ends.\n"
              << "All the output files are under the path .\\sequences\\.\n"
              << std::string(ASTERISK_LINE_LENGTH, '*') << '\n'
              << "Press ENTER to stop korvane.\n";
    std::cout.flush();
}

}  // namespace korvane
