#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "energy/energy.h"
#include "energy/loopTerms.h"

namespace korvane {

namespace {

constexpr int MB_LINEAR_UNPAIRED = 6;      // unpaired nucleotides charged linearly in a multibranch loop
constexpr double MB_LOG_UNPAIRED = 110.0;  // coefficient of ln(u / 6) beyond that, tenths of kcal/mol
constexpr int SIDE_3PRIME = 1;
constexpr int SIDE_5PRIME = 2;

// One helix seen from a loop: the loop reaches it at b and continues from a (… b <helix> a, a+1 …).
struct helixEnd {
    int a;
    int b;
};

// Working storage reused across calls, so that scoring allocates only while it warms up.
struct workspace {
    std::vector<std::pair<int, int>> pending;  // pairs whose loops are still to be scored
    std::vector<helixEnd> helices;             // helices of the current loop, plus one closing entry
    std::vector<std::int64_t> single;          // best terms of each helix alone
    std::vector<std::int64_t> neighbours;      // best terms of helix x with helix x + 1
};

workspace& scratch() {
    thread_local workspace ws;
    return ws;
}

int saturate(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

// Pairs are read through a nesting filter: p opens a pair only when its partner lies after it and
// before the end of the loop being scanned. For a nested pairing this is every pair; a pair that
// crosses the loop it starts in (a pseudoknot) or names an impossible partner is taken as unpaired,
// so a crossing pairing scores its nested part and the walk still ends.
int innerPartner(std::span<const int> pairs, int p, int end) {
    const int q = pairs[p];
    return (q > p && q < end) ? q : 0;
}

// First position from p on, before end, that is paired. Loops of long sequences are mostly
// unpaired, so the scan looks at a block of entries at a time.
int nextPaired(std::span<const int> pairs, int p, int end) {
    constexpr int BLOCK = 16;
    while (p + BLOCK <= end) {
        int any = 0;
        for (int k = 0; k < BLOCK; ++k) any |= pairs[p + k];
        if (any != 0) break;
        p += BLOCK;
    }
    while (p < end && pairs[p] == 0) ++p;
    return p;
}

struct evaluator {
    const paramTables& tables;
    std::span<const int> code;
    std::span<const int> pairs;
    int n;
    workspace& ws;

    // Fills helices with the closing pair i-j as entry 0 and the branches inside it; returns their count.
    int findBranches(int i, int j) {
        ws.helices.clear();
        ws.helices.push_back({i, j});
        for (int p = nextPaired(pairs, i + 1, j); p < j; p = nextPaired(pairs, p, j)) {
            const int q = innerPartner(pairs, p, j);
            if (q == 0) {
                ++p;
                continue;
            }
            ws.helices.push_back({q, p});
            p = q + 1;
        }
        return static_cast<int>(ws.helices.size()) - 1;
    }

    // Fills helices with the exterior helices in 5'-to-3' order; returns their count.
    int findExteriorHelices() {
        ws.helices.clear();
        for (int p = nextPaired(pairs, 1, n); p < n; p = nextPaired(pairs, p, n)) {
            const int q = innerPartner(pairs, p, n + 1);
            if (q == 0) {
                ++p;
                continue;
            }
            ws.helices.push_back({q, p});
            p = q + 1;
        }
        return static_cast<int>(ws.helices.size());
    }

    // Dangles are only ever taken when they help.
    int dangle3(const helixEnd& h) const {
        return std::min(0, danglingEnergy(tables, code, h.a, h.b, h.a + 1, SIDE_3PRIME));
    }
    int dangle5(const helixEnd& h) const {
        return std::min(0, danglingEnergy(tables, code, h.a, h.b, h.b - 1, SIDE_5PRIME));
    }

    // Best dangling / coaxial terms of neighbouring helices x, x+1 with gap g between them.
    std::int64_t pairTerm(int x, int gapBeforeX, int gapAfterNext, int g) const {
        const helixEnd& h = ws.helices[x];
        const helixEnd& next = ws.helices[x + 1];
        const std::int64_t apart = ws.single[x] + ws.single[x + 1];
        const auto c = [this](int p) { return code[p]; };
        if (g == 0) return std::min<std::int64_t>(apart, tables.coaxial[c(h.b)][c(h.a)][c(next.b)][c(next.a)]);
        if (g != 1) return apart;
        std::int64_t best = apart;
        if (gapBeforeX >= 1) {
            // The loop's first helix is looked up with its pair the other way round.
            const int mismatch = x == 0 ? tables.tstackcoax[c(h.b)][c(h.a)][c(h.a + 1)][c(h.b - 1)]
                                        : tables.tstackcoax[c(h.a)][c(h.b)][c(h.a + 1)][c(h.b - 1)];
            best = std::min<std::int64_t>(
                best, mismatch + tables.coaxstack[c(h.a + 1)][c(h.b - 1)][c(next.b)][c(next.a)]);
        }
        if (gapAfterNext >= 1) {
            best = std::min<std::int64_t>(
                best, tables.tstackcoax[c(h.a + 1)][c(next.a + 1)][c(next.b)][c(next.a)] +
                          tables.coaxstack[c(h.a)][c(h.b)][c(h.a + 1)][c(next.a + 1)]);
        }
        return best;
    }

    // Best tiling of helices first..last by single helices and neighbouring pairs. The minimum over
    // split points of the interval table equals this best tiling, so one running minimum suffices.
    std::int64_t bestChain(int first, int last) const {
        std::int64_t beforePrevious = 0;
        std::int64_t previous = ws.single[first];
        for (int y = first + 1; y <= last; ++y) {
            const std::int64_t current =
                std::min(previous + ws.single[y], beforePrevious + ws.neighbours[y - 1]);
            beforePrevious = previous;
            previous = current;
        }
        return previous;
    }

    // Multibranch loop whose closing pair and branches are in helices[0..h-1].
    std::int64_t multibranch(int h) {
        const helixEnd closing = ws.helices[0];
        ws.helices.push_back(closing);  // helix h is helix 0 again: the loop is circular
        const auto gapAfter = [this](int x) { return ws.helices[x + 1].b - ws.helices[x].a - 1; };
        ws.single.resize(h + 1);
        ws.neighbours.resize(h);
        std::int64_t unpaired = 0;
        for (int x = 0; x < h; ++x) {
            const helixEnd& e = ws.helices[x];
            const int before = gapAfter(x == 0 ? h - 1 : x - 1);
            const int after = gapAfter(x);
            unpaired += after;
            if (before >= 1 && after >= 1) {
                ws.single[x] = tables.tstackm[code[e.a]][code[e.b]][code[e.a + 1]][code[e.b - 1]];
            } else if (after >= 1) {
                ws.single[x] = dangle3(e);
            } else if (before >= 1) {
                ws.single[x] = dangle5(e);
            } else {
                ws.single[x] = 0;
            }
        }
        ws.single[h] = ws.single[0];
        for (int x = 0; x < h; ++x) {
            const int before = gapAfter(x == 0 ? h - 1 : x - 1);
            const int afterNext = gapAfter(x + 1 == h ? 0 : x + 1);
            ws.neighbours[x] = pairTerm(x, before, afterNext, gapAfter(x));
        }
        std::int64_t energy = static_cast<std::int64_t>(tables.mbEvalOffset) +
                              static_cast<std::int64_t>(h) * tables.mbEvalPerHelix;
        if (unpaired <= MB_LINEAR_UNPAIRED) {
            energy += unpaired * tables.mbEvalPerUnpaired;
        } else {
            energy += MB_LINEAR_UNPAIRED * tables.mbEvalPerUnpaired +
                      static_cast<std::int64_t>(MB_LOG_UNPAIRED * std::log(static_cast<double>(unpaired) /
                                                                         MB_LINEAR_UNPAIRED) +
                                                0.5);
        }
        for (int x = 1; x < h; ++x) energy += auPenalty(tables, code, ws.helices[x].b, ws.helices[x].a);
        energy += std::min(bestChain(0, h - 1), bestChain(1, h));
        ws.helices.pop_back();
        return energy;
    }

    // Energy of the loop closed by i-j; leaves its branches in helices[1..].
    std::int64_t closedLoop(int i, int j, int& branches) {
        branches = findBranches(i, j);
        if (branches == 0) return hairpinEnergy(tables, code, i, j);
        if (branches == 1) {
            const int ip = ws.helices[1].b;
            const int jp = ws.helices[1].a;
            if (ip == i + 1 && jp == j - 1) return stackEnergy(tables, code, i, j, ip, jp);
            return loopEnergy(tables, code, i, j, ip, jp);
        }
        return multibranch(branches + 1);
    }

    std::int64_t exterior() {
        if (n >= 2 && pairs[1] == n) return 0;  // a closing pair 1-N leaves no exterior loop
        const int h = findExteriorHelices();
        if (h == 0) return 0;
        ws.helices.push_back({0, n + 1});  // sentinel: the gap after the last helix runs to N
        const auto gapAfter = [this](int x) { return ws.helices[x + 1].b - ws.helices[x].a - 1; };
        const auto gapBefore = [this](int x) { return ws.helices[x].b - (x == 0 ? 0 : ws.helices[x - 1].a) - 1; };
        ws.single.resize(h);
        ws.neighbours.resize(h);
        std::int64_t energy = 0;
        for (int x = 0; x < h; ++x) {
            const helixEnd& e = ws.helices[x];
            energy += auPenalty(tables, code, e.b, e.a);
            ws.single[x] = (gapAfter(x) >= 1 ? dangle3(e) : 0) + (gapBefore(x) >= 1 ? dangle5(e) : 0);
        }
        for (int x = 0; x + 1 < h; ++x) ws.neighbours[x] = pairTerm(x, gapBefore(x), gapAfter(x + 1), gapAfter(x));
        energy += bestChain(0, h - 1);
        ws.helices.pop_back();
        return energy;
    }

    // The walk: every loop of the pairing once, linear in N apart from the helix tables.
    std::int64_t whole() {
        std::int64_t energy = 0;
        ws.pending.clear();
        if (n >= 2 && pairs[1] == n) {
            ws.pending.emplace_back(1, n);
        } else {
            energy += exterior();
            for (const helixEnd& e : ws.helices) ws.pending.emplace_back(e.b, e.a);
        }
        while (!ws.pending.empty()) {
            auto [i, j] = ws.pending.back();
            ws.pending.pop_back();
            for (;;) {
                int branches = 0;
                energy += closedLoop(i, j, branches);
                if (branches == 1) {
                    i = ws.helices[1].b;
                    j = ws.helices[1].a;
                    continue;
                }
                for (int x = 1; x <= branches; ++x) ws.pending.emplace_back(ws.helices[x].b, ws.helices[x].a);
                break;
            }
        }
        return energy;
    }
};

}  // namespace

void structureEnergy(const paramTables& tables, structure& record, int k) {
    const auto scoreOne = [&](int s) {
        const std::span<const int> pairs = std::as_const(record).pairs(s);
        // Never read past the arrays, whatever nbases claims.
        const int n = std::min({record.nbases, static_cast<int>(pairs.size()) - 1,
                                static_cast<int>(record.seqcode.size()) - 1});
        if (n < 1) {
            record.energy[s] = 0;
            return;
        }
        evaluator ev{tables, std::span<const int>(record.seqcode).first(n + 1), pairs.first(n + 1), n, scratch()};
        record.energy[s] = saturate(ev.whole());
    };
    if (k == 0) {
        const int last = std::min(record.nstructs, record.capacity - 1);
        for (int s = 1; s <= last; ++s) scoreOne(s);
    } else if (k > 0 && k < record.capacity) {
        scoreOne(k);
    }
}

int closedLoopEnergy(const paramTables& tables, std::span<const int> code, std::span<const int> pairs, int n,
                     int i, int j) {
    if (i < 1 || j > n || i >= j) return 0;
    evaluator ev{tables, code, pairs, n, scratch()};
    int branches = 0;
    return saturate(ev.closedLoop(i, j, branches));
}

int exteriorLoopEnergy(const paramTables& tables, std::span<const int> code, std::span<const int> pairs, int n) {
    evaluator ev{tables, code, pairs, n, scratch()};
    return saturate(ev.exterior());
}

}  // namespace korvane
