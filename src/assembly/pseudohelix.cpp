#include "assembly/detail/foldJob.h"

namespace korvane {

bool foldJob::findPseudolelices() {
    // Rows come into being as they are filled (row 0 carries nothing); the table keeps its
    // room from pass to pass.
    pseudoHelicesPool.assign(1, pseudohelixRow{});
    int rows = 0;
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
        for (int t = s + 1; t <= numOfstemsInPool; ++t) {
            const stem& next = stemPool[t];
            if (next.start > a + c) break;
            if (next.start != a + c || next.end != b - c) continue;
            // A full row records no further members; the -1 end mark keeps the last entry.
            if (members == MAX_TRUE_STEMS_IN__PSEUDOHELCE - 1) break;
            row[++members] = t;
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
