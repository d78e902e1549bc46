#pragma once
// The cells the exact model reads, as real numbers (tenths of kcal/mol), under paramTables'
// names, so that the loop-term templates score with unrounded parameters while training.

#include <array>
#include <memory>

#include "thermo/paramTables.h"

namespace korvane::train {

template <int D>
using realGrid = codeGrid<D, double>;

using realSpecialHairpins = std::array<std::array<double, 2>, MAX_SPECIAL_HAIRPINS + 1>;

struct realTables {
    std::array<double, 5> asymmetryPenalty{};
    double asymmetryMax = 0;
    std::array<double, 11> loopConst{};
    std::array<std::array<std::array<std::array<double, 3>, CODES>, CODES>, CODES> dangle{};
    std::array<double, MAX_LOOP_TABLE + 1> internalLoop{};
    std::array<double, MAX_LOOP_TABLE + 1> bulgeLoop{};
    std::array<double, MAX_LOOP_TABLE + 1> hairpinLoop{};
    realGrid<4> stack{};
    realGrid<4> tstackh{};
    realGrid<4> tstacki{};
    realSpecialHairpins tloop{};
    int tloopCount = 0;
    realGrid<8> int22{};
    realGrid<7> int21{};
    realGrid<6> int11{};
    double terminalAuPenalty = 0;
    double gggHairpinBonus = 0;
    double polyCIntercept = 0;
    double polyCSlope = 0;
    double polyC3 = 0;
    realSpecialHairpins triloop{};
    int triloopCount = 0;
    realGrid<4> tstacki23{};
    realGrid<4> tstacki1n{};
    realSpecialHairpins hexaloop{};
    int hexaloopCount = 0;
    float rtKcal = RT_KCAL_37;
    float loopExtrapolation = 0.0f;
};

// A real-valued copy of tables (about 14 MB: keep it on the heap).
std::unique_ptr<realTables> realCopy(const paramTables& tables);

}  // namespace korvane::train
