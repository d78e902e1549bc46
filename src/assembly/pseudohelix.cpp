#include <algorithm>

#include "assembly/detail/foldJob.h"

namespace korvane {

namespace {

// First element of [first, last) for which pred fails, pred holding on a prefix; probes 1, 2,
// 4, ... elements from the front before bisecting.
template <typename It, typename Pred>
It gallopFromFront(It first, It last, Pred pred) {
    const auto size = last - first;
    if (size == 0 || !pred(*first)) return first;
    std::ptrdiff_t bound = 1;
    while (bound < size && pred(first[bound])) bound *= 2;
    return std::partition_point(first + bound / 2 + 1, first + std::min(bound, size), pred);
}

// The same partition point, probing from the back: for a point near last.
template <typename It, typename Pred>
It gallopFromBack(It first, It last, Pred pred) {
    const auto size = last - first;
    if (size == 0 || pred(*(last - 1))) return last;
    std::ptrdiff_t bound = 1;
    while (bound < size && !pred(*(last - 1 - bound))) bound *= 2;
    return std::partition_point(last - std::min(bound, size), last - 1 - bound / 2, pred);
}

}  // namespace

bool foldJob::findPseudolelices() {
    // Rows come into being as they are filled (row 0 carries nothing); the table keeps its
    // room from pass to pass.
    pseudoHelicesPool.assign(1, pseudohelixRow{});
    int rows = 0;
    // The forward scan for the next member stops at the first stem starting beyond the wanted
    // start. Within a run of ascending starts that stop and the stems of the wanted start are
    // found by bisection, so the scan jumps run by run instead of stem by stem.
    const int count = numOfstemsInPool;
    std::vector<int>& runLast = pseudohelixRunLast_;
    runLast.assign(static_cast<size_t>(count) + 2, count);
    for (int t = count - 1; t >= 1; --t)
        runLast[t] = stemPool[t + 1].start >= stemPool[t].start ? runLast[t + 1] : t;
    // First slot after `from` holding (start, end) before any stem that starts later; 0 if none.
    // The wanted start lies a few stems on, so both searches gallop from the near end instead of
    // bisecting the whole run: the same answer, with the memory they touch kept close together.
    const auto nextMember = [&](int from, int start, int end) {
        for (int t = from; t <= count;) {
            const int last = runLast[t];
            const auto first = stemPool.begin() + t;
            const auto stop = gallopFromFront(first, stemPool.begin() + last + 1,
                                              [start](const stem& x) { return x.start <= start; });
            for (auto at = gallopFromBack(first, stop, [start](const stem& x) { return x.start < start; });
                 at != stop; ++at)
                if (at->end == end) return static_cast<int>(at - stemPool.begin());
            if (stop != stemPool.begin() + last + 1) return 0;
            t = last + 1;
        }
        return 0;
    };
    // A member lies on its predecessor's diagonal (start + end) and starts right after it. Where
    // the stems of each diagonal follow one another without overlap in slot order (as the stem
    // search makes them, and trimming keeps them), the only candidate is the next stem of the
    // same diagonal; where that one does not start in place, the search above would find
    // nothing, and is skipped. Any other pool is searched in full.
    std::vector<int>& onDiagonal = pseudohelixNextOnDiagonal_;
    std::vector<int>& lastOnDiagonal = pseudohelixLastOnDiagonal_;
    int widest = 0;
    for (int t = 1; t <= count; ++t)
        if (stemPool[t].start > 0) widest = std::max(widest, stemPool[t].start + stemPool[t].end);
    onDiagonal.assign(static_cast<size_t>(count) + 2, 0);
    lastOnDiagonal.assign(static_cast<size_t>(widest) + 1, 0);
    bool inDiagonalOrder = true;
    for (int t = count; t >= 1; --t) {
        const stem& x = stemPool[t];
        if (x.start <= 0) continue;
        const int d = x.start + x.end;
        const int next = lastOnDiagonal[d];
        if (next != 0 && stemPool[next].start < x.start + x.length) inDiagonalOrder = false;
        onDiagonal[t] = next;
        lastOnDiagonal[d] = t;
    }
    const auto mayFollow = [&](int t, int start) {
        if (!inDiagonalOrder || stemPool[t].start <= 0) return true;
        const int next = onDiagonal[t];
        return next != 0 && stemPool[next].start == start;
    };
    for (int s = 1; s <= numOfstemsInPool; ++s) {
        // Past the table's size no further rows are recorded.
        if (rows == MAX_NUM_PSEUDOHELICES) break;
        int a = stemPool[s].start;
        int b = stemPool[s].end;
        int c = stemPool[s].length;
        if (b - a < PSEUDOHELIX_MIN_SPAN) continue;
        if (static_cast<int>(pseudoHelicesPool.size()) == rows + 1) pseudoHelicesPool.push_back(pseudohelixRow{});
        pseudohelixRow& row = pseudoHelicesPool[rows + 1];
        int members = 1;
        row[1] = s;
        for (int t = mayFollow(s, a + c) ? nextMember(s + 1, a + c, b - c) : 0; t != 0;
             t = mayFollow(t, a + c) ? nextMember(t + 1, a + c, b - c) : 0) {
            // A full row records no further members; the -1 end mark keeps the last entry.
            if (members == MAX_TRUE_STEMS_IN__PSEUDOHELCE - 1) break;
            row[++members] = t;
            const stem& next = stemPool[t];
            a = next.start;
            b = next.end;
            c = next.length;
        }
        if (members < 2) {
            row[1] = 0;
            continue;
        }
        row[members + 1] = -1;
        row[0] = members;
        ++rows;
    }
    numOfPseudoHelices = rows;
    return true;
}

void foldJob::controlPseudoHelicesPool() {
    for (int r = 1; r <= numOfPseudoHelices; ++r) pseudoHelicesPool[r][0] = 0;
}

}  // namespace korvane
