#pragma once
// The one way a run ends on an inconsistency it cannot go on from.

#include <iosfwd>
#include <string_view>

namespace korvane {

constexpr int FATAL_EXIT_STATUS = 1;

// Writes message and a line end to out, waits for one character on standard input, then ends
// the process with FATAL_EXIT_STATUS (a failure must never look like success to a script).
[[noreturn]] void fatalStop(std::ostream& out, std::string_view message);

// Same without the wait, for failures where the run ends at once.
[[noreturn]] void fatalExit(std::ostream& out, std::string_view message);

}  // namespace korvane
