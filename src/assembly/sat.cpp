#include <algorithm>
#include <iostream>
#include <span>
#include <utility>
#include <vector>

#include "assembly/candidateCache.h"
#include "assembly/foldJob.h"
#include "energy/energy.h"

namespace korvane {

namespace {

// Loop id of every position of a nested pairing: the 5' position of the innermost pair that
// encloses it, 0 for the exterior loop. False when the pairing is not nested and symmetric.
bool buildLoopIds(std::span<const int> pairs, int n, std::vector<int>& loopOf, std::vector<int>& open) {
    loopOf.assign(static_cast<size_t>(n) + 1, 0);
    open.clear();
    for (int p = 1; p <= n; ++p) {
        const int q = pairs[p];
        const int enclosing = open.empty() ? 0 : open.back();
        if (q == 0) {
            loopOf[p] = enclosing;
        } else if (q > p) {
            if (q > n) return false;
            loopOf[p] = enclosing;
            open.push_back(p);
        } else if (q == p || q < 1 || open.empty() || open.back() != q || pairs[q] != p) {
            return false;
        } else {
            open.pop_back();
            loopOf[p] = open.empty() ? 0 : open.back();
        }
    }
    return open.empty();
}

}  // namespace

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

bool foldJob::scoreIncremental(int m) {
    candidateCache& cache = *cache_;
    const int n = finalStructure.nbases;
    const std::span<const int> current = std::as_const(finalStructure).pairs(1);
    if (cache.loopVersion.size() != static_cast<size_t>(n) + 1) {
        cache.loopVersion.assign(static_cast<size_t>(n) + 1, 0);
        cache.loopOfValid = false;
    }
    if (cache.perSlot.size() != stemPool.size()) {
        cache.perSlot.assign(stemPool.size(), stemScore{});
        cache.loopOfValid = false;
    }
    // Pairs added since the last scoring change the loops that received them; anything else
    // (a first scoring, a pass scored the reference way, pairs taken away) drops every entry.
    if (cache.loopOfValid && cache.scratch.size() == static_cast<size_t>(n) + 1) {
        for (int p = 1; p <= n; ++p) {
            const int was = cache.scratch[p];
            const int now = current[p];
            if (was == now) continue;
            if (was == 0 && now > p && now <= n) {
                ++cache.loopVersion[cache.loopOf[p]];
            } else if (was != 0) {
                ++cache.epoch;
                break;
            }
        }
    } else {
        ++cache.epoch;
    }
    cache.loopOfValid = false;
    std::vector<int> open;
    if (!buildLoopIds(current, n, cache.loopOf, open)) return false;
    const std::vector<int>& loopOf = cache.loopOf;

    // A candidate is plain when its stem lies on unpaired positions of one loop: the candidate
    // is then nested and differs from finalStructure in that loop and the stem's own loops.
    for (int s = 1; s <= numOfstemsInPool; ++s) {
        const stem& t = stemPool[s];
        const int i = t.start;
        const int j = t.end;
        const int length = t.length;
        if (i < 1 || j > n || length < 1 || i + length - 1 >= j - length + 1) return false;
        if (loopOf[i] != loopOf[j]) return false;
        for (int k = 0; k < length; ++k)
            if (current[i + k] != 0 || current[j - k] != 0) return false;
    }

    const std::span<const int> code(finalStructure.seqcode.data(), static_cast<size_t>(n) + 1);
    std::vector<int>& scratch = cache.scratch;
    scratch.assign(current.begin(), current.begin() + n + 1);
    std::vector<int>& loopEnergy = cache.loopEnergy;
    loopEnergy.assign(static_cast<size_t>(n) + 1, 0);
    loopEnergy[0] = exteriorLoopEnergy(*tables, code, scratch, n);
    int currentEnergy = loopEnergy[0];
    for (int p = 1; p <= n; ++p) {
        if (scratch[p] > p) {
            loopEnergy[p] = closedLoopEnergy(*tables, code, scratch, n, p, scratch[p]);
            currentEnergy += loopEnergy[p];
        }
    }

    subStructure.nstructs = m;
    subStructure.growStructures();
    for (int s = 1; s <= numOfstemsInPool; ++s) {
        const stem& t = stemPool[s];
        const int loop = loopOf[t.start];
        stemScore& score = cache.perSlot[s];
        const bool fresh = score.epoch == cache.epoch && score.key.start == t.start &&
                           score.key.end == t.end && score.key.length == t.length &&
                           score.loopId == loop && score.version == cache.loopVersion[loop];
        if (!fresh) {
            for (int k = 0; k < t.length; ++k) {
                scratch[t.start + k] = t.end - k;
                scratch[t.end - k] = t.start + k;
            }
            int delta = 0;
            for (int k = 0; k < t.length; ++k)
                delta += closedLoopEnergy(*tables, code, scratch, n, t.start + k, t.end - k);
            if (loop == 0)
                delta += exteriorLoopEnergy(*tables, code, scratch, n);
            else
                delta += closedLoopEnergy(*tables, code, scratch, n, loop, scratch[loop]);
            delta -= loopEnergy[loop];
            for (int k = 0; k < t.length; ++k) {
                scratch[t.start + k] = 0;
                scratch[t.end - k] = 0;
            }
            score = {t, loop, cache.loopVersion[loop], cache.epoch, delta};
        }
        subStructure.energy[s] = currentEnergy + score.delta;
        subStructure.stemref[s] = {t.start, t.end, t.length, s};
    }
    for (int p = 1; p <= numOfPseudoHelices; ++p) {
        subStructure.energy[numOfstemsInPool + p] = currentEnergy;
        subStructure.stemref[numOfstemsInPool + p] = {-1, -1, -1, p};
    }
    cache.loopOfValid = true;
    return true;
}

bool foldJob::scoreCandidates(int m) {
    if (scoring == candidateScoring::incremental && scoreIncremental(m)) {
        ++incrementalPasses_;
        return true;
    }
    scoreReference(m);
    return false;
}

void foldJob::SAT() {
    passesRun_ = 0;
    incrementalPasses_ = 0;
    if (tables == nullptr) return;
    int pass = 1;
    while (true) {
        ++pass;
        const bool finalNested = isStackStruct(finalStructure);
        if (pass > SAT_PASS_LIMIT) return;
        if (numOfstemsInPool == 0) return;
        ++passesRun_;
        findPseudolelices();
        controlPseudoHelicesPool();
        const int m = numOfstemsInPool + numOfPseudoHelices;
        const bool quiet = scoreCandidates(m);
        subStructure.sortByEnergy();
        if (subStructure.energy[1] >= 0 || subStructure.energy[1] > finalStructure.energy[1]) return;
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
        if (!added && numOfstemsInPool == stemsBefore && quiet && finalNested) return;
    }
}

}  // namespace korvane
