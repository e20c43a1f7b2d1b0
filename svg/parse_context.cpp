#include "svg/parse_context.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "svg/dispatch.h"
#include "svg/reader_memory.h"
#include "svg/tokenizer.h"

namespace {

// Reads up to length bytes, retrying short reads; returns how many arrived.
std::size_t readFully(int fd, char* buffer, std::size_t length) noexcept {
    std::size_t total = 0;
    while (total < length) {
        ssize_t got = ::read(fd, buffer + total, length - total);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        total += static_cast<std::size_t>(got);
    }
    return total;
}

// A regular file: its size is known, so one buffer of exactly that size plus the NUL.
char* readKnownSize(int fd, std::uint64_t size) noexcept {
    if (size >= SIZE_MAX) return nullptr;
    char* text = static_cast<char*>(allocateBlock(static_cast<std::size_t>(size) + 1));
    if (text == nullptr) return nullptr;
    std::size_t got = readFully(fd, text, static_cast<std::size_t>(size));
    text[got] = '\0';
    return text;
}

// Reads the whole file into one writable NUL-terminated buffer, or gives null.
char* loadText(const char* fileName) noexcept {
    // Non-blocking open: opening a FIFO must not wait for a writer.
    int fd = ::open(fileName, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    char* text = nullptr;
    struct stat info;
    // Only regular files: a FIFO, terminal or device can block or never end, which would
    // hang the host; a directory has no text.
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0) {
        int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
        text = readKnownSize(fd, static_cast<std::uint64_t>(info.st_size));
    }
    ::close(fd);
    return text;
}

// The alpha byte for an opacity: opacity x 255 truncated, low 8 bits. Values no int32 can
// hold (and NaN) give the processor's "integer indefinite", whose low byte is 0.
std::uint32_t alphaBits(float opacity) noexcept {
    float scaled = opacity * 255.0f;
    std::int32_t whole = INT32_MIN;
    if (scaled >= -2147483648.0f && scaled < 2147483648.0f) whole = static_cast<std::int32_t>(scaled);
    return (static_cast<std::uint32_t>(whole) & 0xFFu) << 24;
}

// The size of a point buffer of that many pairs.
std::size_t pointBufferSize(std::int32_t capacity) noexcept {
    return static_cast<std::size_t>(capacity) * 2 * sizeof(float);
}

void releasePoints(ParserState& state) noexcept {
    releaseBuffer(state.points, pointBufferSize(state.pointCapacity));
    state.points = nullptr;
    state.pointCount = 0;
    state.pointCapacity = 0;
}

}  // namespace

PathList parseSvgFile(const char* fileName, float tolerance) noexcept {
    if (fileName == nullptr) return nullptr;
    char* text = loadText(fileName);
    if (text == nullptr) return nullptr;
    PathList list = parseSvgText(text, tolerance);
    releaseBlock(text);
    return list;
}

PathList parseSvgText(char* text, float tolerance) noexcept {
    ParserState* state = createParserState();
    if (state == nullptr) return nullptr;
    state->tolerance = tolerance;
    tokenizeMarkup(text, onElementStart, onElementEnd, onCharacterData, state);
    releasePoints(*state);
    PathList list = state->paths;
    state->paths = nullptr;
    destroyParserState(state);
    return list;
}

void freePathList(PathList list) noexcept {
    while (list != nullptr) {
        PathRecord* next = list->next;
        releaseBlock(list);  // its point array goes with it
        list = next;
    }
}

ParserState* createParserState() noexcept {
    auto* state = static_cast<ParserState*>(allocateBlock(sizeof(ParserState)));
    if (state == nullptr) return nullptr;
    std::memset(state, 0, sizeof(ParserState));
    StyleFrame& first = state->styles[0];
    setIdentity(first.transform);
    first.fillColor = 0;
    first.strokeColor = 0;
    first.fillOpacity = 1.0f;
    first.strokeOpacity = 1.0f;
    first.strokeWidth = 1.0f;
    first.hasFill = 0;
    first.hasStroke = 0;
    return state;
}

void destroyParserState(ParserState* state) noexcept {
    if (state == nullptr) return;
    freePathList(state->paths);
    releasePoints(*state);
    releaseBlock(state->circles);
    releaseBlock(state);
}

void setIdentity(Affine& transform) noexcept { transform = Affine{1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f}; }

void pushStyle(ParserState& state) noexcept {
    if (state.styleTop >= styleStackSize - 1) return;
    state.styles[state.styleTop + 1] = state.styles[state.styleTop];
    ++state.styleTop;
}

void popStyle(ParserState& state) noexcept {
    if (state.styleTop > 0) --state.styleTop;
}

StyleFrame& currentStyle(ParserState& state) noexcept { return state.styles[state.styleTop]; }

void resetPoints(ParserState& state) noexcept { state.pointCount = 0; }

bool growPoints(ParserState& state) noexcept {
    // Grow by doubling; a size no count or size_t can hold fails like a failed allocation.
    if (state.pointCapacity > INT32_MAX / 2) return false;
    std::int32_t capacity = state.pointCapacity == 0 ? initialPointCapacity : state.pointCapacity * 2;
    if (static_cast<std::size_t>(capacity) > SIZE_MAX / (2 * sizeof(float))) return false;
    void* grown =
        resizeBuffer(state.points, pointBufferSize(state.pointCapacity), pointBufferSize(capacity));
    if (grown == nullptr) return false;
    state.points = static_cast<float*>(grown);
    state.pointCapacity = capacity;
    return true;
}

void emitPath(ParserState& state, std::uint8_t closed) noexcept {
    if (state.pointCount == 0) return;
    const StyleFrame& frame = currentStyle(state);
    // The record and its exact-size point array share one block: one allocation and one
    // release per polyline instead of two, which the allocator's cost per polyline shows.
    std::size_t count = static_cast<std::size_t>(state.pointCount);
    if (count > (SIZE_MAX - sizeof(PathRecord)) / (2 * sizeof(float))) return;
    auto* record = static_cast<PathRecord*>(
        allocateBlock(sizeof(PathRecord) + count * 2 * sizeof(float)));
    if (record == nullptr) return;
    std::memset(record, 0, sizeof(PathRecord));
    record->points = reinterpret_cast<float*>(record + 1);
    record->closed = closed;
    record->pointCount = state.pointCount;
    record->next = state.paths;
    state.paths = record;
    const Affine& m = frame.transform;
    const float* in = state.points;
    float* out = record->points;
    for (std::size_t i = 0; i < count; ++i) {
        float x = in[2 * i], y = in[2 * i + 1];
        out[2 * i] = (x * m.a + y * m.c) + m.e;
        out[2 * i + 1] = (x * m.b + y * m.d) + m.f;
    }
    record->hasFill = frame.hasFill;
    record->hasStroke = frame.hasStroke;
    record->strokeWidth = frame.strokeWidth * m.a;
    record->fillColor = frame.fillColor | (frame.hasFill ? alphaBits(frame.fillOpacity) : 0u);
    record->strokeColor = frame.strokeColor | (frame.hasStroke ? alphaBits(frame.strokeOpacity) : 0u);
}
