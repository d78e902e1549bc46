#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>

#include "output/output.h"
#include "rna/alphabet.h"
#include "rna/fatalStop.h"

namespace korvane {

namespace {

constexpr size_t CT_TITLE_LIMIT = 548;       // keeps a title within the record's label
constexpr size_t CT_LETTER_TOKEN_LIMIT = 3;  // longer letter tokens are cut; only the first counts
constexpr int LINKER_CODE = 5;
// The shortest nucleotide line is six one-character tokens with a separator each.
constexpr std::int64_t MIN_BYTES_PER_POSITION = 12;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int ctCode(char letter) {
    if (letter == 'I') return LINKER_CODE;  // upper case only: "i" is an unknown base
    const int code = letterCode(letter);
    return code == NOT_A_LETTER ? CODE_UNKNOWN : code;
}

bool parseInt(std::string_view text, int& value) {
    if (text.size() > 1 && text.front() == '+') text.remove_prefix(1);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

class ctScanner {
public:
    explicit ctScanner(std::string_view text) : text_(text) {}

    bool atEnd() const { return pos_ >= text_.size(); }
    size_t remaining() const { return text_.size() - pos_; }

    void skipCommentLines() {
        while (!atEnd() && text_[pos_] == '#') restOfLine();
    }

    // The next whitespace-separated word; empty at the end of the text.
    std::string_view word() {
        skipBlanks();
        const size_t start = pos_;
        while (!atEnd() && !isBlank(text_[pos_])) ++pos_;
        return text_.substr(start, pos_ - start);
    }

    // An integer at the start of the next word, as a stream would read it: the characters after
    // its digits stay for the next read.
    bool leadingInt(int& value) {
        skipBlanks();
        size_t start = pos_;
        if (start + 1 < text_.size() && text_[start] == '+' && text_[start + 1] != '-') ++start;
        const auto [end, error] = std::from_chars(text_.data() + start, text_.data() + text_.size(), value);
        if (error != std::errc()) return false;
        pos_ = static_cast<size_t>(end - text_.data());
        return true;
    }

    // The rest of the current line without its line end (a CR before the LF belongs to it).
    std::string_view restOfLine() {
        const size_t start = pos_;
        const size_t stop = std::min(text_.find('\n', start), text_.size());
        pos_ = stop < text_.size() ? stop + 1 : stop;
        std::string_view line = text_.substr(start, stop - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        return line;
    }

private:
    void skipBlanks() {
        while (!atEnd() && isBlank(text_[pos_])) ++pos_;
    }

    std::string_view text_;
    size_t pos_ = 0;
};

// The record's own growth keys on nstructs and drops structures past 4000 (and the last slot);
// a reader must keep every block it reads, so it widens the slot arrays itself.
void ensureSlot(structure& record, int s) {
    if (s < record.capacity) return;
    const int newCapacity = std::max(2 * record.capacity, s + 1);
    record.basepr.resize(static_cast<size_t>(newCapacity));
    record.energy.resize(static_cast<size_t>(newCapacity), 0);
    record.label.resize(static_cast<size_t>(newCapacity));
    record.stemref.resize(static_cast<size_t>(newCapacity), {0, 0, 0, 0});
    record.capacity = newCapacity;
}

void noteLinker(structure& record, int position, int& linkerCount) {
    record.intermolecular = true;
    // The list starts with three free entries; further linkers extend it.
    if (linkerCount < static_cast<int>(record.linker.size())) {
        record.linker[static_cast<size_t>(linkerCount)] = position;
    } else {
        record.linker.push_back(position);
    }
    ++linkerCount;
}

// Reads the n nucleotide lines of block s; false when the block ends early or a partner or
// number is not an integer.
bool readBlock(ctScanner& scanner, structure& record, int s, int n, int& linkerCount) {
    auto row = record.pairs(s);
    for (int i = 1; i <= n; ++i) {
        scanner.word();  // position
        std::string_view letter = scanner.word().substr(0, CT_LETTER_TOKEN_LIMIT);
        scanner.word();  // previous
        scanner.word();  // next
        const std::string_view partnerWord = scanner.word();
        const std::string_view numberWord = scanner.word();
        int partner = 0;
        int number = 0;
        if (letter.empty() || !parseInt(partnerWord, partner) || !parseInt(numberWord, number)) return false;
        const int code = ctCode(letter.front());
        record.seqchars[static_cast<size_t>(i)] = letter.front();
        record.seqcode[static_cast<size_t>(i)] = code;
        // A partner outside the sequence (or the position itself) cannot be a pair; keeping it
        // would send the drawing past its records. Such a position reads as unpaired.
        row[static_cast<size_t>(i)] = (partner >= 1 && partner <= n && partner != i) ? partner : 0;
        record.histnum[static_cast<size_t>(i)] = number;
        if (s == 1 && code == LINKER_CODE) noteLinker(record, i, linkerCount);
    }
    return true;
}

// The whole file; false when it cannot be opened or read. Only regular files are read: a
// folder opens like a file and fails only when read, a device such as /dev/zero never ends.
bool readWholeFile(const std::string& path, std::string& text) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return false;
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::array<char, 1 << 16> buffer;
    while (file.read(buffer.data(), buffer.size()) || file.gcount() > 0)
        text.append(buffer.data(), static_cast<size_t>(file.gcount()));
    return !file.bad();
}

}  // namespace

void readCtFile(structure& record, const std::string& path) {
    if (!tryReadCtFile(record, path)) fatalStop(std::cerr, "Error opening ct file " + path);
}

bool tryReadCtFile(structure& record, const std::string& path) {
    std::string text;
    if (!readWholeFile(path, text)) return false;

    ctScanner scanner(text);
    scanner.skipCommentLines();
    int n = 0;
    // No positive length: the record stays empty, which its users see as "no structure".
    if (!scanner.leadingInt(n) || n <= 0) return true;
    // A length the rest of the file cannot back is refused before anything is sized by it, so a
    // damaged header cannot claim gigabytes; such a first block could never be complete anyway.
    if (static_cast<std::int64_t>(n) * MIN_BYTES_PER_POSITION > static_cast<std::int64_t>(scanner.remaining())) {
        return true;
    }
    record.allocateSequence(n);
    record.nbases = n;

    int s = 1;
    int linkerCount = 0;
    while (!scanner.atEnd()) {
        ensureSlot(record, s);
        record.setLabel(s, scanner.restOfLine().substr(0, CT_TITLE_LIMIT));
        // An incomplete block is not counted and ends the read: its missing letters would be
        // drawn as NUL characters.
        if (!readBlock(scanner, record, s, n, linkerCount)) {
            record.label[static_cast<size_t>(s)].clear();
            record.basepr[static_cast<size_t>(s)].clear();
            break;
        }
        ++s;
        // The arrays are sized by the first header: a block of another length ends the read, and
        // so does anything after the last block that is not a header.
        int next = 0;
        if (!scanner.leadingInt(next) || next != n) break;
    }
    record.nstructs = s - 1;
    return true;
}

}  // namespace korvane
