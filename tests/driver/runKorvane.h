#pragma once
// Runs the real korvane binary in a scratch working folder, as a user would.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace korvane::testing {

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void writeFile(const std::filesystem::path& path, const std::string& content) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

struct runResult {
    int status = -1;
    std::string out;
    std::string err;
};

class scratchFolder {
public:
    explicit scratchFolder(const std::string& tag, bool withParameters = true) {
        static int serial = 0;
        root = std::filesystem::temp_directory_path() /
               ("korvane_" + tag + "_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root);
        if (withParameters) {
            std::filesystem::copy(std::filesystem::path(KORVANE_SOURCE_DIR) / "dat", root / "dat",
                                  std::filesystem::copy_options::recursive);
        }
    }
    ~scratchFolder() {
        std::error_code ignored;
        std::filesystem::permissions(root, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(root, ignored);
    }
    void addSequence(const std::string& name, const std::string& content) const {
        writeFile(root / "sequences" / name, content);
    }
    // Runs korvane with the given standard input; returns its exit status and both streams.
    runResult run(const std::string& input = "") const {
        writeFile(root / ".stdin", input);
        const char* bin = std::getenv("KORVANE_BIN");
        const std::string binary = bin ? bin : std::string(KORVANE_BINARY_DIR) + "/korvane";
        const std::string command = "cd '" + root.string() + "' && timeout 120 '" + binary +
                                    "' < .stdin > .stdout 2> .stderr";
        const int raw = std::system(command.c_str());
        runResult result;
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.out = readFile(root / ".stdout");
        result.err = readFile(root / ".stderr");
        return result;
    }
    std::filesystem::path root;
};

inline const std::string BANNER =
    "\n*********************************************************************\n"
    "Korvane is launched.\n"
    "All the fasta files under the path .\\sequences\\ will be processed.\n";

inline const std::string CLOSING =
    "\nProcessing ends.\n"
    "All the output files are under the path .\\sequences\\.\n"
    "*********************************************************************\n"
    "Press ENTER to stop korvane.\n";

inline const std::string NOTHING_FOUND =
    "Can not find any fasta file under the path .\\sequences\\.\n"
    "Please put fasta files under the path .\\sequences\\, then press ENTER to continue\n";

}  // namespace korvane::testing
