#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <vector>

#include "assembly/detail/foldJob.h"

namespace korvane {

namespace {

constexpr int NO_POP_YET = -10;  // what isStackStruct reports before anything was popped
constexpr const char* TRIM_ERROR_FILE = "./check/error.out";

// Whether adding p-q to a nested table whose entries p and q are 0 keeps it nested: exactly
// when no pair already in the table has one end strictly between p and q and the other outside.
bool keepsNested(const std::vector<int>& table, int p, int q) {
    const int lo = std::min(p, q);
    const int hi = std::max(p, q);
    if (lo == hi) return false;
    for (int r = lo + 1; r < hi; ++r) {
        const int partner = table[r];
        if (partner != 0 && (partner < lo || partner > hi)) return false;
    }
    return true;
}

}  // namespace

bool isNestedPairs(std::span<const int> table, int n) {
    intStack open;
    for (int p = 1; p <= n; ++p) {
        const int q = table[p];
        if (q == 0) continue;
        if (p < q) {
            open.push(q);
        } else if (q == p) {
            return false;
        } else {
            int top = 0;
            if (!open.pop(top) || top != p) return false;
        }
    }
    return open.empty();
}

bool isStackStruct(const structure& record) {
    intStack open;  // shared by all structures, as the reports depend on it
    int last = NO_POP_YET;
    const int n = record.nbases;
    for (int k = 1; k <= record.nstructs; ++k) {
        const std::span<const int> row = record.pairs(k);
        for (int x = 1; x <= n; ++x) {
            const int q = row[x];
            if (q == 0) continue;
            if (x < q) {
                open.push(q);
            } else if (q == x) {
                std::cout << "in isStackStruct ,error2 i<s->basepr[k][i]==i," << k << "th structrue, "
                          << last << "th base" << std::endl;
                return false;
            } else {
                open.pop(last);
                if (last != x) {
                    std::cout << "in isStackStruct ,error1 ,maybe find a psudoknot," << k
                              << "th structrue, j=" << last << "th base" << ",i=" << x << std::endl;
                    return false;
                }
            }
        }
    }
    if (!open.empty()) {
        open.pop(last);
        std::cout << "in isStackStruct ,error " << -1 << "th structrue, i" << last << "th base"
                  << std::endl;
        return false;
    }
    return true;
}

void foldJob::handleConficts(int v, std::vector<int>& noConf) {
    const int n = subStructure.nbases;
    noConf.assign(static_cast<size_t>(n) + 1, 0);
    v = std::min(v, subStructure.capacity - 1);  // assemble has already reset nstructs to 1
    for (int s = 1; s <= v; ++s) {
        auto& ref = subStructure.stemref[s];
        const int i = ref[0];
        const int j = ref[1];
        const int length = ref[2];
        if (i <= 0) continue;
        int accepted = 0;
        // Once p-q is kept, p+1 - q-1 can only clash through its own positions.
        bool outerKept = false;
        for (int k = 1; k <= length; ++k) {
            const int p = i + k - 1;
            const int q = j - k + 1;
            const bool inside = p >= 1 && p <= n && q >= 1 && q <= n;
            if (!inside || noConf[p] != 0 || noConf[q] != 0) {
                outerKept = false;
                continue;
            }
            const bool nested = (outerKept && p < q) || keepsNested(noConf, p, q);
            if (nested) {
                noConf[p] = q;
                noConf[q] = p;
                ++accepted;
            }
            outerKept = nested;
        }
        if (accepted == 0) ref[3] = -ref[3];
    }
}

void foldJob::trimStemPool(int v) {
    const int n = subStructure.nbases;
    // Sized by the sequence: any length can be trimmed.
    std::vector<char> available(static_cast<size_t>(n) + 2, 1);
    std::vector<int> scratch(static_cast<size_t>(n) + 2, 0);
    auto inRange = [n](int p) { return p >= 1 && p <= n; };
    v = std::min(v, subStructure.capacity - 1);  // assemble has already reset nstructs to 1

    for (int s = 1; s <= v; ++s) {
        const auto& ref = subStructure.stemref[s];
        if (ref[0] <= 0) continue;
        stem& sheltered = stemPool[std::abs(ref[3])];
        if (sheltered.start > 0) sheltered.start = -sheltered.start;
    }

    for (int s = 1; s <= v; ++s) {
        const auto& ref = subStructure.stemref[s];
        const int i = ref[0];
        const int j = ref[1];
        const int length = ref[2];
        const int slot = ref[3];
        if (j == -1) continue;
        if (slot < 0) {
            stemPool[-slot].start = STEM_REMOVED;
            continue;
        }
        stemPool[slot].start = STEM_REMOVED;
        const int maskFirst = std::max(i, 1);
        const int maskLast = std::min(j, n);
        for (int p = maskFirst; p <= maskLast; ++p) available[p] = 0;

        for (int t = 1; t <= numOfstemsInPool; ++t) {
            stem& other = stemPool[t];
            if (other.start < 0) continue;
            const int a = other.start;
            const int b = other.end;
            const int c = other.length;
            if (b < i || a > j) continue;
            if (a > i + length - 1 && b < j - length + 1) continue;
            if (a + c - 1 < i && b - c + 1 > j) continue;

            for (int k = 0; k < c; ++k) {
                if (inRange(a + k) && inRange(b - k)) {
                    scratch[a + k] = b - k;
                    scratch[b - k] = a + k;
                }
            }
            for (int k = 0; k < c; ++k) {
                if (inRange(a + k) && !available[a + k]) scratch[a + k] = 0;
                if (inRange(b - k) && !available[b - k]) scratch[b - k] = 0;
            }
            auto pointsBack = [&](int p) {
                return inRange(p) && scratch[p] != 0 && scratch[scratch[p]] == p;
            };
            int first = 0;
            for (int p = a; p <= a + c - 1; ++p) {
                if (pointsBack(p)) {
                    first = p;
                    break;
                }
            }
            int run = 0;
            if (first != 0) {
                run = 1;
                while (pointsBack(first + run)) ++run;
            }
            const int partner = first != 0 ? scratch[first] : 0;

            if (run < MIN_STEM_LENGTH) {
                other.start = STEM_REMOVED;
            } else if (isAstem(first, partner, run)) {
                other = {first, partner, run};
            } else {
                // A missing ./check folder loses the line without notice.
                std::ofstream errorLog(TRIM_ERROR_FILE, std::ios::app);
                errorLog << first << "," << partner << "," << run << "\n";
                other.start = STEM_REMOVED;
                std::cout << "in trimStemPool error: is not a stem" << std::endl;
            }

            for (int k = 0; k < c; ++k) {
                if (inRange(a + k)) scratch[a + k] = 0;
                if (inRange(b - k)) scratch[b - k] = 0;
            }
        }
        for (int p = maskFirst; p <= maskLast; ++p) available[p] = 1;
    }
}

}  // namespace korvane
