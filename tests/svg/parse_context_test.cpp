#include "svg/parse_context.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "svg/reader_memory.h"
#include "tests/hostile_input.h"

namespace {

struct StateDeleter {
    void operator()(ParserState* state) const { destroyParserState(state); }
};
using StatePtr = std::unique_ptr<ParserState, StateDeleter>;

StatePtr newState() { return StatePtr(createParserState()); }

// Fails every allocation after the first `allowed` ones while in scope.
class FailingAllocations {
public:
    explicit FailingAllocations(int allowed) {
        remaining = allowed;
        setAllocationHook([](std::size_t) { return remaining-- > 0; });
    }
    ~FailingAllocations() { setAllocationHook(nullptr); }
private:
    static inline int remaining = 0;
};

int listLength(PathList list) {
    int n = 0;
    for (; list != nullptr; list = list->next) ++n;
    return n;
}

}  // namespace

TEST(CreateParserState, StartsWithTheFirstFrame) {
    StatePtr state = newState();
    ASSERT_NE(state, nullptr);
    const StyleFrame& first = currentStyle(*state);
    EXPECT_EQ(state->styleTop, 0);
    EXPECT_EQ(first.transform.a, 1.0f);
    EXPECT_EQ(first.transform.b, 0.0f);
    EXPECT_EQ(first.transform.c, 0.0f);
    EXPECT_EQ(first.transform.d, 1.0f);
    EXPECT_EQ(first.transform.e, 0.0f);
    EXPECT_EQ(first.transform.f, 0.0f);
    EXPECT_EQ(first.fillColor, 0u);
    EXPECT_EQ(first.strokeColor, 0u);
    EXPECT_EQ(first.fillOpacity, 1.0f);
    EXPECT_EQ(first.strokeOpacity, 1.0f);
    EXPECT_EQ(first.strokeWidth, 1.0f);
    EXPECT_EQ(first.hasFill, 0);
    EXPECT_EQ(first.hasStroke, 0);
    EXPECT_EQ(state->points, nullptr);
    EXPECT_EQ(state->paths, nullptr);
    EXPECT_EQ(state->inPath, 0);
    EXPECT_EQ(state->inDefs, 0);
}

TEST(CreateParserState, FailedAllocationGivesNull) {
    FailingAllocations failing(0);
    EXPECT_EQ(createParserState(), nullptr);
    char text[] = "<g/>";
    EXPECT_EQ(parseSvgText(text, 0.1f), nullptr);
    EXPECT_STREQ(text, "<g/>") << "the text is left untouched";
}

TEST(StyleStack, StopsAtTheLimitAndNeverDropsTheFirstFrame) {
    StatePtr state = newState();
    popStyle(*state);
    EXPECT_EQ(state->styleTop, 0);
    EXPECT_EQ(currentStyle(*state).strokeWidth, 1.0f);
    for (int i = 0; i < 127; ++i) {
        pushStyle(*state);
        currentStyle(*state).strokeWidth = float(i);
    }
    EXPECT_EQ(state->styleTop, 127);
    pushStyle(*state);
    EXPECT_EQ(state->styleTop, 127);
    EXPECT_EQ(currentStyle(*state).strokeWidth, 126.0f);
    EXPECT_EQ(state->styles[126].strokeWidth, 125.0f);
    popStyle(*state);
    EXPECT_EQ(currentStyle(*state).strokeWidth, 125.0f);
}

TEST(AppendPoint, GrowsByDoubling) {
    StatePtr state = newState();
    const struct { int appended; int capacity; } steps[] = {{1, 8}, {8, 8}, {9, 16}, {16, 16}, {17, 32}};
    int count = 0;
    for (const auto& step : steps) {
        while (count < step.appended) appendPoint(*state, float(count), float(-count)), ++count;
        EXPECT_EQ(state->pointCapacity, step.capacity) << step.appended;
    }
    ASSERT_EQ(state->pointCount, 17);
    EXPECT_EQ(state->points[32], 16.0f);
    EXPECT_EQ(state->points[33], -16.0f);
    resetPoints(*state);
    EXPECT_EQ(state->pointCount, 0);
    EXPECT_EQ(state->pointCapacity, 32);
}

TEST(AppendPoint, FailedGrowthDropsOnlyThatPoint) {
    StatePtr state = newState();
    for (int i = 0; i < 8; ++i) appendPoint(*state, 1.0f, 2.0f);
    {
        FailingAllocations failing(0);
        appendPoint(*state, 3.0f, 4.0f);
    }
    EXPECT_EQ(state->pointCount, 8);
    EXPECT_EQ(state->pointCapacity, 8);
    appendPoint(*state, 5.0f, 6.0f);
    EXPECT_EQ(state->pointCount, 9);
    EXPECT_EQ(state->points[16], 5.0f);
}

// From 8 MiB on, the buffer moves into a mapping of its own, which then grows by remapping:
// every point must arrive at each step, and a refused growth must leave the buffer as it was.
TEST(AppendPoint, LargeBuffersMoveWhole) {
    StatePtr state = newState();
    constexpr int full = 1 << 20;  // 8 MiB of pairs: the next growth asks for 16 MiB
    for (int i = 0; i < full; ++i) appendPoint(*state, float(i), float(-i));
    ASSERT_EQ(state->pointCapacity, full);
    {
        FailingAllocations failing(0);
        appendPoint(*state, -1.0f, -1.0f);
    }
    EXPECT_EQ(state->pointCount, full);
    EXPECT_EQ(state->pointCapacity, full);
    for (int i = full; i < 2 * full + 1; ++i) appendPoint(*state, float(i), float(-i));
    ASSERT_EQ(state->pointCount, 2 * full + 1);
    EXPECT_EQ(state->pointCapacity, 4 * full);
    int wrong = 0;
    for (int i = 0; i < state->pointCount; ++i) {
        wrong += state->points[2 * i] != float(i) || state->points[2 * i + 1] != float(-i);
    }
    EXPECT_EQ(wrong, 0);
}

TEST(AppendPoint, RefusesACapacityNoCountCanHold) {
    StatePtr state = newState();
    appendPoint(*state, 1.0f, 1.0f);
    // Pretend the buffer is already at the largest doubling a signed count allows.
    float* real = state->points;
    state->pointCapacity = 0x40000000;
    state->pointCount = 0x40000000;
    appendPoint(*state, 2.0f, 2.0f);
    EXPECT_EQ(state->pointCount, 0x40000000);
    EXPECT_EQ(state->pointCapacity, 0x40000000);
    EXPECT_EQ(state->points, real);
    state->pointCapacity = 8;
    state->pointCount = 1;
}

TEST(EmitPath, TransformsStampsAndPrepends) {
    StatePtr state = newState();
    emitPath(*state, 1);
    EXPECT_EQ(state->paths, nullptr) << "an empty buffer emits nothing";

    StyleFrame& frame = currentStyle(*state);
    frame.transform = Affine{3.0f, 0.0f, 0.0f, 1.0f, 10.0f, 20.0f};
    frame.strokeWidth = 2.0f;
    frame.fillColor = 0x00FF0000u;
    frame.hasFill = 1;
    frame.fillOpacity = 0.5f;
    frame.strokeColor = 0x000000FFu;
    frame.strokeOpacity = 0.25f;  // switch off: no alpha byte
    appendPoint(*state, 1.0f, 2.0f);
    emitPath(*state, 1);
    emitPath(*state, 0);
    ASSERT_EQ(listLength(state->paths), 2);
    const PathRecord& open = *state->paths;
    const PathRecord& closed = *state->paths->next;
    EXPECT_EQ(open.closed, 0);
    EXPECT_EQ(closed.closed, 1);
    for (const PathRecord* r : {&open, &closed}) {
        ASSERT_EQ(r->pointCount, 1);
        EXPECT_EQ(r->points[0], 13.0f);
        EXPECT_EQ(r->points[1], 22.0f);
        EXPECT_EQ(r->strokeWidth, 6.0f);
        EXPECT_EQ(r->fillColor, 0x7FFF0000u);
        EXPECT_EQ(r->strokeColor, 0x000000FFu);
        EXPECT_EQ(r->hasFill, 1);
        EXPECT_EQ(r->hasStroke, 0);
    }
}

TEST(EmitPath, AlphaByteIsTruncatedOpacityTimes255) {
    const struct { float opacity; std::uint32_t alpha; } cases[] = {
        {1.0f, 0xFF}, {0.5f, 0x7F}, {0.0f, 0x00}, {1.5f, 0x7E}, {-0.5f, 0x81},
        {2.0f, 0xFE}, {1e30f, 0x00}, {-1e30f, 0x00}, {__builtin_nanf(""), 0x00},
    };
    for (const auto& c : cases) {
        StatePtr state = newState();
        currentStyle(*state).hasFill = 1;
        currentStyle(*state).hasStroke = 1;
        currentStyle(*state).fillOpacity = c.opacity;
        currentStyle(*state).strokeOpacity = c.opacity;
        appendPoint(*state, 0.0f, 0.0f);
        emitPath(*state, 0);
        EXPECT_EQ(state->paths->fillColor, c.alpha << 24) << c.opacity;
        EXPECT_EQ(state->paths->strokeColor, c.alpha << 24) << c.opacity;
    }
}

TEST(EmitPath, StrokeWidthUsesOnlyComponentA) {
    StatePtr state = newState();
    currentStyle(*state).strokeWidth = 2.0f;
    currentStyle(*state).transform = Affine{0.0f, 1.0f, -1.0f, 0.0f, 0.0f, 0.0f};
    appendPoint(*state, 1.0f, 0.0f);
    emitPath(*state, 0);
    EXPECT_EQ(state->paths->strokeWidth, 0.0f);
    EXPECT_EQ(state->paths->points[0], 0.0f);
    EXPECT_EQ(state->paths->points[1], 1.0f);
}

TEST(EmitPath, FailedAllocationDropsOnlyThatPolyline) {
    StatePtr state = newState();
    appendPoint(*state, 1.0f, 1.0f);
    {
        FailingAllocations failing(0);  // the record's block
        emitPath(*state, 0);
        EXPECT_EQ(state->paths, nullptr);
    }
    emitPath(*state, 0);
    EXPECT_EQ(listLength(state->paths), 1);
    EXPECT_EQ(state->pointCount, 1) << "the points stay buffered";
}

TEST(EmitPath, PointsShareTheRecordsBlockAtTheirExactSize) {
    // One block per polyline, the record then exactly its pairs, whatever the buffer's capacity:
    // freePathList's one release per record frees both.
    StatePtr state = newState();
    for (int i = 0; i < 5; ++i) appendPoint(*state, static_cast<float>(i), 0.0f);
    ASSERT_GT(state->pointCapacity, 5);
    static std::vector<std::size_t> requests;
    requests.clear();
    setAllocationHook([](std::size_t size) {
        requests.push_back(size);
        return true;
    });
    emitPath(*state, 0);
    setAllocationHook(nullptr);
    ASSERT_NE(state->paths, nullptr);
    EXPECT_EQ(requests, std::vector<std::size_t>{sizeof(PathRecord) + 5 * 2 * sizeof(float)});
    EXPECT_EQ(state->paths->points, reinterpret_cast<float*>(state->paths + 1));
    EXPECT_EQ(state->paths->points[8], 4.0f);
}

TEST(ParseSvgText, EmptyOrTaglessTextGivesNull) {
    for (const char* text : {"", "just text", "> > >", "<<<<<<"}) {
        std::string copy = text;
        EXPECT_EQ(parseSvgText(copy.data(), 0.1f), nullptr) << text;
    }
}

TEST(FreePathList, AcceptsNull) { freePathList(nullptr); }

TEST(ParseSvgFile, MissingFileGivesNull) {
    EXPECT_EQ(parseSvgFile("/nonexistent/polyin/file.svg", 0.1f), nullptr);
    EXPECT_EQ(parseSvgFile("", 0.1f), nullptr);
    EXPECT_EQ(parseSvgFile(nullptr, 0.1f), nullptr);
}

TEST(ParseSvgFile, DirectoryAndFifoGiveNullWithoutHanging) {
    EXPECT_EQ(parseSvgFile("/tmp", 0.1f), nullptr);
    char fifo[] = "/tmp/polyin_fifo_XXXXXX";
    int fd = mkstemp(fifo);
    ASSERT_GE(fd, 0);
    close(fd);
    unlink(fifo);
    ASSERT_EQ(mkfifo(fifo, 0600), 0);
    EXPECT_EQ(parseSvgFile(fifo, 0.1f), nullptr);
    unlink(fifo);
}

TEST(ParseSvgFile, EndlessZeroDeviceEndsAtTheFirstZero) {
    EXPECT_EQ(parseSvgFile("/dev/zero", 0.1f), nullptr);
}

// Large files are read into a buffer advised for large pages; whatever the size and the
// buffer's alignment, the file must arrive whole: its first and last elements both count.
TEST(ParseSvgFile, LargeFilesAreReadWhole) {
    const std::string head = "<svg><path d=\"M0 0 L1 0 L1 1\"/>";
    const std::string tail = "<path d=\"M2 2 L3 2 L3 3 L2 3\"/></svg>";
    constexpr std::size_t mebibyte = std::size_t{1} << 20;
    for (std::size_t size : {8 * mebibyte - 1, 8 * mebibyte + 4097, 13 * mebibyte + 5}) {
        hostile::TempFile file(head + std::string(size - head.size() - tail.size(), ' ') + tail);
        ASSERT_FALSE(file.name().empty());
        PathList list = parseSvgFile(file.name().c_str(), 0.1f);
        ASSERT_EQ(listLength(list), 2) << size;
        EXPECT_EQ(list->pointCount, 4) << size;  // newest first: the last element
        EXPECT_EQ(list->points[5], 3.0f) << size;
        EXPECT_EQ(list->next->pointCount, 3) << size;
        freePathList(list);
    }
}
