#include "svg/parse_context.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "geometry/path_text.h"

namespace {

struct ListDeleter {
    void operator()(PathRecord* list) const { freePathList(list); }
};
using ListPtr = std::unique_ptr<PathRecord, ListDeleter>;

ListPtr parsed(std::string text, float tolerance = 0.1f) {
    return ListPtr(parseSvgText(text.data(), tolerance));
}

// The records in document order, each with its paint keys when the switch is on.
std::string described(std::string text, float tolerance = 0.1f) {
    ListPtr list = parsed(std::move(text), tolerance);
    std::string out;
    for (const PathRecord* record : emitted(list.get())) {
        if (!out.empty()) out += " | ";
        out += describeRecord(*record);
        char keys[64];
        if (record->hasFill) {
            std::snprintf(keys, sizeof keys, " fill %08X", record->fillColor);
            out += keys;
        }
        if (record->hasStroke) {
            std::snprintf(keys, sizeof keys, " stroke %08X width %g", record->strokeColor,
                          static_cast<double>(record->strokeWidth));
            out += keys;
        }
    }
    return out;
}

}  // namespace

TEST(ParseSvgText, ReadsTheWholeSubset) {
    const struct { const char* text; const char* records; } cases[] = {
        {"<svg><g transform=\"translate(10,20)\" fill=\"#ff0000\">"
         "<rect x=\"0\" y=\"0\" width=\"5\" height=\"5\"/></g></svg>",
         "closed (10,20) (15,20) (15,25) (10,25) fill FFFF0000"},
        {"<g transform=\"translate(10,0)\"><g transform=\"scale(2)\"><line x2=\"1\" y2=\"3\"/>"
         "</g><line x2=\"1\"/></g><line x2=\"1\"/>",
         "open (10,0) (12,6) | open (10,0) (11,0) | open (0,0) (1,0)"},
        {"<path fill=\"#00ff00\" d=\"M0 0 L1 0\" transform=\"scale(2)\" stroke=\"#0000ff\"/>",
         "open (0,0) (1,0) fill FF00FF00"},
        {"<path transform=\"translate(1,1)\" d=\"M0 0 L1 0 Z m 2 0 h 1\"/>",
         "closed (1,1) (2,1) | open (3,1) (4,1)"},
        {"<g fill=\"#ff0000\"><path d=\"M0,0 Q2,2 4,0\" style=\"fill:#00ff00\"/></g>",
         "open (0,0) (0.5,0.4375) (1.5,0.9375) (2.5,0.9375) (3.5,0.4375) (4,0) fill FFFF0000"},
        {"<polyline points=\"0,0 1,1\" stroke=\"#123456\" stroke-width=\"3\" "
         "transform=\"matrix(2 0 0 1 0 0)\"/>",
         "open (0,0) (2,1) stroke FF123456 width 6"},
        // each paint takes the alpha of its own opacity
        {"<line x2=\"1\" fill=\"#ff0000\" fill-opacity=\"0.5\" stroke=\"#0000ff\" "
         "stroke-opacity=\"0.25\"/>",
         "open (0,0) (1,0) fill 7FFF0000 stroke 3F0000FF width 1"},
        {"<g fill=\"#ff0000\"><polygon fill=\"none\" points=\"0,0 1,0 1,1\"/>"
         "<polygon points=\"0,0 1,0 1,1\"/></g>",
         "closed (0,0) (1,0) (1,1) | closed (0,0) (1,0) (1,1) fill FFFF0000"},
        {"<rect style=\"x:5\" width=\"1\" height=\"1\"/>", "closed (0,0) (1,0) (1,1) (0,1)"},
        {"<rect width=\"1\" height=\"1\" transform=\"translate(5,5)\"/>",
         "closed (5,5) (6,5) (6,6) (5,6)"},
        {"<rect width=\"5\" height=\"5\" x>", "closed (0,0) (5,0) (5,5) (0,5)"},
        {"<path d><rect width=\"1\" height=\"1\"/>", "closed (0,0) (1,0) (1,1) (0,1)"},
        {"<ellipse rx=\"5\" ry=\"5\"/><svg fill=\"#ff0000\"><line x2=\"1\"/></svg>",
         "open (0,0) (1,0)"},
        {"<defs><rect width=\"1\" height=\"1\"/></defs><rect width=\"2\" height=\"2\"/>",
         "closed (0,0) (2,0) (2,2) (0,2)"},
        {"<defs><circle r=\"1\"/><path d=\"M0 0 1 1\"/></defs>", ""},
        {"<path d=\"M0 0 L1 1\"><rect width=\"1\" height=\"1\"/><path d=\"M5 5 L6 6\">",
         "open (0,0) (1,1) | closed (0,0) (1,0) (1,1) (0,1)"},
        // the nested self-closing path is ignored, but its end tag reopens the way
        {"<path d=\"M0 0 L1 1\"><path d=\"M5 5 L6 6\"/><path d=\"M7 7\"/>",
         "open (0,0) (1,1) | open (7,7)"},
        {"<path d=\"M0 0 L1 1\"></path><path d=\"M5 5\"/>", "open (0,0) (1,1) | open (5,5)"},
    };
    for (const auto& c : cases) EXPECT_EQ(described(c.text), c.records) << c.text;
}

TEST(ParseSvgText, CirclesKeepTheToleranceBeforeTheTransform) {
    ListPtr plain = parsed("<circle r=\"1\"/>");
    ListPtr scaled = parsed("<g transform=\"scale(10)\"><circle r=\"1\" fill=\"#0000ff\" "
                           "fill-opacity=\"0.5\"/></g>");
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(scaled, nullptr);
    EXPECT_EQ(plain->pointCount, 8);
    ASSERT_EQ(scaled->pointCount, 8);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(scaled->points[i], plain->points[i] * 10.0f) << i;
    EXPECT_EQ(scaled->fillColor, 0x7F0000FFu);
}

TEST(ParseSvgText, ListRunsInReverseDocumentOrder) {
    ListPtr list = parsed("<rect width=\"1\" height=\"1\"/><path d=\"M1 1 2 2 M3 3\"/>"
                          "<circle r=\"1\"/><line x2=\"9\"/>");
    const int counts[] = {2, 8, 1, 2, 4};  // line, circle, the path's two subpaths, rect
    const PathRecord* record = list.get();
    for (int count : counts) {
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->pointCount, count);
        record = record->next;
    }
    EXPECT_EQ(record, nullptr);
}

// A digest of every point and flag, so both builds can be held to the same golden value.
namespace {
std::uint64_t digest(PathList list) {
    std::uint64_t hash = 1469598103934665603ull;
    auto mix = [&hash](std::uint32_t word) { hash = (hash ^ word) * 1099511628211ull; };
    for (; list != nullptr; list = list->next) {
        mix(static_cast<std::uint32_t>(list->pointCount));
        mix(list->closed);
        for (int i = 0; i < 2 * list->pointCount; ++i) {
            std::uint32_t bits;
            std::memcpy(&bits, &list->points[i], sizeof bits);
            mix(bits);
        }
    }
    return hash;
}
}  // namespace

TEST(ParseSvgText, BothBuildsAgreeBitForBit) {
    std::string text = "<g transform=\"matrix(0.7 0.3 -0.2 1.1 3.5 -7.25)\">";
    for (int i = 1; i <= 60; ++i) {
        char element[200];
        std::snprintf(element, sizeof element,
                      "<circle cx=\"%d.3\" cy=\"-%d.7\" r=\"%d.%d\"/>"
                      "<path d=\"M%d.1 0 C 1.3 %d.7 2.9 -3.1 %d.5 0.25 s 1.7 2.2 3.3 -0.4 "
                      "Q 0.3 0.9 1.1 %d.6 t 2.2 0.1\"/>",
                      i, i, i * i, i % 10, i, i, i, i);
        text += element;
    }
    text += "<circle r=\"40000\"/><circle r=\"1e30\"/></g>";
    const struct { float tolerance; std::uint64_t expected; } cases[] = {
        {1.0f, 18128220700199647606ull},
        {0.1f, 8500765844957117800ull},
        {0.001f, 18261902178410284019ull},
    };
    for (const auto& c : cases) {
        ListPtr list = parsed(text, c.tolerance);
        EXPECT_EQ(digest(list.get()), c.expected) << c.tolerance;
    }
}
