#pragma once
// Scratch files and small records for the output tests.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "rna/structure.h"

namespace korvane::outputtest {

// A file path in a per-process scratch folder, removed again when the object goes.
class scratchFile {
public:
    explicit scratchFile(const std::string& name) {
        const auto folder =
            std::filesystem::temp_directory_path() / ("korvane-output-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        path_ = (folder / name).string();
        std::filesystem::remove(path_);
    }
    ~scratchFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    scratchFile(const scratchFile&) = delete;
    scratchFile& operator=(const scratchFile&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeText(const std::string& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

// A record holding letters as structure 1, unpaired, numbered 1..n, with the given title.
inline structure recordOf(std::string_view letters, std::string_view title = "") {
    structure record(STRUCTURE_SLOTS);
    const int n = static_cast<int>(letters.size());
    record.allocateSequence(n);
    record.nbases = n;
    for (int i = 1; i <= n; ++i) {
        record.seqchars[static_cast<size_t>(i)] = letters[static_cast<size_t>(i - 1)];
        record.histnum[static_cast<size_t>(i)] = i;
    }
    record.setLabel(1, title);
    record.nstructs = 1;
    return record;
}

inline void addPair(structure& record, int k, int i, int j) {
    record.pairs(k)[static_cast<size_t>(i)] = j;
    record.pairs(k)[static_cast<size_t>(j)] = i;
}

}  // namespace korvane::outputtest
