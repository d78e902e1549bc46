#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "layout/layout.h"

namespace korvane::layout {

namespace {

constexpr double PI = std::numbers::pi;
constexpr double FULL_TURN = 2 * PI;
// Layout keeps circles of this radius apart, a little more than the drawn ones, so that drawn
// circles never touch.
constexpr double CLEARANCE = 0.45;
constexpr double PAIR_HALF_WIDTH = 0.5;
constexpr double BACKBONE_STEP = 1.0;
// Room left between neighbouring branches along the exterior line.
constexpr double EXTERIOR_GAP = 0.3;
// A branch seen from its loop's centre must fit in less than a half turn (a convex cone).
constexpr double WIDEST_WEDGE = PI - 1e-6;
constexpr double RADIUS_GROWTH = 1.25;
constexpr int MOST_GROWTH_STEPS = 400;
constexpr int BISECTION_STEPS = 30;

struct frame {
    point origin;
    point axis;  // unit; the right-hand side (clockwise) is (axis.y, -axis.x)
};

point toParent(const frame& f, point local) {
    return {f.origin.x + local.x * f.axis.y + local.y * f.axis.x, f.origin.y - local.x * f.axis.x + local.y * f.axis.y};
}

point direction(const frame& f, point local) {
    return {local.x * f.axis.y + local.y * f.axis.x, -local.x * f.axis.x + local.y * f.axis.y};
}

double cross(point o, point a, point b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); }

// Convex hull, counter-clockwise; the points are reordered.
std::vector<point> convexHull(std::vector<point>& points) {
    std::sort(points.begin(), points.end(), [](point a, point b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
    if (points.size() < 3) return points;
    std::vector<point> hull(2 * points.size());
    size_t k = 0;
    for (const point p : points) {
        while (k >= 2 && cross(hull[k - 2], hull[k - 1], p) <= 0) --k;
        hull[k++] = p;
    }
    for (size_t t = points.size() - 1, lower = k + 1; t-- > 0;) {
        const point p = points[t];
        while (k >= lower && cross(hull[k - 2], hull[k - 1], p) <= 0) --k;
        hull[k++] = p;
    }
    hull.resize(k - 1);
    return hull;
}

enum class vertexKind { closing, unpaired, branchStart, branchEnd };

struct ringVertex {
    int position;
    vertexKind kind;
    int child;  // helix index for branch vertices
};

// A helix (stacked pairs first..last, first+t with last-t) and the loop its innermost pair
// closes. Its frame: outermost pair centred on the origin, the helix growing along +y, the 5'
// strand at x = +1/2.
struct helixNode {
    int first = 0;
    int last = 0;
    int size = 0;
    std::vector<ringVertex> ring;  // innermost 5' nucleotide, the loop in order, its partner
    double radius = 0;
    double apothem = 0;  // centre to the middle of a pair chord
    std::vector<double> angles;  // per ring vertex, counter-clockwise, the closing chord below
    std::vector<point> hull;     // of the whole subtree's centres, in the helix frame
    frame placed;                // in the drawing
};

double chordAngle(double radius) { return 2 * std::asin(std::min(1.0, PAIR_HALF_WIDTH / radius)); }

struct wedge {
    bool fits = false;
    double low = 0;   // clockwise reach beyond the branch's 5' vertex
    double high = 0;  // counter-clockwise reach beyond its 3' vertex
};

// The angles a child subtree covers, seen from the centre of a ring of this radius.
wedge branchWedge(const std::vector<point>& hull, double radius) {
    const double apothem = std::sqrt(std::max(0.0, radius * radius - PAIR_HALF_WIDTH * PAIR_HALF_WIDTH));
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (const point p : hull) {
        const double along = p.y + apothem;
        const double distance = std::hypot(p.x, along);
        if (distance <= CLEARANCE) return {};
        const double angle = std::atan2(-p.x, along);
        const double reach = std::asin(CLEARANCE / distance);
        low = std::min(low, angle - reach);
        high = std::max(high, angle + reach);
    }
    if (high - low >= WIDEST_WEDGE) return {};
    const double halfChord = chordAngle(radius) / 2;
    return {true, -low - halfChord, high - halfChord};
}

// The gaps between ring vertices at this radius (gap t follows vertex t; the last closes the
// ring), each as small as its neighbours allow; empty when some branch cannot fit.
std::vector<double> ringGaps(const helixNode& loop, const std::vector<helixNode>& helices, double radius) {
    const size_t m = loop.ring.size();
    const double chord = chordAngle(radius);
    const double nucleotideReach = std::asin(std::min(1.0, CLEARANCE / radius));
    std::vector<double> lowReach(m, nucleotideReach);
    std::vector<double> highReach(m, nucleotideReach);
    for (size_t t = 0; t < m; ++t) {
        if (loop.ring[t].kind != vertexKind::branchStart) continue;
        const wedge w = branchWedge(helices[static_cast<size_t>(loop.ring[t].child)].hull, radius);
        if (!w.fits) return {};
        lowReach[t] = w.low;
        highReach[t + 1] = w.high;
    }
    std::vector<double> gaps(m, chord);
    for (size_t t = 0; t + 1 < m; ++t) {
        if (loop.ring[t].kind == vertexKind::branchStart) continue;
        gaps[t] = std::max(chord, highReach[t] + lowReach[t + 1]);
    }
    return gaps;
}

double total(const std::vector<double>& gaps) {
    double sum = 0;
    for (const double gap : gaps) sum += gap;
    return sum;
}

// A regular polygon's gaps add up to a full turn only up to rounding.
constexpr double TURN_TOLERANCE = 1e-9;

// How low a loop lets its items reach, in its helix frame (the outermost pair at y = 0): clear
// of that pair's line, so that no subtree reaches into its parent's ring and the backbone
// leaving the pair passes beneath; on the exterior line a step above it, so that the line runs
// beneath every branch. Only a lone pair's ring has nucleotides low enough to be lifted.
struct floors {
    double branches;  // the centres of every child subtree
    double unpaired;  // the loop's own unpaired nucleotides
};
constexpr floors INNER_FLOORS{CLEARANCE, CLEARANCE};
constexpr floors EXTERIOR_FLOORS{BACKBONE_STEP, CLEARANCE};
// Along the exterior line only what lies this close to it counts; the branches' floor is higher.
constexpr double NEAR_LINE = 2 * CLEARANCE;
static_assert(EXTERIOR_FLOORS.branches > NEAR_LINE);

struct angleRange {
    double low;
    double high;
};

// The angles at which ring vertex t may start (the ring's angles run from just after the closing
// chord, at the bottom, counter-clockwise) so that what it carries stays above the floors.
angleRange vertexRange(const helixNode& loop, const std::vector<helixNode>& helices, size_t t, double radius,
                       const floors& floor) {
    constexpr double NONE = std::numeric_limits<double>::infinity();
    angleRange range{-NONE, NONE};
    const double apothem = std::sqrt(std::max(0.0, radius * radius - PAIR_HALF_WIDTH * PAIR_HALF_WIDTH));
    const double height = static_cast<double>(loop.size - 1) + apothem;  // of the ring's centre
    // A point at this distance from the centre, seen at angle offset from the vertex, keeps above
    // level when the vertex's angle stays out of an arc around straight down.
    auto keepAbove = [&](double level, double distance, auto offsetOf) {
        const double lift = (height - level) / distance;
        if (lift >= 1) return;
        const double half = std::acos(std::max(-1.0, lift));
        const double offset = offsetOf();
        range.low = std::max(range.low, -PI / 2 + half - offset);
        range.high = std::min(range.high, 3 * PI / 2 - half - offset);
    };
    const ringVertex& v = loop.ring[t];
    if (v.kind == vertexKind::unpaired) {
        keepAbove(floor.unpaired, radius, [] { return 0.0; });
    } else if (v.kind == vertexKind::branchStart) {
        const double halfChord = chordAngle(radius) / 2;
        for (const point p : helices[static_cast<size_t>(v.child)].hull) {
            const double along = p.y + apothem;
            keepAbove(floor.branches, std::hypot(p.x, along), [&] { return halfChord + std::atan2(-p.x, along); });
        }
    }
    return range;
}

// The ring's angles at this radius, or empty when its branches cannot fit: every gap as small as
// its neighbours allow, the spare turn spread evenly over the gaps between items, then each
// vertex moved as little as its floors ask.
std::vector<double> ringAngles(const helixNode& loop, const std::vector<helixNode>& helices, double radius,
                               const floors& floor) {
    const std::vector<double> gaps = ringGaps(loop, helices, radius);
    if (gaps.empty() || total(gaps) > FULL_TURN + TURN_TOLERANCE) return {};
    const size_t m = loop.ring.size();
    const double first = -PI / 2 + chordAngle(radius) / 2;
    const double last = first + FULL_TURN - chordAngle(radius);
    std::vector<angleRange> ranges(m);
    for (size_t t = 0; t < m; ++t) ranges[t] = vertexRange(loop, helices, t, radius, floor);
    // earliest and latest angle of each vertex with every gap kept
    std::vector<double> earliest(m, first), latest(m, last);
    for (size_t t = 1; t < m; ++t) earliest[t] = std::max(earliest[t - 1] + gaps[t - 1], ranges[t].low);
    for (size_t t = m - 1; t-- > 1;) latest[t] = std::min(latest[t + 1] - gaps[t], ranges[t].high);
    for (size_t t = 0; t < m; ++t) {
        if (earliest[t] > latest[t] + TURN_TOLERANCE) return {};
    }
    size_t free = 0;
    for (size_t t = 0; t + 1 < m; ++t) free += loop.ring[t].kind == vertexKind::branchStart ? 0 : 1;
    const double spare = std::max(0.0, FULL_TURN - total(gaps)) / static_cast<double>(free);
    // Clamping between two sequences that keep the gaps keeps them too.
    std::vector<double> angles(m, first);
    for (size_t t = 1; t < m; ++t) {
        angles[t] = angles[t - 1] + gaps[t - 1] + (loop.ring[t - 1].kind == vertexKind::branchStart ? 0 : spare);
    }
    for (size_t t = 1; t + 1 < m; ++t) {
        // a branch's two vertices stay one pair apart
        angles[t] = loop.ring[t - 1].kind == vertexKind::branchStart ? angles[t - 1] + gaps[t - 1]
                                                                       : std::clamp(angles[t], earliest[t], latest[t]);
    }
    return angles;
}

// Chooses the smallest ring (regular when nothing crowds it) whose branches fit in disjoint
// wedges above its floors, and sets its angles.
void shapeRing(helixNode& loop, const std::vector<helixNode>& helices, const floors& floor) {
    const size_t m = loop.ring.size();
    double radius = PAIR_HALF_WIDTH / std::sin(PI / static_cast<double>(m));
    std::vector<double> angles = ringAngles(loop, helices, radius, floor);
    if (angles.empty()) {
        double small = radius;
        for (int step = 0; step < MOST_GROWTH_STEPS && angles.empty(); ++step) {
            small = radius;
            radius *= RADIUS_GROWTH;
            angles = ringAngles(loop, helices, radius, floor);
        }
        for (int step = 0; step < BISECTION_STEPS; ++step) {
            const double middle = (small + radius) / 2;
            std::vector<double> tried = ringAngles(loop, helices, middle, floor);
            if (!tried.empty()) {
                radius = middle;
                angles = std::move(tried);
            } else {
                small = middle;
            }
        }
    }
    loop.radius = radius;
    loop.apothem = std::sqrt(std::max(0.0, radius * radius - PAIR_HALF_WIDTH * PAIR_HALF_WIDTH));
    loop.angles = std::move(angles);
}

point ringCentre(const helixNode& h) { return {0, static_cast<double>(h.size - 1) + h.apothem}; }

point ringPoint(const helixNode& h, size_t t) {
    const point centre = ringCentre(h);
    return {centre.x + h.radius * std::cos(h.angles[t]), centre.y + h.radius * std::sin(h.angles[t])};
}

// Where the child starting at ring vertex t sits, in the frame of helix h.
frame childFrame(const helixNode& h, size_t t) {
    const double middle = h.angles[t] + chordAngle(h.radius) / 2;
    const point axis{std::cos(middle), std::sin(middle)};
    const point centre = ringCentre(h);
    return {{centre.x + h.apothem * axis.x, centre.y + h.apothem * axis.y}, axis};
}

void computeHull(helixNode& h, const std::vector<helixNode>& helices) {
    const double top = static_cast<double>(h.size - 1);
    std::vector<point> points{{PAIR_HALF_WIDTH, 0}, {-PAIR_HALF_WIDTH, 0}, {PAIR_HALF_WIDTH, top}, {-PAIR_HALF_WIDTH, top}};
    for (size_t t = 0; t < h.ring.size(); ++t) {
        points.push_back(ringPoint(h, t));
        if (h.ring[t].kind != vertexKind::branchStart) continue;
        const frame f = childFrame(h, t);
        for (const point p : helices[static_cast<size_t>(h.ring[t].child)].hull) points.push_back(toParent(f, p));
    }
    h.hull = convexHull(points);
}

struct span {
    double low;
    double high;
};

// The x extent of a hull.
span hullSpan(const std::vector<point>& hull) {
    span result{std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    for (const point p : hull) {
        result.low = std::min(result.low, p.x);
        result.high = std::max(result.high, p.x);
    }
    return result;
}

// The x values an exterior branch takes within band of the line: its outermost pair and the
// low part of its own ring (nucleotides and backbone), for everything it carries keeps a step
// above the line.
span lineSpan(const helixNode& h, double band) {
    span result{-PAIR_HALF_WIDTH, PAIR_HALF_WIDTH};
    auto take = [&](double x) {
        result.low = std::min(result.low, x);
        result.high = std::max(result.high, x);
    };
    for (size_t t = 0; t < h.ring.size(); ++t) {
        const point a = ringPoint(h, t);
        const point b = ringPoint(h, (t + 1) % h.ring.size());
        if (a.y <= band) take(a.x);
        if ((a.y - band) * (b.y - band) < 0) take(a.x + (b.x - a.x) * (band - a.y) / (b.y - a.y));
    }
    return result;
}

point unit(point v) {
    const double length = std::hypot(v.x, v.y);
    return length > 0 ? point{v.x / length, v.y / length} : point{0, 1};
}

// The helices of the nested table, parents before their children; the exterior loop's items
// go to exterior (helix index, or -1 - position for an unpaired nucleotide).
std::vector<helixNode> findHelices(const std::vector<int>& pairs, std::vector<int>& exterior) {
    const int n = static_cast<int>(pairs.size()) - 1;
    auto partner = [&](int p) { return pairs[static_cast<size_t>(p)]; };
    std::vector<helixNode> helices;
    auto newHelix = [&](int first) {
        helixNode h;
        h.first = first;
        h.last = partner(first);
        h.size = 1;
        while (first + h.size < h.last - h.size && partner(first + h.size) == h.last - h.size) ++h.size;
        helices.push_back(std::move(h));
        return static_cast<int>(helices.size()) - 1;
    };
    for (int p = 1; p <= n; ++p) {
        if (partner(p) > p) {
            exterior.push_back(newHelix(p));
            p = partner(p);
        } else {
            exterior.push_back(-1 - p);
        }
    }
    for (size_t index = 0; index < helices.size(); ++index) {
        const int i = helices[index].first + helices[index].size - 1;
        const int j = helices[index].last - helices[index].size + 1;
        std::vector<ringVertex> ring{{i, vertexKind::closing, -1}};
        for (int p = i + 1; p < j; ++p) {
            if (partner(p) > p) {
                const int child = newHelix(p);
                ring.push_back({p, vertexKind::branchStart, child});
                ring.push_back({partner(p), vertexKind::branchEnd, child});
                p = partner(p);
            } else {
                ring.push_back({p, vertexKind::unpaired, -1});
            }
        }
        ring.push_back({j, vertexKind::closing, -1});
        helices[index].ring = std::move(ring);
    }
    return helices;
}

void placeHelix(const helixNode& h, planarLayout& layout) {
    const frame& f = h.placed;
    const point towards5 = direction(f, {1, 0});
    const point towards3 = direction(f, {-1, 0});
    for (int t = 0; t < h.size; ++t) {
        const auto i = static_cast<size_t>(h.first + t);
        const auto j = static_cast<size_t>(h.last - t);
        layout.positions[i] = toParent(f, {PAIR_HALF_WIDTH, static_cast<double>(t)});
        layout.positions[j] = toParent(f, {-PAIR_HALF_WIDTH, static_cast<double>(t)});
        layout.outward[i] = towards5;
        layout.outward[j] = towards3;
    }
    const point centre = toParent(f, ringCentre(h));
    for (size_t t = 0; t < h.ring.size(); ++t) {
        if (h.ring[t].kind != vertexKind::unpaired) continue;
        const auto p = static_cast<size_t>(h.ring[t].position);
        layout.positions[p] = toParent(f, ringPoint(h, t));
        layout.outward[p] = unit({layout.positions[p].x - centre.x, layout.positions[p].y - centre.y});
    }
}

}  // namespace

planarLayout layOutPlanar(const std::vector<int>& pairs) {
    planarLayout layout;
    layout.nested = nestedSubset(pairs, &layout.crossing);
    const size_t slots = std::max<size_t>(layout.nested.size(), 1);
    layout.positions.assign(slots, point{});
    layout.outward.assign(slots, point{0, 1});

    std::vector<int> exterior;
    std::vector<helixNode> helices = findHelices(layout.nested, exterior);
    // Children come after their parents, so the reverse order has every child shaped first.
    std::vector<bool> onExterior(helices.size(), false);
    for (const int item : exterior) {
        if (item >= 0) onExterior[static_cast<size_t>(item)] = true;
    }
    for (size_t index = helices.size(); index-- > 0;) {
        shapeRing(helices[index], helices, onExterior[index] ? EXTERIOR_FLOORS : INNER_FLOORS);
        computeHull(helices[index], helices);
    }

    // The exterior loop runs left to right along y = 0 with its branches hanging below it. A
    // branch keeps clear of the whole extent of the branches before it; along the line itself
    // only what lies near the line counts, so a tail can tuck in under a wide branch.
    constexpr double NOTHING_YET = -std::numeric_limits<double>::infinity();
    double lastPosition = NOTHING_YET;
    double branchEdge = NOTHING_YET;  // right edge of every branch so far
    double lineEdge = NOTHING_YET;    // right edge of everything near the line so far
    for (const int item : exterior) {
        if (item < 0) {
            const auto p = static_cast<size_t>(-1 - item);
            const double x = lastPosition == NOTHING_YET ? 0 : std::max(lastPosition + BACKBONE_STEP, lineEdge + CLEARANCE);
            layout.positions[p] = {x, 0};
            layout.outward[p] = {0, 1};
            lastPosition = x;
            lineEdge = x + CLEARANCE;
            continue;
        }
        helixNode& h = helices[static_cast<size_t>(item)];
        const span whole = hullSpan(h.hull);
        const span nearLine = lineSpan(h, NEAR_LINE);
        // Pointing down, the frame's +x is the drawing's -x.
        double middle = whole.high + CLEARANCE;
        if (lastPosition != NOTHING_YET) {
            middle = std::max({lastPosition + BACKBONE_STEP + PAIR_HALF_WIDTH,
                               branchEdge + EXTERIOR_GAP + whole.high + CLEARANCE, lineEdge + nearLine.high + CLEARANCE});
        }
        h.placed = {{middle, 0}, {0, -1}};
        lastPosition = middle + PAIR_HALF_WIDTH;
        branchEdge = middle - whole.low + CLEARANCE;
        lineEdge = std::max(lineEdge, middle - nearLine.low + CLEARANCE);
    }

    for (helixNode& h : helices) {
        placeHelix(h, layout);
        for (size_t t = 0; t < h.ring.size(); ++t) {
            if (h.ring[t].kind != vertexKind::branchStart) continue;
            const frame local = childFrame(h, t);
            helices[static_cast<size_t>(h.ring[t].child)].placed = {toParent(h.placed, local.origin),
                                                                    direction(h.placed, local.axis)};
        }
    }
    return layout;
}

}  // namespace korvane::layout
