#include "rna/structure.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace korvane {

structure::structure(int slots)
    : stemref(slots, {0, 0, 0, 0}),
      basepr(slots),
      energy(slots, 0),
      label(slots),
      linker(3, 0),
      capacity(slots),
      lowerpos(LOWERPOS_SLOTS, 0) {}

void structure::reset(int slots) {
    stemref.assign(slots, {0, 0, 0, 0});
    basepr.resize(slots);
    for (auto& row : basepr) row.clear();
    energy.assign(slots, 0);
    label.resize(slots);
    for (auto& text : label) text.clear();
    linker.assign(3, 0);
    capacity = slots;
    nstructs = 0;
    nbases = 0;
    nlower = 0;
    lowerpos.assign(LOWERPOS_SLOTS, 0);
    seqcode.clear();
    histnum.clear();
    seqchars.clear();
    zeroRow_.clear();
    intermolecular = false;
    seqAllocated = false;
}

void structure::allocateSequence(int n) {
    seqcode.assign(2 * static_cast<size_t>(n) + 1, 0);
    histnum.assign(static_cast<size_t>(n) + 1, 0);
    seqchars.assign(static_cast<size_t>(n) + 2, '\0');
    zeroRow_.assign(static_cast<size_t>(n) + 1, 0);
    for (auto& row : basepr) {
        row.clear();
        row.shrink_to_fit();
    }
    for (auto& ref : stemref) ref = {0, 0, 0, 0};
    seqAllocated = true;
}

std::span<int> structure::pairs(int k) {
    auto& row = basepr[k];
    if (row.empty()) row.assign(zeroRow_.size(), 0);
    return row;
}

std::span<const int> structure::pairs(int k) const {
    const auto& row = basepr[k];
    if (row.empty()) return zeroRow_;
    return row;
}

void structure::setLabel(int k, std::string_view text) {
    label[k].assign(text.substr(0, LABEL_SIZE - 1));
}

void structure::growStructures() {
    if (nstructs < capacity - 1) return;
    const int newCapacity = std::max(2 * capacity, nstructs + 1);
    // Slots 1..capacity-2 are kept, but only structures 1..min(nstructs-1, 4000) come back.
    const int keep = std::min({capacity - 2, nstructs - 1, GROWTH_KEEP_LIMIT});
    for (int k = std::max(keep + 1, 1); k < capacity; ++k) {
        energy[k] = 0;
        label[k].clear();
        basepr[k].clear();
    }
    basepr.resize(newCapacity);
    energy.resize(newCapacity, 0);
    label.resize(newCapacity);
    stemref.assign(newCapacity, {0, 0, 0, 0});
    capacity = newCapacity;
}

void structure::amplifyStem(int count) {
    nstructs = count;
    if (count < 2) return;
    growStructures();
    const auto source = std::span<const int>(std::as_const(*this).pairs(1));
    for (int k = 2; k <= count; ++k) {
        auto& row = basepr[k];
        row.assign(source.begin(), source.end());
    }
}

void structure::sortByEnergy() {
    const int n = nstructs;
    if (n < 2) return;
    // A stable sort of indices gives exactly the order of a stable insertion sort.
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 1);
    std::stable_sort(order.begin(), order.end(),
                     [this](int a, int b) { return energy[a] < energy[b]; });
    std::vector<int> sortedEnergy(n);
    std::vector<std::array<int, 4>> sortedRef(n);
    std::vector<std::vector<int>> sortedRows(n);
    for (int r = 0; r < n; ++r) {
        sortedEnergy[r] = energy[order[r]];
        sortedRef[r] = stemref[order[r]];
        sortedRows[r] = std::move(basepr[order[r]]);
    }
    for (int r = 0; r < n; ++r) {
        energy[r + 1] = sortedEnergy[r];
        stemref[r + 1] = sortedRef[r];
        basepr[r + 1] = std::move(sortedRows[r]);
    }
}

char baseLetter(int code) {
    switch (code) {
        case 0: return 'X';
        case 1: return 'A';
        case 2: return 'C';
        case 3: return 'G';
        case 4: return 'U';
        case 5: return 'I';
        default: return '?';
    }
}

}  // namespace korvane
