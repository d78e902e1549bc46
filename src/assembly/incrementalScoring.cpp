// Candidate energies without building the candidates: a candidate is finalStructure plus one
// stem, and the energy of a nested pairing is the exterior loop plus one term per closed loop.
// The stem adds its stacks and the loop inside its innermost pair and changes the one loop of
// finalStructure that holds it; every other loop keeps its energy.

#include <algorithm>
#include <span>
#include <utility>
#include <vector>

#include "assembly/detail/candidateCache.h"
#include "assembly/detail/foldJob.h"
#include "energy/energy.h"
#include "energy/loopTerms.h"

namespace korvane {

namespace {

constexpr int SEPARATING_GAP = 2;  // unpaired positions between exterior helices that no term spans
constexpr int PLACEHOLDER_OFFSET = 3;  // stand-in pair at lo-3, lo-2: two unpaired before lo's helix

// Loop ids: the 5' position of the innermost pair enclosing a position, 0 for the exterior loop.
// False when the pairing is not nested and symmetric.
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

// One pass's view of finalStructure, scoring stems against it.
class loopScorer {
public:
    loopScorer(const paramTables& tables, std::span<const int> code, std::span<const int> current, int n,
               candidateCache& cache)
        : tables_(tables), code_(code), current_(current), n_(n), c_(cache) {}

    // Fills every view of the cache but loopOf (already built); returns the structure's energy.
    long long prepare() {
        c_.scratch.assign(current_.begin(), current_.begin() + n_ + 1);
        c_.loopEnergy.assign(static_cast<size_t>(n_) + 1, 0);
        c_.branchCount.assign(static_cast<size_t>(n_) + 1, 0);
        c_.nextBranch.assign(static_cast<size_t>(n_) + 2, 0);
        c_.window.assign(static_cast<size_t>(n_) + 2, 0);
        c_.exteriorFirst.clear();
        c_.exteriorLast.clear();
        long long total = c_.loopEnergy[0] = exteriorLoopEnergy(tables_, code_, c_.scratch, n_);
        for (int p = n_; p >= 1; --p) {
            const int q = current_[p];
            c_.nextBranch[p] = q > p ? p : (q == 0 ? c_.nextBranch[p + 1] : 0);
        }
        for (int p = 1; p <= n_; ++p) {
            const int q = current_[p];
            if (q <= p) continue;
            c_.loopEnergy[p] = closedLoopEnergy(tables_, code_, c_.scratch, n_, p, q);
            total += c_.loopEnergy[p];
            ++c_.branchCount[c_.loopOf[p]];
            if (c_.loopOf[p] == 0) {
                c_.exteriorFirst.push_back(p);
                c_.exteriorLast.push_back(q);
            }
        }
        const int h = static_cast<int>(c_.exteriorFirst.size());
        c_.runEnergy.assign(static_cast<size_t>(h) + 1, 0);
        for (int x = 0; x < h;) {
            const int y = runEnd(x);
            const int lo = std::max(1, first(x) - 1);
            const int hi = std::min(n_, last(y) + 1);
            const int origin = windowOrigin(lo, x > 0);
            for (int k = x; k <= y; ++k) place(origin, first(k), last(k));
            const int energy = windowShare(origin, lo, hi);
            for (int k = x; k <= y; ++k) unplace(origin, first(k), last(k));
            for (int k = x; k <= y; ++k) c_.runEnergy[k + 1] = c_.runEnergy[k] + (k == y ? energy : 0);
            x = y + 1;
        }
        return total;
    }

    // Energy change of adding stem t, lying on unpaired positions of loop `loop`.
    int stemDelta(const stem& t, int loop) {
        const int i = t.start;
        const int j = t.end;
        const int length = t.length;
        for (int k = 0; k < length; ++k) {
            c_.scratch[i + k] = j - k;
            c_.scratch[j - k] = i + k;
        }
        long long delta = 0;
        for (int k = 0; k + 1 < length; ++k) delta += stackEnergy(tables_, code_, i + k, j - k, i + k + 1, j - k - 1);

        // The loop inside the innermost pair holds the pairs of `loop` that lie between them.
        const int p = i + length - 1;
        const int q = j - length + 1;
        const int firstInside = c_.nextBranch[p + 1];
        if (firstInside == 0 || firstInside > q) {
            delta += hairpinEnergy(tables_, code_, p, q);
        } else {
            const int secondInside = c_.nextBranch[current_[firstInside] + 1];
            if (secondInside == 0 || secondInside > q)
                delta += oneBranch(p, q, firstInside, current_[firstInside]);
            else
                delta += closedLoopEnergy(tables_, code_, c_.scratch, n_, p, q);
        }

        if (loop == 0) {
            delta += exteriorDelta(i, j);
        } else {
            const int b = current_[loop];
            const int firstBranch = c_.nextBranch[loop + 1];
            const bool branchBefore = firstBranch != 0 && firstBranch < i;
            const bool branchAfter = c_.nextBranch[j + 1] != 0;
            const int changed = (branchBefore || branchAfter) ? closedLoopEnergy(tables_, code_, c_.scratch, n_, loop, b)
                                                              : oneBranch(loop, b, i, j);
            delta += changed - c_.loopEnergy[loop];
        }

        for (int k = 0; k < length; ++k) {
            c_.scratch[i + k] = 0;
            c_.scratch[j - k] = 0;
        }
        return static_cast<int>(delta);
    }

private:
    const paramTables& tables_;
    std::span<const int> code_;
    std::span<const int> current_;
    int n_;
    candidateCache& c_;

    int first(int x) const { return c_.exteriorFirst[x]; }
    int last(int x) const { return c_.exteriorLast[x]; }
    int helices() const { return static_cast<int>(c_.exteriorFirst.size()); }
    // Last exterior helix of the run that x belongs to, going right.
    int runEnd(int x) const {
        while (x + 1 < helices() && first(x + 1) - last(x) - 1 < SEPARATING_GAP) ++x;
        return x;
    }

    // A closed loop whose only branch is i-j: a stack, or a bulge or internal loop.
    int oneBranch(int a, int b, int i, int j) const {
        if (i == a + 1 && j == b - 1) return stackEnergy(tables_, code_, a, b, i, j);
        return loopEnergy(tables_, code_, a, b, i, j);
    }

    void place(int origin, int b, int a) {
        c_.window[b - origin + 1] = a - origin + 1;
        c_.window[a - origin + 1] = b - origin + 1;
    }
    void unplace(int origin, int b, int a) {
        c_.window[b - origin + 1] = 0;
        c_.window[a - origin + 1] = 0;
    }
    int windowEnergy(int origin, int hi) const {
        const int size = hi - origin + 1;
        return exteriorLoopEnergy(tables_, code_.subspan(origin - 1, size + 1),
                                  std::span<const int>(c_.window.data(), size + 1), size);
    }
    // The first exterior helix is scored apart from the others (its coaxial look-up is turned
    // round), so a stretch that does not hold it gets a stand-in helix ahead of it: a pair of
    // the two positions at origin, two gaps before lo. Returns the window's first position.
    int windowOrigin(int lo, bool helicesBefore) {
        if (!helicesBefore) return lo;
        const int origin = lo - PLACEHOLDER_OFFSET;
        place(origin, origin, origin + 1);
        return origin;
    }
    // Exterior energy of the helices placed from lo to hi. lo and hi lie in gaps that no term
    // spans (or are the sequence's ends), so this is their share in the exterior energy of the
    // whole sequence. Takes the stand-in out of the window again.
    int windowShare(int origin, int lo, int hi) {
        const int all = windowEnergy(origin, hi);
        if (origin == lo) return all;
        const int placeholder = windowEnergy(origin, lo);
        unplace(origin, origin, origin + 1);
        return all - placeholder;
    }

    // Change of the exterior energy when stem i-j joins the exterior loop: only the runs of
    // helices around it change; the helices between i and j move inside the stem.
    long long exteriorDelta(int i, int j) {
        const auto& starts = c_.exteriorFirst;
        const int h = helices();
        const int before = static_cast<int>(std::lower_bound(starts.begin(), starts.end(), i) - starts.begin()) - 1;
        const int after = static_cast<int>(std::lower_bound(starts.begin(), starts.end(), j + 1) - starts.begin());
        int lo = 0;
        int firstOld = 0;
        if (before < 0 || i - last(before) - 1 >= SEPARATING_GAP) {
            lo = std::max(1, i - 1);
            firstOld = before + 1;
        } else {
            int x = before;
            while (x >= 1 && first(x) - last(x - 1) - 1 < SEPARATING_GAP) --x;
            lo = std::max(1, first(x) - 1);
            firstOld = x;
        }
        int hi = 0;
        int lastOld = 0;
        if (after >= h || first(after) - j - 1 >= SEPARATING_GAP) {
            hi = std::min(n_, j + 1);
            lastOld = after - 1;
        } else {
            const int x = runEnd(after);
            hi = std::min(n_, last(x) + 1);
            lastOld = x;
        }
        const long long old = firstOld <= lastOld ? c_.runEnergy[lastOld + 1] - c_.runEnergy[firstOld] : 0;

        const int origin = windowOrigin(lo, firstOld > 0);
        for (int k = firstOld; k <= before; ++k) place(origin, first(k), last(k));
        place(origin, i, j);
        for (int k = after; k <= lastOld; ++k) place(origin, first(k), last(k));
        const int now = windowShare(origin, lo, hi);
        for (int k = firstOld; k <= before; ++k) unplace(origin, first(k), last(k));
        unplace(origin, i, j);
        for (int k = after; k <= lastOld; ++k) unplace(origin, first(k), last(k));
        return now - old;
    }
};

}  // namespace

bool foldJob::scoreIncremental(int m) {
    candidateCache& cache = *cache_;
    const int n = finalStructure.nbases;
    const std::span<const int> current = std::as_const(finalStructure).pairs(1);
    if (cache.loopVersion.size() != static_cast<size_t>(n) + 1) {
        cache.loopVersion.assign(static_cast<size_t>(n) + 1, 0);
        cache.loopOfValid = false;
    }
    if (cache.perSlot.size() < static_cast<size_t>(numOfstemsInPool) + 1) {
        cache.perSlot.assign(static_cast<size_t>(numOfstemsInPool) + 2, stemScore{});
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
    if (!buildLoopIds(current, n, cache.loopOf, cache.open)) return false;
    const std::vector<int>& loopOf = cache.loopOf;

    // A candidate is plain when its stem lies on unpaired positions of one loop: it is then
    // nested and differs from finalStructure only in that loop and the stem's own loops.
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
    loopScorer scorer(*tables, code, current, n, cache);
    const int currentEnergy = static_cast<int>(scorer.prepare());

    subStructure.nstructs = m;
    subStructure.growStructures();
    for (int s = 1; s <= numOfstemsInPool; ++s) {
        const stem& t = stemPool[s];
        const int loop = loopOf[t.start];
        stemScore& score = cache.perSlot[s];
        const bool fresh = score.epoch == cache.epoch && score.key.start == t.start && score.key.end == t.end &&
                           score.key.length == t.length && score.loopId == loop &&
                           score.version == cache.loopVersion[loop];
        if (!fresh) score = {t, loop, cache.loopVersion[loop], cache.epoch, scorer.stemDelta(t, loop)};
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

}  // namespace korvane
