#pragma once
// One entry per reader of outside data, shared by the libFuzzer targets and the corpus replay.
// Each entry writes the bytes where the reader expects a file (readers of this program take
// paths, and the CT reader ends the process on a file it cannot open, so a real file is always
// written), runs the reader and checks what it built. An entry returns "" when every check
// holds, otherwise what went wrong; sanitizer reports end the process on their own.

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "../../tools/eval/structureFile.h"
#include "energy/energy.h"
#include "output/drawing.h"
#include "output/output.h"
#include "rna/sequenceReader.h"
#include "rna/structure.h"
#include "thermo/parameterReader.h"
#include "thermo/thermoLoader.h"

#ifndef KORVANE_SOURCE_DIR
#error "KORVANE_SOURCE_DIR must name the source tree (the shipped dat/ is read from there)"
#endif

namespace korvane::fuzzing {

// The folder every entry of this process writes into; removed when the process ends normally.
class scratchFolder {
public:
    static const std::filesystem::path& path() {
        static scratchFolder folder;
        return folder.path_;
    }

private:
    scratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "korvane-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            std::perror("korvane fuzz: cannot make a scratch folder");
            std::abort();
        }
        path_ = pattern;
    }
    ~scratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::filesystem::path path_;
};

inline std::string writeScratch(const std::filesystem::path& path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        std::cerr << "korvane fuzz: cannot write " << path << '\n';
        std::abort();
    }
    return path.string();
}

inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The readers' warnings would flood the fuzzer's console; they are not what is checked here.
class silencedStderr {
public:
    silencedStderr() : saved_(std::cerr.rdbuf(nullptr)) {}
    ~silencedStderr() {
        std::cerr.clear();
        std::cerr.rdbuf(saved_);
    }
    silencedStderr(const silencedStderr&) = delete;
    silencedStderr& operator=(const silencedStderr&) = delete;

private:
    std::streambuf* saved_;
};

// True when text is well-formed UTF-8 holding only characters XML 1.0 allows.
inline bool isXmlText(std::string_view text) {
    for (size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        if (lead < 0x80) {
            if (lead < 0x20 && lead != '\t' && lead != '\n' && lead != '\r') return false;
            ++at;
            continue;
        }
        size_t length = 0;
        uint32_t code = 0;
        if (lead >= 0xC2 && lead <= 0xDF) length = 2, code = lead & 0x1F;
        else if (lead >= 0xE0 && lead <= 0xEF) length = 3, code = lead & 0x0F;
        else if (lead >= 0xF0 && lead <= 0xF4) length = 4, code = lead & 0x07;
        else return false;
        if (at + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[at + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        const uint32_t shortest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (code < shortest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        if (code == 0xFFFE || code == 0xFFFF) return false;
        at += length;
    }
    return true;
}

// ---- sequence reader (FASTA and the semicolon layout) ----

inline bool isAcceptedLetter(char c) { return std::string_view("ACGUTXNacgutx").find(c) != std::string_view::npos; }

inline int expectedCode(char c) {
    switch (c) {
        case 'A': case 'a': return 1;
        case 'C': case 'c': return 2;
        case 'G': case 'g': return 3;
        case 'U': case 'u': case 'T': case 't': return 4;
        default: return 0;
    }
}

inline std::string sequenceReaderEntry(const uint8_t* data, size_t size) {
    const std::string path = writeScratch(scratchFolder::path() / "input.fasta", data, size);
    structure record(STRUCTURE_SLOTS);
    const bool ok = openseq(record, path);
    if (record.label[1].size() > static_cast<size_t>(LABEL_SIZE - 1)) return "title longer than a label";
    if (!ok) {
        if (record.nbases != 0 || record.seqAllocated) return "a refused file left a sequence in the record";
        return {};
    }
    const int n = record.nbases;
    if (n < 1 || n > MAX_SEQUENCE_LENGTH) return "accepted length " + std::to_string(n) + " out of range";
    // Every base comes from a byte of the file.
    const auto letters = static_cast<size_t>(std::count_if(data, data + size, [](uint8_t b) { return isAcceptedLetter(static_cast<char>(b)); }));
    if (static_cast<size_t>(n) > letters) return "more bases than base letters in the file";
    int lower = 0;
    for (int p = 1; p <= n; ++p) {
        const char c = record.seqchars[static_cast<size_t>(p)];
        if (!isAcceptedLetter(c)) return "position " + std::to_string(p) + " holds a letter the reader refuses";
        if (record.seqcode[static_cast<size_t>(p)] != expectedCode(c)) return "wrong code at " + std::to_string(p);
        if (record.histnum[static_cast<size_t>(p)] != p) return "wrong numbering at " + std::to_string(p);
        if (record.partner(1, p) != 0) return "structure 1 not unpaired at " + std::to_string(p);
        if (c >= 'a' && c != 'x') {
            ++lower;
            if (lower >= static_cast<int>(record.lowerpos.size()) || record.lowerpos[static_cast<size_t>(lower)] != p)
                return "lower-case position " + std::to_string(p) + " not recorded";
        }
    }
    if (record.nlower != lower) return "nlower " + std::to_string(record.nlower) + ", lower-case letters " + std::to_string(lower);
    // Two reads of one file agree (the job reads every file twice).
    structure again(STRUCTURE_SLOTS);
    if (!openseq(again, path) || again.nbases != n || again.seqchars != record.seqchars || again.label[1] != record.label[1])
        return "a second read of the same file differs";
    return {};
}

// ---- parameter reader (one of the nineteen files fuzzed, the others as shipped) ----

// Every cell of a table of ints, however nested (std::array nests without padding).
template <typename Table, typename Visit>
void forEachCell(const Table& table, Visit&& visit) {
    static_assert(sizeof(Table) % sizeof(int) == 0);
    const int* cell = reinterpret_cast<const int*>(&table);
    for (size_t k = 0; k < sizeof(Table) / sizeof(int); ++k) visit(cell[k]);
}

// Where the reader clamps values; sums of many cells stay far from overflow below it.
constexpr long long MAX_CELL_MAGNITUDE = 1'000'000;
// Adjusted to another temperature a clamped value may grow by the ratio of the temperatures.
constexpr long long MAX_ADJUSTED_MAGNITUDE = 10'000'000;
constexpr double FUZZ_TEMPERATURE = 330.0;  // away from 37 C, so the enthalpy files are read

// The three big internal-loop tables (9 MB) are scanned only when their own file was fuzzed:
// no other file writes them.
inline std::string checkTables(const paramTables& t, long long limit, int fuzzedFile) {
    long long worst = 0;
    auto note = [&](int value) { worst = std::max(worst, std::llabs(static_cast<long long>(value))); };
    for (const auto* grid : {&t.stack, &t.tstackh, &t.tstacki, &t.coaxial, &t.tstackcoax, &t.coaxstack, &t.tstack,
                             &t.tstackm, &t.tstacki23, &t.tstacki1n})
        forEachCell(*grid, note);
    if (fuzzedFile == int11File) forEachCell(t.int11, note);
    if (fuzzedFile == int21File) forEachCell(t.int21, note);
    if (fuzzedFile == int22File) forEachCell(t.int22, note);
    forEachCell(t.dangle, note);
    forEachCell(t.internalLoop, note);
    forEachCell(t.bulgeLoop, note);
    forEachCell(t.hairpinLoop, note);
    forEachCell(t.loopConst, note);
    forEachCell(t.asymmetryPenalty, note);
    for (int value : {t.asymmetryMax, t.terminalAuPenalty, t.gggHairpinBonus, t.polyCIntercept, t.polyCSlope,
                      t.polyC3, t.mbEvalOffset, t.mbEvalPerUnpaired, t.mbEvalPerHelix, t.intermolecularInit,
                      t.miscSixth, t.miscSeventh, t.singleCBulgeBonus})
        note(value);
    for (const auto& [list, count] : {std::pair{&t.tloop, t.tloopCount}, std::pair{&t.triloop, t.triloopCount},
                                      std::pair{&t.hexaloop, t.hexaloopCount}}) {
        if (count < 0 || count > MAX_SPECIAL_HAIRPINS) return "special-hairpin count " + std::to_string(count);
        for (int k = 1; k <= count; ++k) note((*list)[static_cast<size_t>(k)][1]);
    }
    if (worst > limit) return "a cell holds " + std::to_string(worst) + ", beyond " + std::to_string(limit);
    if (!std::isfinite(t.loopExtrapolation) || std::fabs(t.loopExtrapolation) > static_cast<float>(limit))
        return "loopExtrapolation " + std::to_string(t.loopExtrapolation);
    if (!std::isfinite(t.rtKcal)) return "rtKcal not finite";
    return {};
}

// A copy of the shipped parameter folder, both kinds of file, made once per process.
class parameterFolder {
public:
    static parameterFolder& instance() {
        static parameterFolder folder;
        return folder;
    }
    const std::filesystem::path& path() const { return path_; }

    // Writes content over one file; restore() puts the shipped file back.
    std::filesystem::path replace(int file, bool enthalpy, const uint8_t* data, size_t size) {
        replaced_ = fileName(file, enthalpy);
        writeScratch(path_ / replaced_, data, size);
        return path_ / replaced_;
    }
    void restore() {
        if (replaced_.empty()) return;
        const std::string& original = shipped_.at(replaced_);
        writeScratch(path_ / replaced_, reinterpret_cast<const uint8_t*>(original.data()), original.size());
        replaced_.clear();
    }

private:
    parameterFolder() : path_(scratchFolder::path() / "dat") {
        std::filesystem::create_directories(path_);
        for (int file = 0; file < PARAMETER_FILE_COUNT; ++file)
            for (bool enthalpy : {false, true}) {
                const std::string name = fileName(file, enthalpy);
                std::string content = readBytes(std::filesystem::path(KORVANE_SOURCE_DIR) / "dat" / name);
                if (content.empty()) {
                    std::cerr << "korvane fuzz: the shipped dat/" << name << " is missing or empty\n";
                    std::abort();
                }
                writeScratch(path_ / name, reinterpret_cast<const uint8_t*>(content.data()), content.size());
                shipped_.emplace(name, std::move(content));
            }
    }
    static std::string fileName(int file, bool enthalpy) {
        return std::string(PARAMETER_FILE_NAMES[static_cast<size_t>(file)]) + (enthalpy ? ".dh" : ".dat");
    }
    std::filesystem::path path_;
    std::map<std::string, std::string> shipped_;
    std::string replaced_;
};

// Tables reused from one input to the next: a fresh 8 MB object per input would cost more than
// the read itself. Each input starts from a copy of the freshly constructed state.
struct parameterWorkspace {
    paramTables pristine;
    paramTables freeEnergy;
    paramTables enthalpy;
    paramTables adjusted;
    paramTables shipped37;  // the shipped free energies, the other side of an adjustment

    static parameterWorkspace& instance() {
        static const auto workspace = [] {
            auto made = std::make_unique<parameterWorkspace>();
            parameterPaths paths;
            buildParameterPaths(paths, std::string(KORVANE_SOURCE_DIR) + "/dat/", true, false);
            silencedStderr quiet;
            if (readParameterFiles(paths, made->shipped37) != 1) {
                std::cerr << "korvane fuzz: the shipped dat/ does not load\n";
                std::abort();
            }
            return made;
        }();
        return *workspace;
    }
};

// The first byte chooses the file (its value modulo 19) and whether the fuzzed text is the
// free-energy file, read as it is, or the enthalpy twin, read and then used to adjust the
// shipped free energies to another temperature as the loader does (the value divided by 19,
// odd). The rest of the input is that file's text.
inline std::string parameterReaderEntry(const uint8_t* data, size_t size) {
    if (size == 0) return {};
    const int file = data[0] % PARAMETER_FILE_COUNT;
    const bool enthalpy = (data[0] / PARAMETER_FILE_COUNT) % 2 == 1;
    parameterFolder& folder = parameterFolder::instance();
    parameterWorkspace& work = parameterWorkspace::instance();
    folder.replace(file, enthalpy, data + 1, size - 1);
    std::string failure;
    {
        silencedStderr quiet;
        parameterPaths paths;
        buildParameterPaths(paths, folder.path().string() + "/", true, enthalpy);
        paramTables& target = enthalpy ? work.enthalpy : work.freeEnergy;
        target = work.pristine;
        const int result = readParameterFiles(paths, target);
        // Only a miscellaneous file without its markers is refused; content is never checked.
        if (result != 1 && !(result == 0 && file == miscloopFile)) failure = "reader returned " + std::to_string(result);
        if (failure.empty() && result == 1) failure = checkTables(target, MAX_CELL_MAGNITUDE, file);
        if (failure.empty() && result == 1 && enthalpy) {
            work.adjusted = work.shipped37;
            adjustToTemperature(static_cast<float>(FUZZ_TEMPERATURE), work.shipped37, work.enthalpy, work.adjusted);
            failure = checkTables(work.adjusted, MAX_ADJUSTED_MAGNITUDE, file);
        }
    }
    folder.restore();
    return failure;
}

// ---- CT reader, and the drawing that is its one user ----

inline std::string ctReaderEntry(const uint8_t* data, size_t size) {
    const std::string path = writeScratch(scratchFolder::path() / "input.ct", data, size);
    structure record(STRUCTURE_SLOTS);
    readCtFile(record, path);
    const int n = record.nbases;
    if (record.nstructs < 0) return "negative structure count";
    if (record.nstructs > 0) {
        if (n < 1) return "structures without bases";
        if (!record.seqAllocated || record.seqchars.size() < static_cast<size_t>(n) + 1 ||
            record.seqcode.size() < static_cast<size_t>(n) + 1 || record.histnum.size() < static_cast<size_t>(n) + 1)
            return "per-base arrays smaller than the length";
        if (record.nstructs >= record.capacity) return "structure count beyond the record's slots";
        for (int s = 1; s <= record.nstructs; ++s) {
            if (record.label[static_cast<size_t>(s)].size() > static_cast<size_t>(LABEL_SIZE - 1)) return "title too long";
            for (int i = 1; i <= n; ++i) {
                const int j = record.partner(s, i);
                if (j < 0 || j > n || j == i) return "partner " + std::to_string(j) + " of " + std::to_string(i) + " out of range";
            }
        }
        for (int i = 1; i <= n; ++i) {
            const int code = record.seqcode[static_cast<size_t>(i)];
            if (code < 0 || code > 5) return "code " + std::to_string(code) + " at " + std::to_string(i);
        }
    }
    structureImage image;
    const std::string error = image.readStructure(path, 1);
    if (error.empty() != (record.nstructs >= 1)) return "the drawing and the reader disagree on structure 1";
    if (error.empty()) {
        const auto svg = scratchFolder::path() / "output.svg";
        if (!image.writeImage(svg.string())) return "the picture could not be written";
        if (!isXmlText(readBytes(svg))) return "the picture holds characters XML does not allow";
    }
    return {};
}

// ---- korvane-eval's input: its file reader, then the scoring it feeds ----

// The shipped parameter set, loaded once per process.
inline const paramTables& shippedTables() {
    static const std::unique_ptr<paramTables> tables = [] {
        thermoLoader loader(true);
        if (loader.loadTables((std::string(KORVANE_SOURCE_DIR) + "/dat").c_str()) != LOAD_SUCCEEDED) {
            std::cerr << "korvane fuzz: the shipped dat/ does not load\n";
            std::abort();
        }
        return loader.releaseTables();
    }();
    return *tables;
}

inline std::string evalInputEntry(const uint8_t* data, size_t size) {
    const std::string path = writeScratch(scratchFolder::path() / "input.txt", data, size);
    std::vector<scoredStructure> structures;
    try {
        structures = readStructureFile(path);
    } catch (const inputError& error) {
        if (error.line < 0) return "an input error with a negative line";
        if (std::string_view(error.what()).empty()) return "an input error without a message";
        return {};
    }
    if (structures.empty()) return "no structure and no input error";
    for (const scoredStructure& s : structures) {
        const int n = static_cast<int>(s.code.size()) - 1;
        if (n < 0 || s.pairs.size() != s.code.size()) return "codes and pairs of different lengths";
        std::vector<int> open;
        for (int i = 1; i <= n; ++i) {
            const int code = s.code[static_cast<size_t>(i)];
            const int j = s.pairs[static_cast<size_t>(i)];
            if (code < 0 || code > 5) return "code " + std::to_string(code) + " at " + std::to_string(i);
            if (j < 0 || j > n || j == i || (j != 0 && s.pairs[static_cast<size_t>(j)] != i))
                return "pair " + std::to_string(i) + "-" + std::to_string(j) + " accepted";
            if (j > i) open.push_back(i);
            if (j != 0 && j < i) {
                if (open.empty() || open.back() != j) return "crossing pairs accepted";
                open.pop_back();
            }
        }
        // The scoring korvane-eval does with what was read.
        structure record(2);
        record.allocateSequence(n);
        record.nbases = n;
        record.nstructs = 1;
        auto row = record.pairs(1);
        for (int p = 1; p <= n; ++p) {
            record.seqcode[static_cast<size_t>(p)] = s.code[static_cast<size_t>(p)];
            row[static_cast<size_t>(p)] = s.pairs[static_cast<size_t>(p)];
        }
        structureEnergy(shippedTables(), record, 1);
    }
    return {};
}

// What a fuzz target does with a failed check: say it and end, so the input is kept.
inline void stopOnFailure(const std::string& failure) {
    if (failure.empty()) return;
    std::cerr << "korvane fuzz check failed: " << failure << '\n';
    std::abort();
}

}  // namespace korvane::fuzzing
