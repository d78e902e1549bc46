#pragma once
// One sequence held in memory, as every engine takes it.

#include <string>
#include <vector>

namespace korvane {

struct rnaSequence {
    std::string title;
    std::string letters;      // as read, one letter per position (position p is letters[p - 1])
    std::vector<int> codes;   // [n + 1], codes[p] for position p, codes[0] unused

    int length() const { return static_cast<int>(letters.size()); }
};

// A sequence from its letters; throws std::invalid_argument naming the first letter outside
// the alphabet (position and letter).
rnaSequence makeSequence(std::string title, std::string letters);

}  // namespace korvane
