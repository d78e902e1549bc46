#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "assembly/detail/foldJob.h"
#include "rna/fatalStop.h"

namespace korvane {

void foldJob::asmbEvyStm_PseudoStm2Structs(int m) {
    (void)m;  // candidates 1..m are the pool stems followed by the pseudohelices
    for (int s = 1; s <= numOfstemsInPool; ++s) {
        const int i = stemPool[s].start;
        const int j = stemPool[s].end;
        const int length = stemPool[s].length;
        subStructure.stemref[s] = {i, j, length, s};
        std::span<int> row = subStructure.pairs(s);
        for (int k = 0; k < length; ++k) {
            if (row[i + k] != 0 || row[j - k] != 0) {
                fatalStop(std::cout, "in asmbEvyStm_PseudoStm2Structs: error: " + std::to_string(row[i + k]) +
                                         "\t" + std::to_string(row[j - k]) + "，getchar();");
            }
            row[i + k] = j - k;
            row[j - k] = i + k;
        }
    }
    for (int p = 1; p <= numOfPseudoHelices; ++p) subStructure.stemref[numOfstemsInPool + p] = {-1, -1, -1, p};
}

void foldJob::computeEnergyDiff() {
    energyDiff[0] = ENERGY_DIFF_FIRST;
    for (int k = 1; k <= numOfstemsInPool - 1; ++k)
        energyDiff[k] = subStructure.energy[k + 1] - subStructure.energy[k];
}

int foldJob::maxDiffIndex(int count, double threshold, int first) const {
    if (count == 1) return 1;
    int best = 0;
    int bestIndex = 1;
    for (int k = first; k < count; ++k) {
        if (subStructure.energy[k] > 0) break;
        if (energyDiff[k] > best) {
            best = energyDiff[k];
            bestIndex = k;
        }
    }
    if (static_cast<double>(best) < threshold) return count;
    return bestIndex;
}

int foldJob::findVarn() const {
    const int n = numOfstemsInPool;
    if (n == 1) return 1;
    if (n == 2) return 2;
    int count = n - 1;
    double threshold = 0.0;
    while (true) {
        const int r = maxDiffIndex(count, threshold, 1);
        if (r == count) break;
        count = r;
        threshold = energyDiff[count] * gapRatio;
    }
    return count;
}

void foldJob::assemble(std::vector<int>& noConf) {
    const int n = std::min(finalStructure.nbases, static_cast<int>(noConf.size()) - 1);
    std::span<int> row = finalStructure.pairs(1);
    for (int p = 1; p <= n; ++p) {
        if (noConf[p] <= 0) continue;
        if (row[p] != 0) {
            fatalStop(std::cout, "in assemble: error found :"
                                 "this->finalStructure->basepr[1][i] != 0 && noConf[i] > 0 and getchar()");
        }
        row[p] = noConf[p];
    }
    noConf.clear();
    noConf.shrink_to_fit();
    finalStructure.nstructs = 1;
    subStructure.nstructs = 1;
}

}  // namespace korvane
