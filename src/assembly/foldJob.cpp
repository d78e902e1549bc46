#include "assembly/foldJob.h"

#include "assembly/candidateCache.h"
#include "rna/sequenceReader.h"

namespace korvane {

bool intStack::pop(int& out) {
    if (items_.empty()) return false;
    out = items_.back();
    items_.pop_back();
    return true;
}

foldJob::foldJob(const std::string& inputPath, const paramTables* tables)
    : subStructure(STRUCTURE_SLOTS),
      finalStructure(STRUCTURE_SLOTS),
      tables(tables),
      cache_(std::make_unique<candidateCache>()) {
    // An unreadable file leaves nbases 0; the stem search then finds nothing.
    openseq(subStructure, inputPath);
    openseq(finalStructure, inputPath);
    subStructure.energy[1] = 0;
    finalStructure.energy[1] = 0;
}

foldJob::~foldJob() = default;

void foldJob::compactStemPool() {
    if (stemPool.empty()) return;
    const size_t cachedSlots = cache_->perSlot.size();
    int removed = 0;
    int slot = 1;
    for (; slot < STEM_POOL_SLOTS && stemPool[slot].start != STEM_END_MARK; ++slot) {
        if (stemPool[slot].start == STEM_REMOVED) {
            ++removed;
            continue;
        }
        if (removed > 0) {
            stemPool[slot - removed] = stemPool[slot];
            if (static_cast<size_t>(slot) < cachedSlots) cache_->perSlot[slot - removed] = cache_->perSlot[slot];
        }
    }
    numOfstemsInPool = slot - 1 - removed;
    if (numOfstemsInPool + 1 < STEM_POOL_SLOTS) stemPool[numOfstemsInPool + 1].start = STEM_END_MARK;
}

}  // namespace korvane
