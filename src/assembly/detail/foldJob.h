#pragma once
// One prediction: the stem pool of a sequence and the pass-by-pass assembly of its structure.
// Internal to the greedy engine; front ends fold through engine/engine.h.
// Positions, pool slots, structure numbers and pseudohelix rows are 1-based.

#include <array>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "rna/sequence.h"
#include "rna/structure.h"
#include "thermo/paramTables.h"

namespace korvane {

constexpr int STEM_POOL_OVERFLOW = 9999;   // finding this many stems overflows the batch program's pool
constexpr int NO_POOL_LIMIT = 0;           // the pool grows with the sequence
constexpr int STEM_END_MARK = -2;          // start of the slot after the last stem
constexpr int STEM_REMOVED = -99999;       // start of a stem the next compaction drops
constexpr int MIN_STEM_LENGTH = 3;         // pairs
constexpr int MIN_HAIRPIN_LOOP = 3;        // unpaired positions inside the innermost pair
constexpr int MIN_STEM_SPAN = 2 * MIN_STEM_LENGTH + 2;  // smallest end - start searched
constexpr int ENERGY_DIFF_FIRST = -10000;  // energyDiff[0]
constexpr double GAP_RATIO = 0.8;

constexpr int MAX_NUM_PSEUDOHELICES = 3000;
constexpr int MAX_TRUE_STEMS_IN__PSEUDOHELCE = 30;  // member entries plus the -1 end mark
constexpr int PSEUDOHELIX_ROW_SIZE = MAX_TRUE_STEMS_IN__PSEUDOHELCE + 1;
constexpr int PSEUDOHELIX_MIN_SPAN = 16;  // end - start of a stem that may head a chain

constexpr int SAT_PASS_LIMIT = 200;  // compared after the counter (starting at 1) is advanced
constexpr int VARN_CAP = 100;        // candidates merged per pass at most

constexpr int INT_STACK_INITIAL = 3000;

// Pairs (start + k, end - k) for k < length. A negative start marks a removed or sheltered stem.
struct stem {
    int start = 0;
    int end = 0;
    int length = 0;
};

// Row of pseudoHelicesPool: [0] member count, [1..m] pool slots outermost first, [m+1] -1.
using pseudohelixRow = std::array<int, PSEUDOHELIX_ROW_SIZE>;

// Last-in-first-out integers; grows when full and keeps its contents.
class intStack {
public:
    intStack() { items_.reserve(INT_STACK_INITIAL); }
    void push(int value) { items_.push_back(value); }
    // False when empty (out unchanged).
    bool pop(int& out);
    bool empty() const { return items_.empty(); }
    void clear() { items_.clear(); }

private:
    std::vector<int> items_;
};

// True when entries 1..n of the pair table are symmetric and no two pairs cross.
bool isNestedPairs(std::span<const int> table, int n);

// True when every structure 1..nstructs of record is nested; prints the first fault otherwise.
bool isStackStruct(const structure& record);

// How SAT scores the candidates of a pass. Both give the same energies; reference builds every
// candidate structure and evaluates it whole, incremental re-evaluates only the loops a stem
// changes (and falls back to reference for a pass whose candidates are not all plain).
enum class candidateScoring { incremental, reference };

struct candidateCache;  // per-stem energy changes carried between passes

struct foldJob {
    // Rows 0..numOfPseudoHelices (at most MAX_NUM_PSEUDOHELICES), made as filled; empty until the first pass.
    std::vector<pseudohelixRow> pseudoHelicesPool;
    int numOfPseudoHelices = 0;
    std::vector<stem> stemPool;  // slots 0..stems + 1 once searched: slot 0 unused, then the end mark
    int numOfstemsInPool = 0;
    double gapRatio = GAP_RATIO;
    std::vector<int> energyDiff;  // [stems + 1], tenths of kcal/mol
    structure subStructure;       // candidates of the current pass
    structure finalStructure;     // the assembled result, pairing in structure 1
    const paramTables* tables;    // not owned
    candidateScoring scoring = candidateScoring::incremental;
    int poolLimit = STEM_POOL_OVERFLOW;  // finding this many stems fails the search; NO_POOL_LIMIT grows

    // An empty job: nbases 0 until load().
    explicit foldJob(const paramTables* tables = nullptr);
    ~foldJob();
    foldJob(const foldJob&) = delete;
    foldJob& operator=(const foldJob&) = delete;

    // Makes the job a fresh one for sequence: both records as the sequence reader leaves them,
    // every buffer emptied but keeping its room, so one job serves many sequences.
    void load(const rnaSequence& sequence);

    // Fills the pool with every maximal stem, in order of 5' end then 3' end. False when none
    // was found or poolLimit stems were (stemsFound() then equals poolLimit). Memory grows with
    // the length and the stems found, never with their product.
    bool findMaxStems();
    // True when (start, end, length) is a stem of this sequence; prints why not otherwise.
    bool isAstem(int start, int end, int length) const;
    // Drops the stems marked STEM_REMOVED, keeping the order of the others.
    void compactStemPool();

    // Rebuilds the pseudohelix table from the pool; always true.
    bool findPseudolelices();
    // Empties every pseudohelix (member count 0); the count of rows stays.
    void controlPseudoHelicesPool();

    // Collects into noConf (remade, N + 1 entries) the pairs of candidates 1..v that keep it
    // nested; a stem candidate with no pair kept gets its stem slot negated in stemref.
    void handleConficts(int v, std::vector<int>& noConf);
    // Removes the stems of candidates 1..v and cuts every stem that clashes with an accepted one.
    void trimStemPool(int v);

    // Adds to candidates 1..m of subStructure the pairs of their stems and sets their stemref.
    void asmbEvyStm_PseudoStm2Structs(int m);
    // Checks subStructure and scores structure which (0: all) into its energy.
    void calCulateSubFreeEnergy(int which);
    // Checks finalStructure and scores its structure 1.
    void calCulateFinFreeEnergy();
    // energyDiff[k] = energy[k + 1] - energy[k] of the sorted candidates, k = 1..numOfstemsInPool-1.
    void computeEnergyDiff();
    // Index of the widest gap among candidates first..count-1 (energies <= 0), or count when
    // that gap is below threshold.
    int maxDiffIndex(int count, double threshold, int first) const;
    // Number of leading candidates before the varn's gap (at least 1).
    int findVarn() const;
    // Adds the pairs of noConf to structure 1 of finalStructure and releases noConf.
    void assemble(std::vector<int>& noConf);

    // One scoring step of a pass: candidates 1..m of subStructure (pool stems, then
    // pseudohelices) get their stemref and energy, in pool order. True when nothing was printed
    // (the incremental way ran); the reference way prints what the checks find.
    bool scoreCandidates(int m);

    // Called after a pass has scored its m candidates, before they are sorted.
    using passObserver = std::function<void(int m)>;
    // One assembly pass (the body of SAT); finalNested is whether finalStructure was nested
    // before it. False when the assembly is finished.
    bool runPass(bool finalNested, const passObserver& observe = nullptr);

    // Assembles finalStructure pass by pass. Precondition: findMaxStems() returned true and
    // tables is set (without tables nothing is done). Stops early once a pass changed nothing.
    void SAT();

    // Figures of the last search and SAT, for benchmarks: stems found, passes that scored
    // candidates, and how many of those were scored incrementally.
    int stemsFound() const { return stemsFound_; }
    int passesRun() const { return passesRun_; }
    int incrementalPasses() const { return incrementalPasses_; }

private:
    int stemsFound_ = 0;
    int passesRun_ = 0;
    int incrementalPasses_ = 0;
    std::unique_ptr<candidateCache> cache_;
    std::vector<int> searchRunEnd_;  // stem search scratch, one value per diagonal
    std::vector<int> searchReach_;
    std::vector<int> searchOutward_;
    std::vector<int> searchPrevious_;
    std::vector<int> pseudohelixRunLast_;  // per slot, the last slot of its run of ascending starts
    std::vector<int> pseudohelixNextOnDiagonal_;  // per slot, the next slot of the same diagonal
    std::vector<int> pseudohelixLastOnDiagonal_;  // per diagonal, its first slot while scanning

    void scoreReference(int m);
    bool scoreIncremental(int m);
    void sortScoredCandidates();
};

}  // namespace korvane
