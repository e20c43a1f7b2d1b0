#include "geometry/flatten.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "geometry/path_data.h"
#include "geometry/path_text.h"
#include "svg/reader_memory.h"

namespace {

std::string flattened(const std::string& data, float tolerance) {
    StatePtr state = newState(tolerance);
    const char* list[] = {"d", data.c_str(), nullptr, nullptr};
    parsePathData(*state, list);
    return describeList(state->paths);
}

int pointCount(const std::string& data, float tolerance) {
    StatePtr state = newState(tolerance);
    const char* list[] = {"d", data.c_str(), nullptr, nullptr};
    parsePathData(*state, list);
    return state->paths != nullptr ? state->paths->pointCount : 0;
}

}  // namespace

TEST(FlattenCurve, AppendsAcceptedSplitPointsThenTheEnd) {
    const struct { float tolerance; const char* data; const char* points; } cases[] = {
        {0.1f, "M0,0 Q2,2 4,0",
         "open (0,0) (0.5,0.4375) (1.5,0.9375) (2.5,0.9375) (3.5,0.4375) (4,0)"},
        {1.0f, "M0,0 Q2,2 4,0", "open (0,0) (1,0.75) (3,0.75) (4,0)"},
        {0.1f, "M0 0 C0 1 1 -1 1 0",
         "open (0,0) (0.04296875,0.24609375) (0.31640625,0.17578125) "
         "(0.68359375,-0.17578125) (0.95703125,-0.24609375) (1,0)"},
        {0.1f, "M0 0 C1 0 2 0 3 0", "open (0,0) (0.75,0) (2.25,0) (3,0)"},
        {0.1f, "M5 5 C5 5 5 5 5 5", "open (5,5) (5,5) (5,5) (5,5)"},
        // an infinite control point makes every measure infinite or NaN: only the end point
        {0.1f, "M0 0 C 1e39 0 2 0 3 0", "open (0,0) (3,0)"},
        // a zero tolerance never accepts, so depth-12 pieces append nothing
        {0.0f, "M0,0 Q2,2 4,0", "open (0,0) (4,0)"},
        {0.1f, "M10 10 c 1 1 2 2 3 3", "open (10,10) (10.75,10.75) (12.25,12.25) (13,13)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(flattened(c.data, c.tolerance), c.points) << c.data << " at " << c.tolerance;
    }
}

TEST(FlattenCurve, SmoothCurvesReflectOnlyAfterTheirOwnKind) {
    const struct { const char* data; const char* same; } cases[] = {
        {"M0 0 C 0 1 1 1 1 0 S 2 -1 2 0", "M0 0 C 0 1 1 1 1 0 C 1 -1 2 -1 2 0"},
        {"M0 0 C 0 1 1 1 1 0 s 1 -1 1 0", "M0 0 C 0 1 1 1 1 0 C 1 -1 2 -1 2 0"},
        {"M0 0 Q 1 1 2 0 T 4 0 T 6 0", "M0 0 Q 1 1 2 0 Q 3 -1 4 0 Q 5 1 6 0"},
        {"M0 0 Q 1 1 2 0 t 2 0", "M0 0 Q 1 1 2 0 Q 3 -1 4 0"},
        {"M0 0 Q 1 1 2 0 T 4 0 t 2 0", "M0 0 Q 1 1 2 0 Q 3 -1 4 0 Q 5 1 6 0"},
        // any other step or a close breaks the chain: the control point is the current point
        {"M0 0 Q 1 1 2 0 L 3 0 T 5 0", "M0 0 Q 1 1 2 0 L 3 0 Q 3 0 5 0"},
        {"M0 0 C 0 1 1 1 1 0 Q 2 -1 3 0 S 5 1 5 0", "M0 0 C 0 1 1 1 1 0 Q 2 -1 3 0 C 3 0 5 1 5 0"},
        {"M0 0 C 0 1 1 1 1 0 T 3 0", "M0 0 C 0 1 1 1 1 0 Q 1 0 3 0"},
        {"M0 0 Q 1 1 2 0 h 1 s 1 1 2 0", "M0 0 Q 1 1 2 0 h 1 C 3 0 4 1 5 0"},
        {"M0 0 C 0 1 1 1 1 0 A 1 1 0 0 1 2 0 S 3 1 4 0",
         "M0 0 C 0 1 1 1 1 0 A 1 1 0 0 1 2 0 C 2 0 3 1 4 0"},
        {"M0 0 Q 1 1 2 0 Z T 2 0", "M0 0 Q 1 1 2 0 Z Q 0 0 2 0"},
        {"S 1 1 2 0", "C 0 0 1 1 2 0"},
        {"M 1 1 s 1 1 2 0", "M 1 1 C 1 1 2 2 3 1"},
        {"M 1 1 t 2 0", "M 1 1 Q 1 1 3 1"},
        {"M0 0 Q 1 1 2 0 L 3 0 t 2 0", "M0 0 Q 1 1 2 0 L 3 0 Q 3 0 5 0"},
        // a letter without numbers runs no step, so the chain holds across it
        {"M0 0 Q 1 1 2 0 L T 4 0", "M0 0 Q 1 1 2 0 Q 3 -1 4 0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(flattened(c.data, 0.1f), flattened(c.same, 0.1f)) << c.data;
    }
    EXPECT_EQ(pointCount("M0 0 C 0 1 1 1 1 0 S 2 -1 2 0", 0.1f), 11);
    EXPECT_EQ(pointCount("M0 0 Q 1 1 2 0 T 4 0 T 6 0", 0.1f), 16);
}

TEST(SegmentDistanceSquared, MeasuresToTheNearestPointOfTheSegment) {
    const float inf = std::numeric_limits<float>::infinity();
    const struct { float px, py, ax, ay, bx, by, expected; } cases[] = {
        {1, 1, 0, 0, 2, 0, 1},     // above the middle
        {-3, 4, 0, 0, 2, 0, 25},   // before A: measured to A
        {5, 4, 0, 0, 2, 0, 25},    // past B: measured to B
        {3, 4, 1, 0, 1, 0, 20},    // a chord of length zero: measured to A
        {1, 0, 0, 0, 2, 0, 0},
        {inf, 0, 0, 0, 1, 0, inf},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(segmentDistanceSquared(c.px, c.py, c.ax, c.ay, c.bx, c.by), c.expected)
            << c.px << "," << c.py;
    }
    EXPECT_TRUE(std::isnan(segmentDistanceSquared(0, inf, 0, 0, 1, 0)));
}

TEST(SubdivideQuadratic, AcceptsBelowTheSquaredToleranceFromDepthOne) {
    // The piece (0,0) (0,2) (0,0) has a chord of length zero; its split point (0,1) measures 1.
    const struct { float tolerance; int depth; const char* points; } cases[] = {
        {1.0f, 1, "(0,0.75) (0,0.75)"},  // a tie splits
        {1.0000001f, 1, "(0,1)"},
        {1000.0f, 0, "(0,0.75) (0,0.75)"},  // depth 0 never accepts
        {1000.0f, -1, "(0,0.4375) (0,0.9375) (0,0.9375) (0,0.4375)"},  // nor does any above it
        {1000.0f, 12, "(0,1)"},
        {1.0f, 12, ""},  // a depth-12 piece that fails appends nothing
        {1000.0f, 13, ""},
    };
    for (const auto& c : cases) {
        StatePtr state = newState(c.tolerance);
        subdivideQuadratic(*state, 0, 0, 0, 2, 0, 0, c.depth);
        std::string points;
        for (int i = 0; i < state->pointCount; ++i) {
            if (i > 0) points += ' ';
            points += describePoint(state->points[2 * i], state->points[2 * i + 1]);
        }
        EXPECT_EQ(points, c.points) << c.tolerance << " at depth " << c.depth;
    }
}

TEST(SubdivideCubic, StopsPastTheDepthLimit) {
    StatePtr state = newState(1000.0f);
    subdivideCubic(*state, 0, 0, 1, 1, 2, 1, 3, 0, subdivisionDepthLimit + 1);
    EXPECT_EQ(state->pointCount, 0);
    subdivideCubic(*state, 0, 0, 1, 1, 2, 1, 3, 0, subdivisionDepthLimit);
    EXPECT_EQ(state->pointCount, 1);
}

TEST(FlattenCurve, AllocatesNothingButTheRecord) {
    static int allocations = 0;
    StatePtr state = newState(0.001f);
    for (int i = 0; i < 5000; ++i) appendPoint(*state, 0, 0);  // grow the buffer beforehand
    const char* list[] = {"d", "M0 0 C 0 1 1 1 1 0 S 2 -1 2 0 q 1 1 2 0 t 2 0", nullptr, nullptr};
    allocations = 0;
    setAllocationHook([](std::size_t) { ++allocations; return true; });
    parsePathData(*state, list);
    setAllocationHook(nullptr);
    EXPECT_EQ(allocations, 1) << "one block: the record and its point array";
}

namespace {

// The subdivision written as the plain recursion it must match point for point.
void referenceCubic(std::vector<float>& out, float tolerance, const float* p, int depth) {
    if (depth > subdivisionDepthLimit) return;
    const auto mid = [](float u, float w) { return (u + w) * 0.5f; };
    float x01 = mid(p[0], p[2]), y01 = mid(p[1], p[3]), x12 = mid(p[2], p[4]);
    float y12 = mid(p[3], p[5]), x23 = mid(p[4], p[6]), y23 = mid(p[5], p[7]);
    float x012 = mid(x01, x12), y012 = mid(y01, y12), x123 = mid(x12, x23);
    float y123 = mid(y12, y23), xm = mid(x012, x123), ym = mid(y012, y123);
    if (depth > 0 &&
        segmentDistanceSquared(xm, ym, p[0], p[1], p[6], p[7]) < tolerance * tolerance) {
        out.insert(out.end(), {xm, ym});
        return;
    }
    const float first[] = {p[0], p[1], x01, y01, x012, y012, xm, ym};
    const float second[] = {xm, ym, x123, y123, x23, y23, p[6], p[7]};
    referenceCubic(out, tolerance, first, depth + 1);
    referenceCubic(out, tolerance, second, depth + 1);
}

void referenceQuadratic(std::vector<float>& out, float tolerance, const float* p, int depth) {
    if (depth > subdivisionDepthLimit) return;
    const auto mid = [](float u, float w) { return (u + w) * 0.5f; };
    float x01 = mid(p[0], p[2]), y01 = mid(p[1], p[3]), x12 = mid(p[2], p[4]);
    float y12 = mid(p[3], p[5]), xm = mid(x01, x12), ym = mid(y01, y12);
    if (depth > 0 &&
        segmentDistanceSquared(xm, ym, p[0], p[1], p[4], p[5]) < tolerance * tolerance) {
        out.insert(out.end(), {xm, ym});
        return;
    }
    const float first[] = {p[0], p[1], x01, y01, xm, ym};
    const float second[] = {xm, ym, x12, y12, p[4], p[5]};
    referenceQuadratic(out, tolerance, first, depth + 1);
    referenceQuadratic(out, tolerance, second, depth + 1);
}

std::vector<float> statePoints(const ParserState& state) {
    return std::vector<float>(state.points, state.points + 2 * state.pointCount);
}

// Equal bit for bit, infinities and NaNs included.
bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

// Runs check with pieces tested four at a time, then eight at a time where the processor can.
template <typename Check>
void forEachWindowWidth(Check check) {
    for (bool wide : {false, true}) {
        if (wide && !hasWideWindow()) continue;
        SCOPED_TRACE(wide ? "eight lanes" : "four lanes");
        allowWideWindow(wide);
        check();
    }
    allowWideWindow(true);
}

}  // namespace

TEST(SubdivideCurve, MatchesThePlainRecursionAtEveryDepth) {
    // Curves whose halves part early and late, so that pieces side by side take different
    // turns; a loop, a cusp, a curve of one point and one with a chord of length zero. The
    // last folds back on itself at a size whose squares overflow, so that the pieces above
    // fail, and deep in the window lies a piece whose chord has length zero and whose split
    // point is its start: flat, measured to that start.
    const float k = 0x1p62f;
    const float curves[][8] = {
        {0, 0, 30, 90, 70, -80, 100, 10}, {0, 0, 100, 100, 0, 100, 100, 0},
        {0, 0, 3, 0, 3, 0.001f, 3, 1},    {-5, 2, 400, 7, -390, 6, 5, 2},
        {1, 1, 1, 1, 1, 1, 1, 1},         {0, 0, 60, 40, -60, 40, 0, 0},
        {9 * k, 0, -43 * k, 0, 193 * k, 0, -819 * k, 0},
    };
    const float tolerances[] = {1.0f, 0.1f, 0.003f, 0.0f};
    forEachWindowWidth([&] {
        for (const auto& curve : curves) {
            for (float tolerance : tolerances) {
                for (int depth = 0; depth <= subdivisionDepthLimit + 1; ++depth) {
                    SCOPED_TRACE(testing::Message() << curve[2] << "," << curve[3] << " at "
                                                    << tolerance << " from depth " << depth);
                    std::vector<float> cubic, quadratic;
                    referenceCubic(cubic, tolerance, curve, depth);
                    const float quadraticCurve[] = {curve[0], curve[1], curve[2],
                                                    curve[3], curve[6], curve[7]};
                    referenceQuadratic(quadratic, tolerance, quadraticCurve, depth);
                    StatePtr state = newState(tolerance);
                    subdivideCubic(*state, curve[0], curve[1], curve[2], curve[3], curve[4],
                                   curve[5], curve[6], curve[7], depth);
                    EXPECT_EQ(statePoints(*state), cubic);
                    state->pointCount = 0;
                    subdivideQuadratic(*state, curve[0], curve[1], curve[2], curve[3], curve[6],
                                       curve[7], depth);
                    EXPECT_EQ(statePoints(*state), quadratic);
                }
            }
        }
    });
}

TEST(SubdivideCurve, MatchesThePlainRecursionOnRandomCurves) {
    // Scales from tiny to huge, so that pieces of one window part at every level, some chords
    // vanish in float and some sums overflow.
    const float scales[] = {1e-3f, 1.0f, 37.0f, 1500.0f, 1e6f, 1e37f};
    const float tolerances[] = {0.5f, 0.1f, 0.001f};
    std::uint32_t seed = 12345u;
    const auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;  // [-0.5, 0.5)
    };
    forEachWindowWidth([&] {
        for (int i = 0; i < 600; ++i) {
            const float scale = scales[i % 6], tolerance = tolerances[i % 3];
            float curve[8];
            for (float& c : curve) c = next() * scale;
            SCOPED_TRACE(testing::Message() << "curve " << i);
            std::vector<float> cubic, quadratic;
            referenceCubic(cubic, tolerance, curve, 0);
            const float quadraticCurve[] = {curve[0], curve[1], curve[2],
                                            curve[3], curve[6], curve[7]};
            referenceQuadratic(quadratic, tolerance, quadraticCurve, 0);
            StatePtr state = newState(tolerance);
            subdivideCubic(*state, curve[0], curve[1], curve[2], curve[3], curve[4], curve[5],
                           curve[6], curve[7], 0);
            EXPECT_TRUE(sameBits(statePoints(*state), cubic));
            state->pointCount = 0;
            subdivideQuadratic(*state, curve[0], curve[1], curve[2], curve[3], curve[6],
                               curve[7], 0);
            EXPECT_TRUE(sameBits(statePoints(*state), quadratic));
        }
    });
}

TEST(SubdivideCurve, WritesNoPointPastTheBufferWhenNearlyFull) {
    // Curves whose first window accepts every bottom piece (16 cubic, 8 quadratic points),
    // and one whose pieces go below the window, each with from no room left to more than a
    // window can give.
    const struct { float points[8]; bool cubic; float tolerance; } cases[] = {
        {{0, 0, 0, 100, 100, 100, 100, 0}, true, 1.0f},
        {{0, 0, 50, 100, 100, 0}, false, 1.0f},
        {{0, 0, 50, 100, 100, 0}, false, 0.3f},
    };
    constexpr int filled = 64;  // a whole buffer after growing by doubling
    for (const auto& c : cases) {
        std::vector<float> expected;
        if (c.cubic) {
            referenceCubic(expected, c.tolerance, c.points, 0);
        } else {
            referenceQuadratic(expected, c.tolerance, c.points, 0);
        }
        for (int room = 0; room <= 20; ++room) {
            SCOPED_TRACE(testing::Message() << c.points[2] << " with room " << room);
            StatePtr state = newState(c.tolerance);
            for (int i = 0; i < filled; ++i) appendPoint(*state, -1.0f, static_cast<float>(i));
            ASSERT_EQ(state->pointCapacity, filled);
            state->pointCount = filled - room;
            const std::vector<float> kept = statePoints(*state);
            const float* p = c.points;
            if (c.cubic) {
                subdivideCubic(*state, p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], 0);
            } else {
                subdivideQuadratic(*state, p[0], p[1], p[2], p[3], p[4], p[5], 0);
            }
            std::vector<float> all = kept;
            all.insert(all.end(), expected.begin(), expected.end());
            EXPECT_EQ(statePoints(*state), all);
        }
    }
}
