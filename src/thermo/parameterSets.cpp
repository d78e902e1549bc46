#include "thermo/parameterSets.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "thermo/embeddedParameters.h"
#include "thermo/parameterReader.h"
#include "thermo/thermoLoader.h"

namespace korvane {

namespace {

constexpr double KELVIN_AT_ZERO_CELSIUS = 273.15;
// Beyond these the enthalpy extrapolation is meaningless for RNA in water.
constexpr double LOWEST_CELSIUS = -50.0;
constexpr double HIGHEST_CELSIUS = 150.0;
constexpr const char* LEARNED_SET = "learned";
constexpr const char* PUBLISHED_EXACT_SET = "turner2004";

const detail::embeddedParameterSet* findBuiltin(const std::string& name) {
    for (int s = 0; s < detail::EMBEDDED_PARAMETER_SET_COUNT; ++s)
        if (name == detail::EMBEDDED_PARAMETER_SETS[s].name) return &detail::EMBEDDED_PARAMETER_SETS[s];
    return nullptr;
}

// Texts and message names of one half (free energies or enthalpies) of a built-in set; false
// when that half is absent.
bool builtinTexts(const detail::embeddedParameterSet& set, bool enthalpy, parameterTexts& texts,
                  parameterPaths& names) {
    buildParameterPaths(names, std::string(set.name) + "/", true, enthalpy);
    for (int k = 0; k < PARAMETER_FILE_COUNT; ++k) {
        const detail::embeddedFile& file = set.files[(enthalpy ? PARAMETER_FILE_COUNT : 0) + k];
        if (file.data == nullptr) return false;
        texts[k].assign(reinterpret_cast<const char*>(file.data), file.size);
    }
    return true;
}

std::string knownSets() {
    std::string list;
    for (const std::string& name : builtinParameterSets()) list += (list.empty() ? "" : ", ") + name;
    return list;
}

}  // namespace

std::string defaultParameterSet(bool exactModel, double celsius) {
    if (!exactModel) return DEFAULT_PARAMETER_SET;
    const bool at37 = std::abs(celsius + KELVIN_AT_ZERO_CELSIUS - STANDARD_TEMPERATURE) < TEMPERATURE_TOLERANCE;
    return at37 && findBuiltin(LEARNED_SET) != nullptr ? LEARNED_SET : PUBLISHED_EXACT_SET;
}

std::vector<std::string> builtinParameterSets() {
    std::vector<std::string> names;
    for (int s = 0; s < detail::EMBEDDED_PARAMETER_SET_COUNT; ++s) names.emplace_back(detail::EMBEDDED_PARAMETER_SETS[s].name);
    return names;
}

std::unique_ptr<paramTables> loadParameterSet(const std::string& nameOrFolder, double celsius) {
    if (!std::isfinite(celsius) || celsius < LOWEST_CELSIUS || celsius > HIGHEST_CELSIUS)
        throw parameterError("the temperature must lie between -50 and 150 C");
    const double kelvin = celsius + KELVIN_AT_ZERO_CELSIUS;
    const bool adjust = std::abs(kelvin - STANDARD_TEMPERATURE) >= TEMPERATURE_TOLERANCE;

    if (const detail::embeddedParameterSet* set = findBuiltin(nameOrFolder)) {
        parameterTexts texts;
        parameterPaths names;
        builtinTexts(*set, false, texts, names);
        auto tables = makeParamTables();
        if (readParameterTexts(texts, names, *tables) == 0)
            throw parameterError("the built-in parameter set " + nameOrFolder + " does not load");
        if (adjust) {
            if (!builtinTexts(*set, true, texts, names))
                throw parameterError("the parameter set " + nameOrFolder +
                                     " is defined at 37 C only: it has no enthalpies to take it to another temperature");
            auto enthalpy = makeParamTables();
            if (readParameterTexts(texts, names, *enthalpy) == 0)
                throw parameterError("the enthalpies of the built-in set " + nameOrFolder + " do not load");
            adjustToTemperature(static_cast<float>(kelvin), *tables, *enthalpy, *tables);
        }
        return tables;
    }

    std::error_code error;
    if (!std::filesystem::is_directory(nameOrFolder, error))
        throw parameterError("no parameter set or folder named '" + nameOrFolder + "' (built in: " + knownSets() + ")");
    thermoLoader loader(true, kelvin);
    if (loader.loadTables(nameOrFolder.c_str()) != LOAD_SUCCEEDED || !loader.loaded)
        throw parameterError("the parameter folder " + nameOrFolder + " does not load" +
                             (adjust ? " (its .dat and .dh files are needed)" : ""));
    return loader.releaseTables();
}

parameterTexts parameterSetTexts(const std::string& nameOrFolder, bool enthalpy) {
    parameterTexts texts;
    parameterPaths names;
    if (const detail::embeddedParameterSet* set = findBuiltin(nameOrFolder)) {
        if (!builtinTexts(*set, enthalpy, texts, names))
            throw parameterError("the parameter set " + nameOrFolder + " has no " + (enthalpy ? "enthalpies" : "free energies"));
        return texts;
    }
    buildParameterPaths(names, nameOrFolder + "/", true, enthalpy);
    for (int k = 0; k < PARAMETER_FILE_COUNT; ++k) {
        std::ifstream in(names[k], std::ios::binary);
        if (!in) throw parameterError("cannot read " + names[k]);
        std::ostringstream all;
        all << in.rdbuf();
        texts[k] = all.str();
    }
    return texts;
}

}  // namespace korvane
