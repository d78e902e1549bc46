// Planar drawings of random nested structures: the share whose circles overlap, whose pair
// bonds cross, or whose backbone runs through a circle or crosses a bond or itself, at 500,
// 1,000 and 3,000 nt, and the time to lay out and write a 3,000-nt picture.
// Usage: layout_bench [STRUCTURES_PER_LENGTH]

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "layout/layout.h"
#include "layoutTestSupport.h"

namespace {

using korvane::layout::planarLayout;
using korvane::layout::point;
using korvane::testing::distanceToSegment;
using korvane::testing::segmentsCross;
using korvane::testing::randomNested;

constexpr int DEFAULT_STRUCTURES = 100;
constexpr int TIMED_LENGTH = 3000;
constexpr int TIMED_RUNS = 21;

// Overlapping circle pairs, found through a grid of cells one diameter wide.
long long overlaps(const planarLayout& drawn) {
    const double diameter = 2 * korvane::layout::CIRCLE_RADIUS;
    std::unordered_map<long long, std::vector<int>> cells;
    auto key = [](long long cx, long long cy) { return cx * 1'000'003LL + cy; };
    const int n = static_cast<int>(drawn.positions.size()) - 1;
    long long found = 0;
    for (int p = 1; p <= n; ++p) {
        const point a = drawn.positions[static_cast<size_t>(p)];
        const auto cx = static_cast<long long>(std::floor(a.x / diameter));
        const auto cy = static_cast<long long>(std::floor(a.y / diameter));
        for (long long dx = -1; dx <= 1; ++dx) {
            for (long long dy = -1; dy <= 1; ++dy) {
                const auto it = cells.find(key(cx + dx, cy + dy));
                if (it == cells.end()) continue;
                for (const int q : it->second) {
                    const point b = drawn.positions[static_cast<size_t>(q)];
                    found += std::hypot(a.x - b.x, a.y - b.y) < diameter;
                }
            }
        }
        cells[key(cx, cy)].push_back(p);
    }
    return found;
}


// Whether some backbone segment (p to p + 1) runs through another nucleotide's circle or crosses
// another backbone segment or a pair bond. Segments go into every grid cell their box (widened
// by a circle) touches; only segments and nucleotides sharing a cell are compared.
bool backboneFault(const planarLayout& drawn) {
    constexpr double CELL = 2.0;
    const int n = static_cast<int>(drawn.positions.size()) - 1;
    auto at = [&](int p) { return drawn.positions[static_cast<size_t>(p)]; };
    std::vector<std::pair<int, int>> segments;  // backbone first
    for (int p = 1; p < n; ++p) segments.emplace_back(p, p + 1);
    const size_t backbone = segments.size();
    for (int p = 1; p <= n; ++p)
        if (drawn.nested[static_cast<size_t>(p)] > p) segments.emplace_back(p, drawn.nested[static_cast<size_t>(p)]);
    auto cellOf = [&](double v) { return static_cast<long long>(std::floor(v / CELL)); };
    auto key = [](long long cx, long long cy) { return cx * 1'000'003LL + cy; };
    std::unordered_map<long long, std::vector<size_t>> cells;
    const double margin = korvane::layout::CIRCLE_RADIUS;
    for (size_t s = 0; s < segments.size(); ++s) {
        const point a = at(segments[s].first), b = at(segments[s].second);
        for (long long cx = cellOf(std::min(a.x, b.x) - margin); cx <= cellOf(std::max(a.x, b.x) + margin); ++cx)
            for (long long cy = cellOf(std::min(a.y, b.y) - margin); cy <= cellOf(std::max(a.y, b.y) + margin); ++cy)
                cells[key(cx, cy)].push_back(s);
    }
    for (int q = 1; q <= n; ++q) {
        const auto it = cells.find(key(cellOf(at(q).x), cellOf(at(q).y)));
        if (it == cells.end()) continue;
        for (const size_t s : it->second) {
            const auto [a, b] = segments[s];
            if (s < backbone && q != a && q != b && distanceToSegment(at(q), at(a), at(b)) < margin) return true;
        }
    }
    for (const auto& [cell, inside] : cells) {
        for (size_t u = 0; u < inside.size(); ++u) {
            for (size_t v = u + 1; v < inside.size(); ++v) {
                if (inside[u] >= backbone && inside[v] >= backbone) continue;
                const auto [a, b] = segments[inside[u]];
                const auto [c, d] = segments[inside[v]];
                if (c == a || c == b || d == a || d == b) continue;
                if (segmentsCross(at(a), at(b), at(c), at(d))) return true;
            }
        }
    }
    return false;
}

std::string lettersFor(const std::vector<int>& pairs, std::mt19937& rng) {
    std::string letters(pairs.size() - 1, 'A');
    for (size_t p = 1; p < pairs.size(); ++p) {
        const auto q = static_cast<size_t>(pairs[p]);
        if (q == 0) letters[p - 1] = "ACGU"[rng() % 4];
        if (q > p) {
            letters[p - 1] = "GCAU"[rng() % 4];
            letters[q - 1] = letters[p - 1] == 'G' ? 'C' : letters[p - 1] == 'C' ? 'G' : letters[p - 1] == 'A' ? 'U' : 'A';
        }
    }
    return letters;
}

}  // namespace

int main(int argc, char** argv) {
    const int structures = argc > 1 ? std::max(1, std::atoi(argv[1])) : DEFAULT_STRUCTURES;
    std::mt19937 rng(2026);
    std::printf("random nested structures, %d per length\n", structures);
    std::printf("%8s %22s %22s %22s %14s %14s\n", "length", "with overlapping", "with crossing bonds",
                "with backbone faults", "pairs (mean)", "aspect (mean)");
    for (const int n : {500, 1000, 3000}) {
        int overlapping = 0, crossed = 0, faulty = 0;
        double pairsSum = 0, aspectSum = 0;
        for (int s = 0; s < structures; ++s) {
            const std::vector<int> pairs = randomNested(rng, n);
            const planarLayout drawn = korvane::layout::layOutPlanar(pairs);
            overlapping += overlaps(drawn) > 0;
            crossed += !korvane::testing::crossingBonds(drawn).empty();
            faulty += backboneFault(drawn);
            double minX = 0, maxX = 0, minY = 0, maxY = 0;
            for (size_t p = 1; p < drawn.positions.size(); ++p) {
                minX = std::min(minX, drawn.positions[p].x);
                maxX = std::max(maxX, drawn.positions[p].x);
                minY = std::min(minY, drawn.positions[p].y);
                maxY = std::max(maxY, drawn.positions[p].y);
                pairsSum += pairs[p] > static_cast<int>(p);
            }
            aspectSum += (maxX - minX + 1) / (maxY - minY + 1);
        }
        std::printf("%8d %15d (%4.1f%%) %15d (%4.1f%%) %15d (%4.1f%%) %14.0f %14.2f\n", n, overlapping,
                    100.0 * overlapping / structures, crossed, 100.0 * crossed / structures, faulty,
                    100.0 * faulty / structures, pairsSum / structures, aspectSum / structures);
    }

    std::vector<double> layoutMs, totalMs;
    size_t bytes = 0;
    for (int run = 0; run < TIMED_RUNS; ++run) {
        const std::vector<int> pairs = randomNested(rng, TIMED_LENGTH);
        korvane::layout::radiateDrawing drawing;
        drawing.letters = lettersFor(pairs, rng);
        drawing.title = "random " + std::to_string(TIMED_LENGTH);
        drawing.energyText = "0.00 kcal/mol";
        const auto start = std::chrono::steady_clock::now();
        const planarLayout drawn = korvane::layout::layOutPlanar(pairs);
        const auto laidOut = std::chrono::steady_clock::now();
        const std::string svg = korvane::layout::radiateSvg(drawn, drawing);
        std::FILE* file = std::fopen("/dev/null", "wb");
        const bool written = file && std::fwrite(svg.data(), 1, svg.size(), file) == svg.size();
        if (file) std::fclose(file);
        const auto end = std::chrono::steady_clock::now();
        if (!written) return 1;
        bytes = svg.size();
        layoutMs.push_back(std::chrono::duration<double, std::milli>(laidOut - start).count());
        totalMs.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(layoutMs.begin(), layoutMs.end());
    std::sort(totalMs.begin(), totalMs.end());
    std::printf("%d nt, %d structures: layout %.2f ms median (%.2f max); layout + SVG %.2f ms median (%.2f max); "
                "%zu bytes of SVG; target <= 50 ms\n",
                TIMED_LENGTH, TIMED_RUNS, layoutMs[TIMED_RUNS / 2], layoutMs.back(), totalMs[TIMED_RUNS / 2],
                totalMs.back(), bytes);
    return 0;
}
