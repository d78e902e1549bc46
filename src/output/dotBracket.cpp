#include <algorithm>
#include <string>

#include "output/output.h"

namespace korvane {

bool writeDotBracket(const structure& record, const std::string& path) {
    const int n = record.nbases;
    const std::string sequence = n > 0 ? record.seqchars.substr(1, static_cast<size_t>(n)) : std::string();
    // nstructs never reaches capacity in a sound record; the bound keeps a broken one in its slots.
    const int last = std::min(record.nstructs, record.capacity - 1);
    std::string block;
    for (int k = 1; k <= last; ++k) {
        const auto partners = record.pairs(k);
        block += "> ";
        block += record.label[k];
        block += '\n';
        block += sequence;
        block += '\n';
        for (int i = 1; i <= n; ++i) {
            const int p = partners[i];
            block += p > i ? '(' : (p != 0 && p < i ? ')' : '.');
        }
        block += '\n';
    }
    return replaceFile(path, block);
}

}  // namespace korvane
