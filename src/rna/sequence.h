#pragma once
// One RNA sequence held in memory, as every front end hands it to the engines.

#include <string>
#include <vector>

namespace korvane {

// Base codes shared by every reader, table and engine.
enum baseCodeValue : int { CODE_UNKNOWN = 0, CODE_A = 1, CODE_C = 2, CODE_G = 3, CODE_U = 4, CODE_LINKER = 5 };

struct rnaSequence {
    std::string title;
    std::string letters;     // as read (case kept); letters[p - 1] is position p
    std::vector<int> codes;  // [n + 1], 1-based base codes; codes[0] unused

    int length() const { return static_cast<int>(letters.size()); }
};

}  // namespace korvane
