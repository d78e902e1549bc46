// Time to load a parameter folder with thermoLoader, as the driver does once per run.
//   loadparams_bench [DAT_DIR] [REPEATS]
// Prints the best and median milliseconds per load at 37 C (the nineteen .dat files) and at
// 25 C (also the nineteen .dh files and the adjustment of every cell).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "thermo/thermoLoader.h"

namespace {

constexpr int DEFAULT_REPEATS = 50;
constexpr double ROOM_TEMPERATURE = 298.15;

struct timing {
    double bestMs;
    double medianMs;
};

// Returns false when a load fails.
bool timeLoads(const std::string& folder, double temperature, int repeats, timing& result) {
    std::vector<double> ms;
    for (int k = 0; k < repeats; ++k) {
        korvane::thermoLoader loader(true, temperature);
        const auto start = std::chrono::steady_clock::now();
        const int code = loader.loadTables(folder.c_str());
        const auto stop = std::chrono::steady_clock::now();
        if (code != korvane::LOAD_SUCCEEDED) return false;
        ms.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
    }
    std::sort(ms.begin(), ms.end());
    result = {ms.front(), ms[ms.size() / 2]};
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : KORVANE_SOURCE_DIR "/dat";
    const int repeats = argc > 2 ? std::atoi(argv[2]) : DEFAULT_REPEATS;
    if (repeats < 1) {
        std::fprintf(stderr, "loadparams_bench: REPEATS must be a positive number\n");
        return 2;
    }
    std::printf("parameter folder: %s, %d loads each\n", folder.c_str(), repeats);
    for (double temperature : {korvane::STANDARD_TEMPERATURE, ROOM_TEMPERATURE}) {
        timing t{};
        if (!timeLoads(folder, temperature, repeats, t)) {
            std::fprintf(stderr, "loadparams_bench: loading %s at %.2f K failed\n", folder.c_str(), temperature);
            return 1;
        }
        std::printf("%-28s best %7.2f ms   median %7.2f ms\n",
                    temperature == korvane::STANDARD_TEMPERATURE ? "37 C (.dat only)" : "25 C (.dat, .dh, adjust)",
                    t.bestMs, t.medianMs);
    }
    return 0;
}
