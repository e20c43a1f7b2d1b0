#include "geometry/flatten.h"

namespace {

constexpr float midpointFactor = 0.5f;
constexpr float reflectionFactor = 2.0f;

float midpoint(float u, float w) noexcept { return (u + w) * midpointFactor; }

// A coordinate of a held pair: as written, or measured from the current point.
float placed(float origin, float value, bool relative) noexcept {
    return relative ? origin + value : value;
}

// True when the split point lies close enough to the chord to stand for the piece.
bool isFlatEnough(const ParserState& state, float measure, int depth) noexcept {
    return depth > 0 && measure < state.tolerance * state.tolerance;
}

}  // namespace

namespace {

// Flattens a cubic from the current point, then moves the last control point and the current
// point on to the curve's second control point and end.
void drawCubic(ParserState& state, float& x, float& y, float& controlX, float& controlY, float x1,
               float y1, float x2, float y2, float x3, float y3) noexcept {
    flattenCubic(state, x, y, x1, y1, x2, y2, x3, y3);
    controlX = x2;
    controlY = y2;
    x = x3;
    y = y3;
}

// Likewise for a quadratic: its control point becomes the last control point.
void drawQuadratic(ParserState& state, float& x, float& y, float& controlX, float& controlY,
                   float x1, float y1, float x2, float y2) noexcept {
    flattenQuadratic(state, x, y, x1, y1, x2, y2);
    controlX = x1;
    controlY = y1;
    x = x2;
    y = y2;
}

}  // namespace

void pathCubicTo(ParserState& state, float& x, float& y, float& controlX, float& controlY,
                 const float* held, bool relative) noexcept {
    drawCubic(state, x, y, controlX, controlY, placed(x, held[0], relative),
              placed(y, held[1], relative), placed(x, held[2], relative),
              placed(y, held[3], relative), placed(x, held[4], relative),
              placed(y, held[5], relative));
}

void pathSmoothCubicTo(ParserState& state, float& x, float& y, float& controlX, float& controlY,
                       const float* held, bool relative) noexcept {
    drawCubic(state, x, y, controlX, controlY, reflectionFactor * x - controlX,
              reflectionFactor * y - controlY, placed(x, held[0], relative),
              placed(y, held[1], relative), placed(x, held[2], relative),
              placed(y, held[3], relative));
}

void pathQuadraticTo(ParserState& state, float& x, float& y, float& controlX, float& controlY,
                     const float* held, bool relative) noexcept {
    drawQuadratic(state, x, y, controlX, controlY, placed(x, held[0], relative),
                  placed(y, held[1], relative), placed(x, held[2], relative),
                  placed(y, held[3], relative));
}

void pathSmoothQuadraticTo(ParserState& state, float& x, float& y, float& controlX,
                           float& controlY, const float* held, bool relative) noexcept {
    drawQuadratic(state, x, y, controlX, controlY, reflectionFactor * x - controlX,
                  reflectionFactor * y - controlY, placed(x, held[0], relative),
                  placed(y, held[1], relative));
}

void flattenCubic(ParserState& state, float x0, float y0, float x1, float y1, float x2, float y2,
                  float x3, float y3) noexcept {
    subdivideCubic(state, x0, y0, x1, y1, x2, y2, x3, y3, 0);
    appendPoint(state, x3, y3);
}

void flattenQuadratic(ParserState& state, float x0, float y0, float x1, float y1, float x2,
                      float y2) noexcept {
    subdivideQuadratic(state, x0, y0, x1, y1, x2, y2, 0);
    appendPoint(state, x2, y2);
}

void subdivideCubic(ParserState& state, float x0, float y0, float x1, float y1, float x2,
                    float y2, float x3, float y3, int depth) noexcept {
    if (depth > subdivisionDepthLimit) return;
    const float x01 = midpoint(x0, x1), y01 = midpoint(y0, y1);
    const float x12 = midpoint(x1, x2), y12 = midpoint(y1, y2);
    const float x23 = midpoint(x2, x3), y23 = midpoint(y2, y3);
    const float x012 = midpoint(x01, x12), y012 = midpoint(y01, y12);
    const float x123 = midpoint(x12, x23), y123 = midpoint(y12, y23);
    const float xm = midpoint(x012, x123), ym = midpoint(y012, y123);
    if (isFlatEnough(state, segmentDistanceSquared(xm, ym, x0, y0, x3, y3), depth)) {
        appendPoint(state, xm, ym);
        return;
    }
    subdivideCubic(state, x0, y0, x01, y01, x012, y012, xm, ym, depth + 1);
    subdivideCubic(state, xm, ym, x123, y123, x23, y23, x3, y3, depth + 1);
}

void subdivideQuadratic(ParserState& state, float x0, float y0, float x1, float y1, float x2,
                        float y2, int depth) noexcept {
    if (depth > subdivisionDepthLimit) return;
    const float x01 = midpoint(x0, x1), y01 = midpoint(y0, y1);
    const float x12 = midpoint(x1, x2), y12 = midpoint(y1, y2);
    const float xm = midpoint(x01, x12), ym = midpoint(y01, y12);
    if (isFlatEnough(state, segmentDistanceSquared(xm, ym, x0, y0, x2, y2), depth)) {
        appendPoint(state, xm, ym);
        return;
    }
    subdivideQuadratic(state, x0, y0, x01, y01, xm, ym, depth + 1);
    subdivideQuadratic(state, xm, ym, x12, y12, x2, y2, depth + 1);
}

float segmentDistanceSquared(float px, float py, float ax, float ay, float bx,
                             float by) noexcept {
    const float ex = bx - ax, ey = by - ay;
    const float dx = px - ax, dy = py - ay;
    const float lengthSquared = ex * ex + ey * ey;
    float t = ex * dx + ey * dy;
    if (lengthSquared > 0.0f) t = t / lengthSquared;
    if (t < 0.0f) {
        t = 0.0f;
    } else if (t > 1.0f) {
        t = 1.0f;
    }
    const float qx = (ax + t * ex) - px, qy = (ay + t * ey) - py;
    return qx * qx + qy * qy;
}
