#pragma once
// Writes small parameter sets in the nineteen-file layouts for the thermo tests. Each file's
// cells come from a function of their indices; heading words are filler of the right count.

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "thermo/parameterReader.h"

namespace korvane::thermoTest {

constexpr std::array<std::array<int, 2>, 6> TEST_PAIR_ORDER = {{{1, 4}, {2, 3}, {3, 2}, {4, 1}, {3, 4}, {4, 3}}};
inline const char* const LETTERS = "?ACGU";

// Tenths as a one-decimal token: 13 -> "1.3", -5 -> "-0.5".
inline std::string tenthsToken(int t) {
    std::string sign = t < 0 ? "-" : "";
    int m = t < 0 ? -t : t;
    return sign + std::to_string(m / 10) + "." + std::to_string(m % 10);
}

inline std::string filler(int count) {
    std::string out;
    for (int k = 0; k < count; ++k) out += (k % 12 == 11) ? "w\n" : "w ";
    return out;
}

using cell4 = std::function<std::string(int, int, int, int)>;

inline std::string commonText(int header, const cell4& cell) {
    std::string out = filler(header);
    for (int a = 1; a <= 4; ++a) {
        out += filler(60);
        for (int c = 1; c <= 4; ++c, out += "\n")
            for (int b = 1; b <= 4; ++b)
                for (int d = 1; d <= 4; ++d) out += cell(a, b, c, d) + " ";
    }
    return out;
}

inline std::string dangleText(const cell4& cell) {  // cell(a, b, c, side)
    std::string out;
    for (int side = 1; side <= 2; ++side)
        for (int a = 1; a <= 4; ++a) {
            out += filler(60);
            for (int b = 1; b <= 4; ++b, out += "\n")
                for (int c = 1; c <= 4; ++c) out += cell(a, b, c, side) + " ";
        }
    return out;
}

inline std::string loopText(const std::function<std::string(int kind, int n)>& cell) {
    std::string out = filler(26);
    for (int n = 1; n <= 30; ++n) out += std::to_string(n) + " " + cell(0, n) + " " + cell(1, n) + " " + cell(2, n) + "\n";
    return out;
}

inline std::string int11Text(const std::function<std::string(const std::array<int, 6>&)>& cell) {
    std::string out = filler(58);
    for (const auto& [a, d] : TEST_PAIR_ORDER) {
        out += filler(114);
        for (int b = 1; b <= 4; ++b, out += "\n")
            for (const auto& [c, f] : TEST_PAIR_ORDER)
                for (int e = 1; e <= 4; ++e) out += cell({a, b, c, d, e, f}) + " ";
    }
    return out;
}

// blockPair(k) gives the (a, b) letters written into heading k (0..23).
inline std::string int21Text(const std::function<std::string(const std::array<int, 7>&)>& cell,
                             const std::function<std::array<int, 2>(int)>& blockPair) {
    std::string out = filler(58);
    for (int block = 0; block < 24; ++block) {
        auto [a, b] = blockPair(block);
        int e = block % 4 + 1;
        out += filler(66) + LETTERS[a] + " " + filler(11) + LETTERS[b] + " " + filler(35) + "\n";
        for (int c = 1; c <= 4; ++c, out += "\n")
            for (const auto& [f, g] : TEST_PAIR_ORDER)
                for (int d = 1; d <= 4; ++d) out += cell({a, b, c, d, e, f, g}) + " ";
    }
    return out;
}

// blockLetters(k) gives (a, b, c, d) for heading k (0..35).
inline std::string int22Text(const std::function<std::string(const std::array<int, 8>&)>& cell,
                             const std::function<std::array<int, 4>(int)>& blockLetters) {
    std::string out = filler(340);
    for (int block = 0; block < 36; ++block) {
        auto [a, b, c, d] = blockLetters(block);
        out += filler(38) + LETTERS[a] + " w w " + LETTERS[b] + " " + LETTERS[c] + " w w " + LETTERS[d] + " w w w\n";
        for (int e = 1; e <= 4; ++e)
            for (int g = 1; g <= 4; ++g, out += "\n")
                for (int f = 1; f <= 4; ++f)
                    for (int h = 1; h <= 4; ++h) out += cell({a, b, c, d, e, f, g, h}) + " ";
    }
    return out;
}

inline std::string specialText(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string out = "seq energy list\n";
    for (const auto& [sequence, energy] : entries) out += sequence + " " + energy + "\n";
    return out;
}

// Long form with the given fourteen record bodies.
inline std::string miscText(const std::array<std::string, 14>& records) {
    std::string out;
    for (const auto& record : records) out += "record words\n--> " + record + "\n";
    return out;
}

inline std::array<std::string, 14> defaultMiscRecords() {
    return {"1.079", "3.0", "0.5 0.5 0.5 0.5", "3.4 0.0 0.4", "3.5 0.1 0.5", "0.0", "0.0",
            "0.5", "-2.2", "0.3", "1.6", "1.4", "4.1", "0.0"};
}

// Cell values used by defaultSet(): distinct per table and index, in tenths.
inline int quadValue(int table, int a, int b, int c, int d) { return table * 1000 + a * 125 + b * 25 + c * 5 + d; }

template <size_t N>
int gridValue(const std::array<int, N>& index) {  // distinct for codes 1..4
    int v = 0;
    for (int i : index) v = v * 4 + (i - 1);
    return 1 + v % 90000;
}

// A complete set: file texts indexed by parameterFile. shift is added to every value, so an
// enthalpy twin can differ from its free energies in every cell.
inline std::array<std::string, PARAMETER_FILE_COUNT> defaultSet(int shift = 0) {
    std::array<std::string, PARAMETER_FILE_COUNT> files;
    auto quadFile = [shift](int header, int table) {
        return commonText(header, [=](int a, int b, int c, int d) { return tenthsToken(quadValue(table, a, b, c, d) + shift); });
    };
    auto grid = [shift](const auto& index) { return tenthsToken(gridValue(index) + shift); };
    files[loopFile] = loopText([=](int kind, int n) { return tenthsToken(100 * kind + n + shift); });
    files[stackFile] = quadFile(42, 1);
    files[tstackhFile] = quadFile(46, 2);
    files[tstackiFile] = quadFile(46, 3);
    files[tloopFile] = specialText({{"GGGGAC", tenthsToken(-30 + shift)}, {"CUUCGG", tenthsToken(-25 + shift)}});
    files[miscloopFile] = miscText(defaultMiscRecords());
    files[dangleFile] = dangleText([=](int a, int b, int c, int side) { return tenthsToken(shift - (side * 100 + a * 16 + b * 4 + c)); });
    files[int22File] = int22Text(grid, [](int k) {
        auto outer = TEST_PAIR_ORDER[k / 6], inner = TEST_PAIR_ORDER[k % 6];
        return std::array<int, 4>{outer[0], inner[0], outer[1], inner[1]};
    });
    files[int21File] = int21Text(grid, [](int k) { return TEST_PAIR_ORDER[k / 4]; });
    files[coaxialFile] = quadFile(42, 4);
    files[tstackcoaxFile] = quadFile(46, 5);
    files[coaxstackFile] = quadFile(46, 6);
    files[tstackFile] = quadFile(46, 7);
    files[tstackmFile] = quadFile(46, 8);
    files[triloopFile] = specialText({{"CAACG", tenthsToken(14 + shift)}});
    files[int11File] = int11Text(grid);
    files[hexaloopFile] = specialText({});
    files[tstacki23File] = quadFile(46, 9);
    files[tstacki1nFile] = quadFile(46, 10);
    return files;
}

inline void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Writes the set into folder with the given prefix and suffix ("" / "dna", ".dat" / ".dh").
inline void writeSet(const std::filesystem::path& folder, const std::array<std::string, PARAMETER_FILE_COUNT>& files,
                     const std::string& prefix = "", const std::string& suffix = ".dat") {
    std::filesystem::create_directories(folder);
    for (int k = 0; k < PARAMETER_FILE_COUNT; ++k)
        writeText(folder / (prefix + std::string(PARAMETER_FILE_NAMES[k]) + suffix), files[k]);
}

inline parameterPaths pathsIn(const std::filesystem::path& folder, const std::string& suffix = ".dat") {
    parameterPaths paths;
    for (int k = 0; k < PARAMETER_FILE_COUNT; ++k) paths[k] = (folder / (std::string(PARAMETER_FILE_NAMES[k]) + suffix)).string();
    return paths;
}

// A fresh folder under the system temporary folder, removed with the object.
class scratchFolder {
public:
    explicit scratchFolder(const std::string& name) {
        path_ = std::filesystem::temp_directory_path() / ("korvane-thermo-" + name + "-" + std::to_string(::getpid()));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~scratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    scratchFolder(const scratchFolder&) = delete;
    scratchFolder& operator=(const scratchFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace korvane::thermoTest
