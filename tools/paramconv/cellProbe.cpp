// Loads a parameter set with korvane's reader and answers cell queries on standard input,
// one per line ("int22 1 2 3 4 1 2 3 4", "tloop 3 0", "terminalAuPenalty"), so the
// converter's tests can check where each written value lands.

#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "thermo/parameterReader.h"
#include "thermo/thermoLoader.h"

using namespace korvane;

namespace {

template <typename G>
bool lookup(const G& grid, const std::vector<int>& index, size_t depth, long long& value) {
    if constexpr (std::is_same_v<G, int>) {
        value = grid;
        return depth == index.size();
    } else {
        if (depth >= index.size() || index[depth] < 0 || index[depth] >= static_cast<int>(grid.size())) return false;
        return lookup(grid[index[depth]], index, depth + 1, value);
    }
}

template <typename Field>
struct namedField {
    std::string_view name;
    Field paramTables::*field;
};

template <typename... Fields>
bool lookupByName(const paramTables& t, const std::string& name, const std::vector<int>& index, long long& value,
                  const Fields&... fields) {
    bool ok = false;
    ((name == fields.name && (ok = lookup(t.*(fields.field), index, 0, value), true)) || ...);
    return ok;
}

bool answer(const paramTables& t, const std::string& name, const std::vector<int>& index, std::ostream& out) {
    if (name == "loopExtrapolation" && index.empty()) {
        out << t.loopExtrapolation << '\n';
        return true;
    }
    using p = paramTables;
    long long value = 0;
    bool ok = lookupByName(
        t, name, index, value, namedField{"asymmetryPenalty", &p::asymmetryPenalty},
        namedField{"asymmetryMax", &p::asymmetryMax}, namedField{"loopConst", &p::loopConst},
        namedField{"dangle", &p::dangle}, namedField{"internalLoop", &p::internalLoop},
        namedField{"bulgeLoop", &p::bulgeLoop}, namedField{"hairpinLoop", &p::hairpinLoop},
        namedField{"stack", &p::stack}, namedField{"tstackh", &p::tstackh}, namedField{"tstacki", &p::tstacki},
        namedField{"tloop", &p::tloop}, namedField{"tloopCount", &p::tloopCount}, namedField{"int22", &p::int22},
        namedField{"int21", &p::int21}, namedField{"int11", &p::int11}, namedField{"coaxial", &p::coaxial},
        namedField{"tstackcoax", &p::tstackcoax}, namedField{"coaxstack", &p::coaxstack},
        namedField{"tstack", &p::tstack}, namedField{"tstackm", &p::tstackm},
        namedField{"terminalAuPenalty", &p::terminalAuPenalty}, namedField{"gggHairpinBonus", &p::gggHairpinBonus},
        namedField{"polyCIntercept", &p::polyCIntercept}, namedField{"polyCSlope", &p::polyCSlope},
        namedField{"polyC3", &p::polyC3}, namedField{"mbEvalOffset", &p::mbEvalOffset},
        namedField{"mbEvalPerUnpaired", &p::mbEvalPerUnpaired}, namedField{"mbEvalPerHelix", &p::mbEvalPerHelix},
        namedField{"triloop", &p::triloop}, namedField{"triloopCount", &p::triloopCount},
        namedField{"intermolecularInit", &p::intermolecularInit}, namedField{"miscSixth", &p::miscSixth},
        namedField{"miscSeventh", &p::miscSeventh}, namedField{"hexaloopCount", &p::hexaloopCount},
        namedField{"singleCBulgeBonus", &p::singleCBulgeBonus}, namedField{"tstacki23", &p::tstacki23},
        namedField{"tstacki1n", &p::tstacki1n}, namedField{"hexaloop", &p::hexaloop});
    if (!ok) return false;
    out << value << '\n';
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::string(argv[2]) != "dat" && std::string(argv[2]) != "dh")) {
        std::cerr << "usage: paramconv_probe FOLDER dat|dh < queries\n";
        return 2;
    }
    parameterPaths paths;
    buildParameterPaths(paths, std::string(argv[1]) + "/", true, std::string(argv[2]) == "dh");
    auto tables = makeParamTables();
    if (readParameterFiles(paths, *tables) != 1) {
        std::cerr << "paramconv_probe: cannot read the parameter files in " << argv[1] << '\n';
        return 1;
    }
    std::cout.precision(9);
    std::string line;
    int lineNumber = 0;
    while (std::getline(std::cin, line)) {
        ++lineNumber;
        std::istringstream words(line);
        std::string name;
        words >> name;
        std::vector<int> index;
        for (int i; words >> i;) index.push_back(i);
        if (!answer(*tables, name, index, std::cout)) {
            std::cerr << "paramconv_probe: query line " << lineNumber << ": no cell '" << line << "'\n";
            return 1;
        }
    }
    return 0;
}
