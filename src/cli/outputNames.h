#pragma once
// File names for per-record outputs: made from titles, safe, unique within a run.

#include <string>
#include <unordered_set>

namespace korvane::cli {

constexpr std::size_t MAX_NAME_LENGTH = 100;

class outputNames {
public:
    // The title's first word with every character outside [A-Za-z0-9._-] as '_' (a leading
    // '.' too, so that no output is hidden), "recordN" when nothing is left; "_2", "_3", ...
    // appended when the name was already given out in this run.
    std::string nameFor(const std::string& title, int recordNumber);

private:
    std::unordered_set<std::string> used_;
};

}  // namespace korvane::cli
