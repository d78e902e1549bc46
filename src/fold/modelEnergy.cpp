#include "fold/modelEnergy.h"

#include <vector>

namespace korvane::fold {

namespace {

std::string pairName(int i, int j) { return std::to_string(i) + "-" + std::to_string(j); }

modelEvaluation refuse(std::string why) { return {0, false, std::move(why)}; }

// Partner table consistent, nested, every pair formable; empty when so.
std::string structureFault(const energyModel& model, std::span<const int> pairs) {
    const int n = model.n;
    if (static_cast<int>(pairs.size()) < n + 1) return "the pair table is shorter than the sequence";
    std::vector<int> open;
    for (int p = 1; p <= n; ++p) {
        const int q = pairs[p];
        if (q == 0) continue;
        if (q < 1 || q > n || q == p || pairs[q] != p) return "position " + std::to_string(p) + " has no consistent partner";
        if (q > p) {
            if (!codesPair(model.code[p], model.code[q])) return "pair " + pairName(p, q) + " is not A-U, C-G or G-U";
            if (q - p <= MIN_HAIRPIN) return "pair " + pairName(p, q) + " closes a hairpin of fewer than three";
            open.push_back(p);
        } else {
            if (open.empty() || open.back() != q) return "pair " + pairName(q, p) + " crosses another";
            open.pop_back();
        }
    }
    return {};
}

}  // namespace

modelEvaluation evaluateStructure(const energyModel& model, std::span<const int> pairs) {
    if (std::string fault = structureFault(model, pairs); !fault.empty()) return refuse(std::move(fault));
    long long total = 0;
    std::string refused;
    forEachLoopTerm(model, pairs, [&](int term, int i, int j) {
        if (term >= INFINITE && refused.empty())
            refused = "the loop closed by " + pairName(i, j) + " cannot form in this model";
        total += term;
    });
    if (!refused.empty()) return refuse(std::move(refused));
    return {static_cast<int>(total), true, {}};
}

}  // namespace korvane::fold
