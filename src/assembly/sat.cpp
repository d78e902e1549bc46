#include <algorithm>
#include <iostream>
#include <span>
#include <utility>
#include <vector>

#include "assembly/detail/candidateCache.h"
#include "assembly/detail/foldJob.h"
#include "energy/energy.h"

namespace korvane {

void foldJob::calCulateSubFreeEnergy(int which) {
    if (!isStackStruct(subStructure)) std::cout << "in calCulateSubFreeEnergy error getchar" << std::endl;
    structureEnergy(*tables, subStructure, which);
}

void foldJob::calCulateFinFreeEnergy() {
    if (!isStackStruct(finalStructure)) std::cout << "in calCulateFinFreeEnergy error getchar" << std::endl;
    structureEnergy(*tables, finalStructure, 1);
}

void foldJob::scoreReference(int m) {
    const int n = finalStructure.nbases;
    const std::span<const int> current = std::as_const(finalStructure).pairs(1);
    std::span<int> first = subStructure.pairs(1);
    for (int p = 1; p <= n; ++p) first[p] = current[p];
    subStructure.nstructs = 1;
    subStructure.amplifyStem(m);
    asmbEvyStm_PseudoStm2Structs(m);
    calCulateSubFreeEnergy(0);
}

bool foldJob::scoreCandidates(int m) {
    if (scoring == candidateScoring::incremental && scoreIncremental(m)) {
        ++incrementalPasses_;
        return true;
    }
    scoreReference(m);
    return false;
}

void foldJob::sortScoredCandidates() {
    // The order of sortByEnergy (ascending energy, ties kept in order) on energies and stemrefs
    // alone: incrementally scored candidates have no pair rows to move. Energies span a narrow
    // range, so a counting sort (stable, hence the same order) replaces the comparison sort
    // whenever the range is not much wider than the list.
    candidateCache& cache = *cache_;
    const int m = subStructure.nstructs;
    cache.sortedEnergy.resize(m);
    cache.sortedRef.resize(m);
    int low = 0;
    int high = -1;
    for (int k = 1; k <= m; ++k) {
        const int e = subStructure.energy[k];
        if (k == 1 || e < low) low = e;
        if (k == 1 || e > high) high = e;
    }
    const long long range = static_cast<long long>(high) - low + 1;
    if (m > 0 && range <= COUNTING_SORT_SPREAD * static_cast<long long>(m)) {
        cache.energyStart.assign(static_cast<size_t>(range) + 1, 0);
        for (int k = 1; k <= m; ++k) ++cache.energyStart[subStructure.energy[k] - low + 1];
        for (size_t b = 1; b < cache.energyStart.size(); ++b) cache.energyStart[b] += cache.energyStart[b - 1];
        for (int k = 1; k <= m; ++k) {
            const int r = cache.energyStart[subStructure.energy[k] - low]++;
            cache.sortedEnergy[r] = subStructure.energy[k];
            cache.sortedRef[r] = subStructure.stemref[k];
        }
    } else {
        cache.sortKeys.resize(m);
        for (int k = 1; k <= m; ++k)
            cache.sortKeys[k - 1] = static_cast<long long>(subStructure.energy[k]) * (1LL << 32) + k;
        std::sort(cache.sortKeys.begin(), cache.sortKeys.end());
        for (int r = 0; r < m; ++r) {
            const int k = static_cast<int>(cache.sortKeys[r] & 0xFFFFFFFFLL);  // the low half holds the number
            cache.sortedEnergy[r] = subStructure.energy[k];
            cache.sortedRef[r] = subStructure.stemref[k];
        }
    }
    for (int r = 0; r < m; ++r) {
        subStructure.energy[r + 1] = cache.sortedEnergy[r];
        subStructure.stemref[r + 1] = cache.sortedRef[r];
    }
}

bool foldJob::runPass(bool finalNested, const passObserver& observe) {
    if (numOfstemsInPool == 0) return false;
    ++passesRun_;
    findPseudolelices();
    controlPseudoHelicesPool();
    const int m = numOfstemsInPool + numOfPseudoHelices;
    const bool quiet = scoreCandidates(m);
    if (observe) observe(m);
    if (quiet)
        sortScoredCandidates();
    else
        subStructure.sortByEnergy();
    if (subStructure.energy[1] >= 0 || subStructure.energy[1] > finalStructure.energy[1]) return false;
    computeEnergyDiff();
    const int v = std::min(findVarn(), VARN_CAP);
    std::vector<int> noConf;
    handleConficts(v, noConf);
    const bool added = std::any_of(noConf.begin(), noConf.end(), [](int q) { return q > 0; });
    const int stemsBefore = numOfstemsInPool;
    assemble(noConf);
    trimStemPool(v);
    compactStemPool();
    calCulateFinFreeEnergy();
    // Nothing changed and nothing was reported: every further pass would repeat this one.
    return added || numOfstemsInPool != stemsBefore || !quiet || !finalNested;
}

void foldJob::SAT() {
    passesRun_ = 0;
    incrementalPasses_ = 0;
    if (tables == nullptr) return;
    for (int pass = 2;; ++pass) {
        // Checked before the limit: a fault it finds is reported even on the last count.
        const bool finalNested = isStackStruct(finalStructure);
        if (pass > SAT_PASS_LIMIT) return;
        if (!runPass(finalNested)) return;
    }
}

}  // namespace korvane
