#include "rna/sequenceReader.h"

namespace korvane {

bool openseq(structure&, const std::string&) { return false; }

}  // namespace korvane
