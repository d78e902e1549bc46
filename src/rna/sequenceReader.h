#pragma once
// Reads one RNA sequence (FASTA, or the semicolon-comment layout) into a fresh record.

#include <string>

#include "rna/structure.h"

namespace korvane {

// True when at least one base was read; the record then holds the title in label[1], the
// letters, codes and numbering, and structure 1 unpaired. Fails silently otherwise.
bool openseq(structure& record, const std::string& path);

}  // namespace korvane
