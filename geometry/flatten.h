// Flattening of cubic and quadratic Bezier segments into points of the point buffer.
#pragma once

#include "svg/parse_context.h"

// A curve is halved at most this many times over: a piece at this depth is tested but never
// split, and a subdivision call deeper still returns at once.
constexpr int subdivisionDepthLimit = 12;

// The four curve steps of path data. (x, y) is the current point and (controlX, controlY) the
// last control point, both updated in place; held holds the step's numbers in arrival order;
// relative adds the current point to every pair. The start point is never appended.
void pathCubicTo(ParserState& state, float& x, float& y, float& controlX, float& controlY,
                 const float* held, bool relative) noexcept;
void pathSmoothCubicTo(ParserState& state, float& x, float& y, float& controlX, float& controlY,
                       const float* held, bool relative) noexcept;
void pathQuadraticTo(ParserState& state, float& x, float& y, float& controlX, float& controlY,
                     const float* held, bool relative) noexcept;
void pathSmoothQuadraticTo(ParserState& state, float& x, float& y, float& controlX,
                           float& controlY, const float* held, bool relative) noexcept;

// Appends the accepted split points of the curve, then its end point.
void flattenCubic(ParserState& state, float x0, float y0, float x1, float y1, float x2, float y2,
                  float x3, float y3) noexcept;
void flattenQuadratic(ParserState& state, float x0, float y0, float x1, float y1, float x2,
                      float y2) noexcept;

// Midpoint subdivision of one piece; depth is 0 at the top call.
void subdivideCubic(ParserState& state, float x0, float y0, float x1, float y1, float x2,
                    float y2, float x3, float y3, int depth) noexcept;
void subdivideQuadratic(ParserState& state, float x0, float y0, float x1, float y1, float x2,
                        float y2, int depth) noexcept;

// Squared distance from P to the segment from A to B.
float segmentDistanceSquared(float px, float py, float ax, float ay, float bx,
                             float by) noexcept;

// Whether this build and processor test eight pieces at once (AVX, 64-bit builds only); the
// points are the same either way. Test hook: allowWideWindow(false) keeps every test to four
// pieces.
bool hasWideWindow() noexcept;
void allowWideWindow(bool allowed) noexcept;
