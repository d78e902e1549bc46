#pragma once
// Arc-diagram drawing of a CT file: the layout as text records, and the request that reads,
// lays out and writes one SVG picture.

#include <limits>
#include <string>
#include <vector>

#include "rna/structure.h"

namespace korvane {

// One structure laid out for drawing. Coordinates are in drawing units, y growing downwards.
struct structureImage {
    // Entry i-1 for position i: "letter  x y nextX nextY labelX labelY number", -1 marking an
    // absent part; an empty text for a linker base.
    std::vector<std::string> nucleotides;
    // One per pair j < t, by increasing j: "j-t x1 y1 controlX controlY x2 y2".
    std::vector<std::string> pairs;
    bool hasLinker = false;
    // Never set by the program: the circles get white (invisible) outlines.
    bool circleOutline = false;
    std::string title;
    double maxX = -std::numeric_limits<double>::infinity();
    double maxY = -std::numeric_limits<double>::infinity();

    // Lays out structure number (1-based) of the CT file; returns "" on success, otherwise
    // "Structure number out of range.". A file that cannot be opened ends the program.
    std::string readStructure(const std::string& ctPath, int number);
    // The same from a record in memory.
    std::string layOut(const structure& record, int number);

    // Writes the SVG picture through replaceFile; false when it could not be written.
    bool writeImage(const std::string& path) const;
};

// One drawing step: every structure of inputFile (structureNumber -1) into outputFile.
struct drawingRequest {
    std::string inputFile;
    std::string outputFile;
    std::string description = "Structure drawing";
    int structureNumber = -1;

    // Deletes an existing regular outputFile, draws, and reports layout errors on standard error;
    // true when the picture was written.
    bool run() const;
};

// A number as the drawing writes it: at most six significant digits, shortest form (102, 7.5,
// 2.12366, 1.00002e+06), like the default formatting of a double on a stream.
std::string drawingNumber(double value);

// Room for any drawingNumber text ("-1.23457e-308" is 13 characters).
constexpr int DRAWING_NUMBER_CHARS = 32;

// Writes drawingNumber(value) at out, which has room for DRAWING_NUMBER_CHARS characters;
// returns the end of the text. Allocation-free.
char* writeDrawingNumber(char* out, double value);

}  // namespace korvane
