#include "fold/mfe.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <utility>

#include "energy/loopTermsOf.h"

#include "fold/vectorClones.h"

namespace korvane::fold {

namespace {

constexpr int DP_INF = 1 << 28;  // a sum of three stays inside int
constexpr int FINITE_BELOW = DP_INF / 2;
constexpr int MIN_SPAN = MIN_HAIRPIN + 1;  // j - i of the closest pair
constexpr int RING_ROWS = 32;              // inner pairs lie at most MAX_INTERIOR + 1 rows below i
static_assert(RING_ROWS > MAX_INTERIOR + 1);

bool finite(int e) { return e < FINITE_BELOW; }
int settle(int e) { return finite(e) ? e : DP_INF; }

KORVANE_VECTOR_CLONES
void lowerTo(int* __restrict best, const int* __restrict a, int add, int count) {
    for (int t = 0; t < count; ++t) best[t] = std::min(best[t], a[t] + add);
}

template <typename T>
void growTo(std::vector<T>& buffer, std::size_t size) {
    if (buffer.size() < size) buffer.resize(size);
}

// Size-dependent parts of interior loops. A generic loop (both sides unpaired, not 1x1, 1x2,
// 2x1, 2x2) is outer mismatch + size/asymmetry term + inner mismatch; a bulge of two or more is
// size term + both terminal penalties.
struct loopTerms {
    std::array<std::array<int, MAX_INTERIOR + 1>, MAX_INTERIOR + 1> generic{};  // [s1][s2]
    std::array<int, MAX_INTERIOR + 1> bulge{};                                   // [size]
    std::array<std::array<std::uint8_t, MAX_INTERIOR + 1>, MAX_INTERIOR + 1> shape{};  // [s1][s2]: index of its mismatch table
    std::array<const codeGrid<4>*, MISMATCH_SHAPES> mismatch{};
    int shapes = 1;  // mismatch tables in use: one where all three are equal
    static constexpr int MISMATCH_CELLS = CODES * CODES * CODES * CODES;
    std::array<std::array<int, MISMATCH_CELLS>, MISMATCH_SHAPES> flatMismatch{};  // by ((a * CODES + b) * CODES + c) * CODES + d
    bool vectorExact = false;  // no generic loop or bulge can reach INFINITE, so none is forbidden

    explicit loopTerms(const paramTables& t)
        : mismatch{&t.tstacki, &t.tstacki1n, &t.tstacki23},
          shapes(t.tstacki1n == t.tstacki && t.tstacki23 == t.tstacki ? 1 : MISMATCH_SHAPES) {
        constexpr int MAX_ASYMMETRY_SIDE = 2;
        int maxGeneric = -DP_INF;
        for (int s1 = 1; s1 < MAX_INTERIOR; ++s1) {
            for (int s2 = 1; s1 + s2 <= MAX_INTERIOR; ++s2) {
                const int side = std::min({MAX_ASYMMETRY_SIDE, s1, s2});
                const int asymmetry = std::min(t.asymmetryMax, std::abs(s1 - s2) * t.asymmetryPenalty[side]);
                generic[s1][s2] = t.internalLoop[s1 + s2] + t.loopConst[3] + asymmetry;
                shape[s1][s2] = shapes > 1 ? static_cast<std::uint8_t>(korvane::loopTerms::shapeOf(s1, s2)) : 0;
                if (s1 > 2 || s2 > 2) maxGeneric = std::max(maxGeneric, generic[s1][s2]);
            }
        }
        int maxBulge = -DP_INF;
        for (int s = 2; s <= MAX_INTERIOR; ++s) {
            bulge[s] = t.bulgeLoop[s] + t.loopConst[2];
            maxBulge = std::max(maxBulge, bulge[s]);
        }
        int maxMismatch = -DP_INF;
        for (const auto* table : {&t.tstacki, &t.tstacki1n, &t.tstacki23})
            for (int a = CODE_A; a <= CODE_U; ++a)
                for (int b = CODE_A; b <= CODE_U; ++b)
                    if (codesPair(a, b))
                        for (int c = CODE_UNKNOWN; c <= CODE_U; ++c)
                            for (int d = CODE_UNKNOWN; d <= CODE_U; ++d) maxMismatch = std::max(maxMismatch, (*table)[a][b][c][d]);
        for (int shape = 0; shape < MISMATCH_SHAPES; ++shape)
            for (int cell = 0; cell < MISMATCH_CELLS; ++cell) {
                const int a = cell / (CODES * CODES * CODES), b = cell / (CODES * CODES) % CODES;
                flatMismatch[shape][cell] = (*mismatch[shape])[a][b][cell / CODES % CODES][cell % CODES];
            }
        const long long maxAu = std::max(0, t.terminalAuPenalty);
        vectorExact = 2LL * maxMismatch + maxGeneric < INFINITE && maxBulge + 2 * maxAu < INFINITE;
    }
};

class mfeFolder {
public:
    mfeFolder(const energyModel& model, mfeWorkspace& w, int maxSpan)
        : m_(model), w_(w), n_(model.n), span_(maxSpan > 0 ? std::min(maxSpan, model.n) : model.n), terms_(model.tables) {}

    int fold(std::vector<int>& pairs) {
        pairs.assign(static_cast<std::size_t>(n_) + 1, 0);
        if (n_ <= MIN_SPAN) return 0;
        prepare();
        for (int i = n_; i >= 1; --i) fillRow(i);
        traceback(pairs);
        return w_.exterior[1];
    }

private:
    const energyModel& m_;
    mfeWorkspace& w_;
    const int n_;
    const int span_;  // longest j - i of a pair; rows hold j up to i + span_ only
    const loopTerms terms_;
    const int* code_ = nullptr;

    int& closed(int i, int j) { return w_.closed[w_.rowStart[i] + j]; }
    int& multi(int i, int j) { return w_.multi[w_.rowStart[i] + j]; }
    const int* multiRow(int i) const { return w_.multi.data() + w_.rowStart[i]; }
    std::uint8_t& multiClosed(int i, int j) { return w_.multiClosed[w_.rowStart[i] + j]; }
    int* innerRow(int shape, int k) {
        return w_.innerRing[shape].data() + static_cast<std::ptrdiff_t>(k % RING_ROWS) * (n_ + 2);
    }
    int* bulgeRow(int k) { return w_.bulgeRing.data() + static_cast<std::ptrdiff_t>(k % RING_ROWS) * (n_ + 2); }
    int unpaired() const { return m_.multiPerUnpaired(); }
    int last(int i) const { return std::min(n_, i + span_); }

    // Pair k-l as a branch of a multibranch loop (k - 1 and l + 1 lie in that loop).
    int branch(int k, int l) {
        const int v = closed(k, l);
        return k > 1 && l < n_ && finite(v) ? v + m_.multiBranch(k, l) : DP_INF;
    }

    void prepare() {
        const std::size_t n = static_cast<std::size_t>(n_);
        growTo(w_.rowStart, n + 2);
        std::ptrdiff_t rowBase = 0;
        for (int i = 1; i <= n_; ++i) {
            w_.rowStart[i] = rowBase - i;
            rowBase += last(i) - i + 1;
        }
        const std::size_t triangle = static_cast<std::size_t>(rowBase);
        growTo(w_.closed, triangle);
        growTo(w_.multi, triangle);
        growTo(w_.multiClosed, triangle);
        for (auto& ring : w_.innerRing) growTo(ring, RING_ROWS * (n + 2));
        for (auto& row : w_.bestInterior) growTo(row, n + 2);
        growTo(w_.bulgeRing, RING_ROWS * (n + 2));
        for (auto* row : {&w_.branchRow, &w_.twoOrMore, &w_.bestBulge, &w_.starBelow, &w_.star, &w_.exterior, &w_.codes})
            growTo(*row, n + 2);
        w_.codes[0] = w_.codes[n_ + 1] = CODE_UNKNOWN;
        for (int p = 1; p <= n_; ++p) w_.codes[p] = m_.code[p];
        code_ = w_.codes.data();
        std::fill(w_.starBelow.begin(), w_.starBelow.begin() + n_ + 2, DP_INF);
        w_.exterior[n_ + 1] = 0;
    }

    bool pairsWithSomething(int i) const {
        for (int l = i + MIN_SPAN; l <= last(i); ++l)
            if (codesPair(code_[i], code_[l])) return true;
        return false;
    }

    // Best generic interior loops and bulges of two or more below every i-j of row i, as whole
    // rows: for each loop shape the candidates of all j lie side by side in an inner row.
    void fillInteriorRows(int i) {
        int* bestB = w_.bestBulge.data();
        const int end = last(i);
        for (int s1 = 1; s1 < MAX_INTERIOR; ++s1) {
            const int k = i + 1 + s1;
            for (int s2 = s1 <= 2 ? 3 : 1; s1 + s2 <= MAX_INTERIOR; ++s2) {
                const int first = k + MIN_SPAN + 1 + s2;  // j where l = j - 1 - s2 first reaches k + MIN_SPAN
                if (first > end) break;
                const int shape = terms_.shape[s1][s2];
                lowerTo(w_.bestInterior[shape].data() + first, innerRow(shape, k) + first - 1 - s2, terms_.generic[s1][s2],
                        end - first + 1);
            }
        }
        for (int s = 2; s <= MAX_INTERIOR; ++s) {
            const int first5 = i + 1 + MIN_SPAN + 1 + s;  // bulge on the 3' side: k = i + 1, l = j - 1 - s
            if (first5 <= end) lowerTo(bestB + first5, bulgeRow(i + 1) + first5 - 1 - s, terms_.bulge[s], end - first5 + 1);
            const int k = i + 1 + s;  // bulge on the 5' side: l = j - 1
            const int first3 = k + MIN_SPAN + 1;
            if (first3 <= end) lowerTo(bestB + first3, bulgeRow(k) + first3 - 1, terms_.bulge[s], end - first3 + 1);
        }
    }

    // Interior loops (stacks included) of i-j by their terms one at a time.
    int interiorOneByOne(int i, int j, bool smallOnly) {
        static constexpr std::array<std::pair<int, int>, 7> SMALL = {
            {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {1, 2}, {2, 1}, {2, 2}}};
        int best = DP_INF;
        const auto consider = [&](int s1, int s2) {
            const int k = i + 1 + s1;
            const int l = j - 1 - s2;
            if (l - k < MIN_SPAN) return;
            const int inner = closed(k, l);
            if (!finite(inner)) return;
            const int e = m_.interior(i, j, k, l);
            if (e < INFINITE) best = std::min(best, e + inner);
        };
        if (smallOnly) {
            for (auto [s1, s2] : SMALL) consider(s1, s2);
        } else {
            for (int s1 = 0; s1 <= MAX_INTERIOR; ++s1)
                for (int s2 = 0; s1 + s2 <= MAX_INTERIOR; ++s2) consider(s1, s2);
        }
        return best;
    }

    void fillRow(int i) {
        const bool pairs = pairsWithSomething(i);
        const int end = last(i);
        for (int shape = 0; shape < terms_.shapes; ++shape)
            std::fill(w_.bestInterior[shape].begin() + i, w_.bestInterior[shape].begin() + end + 1, DP_INF);
        std::fill(w_.bestBulge.begin() + i, w_.bestBulge.begin() + end + 1, DP_INF);
        if (pairs && terms_.vectorExact) fillInteriorRows(i);
        int* branchRow = w_.branchRow.data();
        int* twoOrMore = w_.twoOrMore.data();
        std::fill(twoOrMore + i, twoOrMore + end + 1, DP_INF);
        const int* starBelow = w_.starBelow.data();
        int* star = w_.star.data();
        const int c = unpaired();
        int oneBranch = DP_INF;  // best of i..j with exactly one branch, at i
        for (int j = i; j <= end; ++j) {
            if (j - i < MIN_SPAN) {
                closed(i, j) = DP_INF;
                multiClosed(i, j) = 0;
                branchRow[j] = DP_INF;
                multi(i, j) = DP_INF;
                star[j] = DP_INF;
                continue;
            }
            int v = DP_INF;
            bool closesMulti = false;
            if (m_.canPair(i, j)) {
                const int h = m_.hairpin(i, j);
                if (h < INFINITE) v = h;
                if (terms_.vectorExact) {
                    v = std::min(v, interiorOneByOne(i, j, true));
                    for (int shape = 0; shape < terms_.shapes; ++shape) {
                        const int outer = (*terms_.mismatch[shape])[code_[i]][code_[j]][code_[i + 1]][code_[j - 1]];
                        v = std::min(v, w_.bestInterior[shape][j] + outer);
                    }
                    v = std::min(v, w_.bestBulge[j] + m_.tables.pairAuPenalty(code_[i], code_[j]));
                } else {
                    v = std::min(v, interiorOneByOne(i, j, false));
                }
                if (finite(starBelow[j - 1])) {
                    const int mm = m_.multiClosing(i, j) + starBelow[j - 1];
                    closesMulti = mm <= v;
                    v = std::min(v, mm);
                }
                v = settle(v);
                closesMulti = closesMulti && finite(v);
            }
            closed(i, j) = v;
            multiClosed(i, j) = closesMulti;
            branchRow[j] = branch(i, j);
            // A branch i-j followed by one or more in j + 1..j': pushed now into every later j'.
            // Only pairable j push, so most of the cubic term is skipped outright.
            const int first = j + 1 + MIN_SPAN;
            if (finite(branchRow[j]) && first <= end)
                lowerTo(twoOrMore + first, multiRow(j + 1) + first, branchRow[j], end - first + 1);
            const int more = settle(twoOrMore[j]);
            oneBranch = settle(std::min(oneBranch + c, branchRow[j]));
            multi(i, j) = settle(std::min({multi(i + 1, j) + c, oneBranch, more}));
            star[j] = settle(std::min(starBelow[j] + c, more));
        }
        std::swap(w_.starBelow, w_.star);

        int best = w_.exterior[i + 1];
        for (int l = i + MIN_SPAN; l <= end; ++l) {
            const int v = closed(i, l);
            if (finite(v)) best = std::min(best, v + m_.exteriorBranch(i, l) + w_.exterior[l + 1]);
        }
        w_.exterior[i] = best;

        std::array<int*, MISMATCH_SHAPES> inner{};
        for (int shape = 0; shape < terms_.shapes; ++shape) inner[shape] = innerRow(shape, i);
        const auto& mismatch = terms_.flatMismatch;
        int* bulge = bulgeRow(i);
        for (int l = i; l <= end; ++l) {
            const int v = closed(i, l);
            const bool usable = finite(v) && i > 1 && l < n_;
            const int cell = usable ? ((code_[l] * CODES + code_[i]) * CODES + code_[l + 1]) * CODES + code_[i - 1] : 0;
            for (int shape = 0; shape < terms_.shapes; ++shape) inner[shape][l] = usable ? v + mismatch[shape][cell] : DP_INF;
            bulge[l] = usable ? v + m_.tables.pairAuPenalty(code_[i], code_[l]) : DP_INF;
        }
    }

    // Best of i..j inside a multibranch loop with two branches or more, the first exactly at i.
    int twoOrMoreAt(int i, int j) {
        int best = DP_INF;
        for (int l = i + MIN_SPAN; l <= j - 1 - MIN_SPAN; ++l) {
            const int b = branch(i, l);
            if (finite(b)) best = std::min(best, b + multi(l + 1, j));
        }
        return settle(best);
    }

    struct task {
        int i;
        int j;
        bool segment;  // i..j of a multibranch loop (one branch or more), else the pair i-j
    };

    [[noreturn]] static void lost(int i, int j) {
        throw std::logic_error("mfe traceback found no optimum at " + std::to_string(i) + "-" + std::to_string(j));
    }

    // Every choice takes the first option, 5' to 3', that still reaches the optimum: unpaired
    // before paired, then the nearest partner; this yields the lexicographically first table.
    void traceback(std::vector<int>& pairs) {
        std::vector<task> todo;
        const auto pair = [&](int i, int j) {
            pairs[i] = j;
            pairs[j] = i;
            todo.push_back({i, j, false});
        };
        for (int i = 1; i <= n_;) {
            if (w_.exterior[i] == w_.exterior[i + 1]) {
                ++i;
                continue;
            }
            int l = i + MIN_SPAN;
            for (; l <= last(i); ++l) {
                const int v = closed(i, l);
                if (finite(v) && v + m_.exteriorBranch(i, l) + w_.exterior[l + 1] == w_.exterior[i]) break;
            }
            if (l > last(i)) lost(i, last(i));
            pair(i, l);
            i = l + 1;
        }
        while (!todo.empty()) {
            const task t = todo.back();
            todo.pop_back();
            if (t.segment) {
                traceSegment(t.i, t.j, pair, todo);
            } else {
                tracePair(t.i, t.j, pair, todo);
            }
        }
    }

    template <typename pairFn>
    void tracePair(int i, int j, pairFn& pair, std::vector<task>& todo) {
        const int target = closed(i, j);
        const int h = m_.hairpin(i, j);
        if (h < INFINITE && h == target) return;
        const int c = unpaired();
        int multiFirst = 0;  // the latest first branch of an optimal multibranch loop
        int multiRest = 0;
        if (multiClosed(i, j)) {
            const int need = target - m_.multiClosing(i, j);
            for (int u = j - 1 - 2 * MIN_SPAN; u > i && multiFirst == 0; --u) {
                if (c * (u - i - 1) + twoOrMoreAt(u, j - 1) == need) multiFirst = u;
            }
            if (multiFirst == 0) lost(i, j);
            multiRest = need - c * (multiFirst - i - 1);
        }
        for (int k = std::max(multiFirst, std::min(i + MAX_INTERIOR + 1, j - 1 - MIN_SPAN)); k > i; --k) {
            int interiorPartner = 0;
            const int s1 = k - i - 1;
            if (s1 <= MAX_INTERIOR) {
                for (int l = std::max(k + MIN_SPAN, j - 1 - (MAX_INTERIOR - s1)); l < j; ++l) {
                    const int inner = closed(k, l);
                    if (!finite(inner)) continue;
                    const int e = m_.interior(i, j, k, l);
                    if (e < INFINITE && e + inner == target) {
                        interiorPartner = l;
                        break;
                    }
                }
            }
            int multiPartner = 0;
            if (k == multiFirst) {
                for (int l = k + MIN_SPAN; l <= j - 1 - MIN_SPAN && multiPartner == 0; ++l) {
                    const int b = branch(k, l);
                    if (finite(b) && b + multi(l + 1, j - 1) == multiRest) multiPartner = l;
                }
                if (multiPartner == 0) lost(k, j - 1);
            }
            if (interiorPartner != 0 && (multiPartner == 0 || interiorPartner <= multiPartner)) {
                pair(k, interiorPartner);
                return;
            }
            if (multiPartner != 0) {
                pair(k, multiPartner);
                todo.push_back({multiPartner + 1, j - 1, true});
                return;
            }
        }
        lost(i, j);
    }

    template <typename pairFn>
    void traceSegment(int i, int j, pairFn& pair, std::vector<task>& todo) {
        const int c = unpaired();
        int target = multi(i, j);
        while (i < j && multi(i + 1, j) + c == target) {
            target -= c;
            ++i;
        }
        for (int l = i + MIN_SPAN; l <= j; ++l) {
            const int b = branch(i, l);
            if (!finite(b)) continue;
            if (b + c * (j - l) == target) {
                pair(i, l);
                return;
            }
            if (l + 1 <= j && b + multi(l + 1, j) == target) {
                pair(i, l);
                todo.push_back({l + 1, j, true});
                return;
            }
        }
        lost(i, j);
    }
};

}  // namespace

int minimumFreeEnergy(const energyModel& model, mfeWorkspace& workspace, std::vector<int>& pairs, int maxSpan) {
    mfeFolder folder(model, workspace, maxSpan);
    return folder.fold(pairs);
}

}  // namespace korvane::fold
