#pragma once
// One RNA sequence with any number of alternative pairings. Positions (1..nbases) and
// structure numbers (1..nstructs) are 1-based; entry 0 of every array carries nothing.

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

constexpr int STRUCTURE_SLOTS = 1001;   // slots every record starts with
constexpr int LABEL_SIZE = 550;         // a title holds LABEL_SIZE - 1 characters
constexpr int LOWERPOS_SLOTS = 3000;    // lowerpos[1..2999]
constexpr int GROWTH_KEEP_LIMIT = 4000; // growth restores structures 1..4000 only

struct structure {
    // Per structure: (start, end, length, stem slot) of a stem, or (-1, -1, -1, row) of a pseudohelix.
    std::vector<std::array<int, 4>> stemref;
    int nstructs = 0;
    int nbases = 0;
    std::vector<int> seqcode;  // [2N+1], codes 0 X/N, 1 A, 2 C, 3 G, 4 U, 5 linker
    std::vector<int> histnum;  // [N+1]
    // basepr[k][i]: partner of i in structure k, 0 when unpaired. Rows are allocated on first
    // use; an empty row reads as all unpaired (see pairs()).
    std::vector<std::vector<int>> basepr;
    std::vector<int> energy;         // [capacity], tenths of kcal/mol
    std::vector<std::string> label;  // [capacity], each at most LABEL_SIZE - 1 characters
    std::vector<int> linker;         // linker positions; three zeros after construction
    int capacity = 0;
    int nlower = 0;
    std::vector<int> lowerpos;  // [LOWERPOS_SLOTS]
    std::string seqchars;       // [N+2], letters as read
    bool intermolecular = false;
    bool seqAllocated = false;

    explicit structure(int slots = STRUCTURE_SLOTS);

    // Back to the state of a record constructed with slots, keeping the room already taken.
    void reset(int slots = STRUCTURE_SLOTS);

    // Sizes the per-base arrays for n bases; pair rows come into being when first written.
    void allocateSequence(int n);

    // Writable pair row of structure k (1 <= k < capacity), allocated zeroed on first use.
    std::span<int> pairs(int k);
    // Read-only pair row; a never-written row reads as all unpaired.
    std::span<const int> pairs(int k) const;
    // True when row k has been allocated.
    bool hasPairs(int k) const { return k >= 0 && k < capacity && !basepr[k].empty(); }
    // Partner of i in structure k (0 when unpaired or row never written).
    int partner(int k, int i) const { return basepr[k].empty() ? 0 : basepr[k][i]; }

    // Stores a title, cut to LABEL_SIZE - 1 characters.
    void setLabel(int k, std::string_view text);

    // Makes room for further structures once nstructs reaches capacity - 1.
    void growStructures();
    // Sets nstructs = count and, for count >= 2, copies the pairing of structure 1 into 2..count.
    void amplifyStem(int count);
    // Stable ascending order of structures 1..nstructs by energy; labels stay in place.
    void sortByEnergy();

private:
    std::vector<int> zeroRow_;
};

// Letter for a base code: X A C G U I, '?' for anything else.
char baseLetter(int code);

}  // namespace korvane
