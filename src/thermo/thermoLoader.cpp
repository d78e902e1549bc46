#include "thermo/thermoLoader.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace korvane {

namespace {

constexpr const char* DEFAULT_DIRECTORY = "./dat";
constexpr float STANDARD_TEMPERATURE_SINGLE = 310.15f;

template <typename G>
void adjustGrid(double T, const G& g37, const G& h, G& out) {
    if constexpr (std::is_same_v<G, int>) {
        out = adjustValue(T, g37, h);
    } else {
        for (size_t i = 0; i < g37.size(); ++i) adjustGrid(T, g37[i], h[i], out[i]);
    }
}

void adjustSpecial(double T, const specialHairpins& g37, const specialHairpins& h, int count,
                   specialHairpins& out) {
    // entries pair up by position, so the enthalpy list must hold the same sequences in order
    count = std::clamp(count, 0, MAX_SPECIAL_HAIRPINS);
    for (int n = 1; n <= count; ++n) out[n][1] = adjustValue(T, g37[n][1], h[n][1]);
}

}  // namespace

thermoLoader::thermoLoader(bool isRna, double temperature) : isRna(isRna), temperature(temperature) {}

int thermoLoader::loadTables(const char* directory) {
    // Tables handed out through releaseTables() are gone, so a reload then starts afresh.
    if (!loaded || !tables_) {
        tables_ = makeParamTables();
    } else {
        tables_->rtKcal = RT_KCAL_37;  // not in the files; a reload must not compound the scaling
    }
    const std::string base = std::string(directory ? directory : DEFAULT_DIRECTORY) + "/";
    parameterPaths paths;
    buildParameterPaths(paths, base, isRna, false);
    if (readParameterFiles(paths, *tables_) == 0) {
        tables_.reset();
        loaded = false;
        return LOAD_FAILED;
    }
    if (temperature < STANDARD_TEMPERATURE - TEMPERATURE_TOLERANCE ||
        temperature > STANDARD_TEMPERATURE + TEMPERATURE_TOLERANCE) {
        buildParameterPaths(paths, base, isRna, true);
        std::unique_ptr<paramTables> enthalpy = makeParamTables();
        if (readParameterFiles(paths, *enthalpy) == 0) return LOAD_FAILED;
        adjustToTemperature(static_cast<float>(temperature), *tables_, *enthalpy, *tables_);
    }
    loaded = true;
    return LOAD_SUCCEEDED;
}

void buildParameterPaths(parameterPaths& paths, const std::string& directory, bool isRna, bool enthalpy) {
    for (int k = 0; k < PARAMETER_FILE_COUNT; ++k) {
        paths[k] = directory;
        if (!isRna) paths[k] += "dna";
        paths[k] += PARAMETER_FILE_NAMES[k];
        paths[k] += enthalpy ? ".dh" : ".dat";
    }
}

int adjustValue(double T, int g37, int h) {
    if (g37 == INFINITE) return INFINITE;
    const double entropyTerm = (static_cast<double>(h) - g37) * T / STANDARD_TEMPERATURE;
    return static_cast<int>(h - std::floor(entropyTerm + 0.5));
}

void adjustToTemperature(float T, const paramTables& g, const paramTables& h, paramTables& out) {
    const double t = T;
    for (int k = 1; k <= 4; ++k) out.asymmetryPenalty[k] = adjustValue(t, g.asymmetryPenalty[k], h.asymmetryPenalty[k]);
    out.asymmetryMax = adjustValue(t, g.asymmetryMax, h.asymmetryMax);
    for (int k : {1, 2, 3, 4, 5, 6, 10}) out.loopConst[k] = adjustValue(t, g.loopConst[k], h.loopConst[k]);
    for (int n = 1; n <= MAX_LOOP_TABLE; ++n) {
        out.internalLoop[n] = adjustValue(t, g.internalLoop[n], h.internalLoop[n]);
        out.bulgeLoop[n] = adjustValue(t, g.bulgeLoop[n], h.bulgeLoop[n]);
        out.hairpinLoop[n] = adjustValue(t, g.hairpinLoop[n], h.hairpinLoop[n]);
    }
    constexpr std::array scalars = {
        &paramTables::terminalAuPenalty, &paramTables::gggHairpinBonus,   &paramTables::polyCIntercept,
        &paramTables::polyCSlope,        &paramTables::polyC3,            &paramTables::mbEvalOffset,
        &paramTables::mbEvalPerUnpaired, &paramTables::mbEvalPerHelix,    &paramTables::intermolecularInit,
        &paramTables::miscSixth,         &paramTables::miscSeventh,       &paramTables::singleCBulgeBonus};
    for (auto field : scalars) out.*field = adjustValue(t, g.*field, h.*field);
    adjustSpecial(t, g.tloop, h.tloop, g.tloopCount, out.tloop);
    adjustSpecial(t, g.triloop, h.triloop, g.triloopCount, out.triloop);
    adjustSpecial(t, g.hexaloop, h.hexaloop, g.hexaloopCount, out.hexaloop);
    constexpr std::array grids4 = {&paramTables::stack,     &paramTables::tstackh,    &paramTables::tstacki,
                                   &paramTables::tstacki23, &paramTables::tstacki1n,  &paramTables::tstack,
                                   &paramTables::tstackm,   &paramTables::coaxial,    &paramTables::tstackcoax,
                                   &paramTables::coaxstack};
    for (auto field : grids4) adjustGrid(t, g.*field, h.*field, out.*field);
    adjustGrid(t, g.int11, h.int11, out.int11);
    adjustGrid(t, g.int21, h.int21, out.int21);
    adjustGrid(t, g.int22, h.int22, out.int22);
    for (int a = 0; a < CODES; ++a)
        for (int b = 0; b < CODES; ++b)
            for (int c = 0; c < CODES; ++c)
                for (int side = 1; side <= 2; ++side)
                    out.dangle[a][b][c][side] = adjustValue(t, g.dangle[a][b][c][side], h.dangle[a][b][c][side]);
    out.loopExtrapolation = g.loopExtrapolation * T / STANDARD_TEMPERATURE_SINGLE;
    out.rtKcal = g.rtKcal * T / STANDARD_TEMPERATURE_SINGLE;
}

}  // namespace korvane
