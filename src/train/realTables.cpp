#include "train/realTables.h"

#include <type_traits>

namespace korvane::train {

namespace {

template <typename To, typename From>
void copyCells(To& to, const From& from) {
    if constexpr (std::is_arithmetic_v<From>) {
        to = static_cast<To>(from);
    } else {
        for (size_t k = 0; k < from.size(); ++k) copyCells(to[k], from[k]);
    }
}

}  // namespace

std::unique_ptr<realTables> realCopy(const paramTables& t) {
    auto r = std::make_unique<realTables>();
    copyCells(r->asymmetryPenalty, t.asymmetryPenalty);
    r->asymmetryMax = t.asymmetryMax;
    copyCells(r->loopConst, t.loopConst);
    copyCells(r->dangle, t.dangle);
    copyCells(r->internalLoop, t.internalLoop);
    copyCells(r->bulgeLoop, t.bulgeLoop);
    copyCells(r->hairpinLoop, t.hairpinLoop);
    copyCells(r->stack, t.stack);
    copyCells(r->tstackh, t.tstackh);
    copyCells(r->tstacki, t.tstacki);
    copyCells(r->tloop, t.tloop);
    r->tloopCount = t.tloopCount;
    copyCells(r->int22, t.int22);
    copyCells(r->int21, t.int21);
    copyCells(r->int11, t.int11);
    r->terminalAuPenalty = t.terminalAuPenalty;
    r->gggHairpinBonus = t.gggHairpinBonus;
    r->polyCIntercept = t.polyCIntercept;
    r->polyCSlope = t.polyCSlope;
    r->polyC3 = t.polyC3;
    copyCells(r->triloop, t.triloop);
    r->triloopCount = t.triloopCount;
    copyCells(r->tstacki23, t.tstacki23);
    copyCells(r->tstacki1n, t.tstacki1n);
    copyCells(r->hexaloop, t.hexaloop);
    r->hexaloopCount = t.hexaloopCount;
    r->rtKcal = t.rtKcal;
    r->loopExtrapolation = t.loopExtrapolation;
    return r;
}

}  // namespace korvane::train
