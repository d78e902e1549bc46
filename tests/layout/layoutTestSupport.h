#pragma once
// Structures to lay out and independent checks of a planar layout's geometry.

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "layout/layout.h"

namespace korvane::testing {

// Yeast tRNA-Phe as korvane-fold's greedy fold draws it: a cloverleaf with a four-way junction.
inline const std::string TRNA_LETTERS = "GCGGAUUUAGCUCAGUUGGGAGAGCGCCAGACUGAAGAUCUGGAGGUCCUGUGUUCGAUCCACAGAAUUCGCACCA";
inline const std::string TRNA_BRACKETS = "(((((((..((((........)))).(((((.......))))).....(((((.......))))))))))))....";
// 5S rRNA-like: helix I closing a three-way junction with the II-III and IV-V arms.
// The same tRNA as korvane-fold's mea fold draws it: the 20-nt hairpin's arm stands next to the
// exterior line, where the line to the 3' tail once ran through its ring.
inline const std::string TRNA_MEA_BRACKETS = "((((((.....(((((..((......))..)))))...((((....................))))))))))....";
inline const std::string FIVE_S_BRACKETS =
    "((((((((((.......((((((....((((((............))))))......)))))).....(((((((.....(((((((....)))))))....))))))).."
    ")))))))))).";

// Partner table of a dot-bracket text with nested () and crossing [] pairs.
inline std::vector<int> partnersOf(const std::string& brackets) {
    std::vector<int> pairs(brackets.size() + 1, 0);
    std::vector<int> round, square;
    for (int p = 1; p <= static_cast<int>(brackets.size()); ++p) {
        const char c = brackets[static_cast<size_t>(p - 1)];
        std::vector<int>* stack = c == '(' || c == ')' ? &round : c == '[' || c == ']' ? &square : nullptr;
        if (!stack) continue;
        if (c == '(' || c == '[') {
            stack->push_back(p);
        } else if (!stack->empty()) {
            pairs[static_cast<size_t>(p)] = stack->back();
            pairs[static_cast<size_t>(stack->back())] = p;
            stack->pop_back();
        }
    }
    return pairs;
}

// A random nested structure of n nucleotides: helices of 2 to 8 pairs, hairpins of at least 3,
// bulges, interior and multibranch loops, unpaired stretches.
inline std::vector<int> randomNested(std::mt19937& rng, int n) {
    std::vector<int> pairs(static_cast<size_t>(n) + 1, 0);
    std::vector<std::pair<int, int>> spans{{1, n}};
    auto chance = [&](int percent) { return static_cast<int>(rng() % 100) < percent; };
    while (!spans.empty()) {
        auto [lo, hi] = spans.back();
        spans.pop_back();
        for (int p = lo; p <= hi;) {
            const int room = hi - p + 1;
            const int stem = 2 + static_cast<int>(rng() % 7);
            if (room < 2 * stem + 3 || chance(35)) {
                ++p;
                continue;
            }
            const int inner = 3 + static_cast<int>(rng() % static_cast<unsigned>(room - 2 * stem - 2));
            const int q = p + 2 * stem + inner - 1;
            for (int s = 0; s < stem; ++s) {
                pairs[static_cast<size_t>(p + s)] = q - s;
                pairs[static_cast<size_t>(q - s)] = p + s;
            }
            spans.emplace_back(p + stem, q - stem);
            p = q + 1;
        }
    }
    return pairs;
}

// Letters that can form the pairs (G-U now and then), random elsewhere.
inline std::string lettersFor(const std::vector<int>& pairs, std::mt19937& rng) {
    std::string letters(pairs.size() - 1, 'A');
    const std::string pairings[] = {"GC", "CG", "AU", "UA", "GU", "UG"};
    for (size_t p = 1; p < pairs.size(); ++p) {
        const auto q = static_cast<size_t>(pairs[p]);
        if (q == 0) {
            letters[p - 1] = "ACGU"[rng() % 4];
        } else if (q > p) {
            const std::string& chosen = pairings[rng() % 6];
            letters[p - 1] = chosen[0];
            letters[q - 1] = chosen[1];
        }
    }
    return letters;
}

inline double distance(layout::point a, layout::point b) { return std::hypot(a.x - b.x, a.y - b.y); }

// Pairs of nucleotides whose drawn circles overlap.
inline std::vector<std::pair<int, int>> overlappingCircles(const layout::planarLayout& drawn) {
    std::vector<std::pair<int, int>> found;
    const int n = static_cast<int>(drawn.positions.size()) - 1;
    for (int p = 1; p <= n; ++p) {
        for (int q = p + 1; q <= n; ++q) {
            if (distance(drawn.positions[static_cast<size_t>(p)], drawn.positions[static_cast<size_t>(q)]) <
                2 * layout::CIRCLE_RADIUS)
                found.emplace_back(p, q);
        }
    }
    return found;
}

inline bool segmentsCross(layout::point a, layout::point b, layout::point c, layout::point d) {
    auto side = [](layout::point o, layout::point u, layout::point v) {
        return (u.x - o.x) * (v.y - o.y) - (u.y - o.y) * (v.x - o.x);
    };
    const double s1 = side(a, b, c), s2 = side(a, b, d), s3 = side(c, d, a), s4 = side(c, d, b);
    return ((s1 > 0 && s2 < 0) || (s1 < 0 && s2 > 0)) && ((s3 > 0 && s4 < 0) || (s3 < 0 && s4 > 0));
}

// Pairs (by 5' position) of nested pair bonds that cross each other in the drawing.
inline std::vector<std::pair<int, int>> crossingBonds(const layout::planarLayout& drawn) {
    std::vector<int> starts;
    for (int p = 1; p < static_cast<int>(drawn.nested.size()); ++p)
        if (drawn.nested[static_cast<size_t>(p)] > p) starts.push_back(p);
    std::vector<std::pair<int, int>> found;
    auto at = [&](int p) { return drawn.positions[static_cast<size_t>(p)]; };
    for (size_t a = 0; a < starts.size(); ++a) {
        for (size_t b = a + 1; b < starts.size(); ++b) {
            const int i = starts[a], k = starts[b];
            if (segmentsCross(at(i), at(drawn.nested[static_cast<size_t>(i)]), at(k), at(drawn.nested[static_cast<size_t>(k)])))
                found.emplace_back(i, k);
        }
    }
    return found;
}

// Distance from c to the segment a-b.
inline double distanceToSegment(layout::point c, layout::point a, layout::point b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double length2 = dx * dx + dy * dy;
    const double t = length2 > 0 ? std::clamp(((c.x - a.x) * dx + (c.y - a.y) * dy) / length2, 0.0, 1.0) : 0.0;
    return std::hypot(c.x - (a.x + t * dx), c.y - (a.y + t * dy));
}

// Faults of the backbone (the segments p to p + 1): a segment through another nucleotide's
// circle, or crossing another backbone segment or a nested pair bond. Each fault as text.
inline std::vector<std::string> backboneFaults(const layout::planarLayout& drawn) {
    const int n = static_cast<int>(drawn.positions.size()) - 1;
    auto at = [&](int p) { return drawn.positions[static_cast<size_t>(p)]; };
    std::vector<std::pair<int, int>> segments;  // backbone first, then bonds
    for (int p = 1; p < n; ++p) segments.emplace_back(p, p + 1);
    const size_t backbone = segments.size();
    for (int p = 1; p <= n; ++p)
        if (drawn.nested[static_cast<size_t>(p)] > p) segments.emplace_back(p, drawn.nested[static_cast<size_t>(p)]);
    std::vector<std::string> found;
    for (size_t s = 0; s < backbone; ++s) {
        const auto [a, b] = segments[s];
        for (int q = 1; q <= n; ++q) {
            if (q != a && q != b && distanceToSegment(at(q), at(a), at(b)) < layout::CIRCLE_RADIUS)
                found.push_back("backbone " + std::to_string(a) + "-" + std::to_string(b) + " through " + std::to_string(q));
        }
        for (size_t t = s + 1; t < segments.size(); ++t) {
            const auto [c, d] = segments[t];
            if (c == a || c == b || d == a || d == b) continue;
            if (segmentsCross(at(a), at(b), at(c), at(d)))
                found.push_back("backbone " + std::to_string(a) + "-" + std::to_string(b) + " crosses " +
                                (t < backbone ? "backbone " : "bond ") + std::to_string(c) + "-" + std::to_string(d));
        }
    }
    return found;
}

}  // namespace korvane::testing
