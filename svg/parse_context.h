// The state of one parse, its output list, and the two entry points of the reader.
#pragma once

#include <cfloat>
#include <cstddef>
#include <cstdint>

#if FLT_EVAL_METHOD != 0  // x87-style evaluation would make the two modules disagree
#error "float expressions must round to float (i386: -msse2 -mfpmath=sse)"
#endif

// Six floats [a b c d e f]: (x, y) maps to (a*x + c*y + e, b*x + d*y + f).
struct Affine {
    float a, b, c, d, e, f;
};

// The style in force for one element.
struct StyleFrame {
    Affine transform;
    std::uint32_t fillColor;
    std::uint32_t strokeColor;
    float fillOpacity;
    float strokeOpacity;
    float strokeWidth;
    std::uint8_t hasFill;
    std::uint8_t hasStroke;
};

// One finished polyline in output coordinates. Owns its point array, which lives in the
// record's own block, right after the record; freePathList releases both at once.
struct PathRecord {
    float* points;             // pointCount pairs, x then y
    std::int32_t pointCount;
    std::uint32_t fillColor;   // alpha byte in bits 24..31 when hasFill
    std::uint32_t strokeColor; // alpha byte in bits 24..31 when hasStroke
    float strokeWidth;
    std::uint8_t hasFill;
    std::uint8_t hasStroke;
    std::uint8_t closed;
    PathRecord* next;
};

// Newest record first; null is the empty list. The caller owns it and releases it with freePathList.
using PathList = PathRecord*;

// An element's attributes: name, value, name, value, ..., then two nulls. A value may be null
// (a name without a double-quoted value); readers skip such a pair. Points into the text buffer.
using AttrList = const char* const*;

// The circle reader's tables (svg/shapes.cpp).
struct CircleTables;

constexpr int styleStackSize = 128;
constexpr std::int32_t initialPointCapacity = 8;

struct ParserState {
    StyleFrame styles[styleStackSize];
    std::int32_t styleTop;
    float* points;               // owned; pointCapacity pairs in the element's user coordinates
    std::int32_t pointCount;
    std::int32_t pointCapacity;
    PathRecord* paths;           // owned until parseSvgText detaches it
    CircleTables* circles;       // owned; made at the first circle, null until then
    std::uint8_t inPath;
    std::uint8_t inDefs;
    float tolerance;
};

// Reads a whole file and parses it. Null when the file can't be read or nothing was drawn.
PathList parseSvgFile(const char* fileName, float tolerance) noexcept;
// Parses a writable NUL-terminated text in place. Null when nothing was drawn.
PathList parseSvgText(char* text, float tolerance) noexcept;
void freePathList(PathList list) noexcept;

ParserState* createParserState() noexcept;
void destroyParserState(ParserState* state) noexcept;

void setIdentity(Affine& transform) noexcept;
void pushStyle(ParserState& state) noexcept;
void popStyle(ParserState& state) noexcept;
StyleFrame& currentStyle(ParserState& state) noexcept;

void resetPoints(ParserState& state) noexcept;
// Grows the point buffer for one more point; false when it can't (the point is then dropped).
bool growPoints(ParserState& state) noexcept;

inline void appendPoint(ParserState& state, float x, float y) noexcept {
    if (state.pointCount >= state.pointCapacity && !growPoints(state)) return;
    state.points[2 * state.pointCount] = x;
    state.points[2 * state.pointCount + 1] = y;
    ++state.pointCount;
}
void emitPath(ParserState& state, std::uint8_t closed) noexcept;
