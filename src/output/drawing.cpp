#include "output/drawing.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <iostream>
#include <string_view>

#include "output/output.h"
#include "output/outputTarget.h"
#include "rna/structure.h"

namespace korvane {

namespace {

constexpr double NUCLEOTIDE_SPACING = 30;
constexpr double FIRST_Y = 36;
constexpr double LABEL_MARGIN = 72;  // room for the number labels, none with a linker
constexpr double COLUMN_OFFSET = 30;
constexpr double LABEL_X = 30;
constexpr int LABEL_STEP = 10;
constexpr double ARC_FACTOR = 0.7;
constexpr double ARC_RIGHT_MARGIN = 30;
constexpr double BOTTOM_MARGIN = 72;
constexpr char LINKER_LETTER = 'I';
// A whole number of up to six digits is written as that integer under six-digit rounding.
constexpr double LARGEST_PLAIN_WHOLE = 999'999;
// Closer than this to such a whole number, a value rounds to it under six significant digits,
// whose rounding step there is at least 1e-6. Arc control points such as 102 + 0.7 * 1290 miss
// their whole value by a few ulps and still take the integer path.
constexpr double NEAR_WHOLE = 1e-9;
constexpr size_t RECORD_NUMBERS = 8;       // numbers in a record, at most
constexpr size_t RECORD_LETTER_CHARS = 4;  // the letter and its two blanks, or a dash

const std::string OUT_OF_RANGE = "Structure number out of range.";

double positionY(int i) { return FIRST_Y + NUCLEOTIDE_SPACING * (i - 1); }

// Record text put together on the stack, so that each record costs one allocation.
class recordText {
public:
    recordText& operator<<(double value) {
        end_ = writeDrawingNumber(end_, value);
        return *this;
    }
    recordText& operator<<(int value) {
        end_ = std::to_chars(end_, end_ + DRAWING_NUMBER_CHARS, value).ptr;
        return *this;
    }
    recordText& operator<<(std::string_view text) {
        end_ = std::copy(text.begin(), text.end(), end_);
        return *this;
    }
    recordText& operator<<(char c) {
        *end_++ = c;
        return *this;
    }
    std::string str() const { return std::string(buffer_.data(), static_cast<size_t>(end_ - buffer_.data())); }

    recordText() = default;
    // end_ points into buffer_
    recordText(const recordText&) = delete;
    recordText& operator=(const recordText&) = delete;

private:
    // Room for the longest record: a letter and eight numbers with their blanks.
    std::array<char, RECORD_NUMBERS * (DRAWING_NUMBER_CHARS + 1) + RECORD_LETTER_CHARS> buffer_;
    char* end_ = buffer_.data();
};

// Above 33,333 bases the coordinates reach seven digits and keep the six-digit rounding of the
// default formatting, exactly as the records carry them.
std::string nucleotideRecord(char letter, int i, int n, double columnX, bool hasLinker) {
    const double y = positionY(i);
    recordText record;
    record << letter << "  " << columnX << ' ' << y << ' ';
    if (i < n) {
        record << columnX << ' ' << y + NUCLEOTIDE_SPACING << ' ';
    } else {
        record << "-1 -1 ";
    }
    if (!hasLinker && i % LABEL_STEP == 0) {
        record << LABEL_X << ' ' << y << ' ' << i;
    } else {
        record << "-1 -1 -1";
    }
    return record.str();
}

std::string pairRecord(int j, int t, double columnX, double yj, double controlX, double controlY, double yt) {
    recordText record;
    record << j << '-' << t;
    for (const double value : {columnX, yj, controlX, controlY, columnX, yt}) record << ' ' << value;
    return record.str();
}

// The y a record carries (its third token). A linker has an empty record: its own y is used.
double recordY(const std::string& record, int i) {
    if (record.empty()) return positionY(i);
    size_t start = 0;
    for (int skip = 0; skip < 2; ++skip) {
        start = record.find_first_not_of(' ', start);
        start = record.find(' ', start);
    }
    start = record.find_first_not_of(' ', start);
    double y = 0;
    std::from_chars(record.data() + start, record.data() + record.size(), y);
    return y;
}

}  // namespace

char* writeDrawingNumber(char* out, double value) {
    char* const end = out + DRAWING_NUMBER_CHARS;
    // Nearly every coordinate is whole: integer formatting gives the same text much faster.
    if (std::fabs(value) < LARGEST_PLAIN_WHOLE + 0.5) {
        // The nearest integer; the test below makes a rounding slip here harmless.
        const auto whole = static_cast<int>(value < 0 ? value - 0.5 : value + 0.5);
        if (whole != 0 && std::fabs(value - whole) <= NEAR_WHOLE) return std::to_chars(out, end, whole).ptr;
        // Only an exact zero prints as one (-0 keeps its sign); 1e-12 needs the exponent form.
        if (value == 0) {
            if (std::signbit(value)) *out++ = '-';
            *out++ = '0';
            return out;
        }
    }
    return std::to_chars(out, end, value, std::chars_format::general, 6).ptr;
}

std::string drawingNumber(double value) {
    char buffer[DRAWING_NUMBER_CHARS];
    return std::string(buffer, writeDrawingNumber(buffer, value));
}

std::string structureImage::readStructure(const std::string& ctPath, int number) {
    structure record(STRUCTURE_SLOTS);
    readCtFile(record, ctPath);
    return layOut(record, number);
}

std::string structureImage::layOut(const structure& record, int number) {
    nucleotides.clear();
    pairs.clear();
    if (number < 1 || number > record.nstructs) return OUT_OF_RANGE;

    const int n = record.nbases;
    title = record.label[1];
    for (int i = 1; i <= n; ++i) {
        if (record.seqchars[static_cast<size_t>(i)] == LINKER_LETTER) {
            hasLinker = true;
            break;
        }
    }
    maxY = n * NUCLEOTIDE_SPACING + BOTTOM_MARGIN;
    const double margin = hasLinker ? 0 : LABEL_MARGIN;
    const double columnX = margin + COLUMN_OFFSET;

    nucleotides.reserve(static_cast<size_t>(n));
    for (int i = 1; i <= n; ++i) {
        const char letter = record.seqchars[static_cast<size_t>(i)];
        nucleotides.push_back(letter == LINKER_LETTER ? std::string() : nucleotideRecord(letter, i, n, columnX, hasLinker));
    }

    const auto partners = record.pairs(number);
    for (int j = 1; j <= n; ++j) {
        const int t = partners[static_cast<size_t>(j)];
        if (t <= j || t > n) continue;
        const double yj = recordY(nucleotides[static_cast<size_t>(j - 1)], j);
        const double yt = recordY(nucleotides[static_cast<size_t>(t - 1)], t);
        const double controlX = columnX + ARC_FACTOR * (yt - yj);
        const double controlY = (yj + yt) / 2;
        maxX = std::max(maxX, margin + controlX + ARC_RIGHT_MARGIN);
        pairs.push_back(pairRecord(j, t, columnX, yj, controlX, controlY, yt));
    }
    return {};
}

bool drawingRequest::run() const {
    std::string error;
    bool written = false;
    // The file holds one drawing: "every structure" comes down to structure 1.
    const int first = structureNumber == -1 ? 1 : structureNumber;
    const int last = first;

    // A stale picture must not outlive a failed drawing; a link or folder there is left alone.
    removeRegularFile(outputFile);

    for (int number = first; number <= last; ++number) {
        structureImage image;
        error = image.readStructure(inputFile, number);
        if (error.empty()) written = image.writeImage(outputFile);
        if (!error.empty()) break;
    }
    if (!error.empty()) {
        std::cerr << '\n' << error << '\n';
        std::cerr << '\n' << description << " complete with errors." << '\n';
    }
    return written;
}

int drawCtFile(const std::string& ctPath, const std::string& svgPath) {
    drawingRequest request;
    request.inputFile = ctPath;
    request.outputFile = svgPath;
    return request.run() ? 0 : 1;
}

}  // namespace korvane
