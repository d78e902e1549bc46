#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "output/output.h"

namespace korvane {

namespace {

// Lengths from here on get the six-wide columns, header included.
constexpr int WIDE_CT_LENGTH = 10'000;

struct ctFormats {
    const char* header;
    const char* line;
};

constexpr ctFormats NARROW_FORMATS{"%5i", "%5i%2c%8i%5i%5i%5i\n"};
constexpr ctFormats WIDE_FORMATS{"%6i", "%6i%2c%8i%6i%6i%6i\n"};

// Room for one nucleotide line of six ints (up to 11 characters each) and a letter.
constexpr int CT_LINE_BUFFER = 96;

void appendHeader(std::string& out, const structure& record, int k, const ctFormats& formats) {
    char buffer[CT_LINE_BUFFER];
    std::snprintf(buffer, sizeof buffer, formats.header, record.nbases);
    std::string header = buffer;
    if (record.energy[k] != 0) {
        std::snprintf(buffer, sizeof buffer, "%.1f", record.energy[k] / 10.0);
        header += "  ENERGY = ";
        header += buffer;
    }
    header += "  ";
    header += record.label[k];
    // A title from the semicolon layout brings its own line end.
    if (header.back() != '\n') header += '\n';
    out += header;
}

void appendNucleotides(std::string& out, const structure& record, int k, const ctFormats& formats) {
    const auto partners = record.pairs(k);
    const int n = record.nbases;
    char buffer[CT_LINE_BUFFER];
    for (int i = 1; i <= n; ++i) {
        const int next = i < n ? i + 1 : 0;
        const int length = std::snprintf(buffer, sizeof buffer, formats.line, i, record.seqchars[i], i - 1,
                                         next, partners[i], record.histnum[i]);
        out.append(buffer, static_cast<size_t>(length));
    }
}

}  // namespace

void ctoutWithNum(const structure& record, const std::string& path, bool append, int first, int last) {
    if (first > record.nstructs || first < 1 || last > record.nstructs || last < 1 || first > last) {
        std::cout << "in ctoutWithNum: error found  " << '\n';
    }
    // Binary mode keeps line feeds as line feeds on every platform.
    std::ofstream file(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    // Nothing to report through: the caller has no channel for it, and the run goes on.
    if (!file) return;

    const ctFormats& formats = record.nbases >= WIDE_CT_LENGTH ? WIDE_FORMATS : NARROW_FORMATS;
    std::string block;
    // Numbers without a slot in the record (below 0 or at/after capacity) have nothing to write:
    // they are skipped rather than read out of bounds.
    const int from = std::max(first, 0);
    const int to = std::min(last, record.capacity - 1);
    for (int k = from; k <= to; ++k) {
        block.clear();
        appendHeader(block, record, k, formats);
        appendNucleotides(block, record, k, formats);
        file.write(block.data(), static_cast<std::streamsize>(block.size()));
        if (!file) return;
    }
    file.close();
}

}  // namespace korvane
