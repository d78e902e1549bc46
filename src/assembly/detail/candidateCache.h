#pragma once
// What the incremental candidate scoring keeps about finalStructure and the pool between passes
// (internal to the assembly).

#include <array>
#include <vector>

#include "assembly/detail/foldJob.h"

namespace korvane {

// Widest energy range, per candidate, that the counting sort of scored candidates takes on.
constexpr long long COUNTING_SORT_SPREAD = 4;

// Energy change a stem brings to the current structure; valid while the stem keeps its
// coordinates and the loop of finalStructure that holds it is unchanged.
struct stemScore {
    stem key{};
    int loopId = -1;       // 5' position of the pair closing the loop, 0 for the exterior loop
    unsigned version = 0;  // loopVersion[loopId] when computed
    unsigned epoch = 0;    // candidateCache::epoch when computed
    int delta = 0;         // tenths of kcal/mol
};

struct candidateCache {
    std::vector<stemScore> perSlot;     // parallel to stemPool, moved by compaction
    std::vector<unsigned> loopVersion;  // [N+1] bumped when pairs are added to that loop
    unsigned epoch = 1;                 // bumped to drop every entry at once
    bool loopOfValid = false;           // the tables below describe the finalStructure last scored

    // Views of finalStructure, all [N+1] or [N+2], rebuilt in every pass.
    std::vector<int> scratch;      // its pairs; a stem's pairs are added and taken out again
    std::vector<int> loopOf;       // loop id of each position (a pair's 5' end: the loop holding it)
    std::vector<int> loopEnergy;   // energy of the loop closed at each 5' end; [0] exterior
    std::vector<int> nextBranch;   // first pair 5' end at or after p in p's loop, 0 when none
    std::vector<int> branchCount;  // pairs directly inside each loop
    std::vector<int> exteriorFirst;  // 5' ends of the exterior helices, ascending
    std::vector<int> exteriorLast;   // their 3' ends
    // Exterior helices split into runs at gaps of two or more unpaired positions; their dangling
    // and coaxial terms never reach across such a gap. runEnergy[x + 1] - runEnergy[x] is the
    // exterior energy of the run ending at helix x (0 for helices that end no run).
    std::vector<long long> runEnergy;
    std::vector<int> window;  // [N+2] zeros between uses: pair table of a stretch of the exterior
    std::vector<int> open;    // stack while reading the pairing

    // Sorting of scored candidates: (energy, number) keys, and the moved energies and stemrefs.
    std::vector<long long> sortKeys;
    std::vector<int> energyStart;  // counting sort: first rank of each energy
    std::vector<int> sortedEnergy;
    std::vector<std::array<int, 4>> sortedRef;
};

}  // namespace korvane
