#pragma once
// korvane-fold's command line.

#include <ostream>

#include "cli/foldCommand.h"

namespace korvane::cli {

constexpr int GO_ON = -1;

// Fills settings from the arguments. Returns GO_ON when the run should go on, otherwise the
// exit status (0 after --help or --version, EXIT_USAGE with a message on err).
int parseCommandLine(int argc, const char* const* argv, foldSettings& settings, std::ostream& out, std::ostream& err);

}  // namespace korvane::cli
