#pragma once
// Fuzz entries of korvane-fold's readers: the multi-record reader (with the engine on what it
// reads) and the command line. Shared by the libFuzzer targets and the corpus replay.

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commandLine.h"
#include "engine/engine.h"
#include "rna/alphabet.h"
#include "rna/recordReader.h"
#include "thermo/parameterSets.h"

namespace korvane::fuzzing {

constexpr std::size_t FUZZ_MAX_LENGTH = 4000;
constexpr std::size_t FUZZ_FOLD_LENGTH = 300;  // longer records are read, not folded
constexpr int FUZZ_MAX_ARGUMENTS = 40;

inline const paramTables& builtinTables() {
    static const auto tables = loadParameterSet(DEFAULT_PARAMETER_SET);
    return *tables;
}

// "" when the pair table is a nested pairing of canonical pairs.
inline std::string checkPairs(const rnaSequence& sequence, const std::vector<int>& pairs) {
    const int n = sequence.length();
    if (static_cast<int>(pairs.size()) != n + 1) return "pair table of the wrong size";
    std::vector<int> open;
    for (int i = 1; i <= n; ++i) {
        const int j = pairs[i];
        if (j < 0 || j > n || j == i || (j != 0 && pairs[j] != i)) return "asymmetric pair at " + std::to_string(i);
        if (j > i) {
            if (!codesPair(sequence.codes[i], sequence.codes[j])) return "non-canonical pair " + std::to_string(i);
            if (j - i - 1 < 3) return "hairpin under three at " + std::to_string(i);
            open.push_back(j);
        } else if (j != 0) {
            if (open.empty() || open.back() != i) return "crossing pair at " + std::to_string(i);
            open.pop_back();
        }
    }
    return {};
}

inline std::string recordReaderEntry(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    recordReader reader(in, FUZZ_MAX_LENGTH);
    sequenceRecord record;
    foldWorkspace workspace;
    int expected = 0;
    while (reader.next(record)) {
        if (record.number != ++expected) return "record numbers skip";
        if (record.fault.empty() == record.letters.empty()) return "a record with both or neither letters and fault";
        if (record.letters.size() > FUZZ_MAX_LENGTH) return "a record over the maximum length";
        if (record.title.size() > MAX_TITLE_BYTES) return "a title over its bound";
        for (char c : record.title)
            if (static_cast<unsigned char>(c) < ' ' || c == 0x7F) return "a control character in a title";
        for (char c : record.letters)
            if (letterCode(c) == NOT_A_LETTER) return "a letter outside the alphabet";
        if (record.letters.empty() || record.letters.size() > FUZZ_FOLD_LENGTH) continue;
        const rnaSequence sequence = makeSequence(record.title, record.letters);
        try {
            const foldResult result = foldSequence(sequence, builtinTables(), foldOptions{}, workspace);
            const std::string fault = checkPairs(sequence, result.pairs);
            if (!fault.empty()) return fault;
        } catch (const foldError& error) {
            if (error.kind() != foldErrorKind::noStem) return std::string("fold failed: ") + error.what();
        }
    }
    return {};
}

inline std::string commandLineEntry(const uint8_t* data, size_t size) {
    std::vector<std::string> words{"korvane-fold"};
    std::string word;
    for (size_t k = 0; k < size && static_cast<int>(words.size()) < FUZZ_MAX_ARGUMENTS; ++k) {
        if (data[k] == '\n') {
            words.push_back(word);
            word.clear();
        } else {
            word.push_back(static_cast<char>(data[k]));
        }
    }
    if (!word.empty()) words.push_back(word);
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());
    cli::foldSettings settings;
    std::ostringstream out;
    std::ostringstream err;
    const int status = cli::parseCommandLine(static_cast<int>(argv.size()), argv.data(), settings, out, err);
    if (status != cli::GO_ON && status != cli::EXIT_ALL_FOLDED && status != cli::EXIT_USAGE) return "odd exit status";
    if (status == cli::EXIT_USAGE && err.str().empty()) return "a usage error without a message";
    if (status == cli::GO_ON && (settings.jobs < 1 || settings.celsius < -50 || settings.celsius > 150 || settings.maxLength < 1))
        return "settings outside their ranges accepted";
    return {};
}

}  // namespace korvane::fuzzing
