#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>

#include "output/output.h"

namespace korvane {

namespace {

// Lengths from here on get the six-wide columns, header included.
constexpr int WIDE_CT_LENGTH = 10'000;

// Minimum column widths of the two layouts: "%5i%2c%8i%5i%5i%5i" and "%6i%2c%8i%6i%6i%6i",
// with the header length as the first column.
struct ctWidths {
    int number;  // position, next, partner, numbering, and the header length
    int previous;
};

constexpr ctWidths NARROW_WIDTHS{5, 8};
constexpr ctWidths WIDE_WIDTHS{6, 8};
constexpr int LETTER_WIDTH = 2;

// Room for an int and its padding in any column.
constexpr int CT_FIELD_BUFFER = 32;
// Room for a nucleotide line: six columns of at most eleven characters and padding each.
constexpr int CT_LINE_BUFFER = 128;
constexpr int DECIMAL_BASE = 10;
// Typical length of a nucleotide line, so that a block is built in one allocation.
constexpr size_t CT_LINE_CHARS = 32;

// From here on a six-wide column could be filled by its number and touch its neighbour.
constexpr int WIDER_CT_LENGTH = 100'000;

int decimalDigits(int value) {
    int digits = 1;
    for (; value >= DECIMAL_BASE; value /= DECIMAL_BASE) ++digits;
    return digits;
}

// Every column keeps at least one blank before it, however long the sequence; shorter
// sequences keep the two layouts readers of CT files expect.
ctWidths widthsFor(int n) {
    if (n < WIDE_CT_LENGTH) return NARROW_WIDTHS;
    if (n < WIDER_CT_LENGTH) return WIDE_WIDTHS;
    const int number = decimalDigits(n) + 1;
    return ctWidths{number, std::max(WIDE_WIDTHS.previous, number)};
}

// Writes value right-aligned in a field of at least width characters, as "%<width>i" does;
// returns the end of the field.
char* writeField(char* out, int value, int width) {
    // The magnitude in unsigned arithmetic, where the most negative int has one too.
    unsigned magnitude = value < 0 ? 0U - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    int length = value < 0 ? 1 : 0;
    for (unsigned rest = magnitude; ++length, rest >= DECIMAL_BASE;) rest /= DECIMAL_BASE;
    for (; width > length; --width) *out++ = ' ';
    char* const end = out + length;
    char* digit = end;
    do {
        *--digit = static_cast<char>('0' + magnitude % DECIMAL_BASE);
        magnitude /= DECIMAL_BASE;
    } while (magnitude != 0);
    if (value < 0) *--digit = '-';
    return end;
}

void appendHeader(std::string& out, const structure& record, int k, const ctWidths& widths) {
    char buffer[CT_FIELD_BUFFER];
    out.append(buffer, writeField(buffer, record.nbases, widths.number));
    if (record.energy[k] != 0) {
        std::snprintf(buffer, sizeof buffer, "%.1f", record.energy[k] / 10.0);
        out += "  ENERGY = ";
        out += buffer;
    }
    out += "  ";
    out += record.label[k];
    // A title from the semicolon layout brings its own line end.
    if (out.back() != '\n') out += '\n';
}

void appendNucleotides(std::string& out, const structure& record, int k, const ctWidths& widths) {
    const auto partners = record.pairs(k);
    const int n = record.nbases;
    out.reserve(out.size() + CT_LINE_CHARS * static_cast<size_t>(std::max(n, 0)));
    char line[CT_LINE_BUFFER];
    for (int i = 1; i <= n; ++i) {
        char* end = writeField(line, i, widths.number);
        end = std::fill_n(end, LETTER_WIDTH - 1, ' ');
        *end++ = record.seqchars[static_cast<size_t>(i)];
        end = writeField(end, i - 1, widths.previous);
        end = writeField(end, i < n ? i + 1 : 0, widths.number);
        end = writeField(end, partners[static_cast<size_t>(i)], widths.number);
        end = writeField(end, record.histnum[static_cast<size_t>(i)], widths.number);
        *end++ = '\n';
        out.append(line, end);
    }
}

// What an existing file at path holds (nothing when there is none); false when it cannot be read.
bool readExisting(const std::string& path, std::string& text) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return !std::filesystem::exists(std::filesystem::symlink_status(path));
    std::ostringstream content;
    content << file.rdbuf();
    text = std::move(content).str();
    return !file.bad();
}

}  // namespace

bool ctoutWithNum(const structure& record, const std::string& path, bool append, int first, int last) {
    if (first > record.nstructs || first < 1 || last > record.nstructs || last < 1 || first > last) {
        std::cout << "in ctoutWithNum: error found  " << '\n';
    }
    // A pipe or device at the output path would block the run or swallow the table.
    if (!isWritableTarget(path)) return false;
    std::string block;
    // Appending rewrites the whole file too, so that a failure leaves the old one intact.
    if (append && !readExisting(path, block)) return false;

    const ctWidths widths = widthsFor(record.nbases);
    // Numbers without a slot in the record (below 0 or at/after capacity) have nothing to write:
    // they are skipped rather than read out of bounds.
    const int from = std::max(first, 0);
    const int to = std::min(last, record.capacity - 1);
    for (int k = from; k <= to; ++k) {
        appendHeader(block, record, k, widths);
        appendNucleotides(block, record, k, widths);
    }
    return replaceFile(path, block);
}

}  // namespace korvane
