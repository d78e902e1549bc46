#pragma once
// The three outputs of a prediction (CT, dot-bracket, SVG drawing) and the CT reader the drawing
// uses. Line ends are always written as line feeds.

#include <span>
#include <string>

#include "output/outputTarget.h"
#include "rna/structure.h"

namespace korvane {

// Writes structures first..last (1-based, both included) of record as a CT file at path, appending
// when append is true, creating or replacing the file otherwise (through replaceFile, so a link at
// path is refused, never followed). A range outside 1..nstructs prints
// "in ctoutWithNum: error found  " on standard output and writing goes on; numbers without a slot
// in the record are skipped. Returns false, printing nothing, when the file cannot be written
// (or the path is something other than a regular file).
bool ctoutWithNum(const structure& record, const std::string& path, bool append, int first, int last);

// Writes structures 1..nstructs as title, sequence and bracket lines; creates or empties path.
// Returns false, printing nothing, when the file cannot be written.
bool writeDotBracket(const structure& record, const std::string& path);

// One line of brackets for the pairs table (n + 1 entries, partner or 0): nested pairs as "()",
// pairs crossing them on "[]", then "{}", "<>", "Aa", "Bb", ... as needed.
std::string bracketNotation(std::span<const int> pairs, int n);

// Reads a CT file into a freshly constructed record: nbases, nstructs (complete blocks read),
// letters, codes, numbering, titles and pairings. A file that cannot be opened ends the program
// ("Error opening ct file <path>" on standard error, one character, exit status 1). A file with no
// usable length leaves the record empty (nstructs 0).
void readCtFile(structure& record, const std::string& path);

// readCtFile for callers that must go on: false, leaving record as it was, when the file cannot
// be opened or read (or is not a regular file).
bool tryReadCtFile(structure& record, const std::string& path);

// Draws structure 1 of the CT file at ctPath as an SVG arc diagram at svgPath (an existing SVG
// file is deleted first; a link or anything else there is refused, as replaceFile does). Layout
// errors go to standard error. Returns 0 when the picture was written, 1 when it was not.
int drawCtFile(const std::string& ctPath, const std::string& svgPath);

}  // namespace korvane
