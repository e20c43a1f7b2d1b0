#include "svg/shapes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "geometry/path_text.h"
#include "svg/reader_memory.h"

namespace {

using Reader = void (*)(ParserState&, AttrList) noexcept;

std::string shaped(Reader reader, AttrList list, float tolerance = 0.1f) {
    StatePtr state = newState(tolerance);
    reader(*state, list);
    return describeList(state->paths);
}

void readPolyline(ParserState& state, AttrList list) noexcept { readPolyPoints(state, list, 0); }
void readPolygon(ParserState& state, AttrList list) noexcept { readPolyPoints(state, list, 1); }

}  // namespace

TEST(ReadShapes, BuildsPointsFromGeometryAttributes) {
    const struct { Reader reader; const char* list[12]; const char* records; } cases[] = {
        {readRect, {"x", "10", "y", "20", "width", "30", "height", "40"},
         "closed (10,20) (40,20) (40,60) (10,60)"},
        {readRect, {"x", "10", "y", "20", "width", "-30", "height", "40"},
         "closed (10,20) (-20,20) (-20,60) (10,60)"},
        {readRect, {"x", "10", "y", "20", "width", "30", "height", "40", "rx", "5"},
         "closed (10,20) (40,20) (40,60) (10,60)"},
        {readRect, {"x", "1", "width", "2", "x", "5", "height", "2"},
         "closed (5,0) (7,0) (7,2) (5,2)"},  // the last occurrence wins
        {readRect, {"x", "10", "y", "20", "height", "40"}, ""},
        {readRect, {"width", "-0", "height", "40"}, ""},
        {readRect, {"width", "3", "height", "4", "x", nullptr}, "closed (0,0) (3,0) (3,4) (0,4)"},
        {readRect, {"width", nullptr}, ""},
        {readRect, {"Width", "3", "height", "4"}, ""},
        {readLine, {"x2", "5"}, "open (0,0) (5,0)"},
        {readLine, {"x1", " \t1.5", "y1", "\n-2d1", "x2", "+.25e1", "y2", "7."},
         "open (1.5,-20) (2.5,7)"},  // blanks and exponents as parseNumber reads them
        {readLine, {}, "open (0,0) (0,0)"},
        {readLine, {"x1", "1", "y1", "2px", "x2", "3", "y2", "4", "y2", nullptr},
         "open (1,2) (3,4)"},
        {readPolyline, {"points", "0,0 10,0 10,10"}, "open (0,0) (10,0) (10,10)"},
        {readPolygon, {"points", "0,0 10,0 10,10"}, "closed (0,0) (10,0) (10,10)"},
        {readPolyline, {"points", "0,0 10,0 10"}, "open (0,0) (10,0)"},
        {readPolyline, {"points", "0,0 10,0 , \t"}, "open (0,0) (10,0)"},
        {readPolyline, {"points", "10-20"}, "open (10,-20)"},
        {readPolyline, {"points", "1e-5"}, "open (1,-5)"},
        {readPolyline, {"points", "0,0 L 10,10"}, "open (0,0) (0,10)"},
        {readPolyline, {"points", "0,0 L12,10"}, "open (0,0) (0,12)"},  // the stray "L" alone
        {readPolyline, {"points", "5"}, ""},
        {readPolygon, {"points", ""}, ""},
        {readPolygon, {}, ""},
        {readPolygon, {"points", nullptr}, ""},
        {readPolyline, {"points", "1 2 3", "points", "4 5"}, "open (1,2) (4,5)"},
    };
    for (const auto& c : cases) EXPECT_EQ(shaped(c.reader, c.list), c.records) << c.records;
}

TEST(ReadCircle, SegmentCountFollowsTheTolerance) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct { float r, tolerance; int count; } cases[] = {
        {10, 0.1f, 23},
        {1, 0.1f, 8},
        {0.01f, 1, 3},
        {1e-30f, 1, 2},
        {32767, 0.001f, 9100},    // r + tolerance still exceeds r in float
        {32768, 0.001f, 12717},   // from here on the count is taken in double
        {40000, 0.001f, 14050},
        {1e30f, 0.001f, circleSegmentLimit},
        {10, 0, circleSegmentLimit},
        {10, -0.001f, 0},
        {40000, -0.001f, 0},
        {10, nan, 0},
        {inf, 0.1f, 0},
        {nan, 0.1f, 0},
        {10, inf, 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(circleSegmentCount(c.r, c.tolerance), c.count) << c.r << " at " << c.tolerance;
    }
}

TEST(ReadCircle, StartsAtAngleZeroAndSteps) {
    const struct { const char* list[8]; float tolerance; int count; float firstX, firstY; } cases[] = {
        {{"r", "10"}, 0.1f, 23, 10, 0},
        {{"r", "-10"}, 0.1f, 23, 10, 0},
        {{"cx", "5", "cy", "-2", "r", "1"}, 0.1f, 8, 6, -2},
        {{"r", "40000"}, 0.001f, 14050, 40000, 0},
        {{"r", "0"}, 0.1f, 0, 0, 0},
        {{"r", "1e39"}, 0.1f, 0, 0, 0},  // an infinite radius draws nothing
        {{"r", nullptr}, 0.1f, 0, 0, 0},
    };
    for (const auto& c : cases) {
        StatePtr state = newState(c.tolerance);
        readCircle(*state, c.list);
        const PathRecord* record = state->paths;
        if (c.count == 0) {
            EXPECT_EQ(record, nullptr) << c.list[1];
            continue;
        }
        ASSERT_NE(record, nullptr) << c.list[1];
        EXPECT_EQ(record->pointCount, c.count);
        EXPECT_EQ(record->closed, 1);
        EXPECT_EQ(record->points[0], c.firstX);
        EXPECT_EQ(record->points[1], c.firstY);
    }
    StatePtr state = newState(0.1f);
    const char* eight[] = {"r", "1", nullptr, nullptr};
    readCircle(*state, eight);
    ASSERT_NE(state->paths, nullptr);
    const float* p = state->paths->points;
    EXPECT_EQ(p[4], std::cos(2 * (6.2831855f / 8)));  // the third point is a quarter turn on
    EXPECT_EQ(p[5], 1.0f);
    EXPECT_EQ(p[2], p[3]) << "45 degrees";
}

TEST(ReadCircle, RepeatedCirclesMatchTheDirectFormula) {
    // Counts below and above the kept unit circles, each drawn first into a fresh point buffer
    // (which grows point by point) and again into a grown one, at alternating tolerances.
    const struct { const char* r; float tolerance; } cases[] = {
        {"10", 0.1f}, {"10", 1.0f}, {"0.75", 0.1f}, {"83", 0.1f}, {"200", 0.1f}, {"10", 0.1f},
        // counts next to each other (8 and 9), the first drawn again after the second
        {"1", 0.1f}, {"1.3", 0.1f}, {"1", 0.1f}, {"1.3", 0.1f},
        // the largest kept count (64) again, after a new tolerance has emptied the count memo
        {"10", 1.0f}, {"82", 0.1f}, {"10", 1.0f}, {"82", 0.1f},
    };
    StatePtr grown = newState(0.1f);
    for (const auto& c : cases) {
        const float r = std::strtof(c.r, nullptr);
        const int n = circleSegmentCount(r, c.tolerance);
        const float step = 6.2831855f / static_cast<float>(n);
        std::string expected = "closed";
        for (int i = 0; i < n; ++i) {
            const float a = static_cast<float>(i) * step;
            expected += ' ' + describePoint(3.0f + std::cos(a) * r, -4.0f + std::sin(a) * r);
        }
        const char* list[] = {"cx", "3", "cy", "-4", "r", c.r, nullptr, nullptr};
        EXPECT_EQ(shaped(readCircle, list, c.tolerance), expected) << c.r << " at " << c.tolerance;
        grown->tolerance = c.tolerance;
        for (int twice = 0; twice < 2; ++twice) {
            freePathList(grown->paths);
            grown->paths = nullptr;
            readCircle(*grown, list);
            EXPECT_EQ(describeList(grown->paths), expected) << c.r << " at " << c.tolerance;
        }
        // Without room for the parse's circle tables, circles are computed directly.
        setAllocationHook([](std::size_t size) { return size < 16384; });
        EXPECT_EQ(shaped(readCircle, list, c.tolerance), expected) << c.r << " without tables";
        setAllocationHook(nullptr);
    }
}

TEST(ReadCircle, CountsStayRightAsTheMemoFillsAndEvicts) {
    // More radii than the memo holds, read twice at each tolerance, the tolerance changing
    // between rounds: every circle has the count of the direct formula.
    StatePtr state = newState(0.1f);
    for (const float tolerance : {0.1f, 0.5f, 0.1f}) {
        state->tolerance = tolerance;
        for (int round = 0; round < 2; ++round) {
            for (int k = 1; k <= 6000; ++k) {
                const std::string text =
                    std::to_string(k / 100) + (k % 100 < 10 ? ".0" : ".") + std::to_string(k % 100);
                const char* list[] = {"r", text.c_str(), nullptr, nullptr};
                readCircle(*state, list);
                ASSERT_NE(state->paths, nullptr) << text;
                const float r = std::strtof(text.c_str(), nullptr);
                ASSERT_EQ(state->paths->pointCount, circleSegmentCount(r, tolerance)) << text;
                freePathList(state->paths);
                state->paths = nullptr;
            }
        }
    }
}
