#pragma once
// The nearest-neighbour parameter set: every cell in tenths of kcal/mol, indexed directly by
// base codes 0..5 (0 unknown, 1 A, 2 C, 3 G, 4 U, 5 linker). Loaded once, then read only.

#include <array>
#include <cstddef>
#include <memory>

namespace korvane {

constexpr int INFINITE = 14000;     // forbidden or absent combination
constexpr int CODES = 6;            // base codes per table dimension
constexpr int MAX_LOOP_TABLE = 30;  // loop-size tables cover 1..30
constexpr int MAX_SPECIAL_HAIRPINS = 200;
constexpr float RT_KCAL_37 = 0.61633f;  // R*T in kcal/mol at 310.15 K

namespace detail {
template <int D, typename V>
struct codeGridOf {
    using type = std::array<typename codeGridOf<D - 1, V>::type, CODES>;
};
template <typename V>
struct codeGridOf<1, V> {
    using type = std::array<V, CODES>;
};
}  // namespace detail

// D-dimensional dense table with CODES entries per dimension, of V (tenths of kcal/mol).
template <int D, typename V = int>
using codeGrid = typename detail::codeGridOf<D, V>::type;

// Special-hairpin list: [n][0] key (base-5 digits, 5' nucleotide least significant), [n][1] energy; n = 1..200.
using specialHairpins = std::array<std::array<int, 2>, MAX_SPECIAL_HAIRPINS + 1>;

struct paramTables {
    std::array<int, 5> asymmetryPenalty{};  // [1..4] per nucleotide of asymmetry
    int asymmetryMax = 0;
    std::array<int, 11> loopConst{};  // [1..10]; [5], [6], [10] multibranch coefficients of the file
    // dangle[a][b][c][side]: pair a-b, c unpaired 3' of a (side 1) or 5' of b (side 2)
    std::array<std::array<std::array<std::array<int, 3>, CODES>, CODES>, CODES> dangle{};
    std::array<int, MAX_LOOP_TABLE + 1> internalLoop{};  // by loop size 1..30
    std::array<int, MAX_LOOP_TABLE + 1> bulgeLoop{};
    std::array<int, MAX_LOOP_TABLE + 1> hairpinLoop{};
    codeGrid<4> stack{};    // [a][b][c][d]: pair a-b followed by c-d, c 3' of a, d 5' of b
    codeGrid<4> tstackh{};  // hairpin terminal mismatch, pair a-b, c 3' of a, d 5' of b
    codeGrid<4> tstacki{};  // internal-loop terminal mismatch, same indexing
    specialHairpins tloop{};  // six-nucleotide keys
    int tloopCount = 0;
    // The three large tables are filled with INFINITE by the constructor, not zeroed first.
    codeGrid<8> int22;  // [i][ip][j][jp][i+1][i+2][j-1][j-2]
    codeGrid<7> int21;  // see loopEnergy for the two orientations
    codeGrid<6> int11;  // [i][i+1][ip][j][j-1][jp]
    codeGrid<4> coaxial{};     // pair a-b stacked flush on c-d, b immediately 5' of c
    codeGrid<4> tstackcoax{};  // mismatch-mediated coaxial stacking, stack indexing
    codeGrid<4> coaxstack{};
    codeGrid<4> tstack{};
    codeGrid<4> tstackm{};  // multibranch terminal mismatch
    int terminalAuPenalty = 0;
    int gggHairpinBonus = 0;
    int polyCIntercept = 0;
    int polyCSlope = 0;
    int polyC3 = 0;
    int mbEvalOffset = 0;
    int mbEvalPerUnpaired = 0;
    int mbEvalPerHelix = 0;
    specialHairpins triloop{};  // five-nucleotide keys
    int triloopCount = 0;
    int intermolecularInit = 0;
    int miscSixth = 0;
    int miscSeventh = 0;
    int hexaloopCount = 0;
    int singleCBulgeBonus = 0;
    codeGrid<4> tstacki23{};
    codeGrid<4> tstacki1n{};
    specialHairpins hexaloop{};  // eight-nucleotide keys
    float rtKcal = RT_KCAL_37;
    float loopExtrapolation = 0.0f;  // ten times the file value, tenths of kcal/mol

    // int22, int21 and int11 start INFINITE; everything else is written by the reader.
    paramTables();

    // The object is allocated on huge pages where the system offers them: filling its 8 MB in
    // 4 KB pages takes some 2,000 page faults, which cost more than reading all the files.
    static void* operator new(std::size_t size);
    static void operator delete(void* block) noexcept;

    // terminalAuPenalty when either code is U (4), else 0.
    int pairAuPenalty(int a, int b) const { return (a == 4 || b == 4) ? terminalAuPenalty : 0; }
};

// The tables are large (about 8 MB); they always live on the heap.
std::unique_ptr<paramTables> makeParamTables();

}  // namespace korvane
