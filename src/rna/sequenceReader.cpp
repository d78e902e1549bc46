#include "rna/sequenceReader.h"

#include "rna/alphabet.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

namespace korvane {

namespace {

constexpr int END = EOF;
constexpr unsigned char CONTROL_DELETE = 0x7F;

struct fileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Byte reader with one byte of look-ahead over a binary stream; line ends are handled by the
// reader itself so that LF and CR LF files read alike on every platform.
class byteSource {
public:
    explicit byteSource(std::FILE* f) : file_(f) {}
    int get() {
        int c = peeked_;
        if (c != NONE) {
            peeked_ = NONE;
        } else {
            c = std::getc(file_);
        }
        if (column_ < 0) {
            ++line_;
            column_ = 0;
        }
        if (c == '\n') {
            column_ = -1;
        } else if (c != END) {
            ++column_;
        }
        return c;
    }
    int peek() {
        if (peeked_ == NONE) peeked_ = std::getc(file_);
        return peeked_;
    }
    // Where the byte last read stands, 1-based.
    int line() const { return line_; }
    int column() const { return column_; }

private:
    static constexpr int NONE = -2;
    std::FILE* file_;
    int peeked_ = NONE;
    int line_ = 1;
    int column_ = 0;  // -1 right after a line feed: the next byte starts a new line
};

// Why a file was refused, for the caller that asks; nothing is kept when nobody does.
class refusal {
public:
    explicit refusal(std::string* text) : text_(text) {}
    void note(const std::string& why) const {
        if (text_ && text_->empty()) *text_ = why;
    }
    void character(const byteSource& in, int c) const {
        if (!text_) return;
        char shown[16];
        if (c > ' ' && c < 0x7F) {
            std::snprintf(shown, sizeof shown, "'%c'", c);
        } else {
            std::snprintf(shown, sizeof shown, "byte 0x%02X", static_cast<unsigned>(c) & 0xFFU);
        }
        note("line " + std::to_string(in.line()) + ", column " + std::to_string(in.column()) + ": " + shown +
             " is not a sequence letter");
    }

private:
    std::string* text_;
};

// Reads the rest of the current line; returns false when the file ended before a line end.
// The text is kept without its line end (LF or CR LF).
bool readLine(byteSource& in, std::string* text) {
    for (;;) {
        const int c = in.get();
        if (c == END) return false;
        if (c == '\n') {
            if (text && !text->empty() && text->back() == '\r') text->pop_back();
            return true;
        }
        // Titles longer than a label are cut anyway; keep memory bounded on absurd lines.
        if (text && text->size() < static_cast<size_t>(LABEL_SIZE)) text->push_back(static_cast<char>(c));
    }
}

bool isBaseLetter(int c) { return isBatchLetter(static_cast<char>(c)); }

enum class lineResult { more, endOfFile, stop, refused };

// Reads the bases of one sequence line into letters. In the semicolon layout '1' ends the sequence.
lineResult readSequenceLine(byteSource& in, std::string& letters, bool semicolonLayout, const refusal& why) {
    for (;;) {
        const int c = in.get();
        if (c == END) return lineResult::endOfFile;
        if (c == '\n') return lineResult::more;
        if (c == '\r') {
            const int next = in.peek();
            if (next == '\n' || next == END) continue;
            why.character(in, c);
            return lineResult::refused;
        }
        if (c == ' ') continue;
        if (semicolonLayout && c == '1') return lineResult::stop;
        if (!isBaseLetter(c)) {
            if ((c == '>' || c == '#') && in.column() == 1 && !letters.empty()) {
                why.note("line " + std::to_string(in.line()) +
                         ": a second record begins there; a file holds one sequence");
            } else {
                why.character(in, c);
            }
            return lineResult::refused;
        }
        if (letters.size() >= static_cast<size_t>(MAX_SEQUENCE_LENGTH)) {
            why.note("the sequence is longer than " + std::to_string(MAX_SEQUENCE_LENGTH) + " nucleotides");
            return lineResult::refused;
        }
        letters.push_back(static_cast<char>(c));
    }
}

bool readFasta(byteSource& in, std::string& title, std::string& letters, const refusal& why) {
    if (!readLine(in, &title)) return false;  // the file ends inside the title line: no bases
    bool headersDone = false;
    bool firstLineRead = false;
    for (;;) {
        const int first = in.peek();
        if (first == END) return true;
        if (!headersDone && (first == '>' || first == '#')) {
            if (!readLine(in, nullptr)) return true;
            continue;
        }
        headersDone = true;
        // A dot-bracket line after the sequence ends it.
        if (firstLineRead && (first == '(' || first == '.')) return true;
        firstLineRead = true;
        switch (readSequenceLine(in, letters, false, why)) {
            case lineResult::more: break;
            // A last line without a line end still belongs to the sequence.
            case lineResult::endOfFile: return true;
            case lineResult::stop: return true;
            case lineResult::refused: return false;
        }
    }
}

bool readSemicolonLayout(byteSource& in, std::string& title, std::string& letters, const refusal& why) {
    if (!readLine(in, nullptr)) return false;  // rest of the first comment line
    for (;;) {
        const int first = in.peek();
        if (first == END) return false;
        if (first == ';' || static_cast<signed char>(first) < ' ') {
            if (!readLine(in, nullptr)) return false;
            continue;
        }
        break;
    }
    // The title keeps its line end in this layout.
    if (readLine(in, &title)) title.push_back('\n');
    for (;;) {
        // A file that ends before its closing '1' ends the sequence there.
        switch (readSequenceLine(in, letters, true, why)) {
            case lineResult::more: break;
            case lineResult::endOfFile: return true;
            case lineResult::stop: return true;
            case lineResult::refused: return false;
        }
    }
}

}  // namespace

void baseCode(char letter, structure& record, int p) {
    const int code = letterCode(letter) == NOT_A_LETTER ? CODE_UNKNOWN : letterCode(letter);
    const bool lower = isLowerCaseLetter(letter) && code != CODE_UNKNOWN;
    record.seqcode[p] = code;
    if (lower) {
        ++record.nlower;
        // The list is never consulted for prediction; it grows rather than dropping positions.
        if (record.nlower >= static_cast<int>(record.lowerpos.size())) record.lowerpos.resize(record.nlower + 1, 0);
        record.lowerpos[record.nlower] = p;
    }
}

namespace {

// The reading proper; why, when asked, learns the first reason for a refusal. titled is set
// when the file has a title line (an empty title then still counts).
bool readSequence(const std::string& path, std::string& title, std::string& letters, bool& titled,
                  const refusal& why) {
    titled = false;
    // Only regular files are read: a named pipe would block the batch at the open, and a device
    // such as /dev/zero would never end.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        why.note("not a regular file that can be read");
        return false;
    }
    std::unique_ptr<std::FILE, fileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        why.note("the file cannot be opened");
        return false;
    }
    byteSource in(file.get());

    int c = in.get();
    while (c != END && c != 0xFF && static_cast<signed char>(c) < '!') c = in.get();
    if (c == END) {
        why.note("no sequence: the file holds nothing but blanks");
        return false;
    }
    if (c == 0xFF) {
        why.character(in, c);
        return false;
    }

    bool ok = false;
    if (c == ';') {
        ok = readSemicolonLayout(in, title, letters, why);
    } else if (c == '>' || c == '#') {
        ok = readFasta(in, title, letters, why);
    } else {
        why.note("line " + std::to_string(in.line()) + ", column " + std::to_string(in.column()) +
                 ": the file does not begin with a title line ('>', '#' or ';')");
    }
    // A CR or another control character copied into a CT header or dot-bracket title would split
    // or garble it for other readers; the semicolon layout's own closing line end stays.
    const size_t ownLineEnd = c == ';' && !title.empty() && title.back() == '\n' ? 1 : 0;
    for (size_t p = 0; p + ownLineEnd < title.size(); ++p) {
        const auto byte = static_cast<unsigned char>(title[p]);
        if (byte < ' ' || byte == CONTROL_DELETE) title[p] = ' ';
    }
    titled = !title.empty() || c == '>' || c == '#';
    if (!ok || letters.empty()) {
        why.note("no sequence after the title line");
        return false;
    }
    return true;
}

}  // namespace

bool openseq(structure& record, const std::string& path) {
    std::string title;
    std::string letters;
    bool titled = false;
    const bool ok = readSequence(path, title, letters, titled, refusal(nullptr));
    if (titled) record.setLabel(1, title);
    if (!ok) return false;
    fillSequence(record, letters);
    return true;
}

void fillSequence(structure& record, std::string_view letters) {
    const int n = static_cast<int>(letters.size());
    record.nlower = 0;
    record.nbases = n;
    record.allocateSequence(n);
    for (int p = 1; p <= n; ++p) {
        record.seqchars[p] = letters[p - 1];
        record.histnum[p] = p;
        baseCode(letters[p - 1], record, p);
    }
    auto row = record.pairs(1);
    std::fill(row.begin(), row.end(), 0);
}

bool readSequenceFile(const std::string& path, rnaSequence& sequence) {
    std::string title;
    std::string letters;
    bool titled = false;
    if (!readSequence(path, title, letters, titled, refusal(nullptr))) return false;
    sequence = makeSequence(title.substr(0, LABEL_SIZE - 1), std::move(letters));
    return true;
}

std::string sequenceFileFault(const std::string& path) {
    std::string why;
    std::string title;
    std::string letters;
    bool titled = false;
    if (readSequence(path, title, letters, titled, refusal(&why))) return {};
    return why;
}

}  // namespace korvane
