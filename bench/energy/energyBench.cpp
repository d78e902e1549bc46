// Throughput of structureEnergy on long random nested structures with the shipped parameters.
//   energy_bench [DAT_DIR]
// Prints, per length, microseconds per evaluation, nucleotides per second and heap allocations
// per evaluation once the working storage is warm.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "energy/energy.h"
#include "thermo/thermoLoader.h"

namespace {
std::atomic<long long> allocations{0};
}

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

constexpr int MIN_STEM = 3;
constexpr int MAX_STEM = 8;
constexpr int MIN_HAIRPIN = 3;
constexpr int MAX_SPAN_INSIDE = 300;
constexpr double SECONDS_PER_LENGTH = 1.0;

// Stems of 3..8 canonical pairs closing random regions, recursively: hairpins, bulges, internal,
// multibranch and exterior loops of every size.
void fillRegion(std::vector<int>& code, std::vector<int>& pairs, int lo, int hi, std::mt19937& rng) {
    static constexpr int PAIRS[6][2] = {{1, 4}, {4, 1}, {2, 3}, {3, 2}, {3, 4}, {4, 3}};
    int p = lo;
    while (p <= hi) {
        const int remaining = hi - p + 1;
        const int stem = MIN_STEM + static_cast<int>(rng() % (MAX_STEM - MIN_STEM + 1));
        if (remaining >= 2 * stem + MIN_HAIRPIN && rng() % 3 == 0) {
            const int room = std::min(remaining - 2 * stem, MAX_SPAN_INSIDE);
            const int inside = MIN_HAIRPIN + static_cast<int>(rng() % (room - MIN_HAIRPIN + 1));
            const int last = p + 2 * stem + inside - 1;
            for (int k = 0; k < stem; ++k) {
                const auto& pair = PAIRS[rng() % 6];
                code[p + k] = pair[0];
                code[last - k] = pair[1];
                pairs[p + k] = last - k;
                pairs[last - k] = p + k;
            }
            fillRegion(code, pairs, p + stem, last - stem, rng);
            p = last + 1;
        } else {
            code[p] = 1 + static_cast<int>(rng() % 4);
            ++p;
        }
    }
}

void measure(const korvane::paramTables& tables, int n, std::mt19937& rng) {
    korvane::structure record(2);
    record.allocateSequence(n);
    record.nbases = n;
    record.nstructs = 1;
    std::vector<int> code(n + 1, 0), pairs(n + 1, 0);
    fillRegion(code, pairs, 1, n, rng);
    auto row = record.pairs(1);
    int pairCount = 0;
    for (int p = 1; p <= n; ++p) {
        record.seqcode[p] = code[p];
        row[p] = pairs[p];
        pairCount += pairs[p] > p;
    }
    korvane::structureEnergy(tables, record, 1);  // warm the working storage
    const long long allocationsBefore = allocations.load();
    const auto start = std::chrono::steady_clock::now();
    long long calls = 0;
    double seconds = 0;
    do {
        for (int r = 0; r < 16; ++r) korvane::structureEnergy(tables, record, 1);
        calls += 16;
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    } while (seconds < SECONDS_PER_LENGTH);
    const long long allocated = allocations.load() - allocationsBefore;
    std::printf("N=%6d pairs=%5d energy=%8.1f  %10.2f us/eval  %8.1f Mnt/s  %.2f allocations/eval\n", n, pairCount,
                record.energy[1] / 10.0, seconds / calls * 1e6, n * calls / seconds / 1e6,
                static_cast<double>(allocated) / calls);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dat = argc > 1 ? argv[1] : std::string(KORVANE_SOURCE_DIR) + "/dat";
    korvane::thermoLoader loader(true);
    if (loader.loadTables(dat.c_str()) != korvane::LOAD_SUCCEEDED) {
        std::fprintf(stderr, "energy_bench: cannot load %s\n", dat.c_str());
        return 1;
    }
    std::mt19937 rng(12345);
    for (int n : {500, 2000, 10000, 100000}) measure(*loader.tables(), n, rng);
    return 0;
}
