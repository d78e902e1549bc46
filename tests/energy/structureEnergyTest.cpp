#include "energy/energy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "energy/loopTerms.h"
#include "energyTestSupport.h"

namespace korvane {
namespace {

using namespace korvane::testing;

// A record holding one sequence and one pairing per bracket string.
structure recordOf(std::string_view letters, std::initializer_list<std::string_view> pairings) {
    structure record;
    const int n = static_cast<int>(letters.size());
    record.allocateSequence(n);
    record.nbases = n;
    const auto code = codesOf(letters);
    for (int p = 1; p <= n; ++p) record.seqcode[p] = code[p];
    int k = 0;
    for (auto brackets : pairings) {
        if (brackets.size() != letters.size()) throw std::invalid_argument("pairing length differs");
        ++k;
        const auto pairs = pairsOf(brackets);
        auto row = record.pairs(k);
        for (int p = 1; p <= n; ++p) row[p] = pairs[p];
    }
    record.nstructs = k;
    return record;
}

int energyOf(const paramTables& t, std::string_view letters, std::string_view brackets) {
    structure record = recordOf(letters, {brackets});
    structureEnergy(t, record, 1);
    return record.energy[1];
}

constexpr int MISMATCH_STACK_OFF = 1000;

// Distinct tables with every dangle, mismatch and coaxial cell 0 and the mismatch-mediated stacks
// too costly to win, so that a test can switch on exactly the cells it means.
std::unique_ptr<paramTables> quietTables() {
    auto t = distinctTables();
    for (auto& a : t->dangle)
        for (auto& b : a)
            for (auto& c : b) c = {0, 0, 0};
    int zero = 0;
    fillCounting(t->coaxial, zero, 0);
    fillCounting(t->coaxstack, zero, 0);
    fillCounting(t->tstackm, zero, 0);
    int off = MISMATCH_STACK_OFF;
    fillCounting(t->tstackcoax, off, 0);
    return t;
}

TEST(structureEnergyWalk, noPairsScoresZero) {
    const auto t = distinctTables();
    EXPECT_EQ(energyOf(*t, "GGAAACC", "......."), 0);
    structure record = recordOf("GGAAACC", {"(.....)"});
    record.nstructs = 2;  // row 2 never written: all unpaired
    structureEnergy(*t, record, 2);
    EXPECT_EQ(record.energy[2], 0);
}

TEST(structureEnergyWalk, closingPairOneToNHasNoExteriorTerms) {
    const auto t = distinctTables();
    EXPECT_EQ(energyOf(*t, "GGAAAACC", "((....))"),
              t->stack[G][C][G][C] + t->loopConst[1] + t->tstackh[G][C][A][A] + t->hairpinLoop[4] + t->loopConst[4]);
    // An A-U pair at 1-N pays no terminal penalty either.
    EXPECT_EQ(energyOf(*t, "AGAAAACU", "((....))"),
              t->stack[A][U][G][C] + t->loopConst[1] + t->tstackh[G][C][A][A] + t->hairpinLoop[4] + t->loopConst[4]);
}

TEST(structureEnergyWalk, exteriorHelixTakesPenaltyAndOnlyFavourableDangles) {
    const auto t = distinctTables();
    const int inner =
        t->stack[A][U][G][C] + t->loopConst[1] + t->tstackh[G][C][A][A] + t->hairpinLoop[4] + t->loopConst[4];
    ASSERT_LT(t->dangle[U][A][A][1], 0);
    ASSERT_GT(t->dangle[U][A][A][2], 0);  // clipped to 0
    EXPECT_EQ(energyOf(*t, "AAGAAAACUA", ".((....))."), inner + t->terminalAuPenalty + t->dangle[U][A][A][1]);
    EXPECT_EQ(energyOf(*t, "AGAAAACUA", "((....))."), inner + t->terminalAuPenalty + t->dangle[U][A][A][1]);
    EXPECT_EQ(energyOf(*t, "AAGAAAACU", ".((....))"), inner + t->terminalAuPenalty);
    ASSERT_LT(t->dangle[C][G][C][2], 0);
    EXPECT_EQ(energyOf(*t, "CGGAAAACCC", ".((....))."),
              t->stack[G][C][G][C] + t->loopConst[1] + t->tstackh[G][C][A][A] + t->hairpinLoop[4] + t->loopConst[4] +
                  t->dangle[C][G][C][1] + t->dangle[C][G][C][2]);
}

TEST(structureEnergyWalk, abuttingExteriorHelicesMayStackCoaxially) {
    auto t = quietTables();
    // A | G AAAA C | C AAAA G | A: helices 2-7 and 8-13 abut.
    const std::string seq = "AGAAAACCAAAAGA";
    const std::string dots = ".(....)(....).";
    const auto code = codesOf(seq);
    const int hairpins = hairpinEnergy(*t, code, 2, 7) + hairpinEnergy(*t, code, 8, 13);
    t->dangle[C][G][A][2] = -30;  // 5' dangle of the first helix
    t->dangle[G][C][A][1] = -20;  // 3' dangle of the second
    // No nucleotide lies between them: neither takes the other's neighbour as a dangle.
    t->dangle[C][G][C][1] = -1000;
    t->dangle[G][C][C][2] = -1000;
    int everywhere = -5000;
    fillCounting(t->coaxial, everywhere, 0);
    t->coaxial[G][C][C][G] = 50;
    EXPECT_EQ(energyOf(*t, seq, dots), hairpins - 50);
    t->coaxial[G][C][C][G] = -90;
    EXPECT_EQ(energyOf(*t, seq, dots), hairpins - 90);
}

TEST(structureEnergyWalk, oneNucleotideBetweenExteriorHelicesServesBothOrAMismatchStack) {
    auto t = quietTables();
    // A | G AAAA C | U | C AAAA G | A: helices 2-7 and 9-14 with U 8 between them.
    const std::string seq = "AGAAAACUCAAAAGA";
    const std::string dots = ".(....).(....).";
    const auto code = codesOf(seq);
    const int hairpins = hairpinEnergy(*t, code, 2, 7) + hairpinEnergy(*t, code, 9, 14);
    t->dangle[C][G][U][1] = -11;
    t->dangle[C][G][A][2] = -13;
    t->dangle[G][C][A][1] = -17;
    t->dangle[G][C][U][2] = -19;
    EXPECT_EQ(energyOf(*t, seq, dots), hairpins - 60);

    // Mismatch stack on the first helix's side; the first helix of a loop reads its pair reversed.
    t->tstackcoax[G][C][U][A] = -200;
    t->coaxstack[U][A][C][G] = -7;
    t->tstackcoax[C][G][U][A] = 5000;
    EXPECT_EQ(energyOf(*t, seq, dots), hairpins - 207);
    t->tstackcoax[G][C][U][A] = MISMATCH_STACK_OFF;

    // Mismatch stack on the second helix's side.
    t->tstackcoax[U][A][C][G] = -150;
    t->coaxstack[C][G][U][A] = -9;
    EXPECT_EQ(energyOf(*t, seq, dots), hairpins - 159);

    // Without outer neighbours neither mismatch stack applies (position 0 holds code 0).
    t->tstackcoax[G][C][U][0] = -400;
    t->coaxstack[U][0][C][G] = -400;
    const std::string bare = "GAAAACUCAAAAG";
    const auto bareCode = codesOf(bare);
    EXPECT_EQ(energyOf(*t, bare, "(....).(....)"),
              hairpinEnergy(*t, bareCode, 1, 6) + hairpinEnergy(*t, bareCode, 8, 13) - 11 - 19);
}

class multibranchLoop : public ::testing::Test {
protected:
    // G | A | C AAA G | U AAA A | C | C: closing 1-14, branches 3-7 (C-G) and 8-12 (U-A).
    const std::string seq = "GACAAAGUAAAACC";
    const std::string dots = "(.(...)(...).)";
    const std::vector<int> code = codesOf(seq);
    const std::vector<int> pairs = pairsOf(dots);
    std::unique_ptr<paramTables> owned = quietTables();
    paramTables& t = *owned;

    int loop() const { return closedLoopEnergy(t, code, pairs, 14, 1, 14); }
    // offset + 3 helices + 2 unpaired + the U-A branch's penalty; the G-C closing pair pays none.
    int plain() const { return t.mbEvalOffset + 3 * t.mbEvalPerHelix + 2 * t.mbEvalPerUnpaired + t.terminalAuPenalty; }
};

TEST_F(multibranchLoop, constantTermsOnly) { EXPECT_EQ(loop(), plain()); }

TEST_F(multibranchLoop, closingPairWithBothNeighboursTakesUnclippedMismatch) {
    t.tstackm[G][C][A][C] = -300;
    EXPECT_EQ(loop(), plain() - 300);
    t.tstackm[G][C][A][C] = 300;
    EXPECT_EQ(loop(), plain() + 300);
}

TEST_F(multibranchLoop, branchesWithOneNeighbourTakeClippedDangles) {
    t.dangle[G][C][A][2] = -80;  // branch 3-7, A 2 on its 5' side
    EXPECT_EQ(loop(), plain() - 80);
    t.dangle[G][C][A][2] = 80;
    EXPECT_EQ(loop(), plain());
    t.dangle[A][U][C][1] = -70;  // branch 8-12, C 13 on its 3' side
    EXPECT_EQ(loop(), plain() - 70);
    t.dangle[A][U][C][1] = 70;
    EXPECT_EQ(loop(), plain());
}

TEST_F(multibranchLoop, flushBranchesStackCoaxially) {
    t.coaxial[C][G][U][A] = -900;
    EXPECT_EQ(loop(), plain() - 900);
}

TEST_F(multibranchLoop, mismatchStackBetweenClosingPairAndFirstBranchReadsTheClosingPairReversed) {
    t.tstackcoax[C][G][A][C] = -700;
    t.coaxstack[A][C][C][G] = -50;
    t.tstackcoax[G][C][A][C] = 5000;
    EXPECT_EQ(loop(), plain() - 750);
}

TEST_F(multibranchLoop, mismatchStackBetweenLastBranchAndClosingPairWrapsAround) {
    t.tstackcoax[C][A][C][G] = -600;
    t.coaxstack[A][U][C][A] = -40;
    EXPECT_EQ(loop(), plain() - 640);
}

TEST_F(multibranchLoop, bestTilingOfSeveralOptions) {
    t.tstackm[G][C][A][C] = -300;
    t.coaxial[C][G][U][A] = -900;
    t.dangle[G][C][A][2] = -80;
    t.dangle[A][U][C][1] = -70;
    t.tstackcoax[C][G][A][C] = -700;
    t.coaxstack[A][C][C][G] = -50;
    // {closing}{3-7 + 8-12} = -1200 beats {closing + 3-7}{8-12} = -820.
    EXPECT_EQ(loop(), plain() - 1200);
}

TEST(structureEnergyMultibranch, unpairedTermIsLinearToSixThenLogarithmic) {
    const auto t = quietTables();
    const auto mb = [&](std::string_view dots) {
        std::string seq(dots.size(), 'A');
        for (size_t p = 0; p < dots.size(); ++p) seq[p] = dots[p] == '(' ? 'G' : dots[p] == ')' ? 'C' : 'A';
        const auto code = codesOf(seq);
        const auto pairs = pairsOf(dots);
        return closedLoopEnergy(*t, code, pairs, static_cast<int>(dots.size()), 1, static_cast<int>(dots.size()));
    };
    const int constant = t->mbEvalOffset + 3 * t->mbEvalPerHelix;
    EXPECT_EQ(mb("(.(...).(...)....)"), constant + 6 * t->mbEvalPerUnpaired);
    // trunc(110 ln(7/6) + 0.5) = trunc(17.46)
    EXPECT_EQ(mb("(.(...).(...).....)"), constant + 6 * t->mbEvalPerUnpaired + 17);
    // trunc(110 ln 2 + 0.5) = trunc(76.75)
    EXPECT_EQ(mb("(......(...)(...)......)"), constant + 6 * t->mbEvalPerUnpaired + 76);
}

TEST(structureEnergyMultibranch, auClosedLoopChargesOnlyItsBranches) {
    const auto t = quietTables();
    // A | U AAA A | G AAA C | A AAA U | U: three branches, two of them with U.
    const std::string seq = "AUAAAAGAAACAAAAUU";
    const std::string dots = "((...)(...)(...))";
    const auto code = codesOf(seq);
    const auto pairs = pairsOf(dots);
    EXPECT_EQ(closedLoopEnergy(*t, code, pairs, 17, 1, 17),
              t->mbEvalOffset + 4 * t->mbEvalPerHelix + 2 * t->terminalAuPenalty);
    EXPECT_EQ(energyOf(*t, seq, dots), closedLoopEnergy(*t, code, pairs, 17, 1, 17) + hairpinEnergy(*t, code, 2, 6) +
                                           hairpinEnergy(*t, code, 7, 11) + hairpinEnergy(*t, code, 12, 16));
}

TEST(structureEnergyRecord, zeroScoresEveryStructureAndKScoresOnlyK) {
    const auto t = distinctTables();
    structure record = recordOf("GGGAAAACCCA", {"(((....))).", ".((....))..", "..(....)..."});
    record.energy[1] = record.energy[2] = record.energy[3] = 12345;
    structureEnergy(*t, record, 2);
    EXPECT_EQ(record.energy[1], 12345);
    EXPECT_EQ(record.energy[3], 12345);
    const int second = record.energy[2];
    EXPECT_EQ(second, energyOf(*t, "GGGAAAACCCA", ".((....)).."));
    structureEnergy(*t, record, 0);
    EXPECT_EQ(record.energy[1], energyOf(*t, "GGGAAAACCCA", "(((....)))."));
    EXPECT_EQ(record.energy[2], second);
    EXPECT_EQ(record.energy[3], energyOf(*t, "GGGAAAACCCA", "..(....)..."));
    EXPECT_NE(record.energy[1], record.energy[3]);
    EXPECT_EQ(record.energy[4], 0);
}

template <typename T, typename Draw>
void fillRandom(T& grid, Draw& draw) {
    if constexpr (std::is_same_v<T, int>) {
        grid = draw();
    } else {
        for (auto& inner : grid) fillRandom(inner, draw);
    }
}

// Random dangle, mismatch and coaxial tables in a small range, so that the options really compete.
std::unique_ptr<paramTables> randomTables(unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> value(-400, 400);
    auto draw = [&] { return value(rng); };
    auto t = distinctTables();
    const auto randomize = [&](auto& grid) { fillRandom(grid, draw); };
    randomize(t->stack);
    randomize(t->tstackh);
    randomize(t->tstacki);
    randomize(t->coaxial);
    randomize(t->tstackcoax);
    randomize(t->coaxstack);
    randomize(t->tstackm);
    randomize(t->dangle);
    return t;
}

std::vector<int> randomCodes(std::mt19937& rng, int n) {
    std::uniform_int_distribution<int> base(0, 5);
    std::vector<int> code(n + 1, 0);
    for (int p = 1; p <= n; ++p) code[p] = base(rng);
    return code;
}

// A random nested pairing: opens, closes and unpaired positions drawn with the stack kept valid.
std::vector<int> randomNested(std::mt19937& rng, int n) {
    std::vector<int> pairs(n + 1, 0);
    std::vector<int> open;
    std::uniform_int_distribution<int> move(0, 9);
    for (int p = 1; p <= n; ++p) {
        const int left = n - p + 1;
        const int m = move(rng);
        if (!open.empty() && static_cast<int>(open.size()) >= left) {
            pairs[p] = open.back();
            pairs[open.back()] = p;
            open.pop_back();
        } else if (m < 3 && static_cast<int>(open.size()) + 1 < left) {
            open.push_back(p);
        } else if (m < 6 && !open.empty() && p - open.back() > 1) {
            pairs[p] = open.back();
            pairs[open.back()] = p;
            open.pop_back();
        }
    }
    return pairs;
}

// The multibranch and exterior terms exactly as the interval table describes them (cubic).
struct referenceLoops {
    const paramTables& t;
    const std::vector<int>& code;
    const std::vector<int>& pairs;
    int n;

    int d3(int a, int b) const { return std::min(0, danglingEnergy(t, code, a, b, a + 1, 1)); }
    int d5(int a, int b) const { return std::min(0, danglingEnergy(t, code, a, b, b - 1, 2)); }

    // helices[x] = {a, b}; gapBefore / gapAfter per helix; circular adds helix H = helix 0.
    int table(const std::vector<std::pair<int, int>>& hx, const std::vector<int>& before, const std::vector<int>& after,
              bool circular) const {
        const int h = static_cast<int>(hx.size());
        const int size = circular ? h + 1 : h;
        const auto at = [&](int x) { return hx[x % h]; };
        const auto gb = [&](int x) { return before[x % h]; };
        const auto ga = [&](int x) { return after[x % h]; };
        std::vector<std::vector<int>> e(size, std::vector<int>(size, 0));
        for (int x = 0; x < h; ++x) {
            const auto [a, b] = hx[x];
            if (circular) {
                if (gb(x) >= 1 && ga(x) >= 1) {
                    e[x][x] = t.tstackm[code[a]][code[b]][code[a + 1]][code[b - 1]];
                } else if (ga(x) >= 1) {
                    e[x][x] = d3(a, b);
                } else if (gb(x) >= 1) {
                    e[x][x] = d5(a, b);
                }
            } else {
                e[x][x] = (ga(x) >= 1 ? d3(a, b) : 0) + (gb(x) >= 1 ? d5(a, b) : 0);
            }
        }
        if (circular) e[h][h] = e[0][0];
        for (int x = 0; x + 1 < size; ++x) {
            const auto [ax, bx] = at(x);
            const auto [an, bn] = at(x + 1);
            const int g = ga(x);
            int v = e[x][x] + e[x + 1][x + 1];
            if (g == 0) {
                v = std::min(v, t.coaxial[code[bx]][code[ax]][code[bn]][code[an]]);
            } else if (g == 1) {
                if (gb(x) >= 1) {
                    const int tc = x == 0 ? t.tstackcoax[code[bx]][code[ax]][code[ax + 1]][code[bx - 1]]
                                          : t.tstackcoax[code[ax]][code[bx]][code[ax + 1]][code[bx - 1]];
                    v = std::min(v, tc + t.coaxstack[code[ax + 1]][code[bx - 1]][code[bn]][code[an]]);
                }
                if (ga(x + 1) >= 1) {
                    v = std::min(v, t.tstackcoax[code[ax + 1]][code[an + 1]][code[bn]][code[an]] +
                                        t.coaxstack[code[ax]][code[bx]][code[ax + 1]][code[an + 1]]);
                }
            }
            e[x][x + 1] = v;
        }
        for (int l = 2; l < size; ++l) {
            for (int x = 0; x + l < size; ++x) {
                int best = std::numeric_limits<int>::max();
                for (int s = 0; s < l; ++s) best = std::min(best, e[x][x + s] + e[x + s + 1][x + l]);
                e[x][x + l] = best;
            }
        }
        return circular ? std::min(e[0][h - 1], e[1][h]) : e[0][h - 1];
    }

    int multibranch(int i, int j) const {
        std::vector<std::pair<int, int>> hx{{i, j}};
        for (int p = i + 1; p < j;) {
            if (pairs[p] > p) {
                hx.push_back({pairs[p], p});
                p = pairs[p] + 1;
            } else {
                ++p;
            }
        }
        const int h = static_cast<int>(hx.size());
        std::vector<int> before(h), after(h);
        int u = 0;
        for (int x = 0; x < h; ++x) {
            const int nextB = x + 1 < h ? hx[x + 1].second : j;
            after[x] = nextB - hx[x].first - 1;
            u += after[x];
        }
        for (int x = 0; x < h; ++x) before[x] = after[(x + h - 1) % h];
        int energy = t.mbEvalOffset + h * t.mbEvalPerHelix +
                     (u <= 6 ? u * t.mbEvalPerUnpaired
                             : 6 * t.mbEvalPerUnpaired + static_cast<int>(110.0 * std::log(u / 6.0) + 0.5));
        for (int x = 1; x < h; ++x) energy += auPenalty(t, code, hx[x].second, hx[x].first);
        return energy + table(hx, before, after, true);
    }

    int exterior() const {
        std::vector<std::pair<int, int>> hx;
        for (int p = 1; p < n;) {
            if (pairs[p] > p) {
                hx.push_back({pairs[p], p});
                p = pairs[p] + 1;
            } else {
                ++p;
            }
        }
        const int h = static_cast<int>(hx.size());
        if (h == 0) return 0;
        std::vector<int> before(h), after(h);
        int energy = 0;
        for (int x = 0; x < h; ++x) {
            before[x] = hx[x].second - (x == 0 ? 0 : hx[x - 1].first) - 1;
            after[x] = (x + 1 < h ? hx[x + 1].second : n + 1) - hx[x].first - 1;
            energy += auPenalty(t, code, hx[x].second, hx[x].first);
        }
        return energy + table(hx, before, after, false);
    }
};

int branchCount(const std::vector<int>& pairs, int i, int j) {
    int count = 0;
    for (int p = i + 1; p < j;) {
        if (pairs[p] > p) {
            ++count;
            p = pairs[p] + 1;
        } else {
            ++p;
        }
    }
    return count;
}

TEST(structureEnergyRandom, wholeEqualsExteriorPlusEveryClosedLoopAndMatchesTheIntervalTable) {
    std::mt19937 rng(20240611);
    int multibranches = 0;
    int exteriorsWithSeveral = 0;
    std::unique_ptr<paramTables> t;
    for (int round = 0; round < 300; ++round) {
        if (round % 10 == 0) t = randomTables(static_cast<unsigned>(round));
        const int n = 1 + static_cast<int>(rng() % (round < 250 ? 120 : 1500));
        const auto code = randomCodes(rng, n);
        const auto pairs = randomNested(rng, n);
        structure record;
        record.allocateSequence(n);
        record.nbases = n;
        record.nstructs = 1;
        for (int p = 1; p <= n; ++p) {
            record.seqcode[p] = code[p];
            record.pairs(1)[p] = pairs[p];
        }
        structureEnergy(*t, record, 1);

        const referenceLoops reference{*t, code, pairs, n};
        const bool closedAtEnds = n >= 2 && pairs[1] == n;
        int sum = exteriorLoopEnergy(*t, code, pairs, n);
        EXPECT_EQ(sum, closedAtEnds ? 0 : reference.exterior()) << "round " << round;
        if (!closedAtEnds && branchCount(pairs, 0, n + 1) >= 2) ++exteriorsWithSeveral;
        for (int i = 1; i <= n; ++i) {
            if (pairs[i] <= i) continue;
            const int loop = closedLoopEnergy(*t, code, pairs, n, i, pairs[i]);
            sum += loop;
            if (branchCount(pairs, i, pairs[i]) >= 2) {
                ++multibranches;
                EXPECT_EQ(loop, reference.multibranch(i, pairs[i])) << "round " << round << " pair " << i;
            }
        }
        EXPECT_EQ(record.energy[1], sum) << "round " << round << " n " << n;
    }
    EXPECT_GT(multibranches, 100);
    EXPECT_GT(exteriorsWithSeveral, 50);
}

TEST(structureEnergyRandom, manyPendingLoops) {
    const auto t = randomTables(7);
    // 120 exterior hairpins, then a multibranch loop of 80 branches inside a closing pair 1-N.
    std::string dots;
    for (int h = 0; h < 120; ++h) dots += "((...)).";
    std::string inner = "(";
    for (int h = 0; h < 80; ++h) inner += ".(...)";
    inner += ".)";
    for (const std::string& brackets : {dots, inner}) {
        const std::string seq(brackets.size(), 'G');
        const auto code = codesOf(seq);
        const auto pairs = pairsOf(brackets);
        const int n = static_cast<int>(brackets.size());
        int sum = exteriorLoopEnergy(*t, code, pairs, n);
        for (int i = 1; i <= n; ++i)
            if (pairs[i] > i) sum += closedLoopEnergy(*t, code, pairs, n, i, pairs[i]);
        EXPECT_EQ(energyOf(*t, seq, brackets), sum);
    }
}

TEST(structureEnergyNonNested, crossingPairsAreIgnoredFromTheLoopTheyLeave) {
    const auto t = distinctTables();
    const std::string seq = "GAGAGCAUCAAC";
    structure record = recordOf(seq, {"(...)......."});
    const auto reference = [&] {
        structureEnergy(*t, record, 1);
        return record.energy[1];
    }();
    // 1-5 crossed by 3-9: 3-9 leaves the loop of 1-5, so it reads as unpaired.
    auto row = record.pairs(1);
    row[3] = 9;
    row[9] = 3;
    structureEnergy(*t, record, 1);
    EXPECT_EQ(record.energy[1], reference);
    // Impossible partners: beyond N, itself, negative.
    row[3] = row[9] = 0;
    row[7] = 40;
    row[8] = 8;
    row[10] = -3;
    structureEnergy(*t, record, 1);
    EXPECT_EQ(record.energy[1], reference);
}

TEST(structureEnergyNonNested, pairsAreReadFromTheirFivePrimeEnd) {
    const auto t = distinctTables();
    structure record = recordOf("GGAAACCGAAAAAC", {"((...))(.....)"});
    structureEnergy(*t, record, 1);
    const int symmetric = record.energy[1];
    record.pairs(1)[14] = 0;  // 8-14 named only from 8
    structureEnergy(*t, record, 1);
    EXPECT_EQ(record.energy[1], symmetric);
}

}  // namespace
}  // namespace korvane
