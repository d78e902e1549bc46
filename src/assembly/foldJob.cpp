#include "assembly/detail/foldJob.h"

#include <algorithm>

#include "assembly/detail/candidateCache.h"
#include "rna/sequenceReader.h"

namespace korvane {

bool intStack::pop(int& out) {
    if (items_.empty()) return false;
    out = items_.back();
    items_.pop_back();
    return true;
}

foldJob::foldJob(const paramTables* tables)
    : subStructure(STRUCTURE_SLOTS),
      finalStructure(STRUCTURE_SLOTS),
      tables(tables),
      cache_(std::make_unique<candidateCache>()) {}

void foldJob::load(const rnaSequence& sequence) {
    for (structure* record : {&subStructure, &finalStructure}) {
        record->reset(STRUCTURE_SLOTS);
        record->setLabel(1, sequence.title);
        fillSequence(*record, sequence.letters);
        record->energy[1] = 0;
    }
    stemPool.clear();
    energyDiff.clear();
    numOfstemsInPool = 0;
    pseudoHelicesPool.clear();
    numOfPseudoHelices = 0;
    stemsFound_ = 0;
    passesRun_ = 0;
    incrementalPasses_ = 0;
    // Entries of the last sequence must never match: a new epoch drops them all at once.
    cache_->loopOfValid = false;
    ++cache_->epoch;
}

foldJob::~foldJob() = default;

void foldJob::compactStemPool() {
    if (stemPool.empty()) return;
    const size_t cachedSlots = cache_->perSlot.size();
    int removed = 0;
    int slot = 1;
    const int slots = static_cast<int>(stemPool.size());
    for (; slot < slots && stemPool[slot].start != STEM_END_MARK; ++slot) {
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
    if (numOfstemsInPool + 1 < slots) stemPool[numOfstemsInPool + 1].start = STEM_END_MARK;
}

}  // namespace korvane
