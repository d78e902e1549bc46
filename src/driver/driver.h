#pragma once
// The batch run: banner, listing of ./sequences, one prediction per FASTA file, closing lines.

#include <ostream>
#include <string>
#include <vector>

namespace korvane {

constexpr int MAX_INPUT_FILES = 1000;  // files processed in one run
constexpr int ASTERISK_LINE_LENGTH = 69;

// The run itself; prints to standard output and waits for ENTER where the user must act.
// Returns the exit status: 0, or 1 when an output file or standard output could not be written.
int multiDatmain();

// Lists the entries of the pattern's folder whose names end in the pattern's suffix
// (".\sequences\*.fasta"), in bytewise order, skipping names that begin with '.'. fileNames
// is 1-based; each entry is the name without its final ".fasta". Returns the count (1001 when
// there are more than 1000, the 1001st not stored), or -1 when the folder cannot be searched.
int listFastaFiles(const std::string& pattern, std::vector<std::string>& fileNames);

// The four paths composed for one listed name.
struct entryPaths {
    std::string input;
    std::string ct;
    std::string dotBracket;
    std::string drawing;
};
entryPaths composePaths(const std::string& name);

// The percentage line, rewritten in place with backspaces.
class progressLine {
public:
    explicit progressLine(std::ostream& out) : out_(out) {}
    void show(int i, int n);

private:
    std::ostream& out_;
    int lastShown_ = 0;
};

// Shows file i of n on the process's progress line (standard output).
void showProgress(int i, int n);

}  // namespace korvane
