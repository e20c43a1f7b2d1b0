// Hostile documents and files: each one ends with the documented outcome, without fault, with
// a bounded stack (every parse runs on a thread with a small one) and with bounded memory
// (asserted through the point and record totals).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "svg/parse_context.h"
#include "svg/reader_memory.h"
#include "tests/hostile_input.h"

namespace {

#ifdef POLYIN_SANITIZED
constexpr std::size_t parseStackSize = 2u << 20;  // sanitizer frames carry red zones
#else
constexpr std::size_t parseStackSize = 256u << 10;
#endif

// What a parse produced, in document order, with its totals.
struct Outcome {
    std::vector<PathRecord> records;        // copies; points not kept
    std::vector<std::vector<float>> points;
    long long totalPoints = 0;
};

Outcome summarize(PathList list) {
    Outcome outcome;
    for (PathRecord* r = list; r != nullptr; r = r->next) {
        outcome.records.insert(outcome.records.begin(), *r);
        outcome.points.insert(outcome.points.begin(),
                              std::vector<float>(r->points, r->points + 2 * r->pointCount));
        outcome.totalPoints += r->pointCount;
    }
    freePathList(list);
    return outcome;
}

// Runs work on a thread whose stack is parseStackSize: a parse that recursed per element or
// per command would overflow it.
template <typename Work>
void onSmallStack(Work work) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, parseStackSize);
    pthread_t thread;
    auto run = [](void* argument) -> void* {
        (*static_cast<Work*>(argument))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, run, &work), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

Outcome parseText(std::string text, float tolerance = 0.1f) {
    Outcome outcome;
    onSmallStack([&] { outcome = summarize(parseSvgText(text.data(), tolerance)); });
    return outcome;
}

Outcome parseFile(const std::string& name, float tolerance = 0.1f) {
    Outcome outcome;
    onSmallStack([&] { outcome = summarize(parseSvgFile(name.c_str(), tolerance)); });
    return outcome;
}

using hostile::repeat;
using hostile::TempFile;

// Equal floats, where a NaN equals any NaN: infinities meet zeros in the transform.
bool isSameFloats(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!(a[i] == b[i] || (std::isnan(a[i]) && std::isnan(b[i])))) return false;
    return true;
}

std::string show(const std::vector<float>& values) {
    std::string text;
    for (float v : values) text += std::to_string(v) + " ";
    return text;
}

const char* const unitSquare = "<rect width=\"1\" height=\"1\"/>";

// Appends the text of each bundled example.
void appendExamples(std::vector<std::string>& documents) {
    for (const char* example : {"flags.svg", "logo.svg", "overview.svg"}) {
        std::ifstream in(std::string(POLYIN_SOURCE_DIR) + "/examples/" + example, std::ios::binary);
        documents.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        EXPECT_FALSE(documents.back().empty()) << example;
    }
}

}  // namespace

TEST(HostileMarkup, OnlyOpeningBracketsGiveNothing) {
    for (const std::string& piece : {std::string("<"), std::string("<>"), std::string("</"),
                                     std::string("<!--"), std::string("<\"")}) {
        EXPECT_TRUE(parseText(repeat(piece, 1000000)).records.empty()) << piece;
    }
}

TEST(HostileMarkup, MillionNestedGroupsKeepTheStackBounded) {
    constexpr std::size_t depth = 1000000;
    std::string text = "<g fill=\"#ff0000\">" + repeat("<g>", depth - 1) + unitSquare +
                       repeat("</g>", depth) + unitSquare;
    Outcome outcome = parseText(text);
    ASSERT_EQ(outcome.records.size(), 2u);
    EXPECT_EQ(outcome.records[0].hasFill, 1) << "the deepest frame still carries the fill";
    EXPECT_EQ(outcome.records[0].fillColor, 0xFFFF0000u);
    EXPECT_EQ(outcome.records[1].hasFill, 0) << "every group closed: the first frame again";
}

TEST(HostileMarkup, HundredThousandAttributesKeepOnlyTheFirstPairs) {
    const std::string filler = repeat(" a=\"1\"", 100000);
    const struct { std::string tag; std::size_t records; } cases[] = {
        {"<rect width=\"2\" height=\"3\"" + filler + "/>", 1},
        {"<rect" + filler + " width=\"2\" height=\"3\"/>", 0},  // size beyond the first pairs
        {"<g fill=\"#00ff00\"" + filler + " fill=\"#ff0000\">" + unitSquare + "</g>", 1},
    };
    for (const auto& c : cases) {
        Outcome outcome = parseText(c.tag);
        EXPECT_EQ(outcome.records.size(), c.records) << c.tag.substr(0, 40);
    }
    Outcome group = parseText(cases[2].tag);
    ASSERT_EQ(group.records.size(), 1u);
    EXPECT_EQ(group.records[0].fillColor, 0xFF00FF00u) << "the late fill was never seen";
}

TEST(HostileValues, MillionCharacterValuesAreReadWithinTheirBounds) {
    const std::string ones = repeat("1", 1000000);
    const struct {
        std::string element;
        std::uint32_t fillColor;
        float strokeWidth;
        long long points;
    } cases[] = {
        // A colour keeps its last eight digits.
        {"<rect fill=\"#" + repeat("0", 1000000) + "ff\" width=\"1\" height=\"1\"/>", 0xFF0000FFu, 1.0f, 4},
        // A declaration value keeps its first 511 characters; the next declaration still counts.
        {"<rect style=\"stroke-width:" + ones + ";fill:#ff0000\" width=\"1\" height=\"1\"/>",
         0xFFFF0000u, INFINITY, 4},
        {"<rect style=\"fill:#" + ones + "\" width=\"1\" height=\"1\"/>", 0xFF111111u, 1.0f, 4},
        {"<rect style=\"" + repeat("  ;", 300000) + "fill:#ff0000\" width=\"1\" height=\"1\"/>",
         0xFFFF0000u, 1.0f, 4},
        // A huge number token keeps 63 characters; the rest of it is consumed with it.
        {"<path d=\"M 0 0 L ." + ones + " 5\"/>", 0, 1.0f, 2},
        {"<path d=\"M 0 0 L 1 1 " + repeat(", ", 500000) + "2 2\"/>", 0, 1.0f, 3},
        {"<rect transform=\"" + repeat("translate(1,1) ", 60000) + "\" width=\"1\" height=\"1\"/>",
         0, 1.0f, 4},
        {"<polyline points=\"" + repeat("1,2 ", 250000) + "\"/>", 0, 1.0f, 250000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.element.substr(0, 40));
        Outcome outcome = parseText(c.element);
        ASSERT_EQ(outcome.records.size(), 1u);
        EXPECT_EQ(outcome.records[0].fillColor, c.fillColor);
        EXPECT_EQ(outcome.records[0].strokeWidth, c.strokeWidth);
        EXPECT_EQ(outcome.totalPoints, c.points);
    }
    Outcome path = parseText("<path d=\"M 0 0 L ." + ones + " 5\"/>");
    ASSERT_EQ(path.points.size(), 1u);
    const std::string kept = "." + std::string(62, '1');
    EXPECT_EQ(path.points[0][2], static_cast<float>(std::strtod(kept.c_str(), nullptr)));
    EXPECT_EQ(path.points[0][3], 5.0f);
    Outcome moved = parseText("<rect transform=\"" + repeat("translate(1,1) ", 60000) +
                              "\" width=\"1\" height=\"1\"/>");
    ASSERT_EQ(moved.points.size(), 1u);
    EXPECT_EQ(moved.points[0][0], 60000.0f);
}

TEST(HostileTransforms, KeywordsWithoutTheirParenthesesAreScannedOnce) {
    // Each keyword would otherwise look for its "(" and ")" through the whole rest of the list.
    // The expectation is where the corner (1, 1) of the unit square ends.
    const struct { std::string list; float x; float y; } cases[] = {
        {repeat("scale", 200000), 1, 1},
        {repeat("matrix(", 140000), 1, 1},
        {repeat("translate(1 ", 80000), 1, 1},
        {repeat("scale(2 ", 80000) + ")", 2, 0},  // the first scale takes 2, then 0 from an "e"
        {repeat("scale ", 160000) + "translate(3,4)", 3, 4},  // the first scale takes 3 and 4
        {"translate(3,4)" + repeat(" scale", 160000), 4, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list.substr(0, 30));
        Outcome outcome = parseText("<rect transform=\"" + c.list + "\" width=\"1\" height=\"1\"/>");
        ASSERT_EQ(outcome.points.size(), 1u);
        EXPECT_EQ(outcome.points[0][4], c.x);
        EXPECT_EQ(outcome.points[0][5], c.y);
    }
}

TEST(HostileValues, NestedStyleDeclarationsStayWithinTheirBuffers) {
    // Each "style" declaration is split again; its 511-character bound bounds the nesting.
    Outcome outcome = parseText("<rect style=\"" + repeat("style:", 200000) +
                                "fill:#ff0000\" width=\"1\" height=\"1\"/>");
    ASSERT_EQ(outcome.records.size(), 1u);
    EXPECT_EQ(outcome.records[0].hasFill, 0) << "the fill lies beyond the first 511 characters";
    Outcome shallow = parseText("<rect style=\"" + repeat("style:", 80) +
                                "fill:#ff0000\" width=\"1\" height=\"1\"/>");
    ASSERT_EQ(shallow.records.size(), 1u);
    EXPECT_EQ(shallow.records[0].fillColor, 0xFFFF0000u);
}

TEST(HostileNumbers, ExtremeNumbersGiveDefinedValues) {
    const std::string zeros63 = std::string(63, '0') + "1";
    const struct { std::string path; std::vector<float> points; } cases[] = {
        // An infinity times a zero of the identity transform is NaN.
        {"M 0 0 L 1e39 -1e39", {0, 0, NAN, NAN}},
        {"M 0 0 L 1e400 1e-400", {0, 0, INFINITY, NAN}},  // 1e and -400: the last is dropped
        {"M " + zeros63 + " 5", {0, 5}},        // the token keeps 63 characters: zeros only
        {"M " + std::string(62, '0') + "1 5", {1, 5}},
        {"M - 5 + 6", {0, 5, 0, 6}},            // lone signs read as 0
        {"M -- 5 +-+ 6 . 7 e 8", {0, 5, 0, 6, 0, 7, 0, 8}},
        {"M 1e39 0 C 1e39 0 2 0 3 0", {INFINITY, NAN, 3, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.substr(0, 40));
        Outcome outcome = parseText("<path d=\"" + c.path + "\"/>");
        ASSERT_EQ(outcome.points.size(), 1u);
        EXPECT_TRUE(isSameFloats(outcome.points[0], c.points)) << show(outcome.points[0]);
    }
    const struct { const char* width; long long points; } rects[] = {
        {"1e39", 4}, {"1e400", 4}, {"-", 0}, {"+", 0}, {"-1e400", 4}, {"1e-400", 0}, {"nan", 0},
    };
    for (const auto& r : rects) {
        Outcome outcome = parseText(std::string("<rect width=\"") + r.width + "\" height=\"1\"/>");
        EXPECT_EQ(outcome.totalPoints, r.points) << r.width;
    }
}

TEST(HostileCurves, MillionCurveCommandsGrowPointsLinearly) {
    constexpr long long count = 1000000;
    // Degenerate cubics: each yields its two accepted split points and its end point.
    Outcome cubics = parseText("<path d=\"M0 0 C" + repeat(" 0 0 0 0 0 0", count) + "\"/>", 0.001f);
    EXPECT_EQ(cubics.totalPoints, 1 + 3 * count);
    Outcome quadratics = parseText("<path d=\"M0 0 T" + repeat(" 0 0", count / 4) + "\"/>", 0.001f);
    EXPECT_EQ(quadratics.totalPoints, 1 + 3 * (count / 4));
}

TEST(HostileCurves, LargeCurvesStopAtTheDepthLimit) {
    // Pieces of a huge curve never pass the flatness test; the depth limit bounds the work and
    // the points whatever the coordinates.
    for (const char* curve : {"C 0 1e30 1e30 -1e30 1e30 0", "Q 1e30 1e30 1e30 0", "C 1e39 0 2 0 3 0"}) {
        Outcome outcome = parseText(std::string("<path d=\"M0 0 ") + curve + "\"/>", 0.001f);
        EXPECT_GE(outcome.totalPoints, 2) << curve;
        EXPECT_LE(outcome.totalPoints, 8193) << curve;
    }
}

TEST(HostileCircles, HugeRadiiStayBounded) {
    // Radii so large that r + tolerance == r in float are counted again in double precision,
    // and no circle gets more than 65536 segments; an infinite radius draws nothing.
    const struct { const char* radius; long long points; } capped[] = {
        {"1e30", 65536}, {"1e38", 65536}, {"-1e30", 65536}, {"1e10", 65536}, {"1e6", 65536},
        {"1e39", 0}, {"1e400", 0},
    };
    for (const auto& c : capped) {
        Outcome outcome = parseText(std::string("<circle r=\"") + c.radius + "\"/>", 0.001f);
        EXPECT_EQ(outcome.totalPoints, c.points) << c.radius;
    }
    Outcome wide = parseText("<circle r=\"32768\"/>", 0.001f);
    EXPECT_GT(wide.totalPoints, 9100) << "beyond what the float count can give";
    EXPECT_LT(wide.totalPoints, 65536);
    Outcome ordinary = parseText("<circle r=\"1000\"/>", 0.001f);
    ASSERT_EQ(ordinary.records.size(), 1u);
    EXPECT_GT(ordinary.totalPoints, 3);
    EXPECT_LT(ordinary.totalPoints, 9100);
}

TEST(HostileTolerances, AnyToleranceEndsWithBoundedOutput) {
    // The command only ever passes 0.001 to 1, but the parse entry takes any float.
    const std::string document = "<circle r=\"1\"/><circle r=\"0.5\"/><circle r=\"1e30\"/>"
                                 "<path d=\"M0 0 C 0 1 1 1 1 0 Q 2 2 3 0\"/>";
    for (float tolerance : {0.0f, -0.0f, -1.0f, -0.5f, 1e-30f, 1e-7f, 1e30f, INFINITY, -INFINITY, NAN}) {
        Outcome outcome = parseText(document, tolerance);
        EXPECT_LE(outcome.totalPoints, 3 * 65536 + 2 * 8193 + 1) << tolerance;
    }
}

TEST(HostileText, NulBytesEndTheText) {
    std::string content = std::string(unitSquare) + '\0' + unitSquare + unitSquare;
    TempFile file(content);
    ASSERT_FALSE(file.name().empty());
    EXPECT_EQ(parseFile(file.name()).records.size(), 1u);
    EXPECT_EQ(parseText(content).records.size(), 1u);
    EXPECT_TRUE(parseText(std::string(1, '\0') + unitSquare).records.empty());
}

TEST(HostileText, Utf16FilesGiveNothing) {
    auto wide = [](const std::string& text, bool bigEndian, bool mark) {
        std::string out;
        if (mark) out += bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (char c : text) {
            if (bigEndian) out += '\0';
            out += c;
            if (!bigEndian) out += '\0';
        }
        return out;
    };
    for (bool bigEndian : {false, true}) {
        for (bool mark : {false, true}) {
            TempFile file(wide(std::string("<svg>") + unitSquare + "</svg>", bigEndian, mark));
            ASSERT_FALSE(file.name().empty());
            EXPECT_TRUE(parseFile(file.name()).records.empty()) << bigEndian << mark;
        }
    }
}

TEST(HostileText, EveryPrefixOfADocumentParses) {
    const std::string document =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE svg>\n<svg xmlns=\"http://www.w3.org/2000/svg\">"
        "<!-- outline > test --><defs><rect width=\"9\" height=\"9\"/></defs>"
        "<g transform=\"translate(10,20) scale(2)\" fill=\"#ff0000\" style=\"stroke:#00f; fill-opacity:.5\">"
        "<rect x=\"0\" y=\"0\" width=\"5\" height=\"5\"/><circle cx=\"5\" cy=\"5\" r=\"4\"/>"
        "<path d=\"M 10 20 L 30 20 l 0 10 H 5 v -5 Z m 1 1 C 0 1 1 1 1 0 S 2 -1 2 0 Q 1 1 2 0 T 4 0\"/>"
        "<line x1=\"1\" y2=\"5\"/><polyline points=\"0,0 10,0 10,10\"/><polygon points=\"0 0 1 1 2 0\"/>"
        "</g><g transform=\"matrix(1 0 0 1 5 5)\"><rect width=\"1\" height=\"1\"/></g></svg>\n";
    EXPECT_EQ(parseText(document).records.size(), 8u);
    std::vector<std::string> documents = {document};
    appendExamples(documents);
    for (const std::string& whole : documents) {
        std::size_t full = parseText(whole).records.size();
        for (std::size_t length = 0; length <= whole.size(); ++length) {
            std::string prefix = whole.substr(0, length);
            PathList list = parseSvgText(prefix.data(), 0.1f);
            std::size_t records = 0;
            for (PathRecord* r = list; r != nullptr; r = r->next, ++records) ASSERT_GT(r->pointCount, 0);
            freePathList(list);
            EXPECT_LE(records, full) << length;
        }
    }
}

namespace {
std::string shrinkingFileName;
off_t shrinkTo = -1;

// Runs as the text buffer is allocated, after the size was taken and before the read.
bool changeFileBeforeRead(std::size_t) {
    if (shrinkTo >= 0) {
        if (truncate(shrinkingFileName.c_str(), shrinkTo) != 0) return true;
    } else {
        unlink(shrinkingFileName.c_str());
    }
    setAllocationHook(nullptr);
    return true;
}
}  // namespace

TEST(HostileFiles, FileThatShrinksOrVanishesBeforeTheReadGivesWhatWasRead) {
    const std::string content = std::string(unitSquare) + unitSquare + unitSquare;
    const struct { off_t shrinkTo; std::size_t records; } cases[] = {
        {static_cast<off_t>(std::strlen(unitSquare)), 1},  // cut after the first element
        {static_cast<off_t>(std::strlen(unitSquare)) + 5, 1},
        {0, 0},
        {-1, 3},  // unlinked: the open file still reads whole
    };
    for (const auto& c : cases) {
        TempFile file(content);
        ASSERT_FALSE(file.name().empty());
        shrinkingFileName = file.name();
        shrinkTo = c.shrinkTo;
        setAllocationHook(changeFileBeforeRead);
        PathList list = parseSvgFile(file.name().c_str(), 0.1f);
        setAllocationHook(nullptr);
        EXPECT_EQ(summarize(list).records.size(), c.records) << c.shrinkTo;
    }
}

TEST(HostileFiles, DirectoryOrFifoWithAnIdleWriterImportsNothingWithoutHanging) {
    EXPECT_TRUE(parseFile("/").records.empty());
    EXPECT_TRUE(parseFile("/dev/null").records.empty());
    EXPECT_TRUE(parseFile("/dev/urandom").records.empty());
    // A writer that holds the FIFO open and has written a document but not closed it.
    hostile::StalledFifo fifo(std::string("<svg>") + unitSquare);
    ASSERT_TRUE(fifo.isReady());
    auto pending = std::async(std::launch::async, [&] { return summarize(parseSvgFile(fifo.name().c_str(), 0.1f)); });
    bool finished = pending.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    EXPECT_TRUE(finished) << "the read waited for the writer";
    fifo.closeWriter();
    EXPECT_TRUE(pending.get().records.empty());
}

namespace {
int allocationsSeen = 0;
int allocationToFail = -1;  // by its order in the parse; -1 fails none

// Parses with the allocation of that order failing; the count of allocations it asked for.
Outcome parseFailing(const std::string& document, int failing, int* allocations) {
    allocationsSeen = 0;
    allocationToFail = failing;
    setAllocationHook([](std::size_t) { return allocationsSeen++ != allocationToFail; });
    Outcome outcome = parseText(document);
    setAllocationHook(nullptr);
    *allocations = allocationsSeen;
    return outcome;
}

// A record as one comparable value: its attributes and its points, each point one element
// holding the bits of x and y (so that a NaN equals itself).
using DrawnRecord = std::tuple<std::uint32_t, std::uint32_t, int, int, int, std::uint32_t,
                               std::vector<std::uint64_t>>;

std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

std::vector<DrawnRecord> drawn(const Outcome& outcome) {
    std::vector<DrawnRecord> records;
    for (std::size_t i = 0; i < outcome.records.size(); ++i) {
        const PathRecord& r = outcome.records[i];
        std::vector<std::uint64_t> points;
        for (std::size_t at = 0; at + 1 < outcome.points[i].size(); at += 2)
            points.push_back(std::uint64_t{bitsOf(outcome.points[i][at])} << 32 |
                             bitsOf(outcome.points[i][at + 1]));
        records.emplace_back(r.fillColor, r.strokeColor, r.closed, r.hasFill, r.hasStroke,
                             bitsOf(r.strokeWidth), points);
    }
    return records;
}

// Whether got is full with one element taken out.
template <typename T>
bool lacksOneElement(const std::vector<T>& full, const std::vector<T>& got) {
    if (got.size() + 1 != full.size()) return false;
    auto differ = std::mismatch(got.begin(), got.end(), full.begin());
    return std::equal(differ.first, got.end(), differ.second + 1);
}

// What one failed allocation may cost: nothing, one whole record, or one point of one record.
bool lacksAtMostOneRecordOrPoint(const Outcome& fullOutcome, const Outcome& gotOutcome) {
    const std::vector<DrawnRecord> full = drawn(fullOutcome), got = drawn(gotOutcome);
    if (got == full || lacksOneElement(full, got)) return true;
    if (got.size() != full.size()) return false;
    auto differ = std::mismatch(got.begin(), got.end(), full.begin());
    DrawnRecord shorter = *differ.first, whole = *differ.second;
    std::vector<std::uint64_t> shorterPoints, wholePoints;
    std::swap(std::get<6>(shorter), shorterPoints);
    std::swap(std::get<6>(whole), wholePoints);
    return shorter == whole && lacksOneElement(wholePoints, shorterPoints) &&
           std::equal(differ.first + 1, got.end(), differ.second + 1);
}
}  // namespace

TEST(HostileMemory, EachFailedAllocationDropsOnlyWhatItHeld) {
    // Every allocation of each parse failed in turn, one at a time: the parser state (the
    // first) takes everything with it, a record block its record, a growth of the point
    // buffer the one point that needed it, the circle tables nothing (circles are then
    // computed directly). Under the sanitizers this also checks that nothing leaks or is
    // written past a buffer that failed to grow.
    std::string wavy = "<path fill=\"#0f0\" d=\"M 0 0";
    for (int i = 1; i <= 70; ++i) wavy += " l 3 " + std::to_string(i % 7 - 3);
    wavy += " c 5 5 10 -5 15 0 z\"/>";
    std::vector<std::string> documents = {
        "<svg><circle r=\"40\"/><rect width=\"2\" height=\"3\"/>" + wavy +
            "<polygon points=\"" + repeat("1 2 3 4 ", 20) + "\"/><circle r=\"400\"/></svg>"};
    appendExamples(documents);
    for (const std::string& document : documents) {
        int allocations = 0, ignored = 0;
        const Outcome full = parseFailing(document, -1, &allocations);
        ASSERT_FALSE(full.records.empty());
        ASSERT_GT(allocations, 1);
        EXPECT_TRUE(parseFailing(document, 0, &ignored).records.empty());
        for (int failing = 1; failing < allocations; ++failing) {
            const Outcome got = parseFailing(document, failing, &ignored);
            EXPECT_TRUE(lacksAtMostOneRecordOrPoint(full, got))
                << "failing allocation " << failing << " of " << allocations << " gave "
                << got.records.size() << " records, " << got.totalPoints << " points against "
                << full.records.size() << ", " << full.totalPoints << "\n" << document.substr(0, 60);
        }
    }
}
