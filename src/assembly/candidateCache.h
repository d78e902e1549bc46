#pragma once
// State the incremental candidate scoring keeps between passes (internal to the assembly).

#include <vector>

#include "assembly/foldJob.h"

namespace korvane {

// Energy change a stem brings to the current structure, valid while the stem keeps its
// coordinates and the loop of finalStructure that holds it is unchanged.
struct stemScore {
    stem key{};
    int loopId = -1;        // 5' position of the pair closing the loop, 0 for the exterior loop
    unsigned version = 0;   // loopVersion[loopId] when computed
    unsigned epoch = 0;     // candidateCache::epoch when computed
    int delta = 0;          // tenths of kcal/mol
};

struct candidateCache {
    std::vector<stemScore> perSlot;     // parallel to stemPool, moved by compaction
    std::vector<unsigned> loopVersion;  // [N+1], bumped when pairs are added to that loop
    unsigned epoch = 1;                 // bumped to drop every entry at once
    std::vector<int> loopOf;            // [N+1] loop id of each position in finalStructure
    std::vector<int> loopEnergy;        // [N+1] energy of the loop closed at a; [0] exterior
    std::vector<int> scratch;           // [N+1] finalStructure's pairs; stems added and removed
    bool loopOfValid = false;           // loopOf describes the finalStructure last scored
};

}  // namespace korvane
