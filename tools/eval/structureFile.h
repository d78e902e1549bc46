#pragma once
// Structures to score, read from a CT file or a dot-bracket file.

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// A defect of an input file; line is 1-based, 0 when the fault is not on one line.
class inputError : public std::runtime_error {
public:
    inputError(int line, const std::string& message);
    int line;
};

struct scoredStructure {
    std::string title;
    std::vector<int> code;   // 1-based base codes, entry 0 unused
    std::vector<int> pairs;  // 1-based partners, 0 when unpaired; nested and symmetric
};

// Reads every structure of path. A file whose first line that is neither blank nor a '#'
// comment starts with '>' is read as dot-bracket records ("> title", sequence, brackets; the
// last two may span lines, and an energy in parentheses or brackets after the brackets is ignored);
// otherwise as CT blocks (a header "length title", then one line of six values per base).
// Throws inputError for anything it cannot read; never returns an empty list.
std::vector<scoredStructure> readStructureFile(const std::string& path);

// The title in the text after the length on a CT header line: trimmed, without the
// "ENERGY = value" CT writers put before it, tabs written as blanks.
std::string ctHeaderTitle(std::string_view rest);

// One structure given as its sequence letters and dot-bracket line, read by the rules of a
// dot-bracket file record (the energy after the brackets is ignored). Throws inputError (line
// 0) for a line break in any of the three, an empty sequence or structure, or anything the file
// reader refuses.
scoredStructure readDotBracketRecord(const std::string& title, const std::string& letters, const std::string& brackets);

}  // namespace korvane
