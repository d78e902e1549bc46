#pragma once
// Molecules with known structures: a folder with manifest.tsv (columns name, family, split, ...;
// split "train" or "valid") and NAME.ref.ct beside it.

#include <stdexcept>
#include <string>
#include <vector>

#include "rna/sequence.h"

namespace korvane::train {

struct molecule {
    std::string name;
    std::string family;
    bool valid = false;  // the validation split
    rnaSequence sequence;
    std::vector<int> reference;  // n + 1 entries, as the CT file gives them
};

struct datasetError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Molecules of at most maxLength nucleotides (0: any), in manifest order. Throws datasetError
// naming the file for a missing manifest column, an unreadable CT file or one that does not
// hold the molecule's sequence.
std::vector<molecule> readDataset(const std::string& folder, int maxLength = 0);

}  // namespace korvane::train
