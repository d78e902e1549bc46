#pragma once
// Runs the real korvane-fold binary in a scratch folder.

#include <string>

#include "../driver/runKorvane.h"

namespace korvane::testing {

inline std::string foldBinary() { return std::string(KORVANE_BINARY_DIR) + "/korvane-fold"; }

// Runs korvane-fold with arguments (already quoted as the shell needs) in folder root.
inline runResult runFold(const std::filesystem::path& root, const std::string& arguments, const std::string& input = "") {
    writeFile(root / ".stdin", input);
    std::string command = "cd '";
    command += root.string();
    command += "' && timeout 300 '";
    command += foldBinary();
    command += "' ";
    command += arguments;
    command += " < .stdin > .stdout 2> .stderr";
    const int raw = std::system(command.c_str());
    runResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = readFile(root / ".stdout");
    result.err = readFile(root / ".stderr");
    return result;
}

}  // namespace korvane::testing
