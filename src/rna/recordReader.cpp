#include "rna/recordReader.h"

#include "rna/alphabet.h"

namespace korvane {

namespace {

constexpr unsigned char CONTROL_DELETE = 0x7F;
// A line this long that is no sequence is not kept whole: only its start is needed.
constexpr std::size_t MAX_KEPT_LINE = 1 << 20;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string cleanTitle(const std::string& text) {
    std::string title = text.substr(0, MAX_TITLE_BYTES);
    for (char& c : title) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < ' ' || byte == CONTROL_DELETE) c = ' ';
    }
    return title;
}

// A structure line (or one of "existing tools" with the energy after it) following a sequence.
bool isStructureLine(const std::string& line) {
    for (char c : line) {
        if (isBlank(c)) continue;
        return c == '(' || c == ')' || c == '.' || c == '[' || c == ']' || c == '{' || c == '}' || c == '<' ||
               c == '>';
    }
    return false;
}

bool isEmptyLine(const std::string& line) {
    for (char c : line)
        if (!isBlank(c)) return false;
    return true;
}

std::string shownByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte > ' ' && byte < CONTROL_DELETE) return std::string("'") + c + "'";
    static const char digits[] = "0123456789ABCDEF";
    return std::string("byte 0x") + digits[byte >> 4] + digits[byte & 0xF];
}

}  // namespace

recordReader::recordReader(std::istream& in, std::size_t maxLength) : in_(in.rdbuf()), maxLength_(maxLength) {}

bool recordReader::readLine() {
    lineText_.clear();
    if (in_ == nullptr) return false;
    bool any = false;
    for (;;) {
        const int c = in_->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            if (!any) return false;
            break;
        }
        any = true;
        if (c == '\n') break;
        if (lineText_.size() < MAX_KEPT_LINE || lineText_.size() < maxLength_ + 1) lineText_.push_back(static_cast<char>(c));
    }
    ++line_;
    if (!lineText_.empty() && lineText_.back() == '\r') lineText_.pop_back();
    return true;
}

bool recordReader::next(sequenceRecord& record) {
    record = sequenceRecord{};
    bool titled = false;
    if (pendingTitle_) {
        pendingTitle_ = false;
        titled = true;
        record.title = std::move(pending_);
    } else {
        // Before a record: blank lines and comments are passed over.
        for (;;) {
            if (!readLine()) return false;
            if (isEmptyLine(lineText_) || lineText_[0] == ';') continue;
            break;
        }
        if (lineText_[0] == '>') {
            titled = true;
            record.title = cleanTitle(lineText_.substr(1));
        }
    }
    record.number = ++count_;
    if (!titled) {
        // A bare sequence line is a record of its own.
        record.title = "seq" + std::to_string(record.number);
    }

    bool tooLong = false;
    bool sawStructure = false;
    auto addLine = [&](const std::string& line) {
        if (!record.fault.empty()) return;
        for (std::size_t column = 0; column < line.size(); ++column) {
            const char c = line[column];
            if (isBlank(c)) continue;
            if (letterCode(c) == NOT_A_LETTER) {
                record.fault = "line " + std::to_string(line_) + ", column " + std::to_string(column + 1) + ": " +
                               shownByte(c) + " is not a sequence letter";
                return;
            }
            if (record.letters.size() >= maxLength_) {
                tooLong = true;
                return;
            }
            record.letters.push_back(c);
        }
    };

    if (!titled) {
        addLine(lineText_);
    } else {
        while (readLine()) {
            if (!lineText_.empty() && lineText_[0] == '>') {
                pendingTitle_ = true;
                pending_ = cleanTitle(lineText_.substr(1));
                break;
            }
            if (isEmptyLine(lineText_) || lineText_[0] == ';') continue;
            if (sawStructure || (!record.letters.empty() && isStructureLine(lineText_))) {
                sawStructure = true;  // a structure given with the sequence is not ours to read
                continue;
            }
            if (!tooLong) addLine(lineText_);
        }
    }
    if (tooLong) {
        record.fault = "the sequence is longer than the maximum length (" + std::to_string(maxLength_) + " nt)";
    } else if (record.fault.empty() && record.letters.empty()) {
        record.fault = "empty record: no sequence";
    }
    if (!record.fault.empty()) record.letters.clear();
    return true;
}

}  // namespace korvane
