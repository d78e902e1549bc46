#include "evaluation.h"

#include <stdexcept>
#include <utility>

#include "energy/energy.h"
#include "fold/modelEnergy.h"
#include "rna/alphabet.h"
#include "rna/structure.h"

namespace korvane {

namespace {

constexpr int SINGLE_STRUCTURE_SLOTS = 2;
constexpr int MIN_HAIRPIN_UNPAIRED = 3;

// Every model with its name; a new evaluator is one more entry here and one more case below.
const std::vector<std::pair<std::string, scoringModel>>& models() {
    static const std::vector<std::pair<std::string, scoringModel>> all = {{"full", scoringModel::full}, {"mfe", scoringModel::mfe}};
    return all;
}

int fullModelEnergy(const paramTables& tables, const scoredStructure& s) {
    structure record(SINGLE_STRUCTURE_SLOTS);
    const int n = static_cast<int>(s.code.size()) - 1;
    record.allocateSequence(n);
    record.nbases = n;
    record.nstructs = 1;
    auto row = record.pairs(1);
    for (int p = 1; p <= n; ++p) {
        record.seqcode[p] = s.code[p];
        row[p] = s.pairs[p];
    }
    structureEnergy(tables, record, 1);
    return record.energy[1];
}

fold::modelEvaluation exactEvaluation(const paramTables& tables, const scoredStructure& s) {
    const int n = static_cast<int>(s.code.size()) - 1;
    const fold::energyModel model(tables, s.code, n);
    return fold::evaluateStructure(model, s.pairs);
}

bool isCanonicalPair(int a, int b) {
    const int low = a < b ? a : b;
    const int high = a < b ? b : a;
    // A-U, C-G and G-U in code order; unknown letters and linkers pair with nothing.
    return (low == CODE_A && high == CODE_U) || (low == CODE_C && high == CODE_G) || (low == CODE_G && high == CODE_U);
}

}  // namespace

std::vector<std::string> energyModelNames() {
    std::vector<std::string> names;
    for (const auto& [name, model] : models()) names.push_back(name);
    return names;
}

scoringModel energyModelNamed(const std::string& name) {
    std::string known;
    for (const auto& [modelName, model] : models()) {
        if (modelName == name) return model;
        known += (known.empty() ? "" : ", ") + modelName;
    }
    throw std::invalid_argument("unknown energy model '" + name + "' (known: " + known + ")");
}

std::string impossibility(const scoredStructure& s) {
    static constexpr char LETTERS[] = "NACGU";
    const int n = static_cast<int>(s.code.size()) - 1;
    for (int i = 1; i <= n; ++i) {
        const int j = s.pairs[i];
        if (j <= i) continue;
        const auto letter = [&](int p) {
            const int c = s.code[p];
            return c >= CODE_UNKNOWN && c <= CODE_U ? LETTERS[c] : '?';
        };
        const std::string pair = "pair " + std::to_string(i) + "-" + std::to_string(j) + " (" + letter(i) + "-" +
                                 letter(j) + ")";
        if (!isCanonicalPair(s.code[i], s.code[j])) return pair + " is not a canonical pair (A-U, C-G, G-U)";
        bool hairpin = true;
        for (int p = i + 1; p < j && hairpin; ++p) hairpin = s.pairs[p] == 0;
        if (hairpin && j - i - 1 < MIN_HAIRPIN_UNPAIRED) {
            return pair + " closes a hairpin of fewer than three unpaired nucleotides";
        }
    }
    return "";
}

std::string modelFault(scoringModel model, const paramTables& tables, const scoredStructure& s) {
    if (std::string why = impossibility(s); !why.empty() || model == scoringModel::full) return why;
    return exactEvaluation(tables, s).fault;
}

int evaluateStructure(scoringModel model, const paramTables& tables, const scoredStructure& s) {
    switch (model) {
        case scoringModel::full: return fullModelEnergy(tables, s);
        case scoringModel::mfe: return exactEvaluation(tables, s).energy;
    }
    throw std::logic_error("an energy model without an evaluator");
}

}  // namespace korvane
