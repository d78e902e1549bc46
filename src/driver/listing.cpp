#include <algorithm>
#include <filesystem>
#include <system_error>

#include "driver/driver.h"

namespace korvane {

namespace {

// ".\sequences\*.fasta" -> folder "./sequences", suffix ".fasta".
void splitPattern(const std::string& pattern, std::string& folder, std::string& suffix) {
    std::string path = pattern;
    std::replace(path.begin(), path.end(), '\\', '/');
    const auto slash = path.rfind('/');
    folder = slash == std::string::npos ? "." : path.substr(0, slash);
    std::string leaf = slash == std::string::npos ? path : path.substr(slash + 1);
    suffix = leaf.starts_with("*") ? leaf.substr(1) : leaf;
}

}  // namespace

int listFastaFiles(const std::string& pattern, std::vector<std::string>& fileNames) {
    std::string folder;
    std::string suffix;
    splitPattern(pattern, folder, suffix);

    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    if (error) return -1;
    // Entries are not filtered by kind: a folder named x.fasta is listed and later fails as a file.
    std::vector<std::string> found;
    for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (error) break;
        const std::string name = it->path().filename().string();
        if (name.size() < suffix.size() || !name.ends_with(suffix)) continue;
        found.push_back(name);
    }
    std::sort(found.begin(), found.end());

    fileNames.assign(1, std::string());
    int count = 0;
    for (const auto& name : found) {
        if (name.starts_with('.')) continue;
        ++count;
        if (count > MAX_INPUT_FILES) break;
        // Only the final extension goes: a.b.fasta keeps its own name and its own outputs.
        fileNames.push_back(name.substr(0, name.size() - suffix.size()));
    }
    return count;
}

entryPaths composePaths(const std::string& name) {
    const std::string base = "./sequences/" + name;
    return {base + ".fasta", base + "_varn.ct", base + "_varn.dp", base + "_varn.svg"};
}

}  // namespace korvane
