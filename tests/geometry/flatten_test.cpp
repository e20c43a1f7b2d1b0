#include "geometry/flatten.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

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
    EXPECT_EQ(allocations, 2) << "one record and its point array";
}
