#include "geometry/flatten.h"

#include <emmintrin.h>
#include <immintrin.h>

#include <cstdint>
#include <cstring>

// The subdivision tests four pieces at once, one per SSE2 lane, and the lower rows of its window
// eight at once in a 64-bit build on a processor with AVX. Each lane performs exactly the float
// operations of one scalar test, in the same order, so every point keeps its bits everywhere.

namespace {

constexpr float midpointFactor = 0.5f;
constexpr float reflectionFactor = 2.0f;

// A coordinate of a held pair: as written, or measured from the current point.
float placed(float origin, float value, bool relative) noexcept {
    return relative ? origin + value : value;
}

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

namespace {

// Four pieces side by side, one per lane: x and y of each control point.
template <int order>
struct Pieces {
    __m128 x[order + 1], y[order + 1];
};

// The two halves of four pieces, each lane split at parameter 0.5.
template <int order>
struct Halves {
    Pieces<order> first, second;
};

// Splits one coordinate of four (or eight) cubics by repeated midpoints (u + w) * 0.5: P01, P12,
// P23, then P012, P123, then the split point P0123, which ends the first half and starts the
// second. The vector type's own operators serve both widths; the operands are passed by
// reference, so that the eight-lane form needs AVX only where it is inlined.
template <typename Vector>
[[gnu::always_inline]] inline void splitCoordinate(const Vector (&p)[4], Vector (&first)[4],
                                                   Vector (&second)[4]) noexcept {
    first[0] = p[0];
    second[3] = p[3];
    first[1] = (p[0] + p[1]) * midpointFactor;
    const Vector p12 = (p[1] + p[2]) * midpointFactor;
    second[2] = (p[2] + p[3]) * midpointFactor;
    first[2] = (first[1] + p12) * midpointFactor;
    second[1] = (p12 + second[2]) * midpointFactor;
    first[3] = second[0] = (first[2] + second[1]) * midpointFactor;
}

// Likewise for quadratics: P01, P12, then the split point P012.
template <typename Vector>
[[gnu::always_inline]] inline void splitCoordinate(const Vector (&p)[3], Vector (&first)[3],
                                                   Vector (&second)[3]) noexcept {
    first[0] = p[0];
    second[2] = p[2];
    first[1] = (p[0] + p[1]) * midpointFactor;
    second[1] = (p[1] + p[2]) * midpointFactor;
    first[2] = second[0] = (first[1] + second[1]) * midpointFactor;
}

// segmentDistanceSquared in every lane.
[[gnu::always_inline]] inline __m128 distancesSquared(__m128 px, __m128 py, __m128 ax,
                                                      __m128 ay, __m128 bx,
                                                      __m128 by) noexcept {
    const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f);
    const __m128 ex = _mm_sub_ps(bx, ax), ey = _mm_sub_ps(by, ay);
    const __m128 dx = _mm_sub_ps(px, ax), dy = _mm_sub_ps(py, ay);
    const __m128 lengthSquared = _mm_add_ps(_mm_mul_ps(ex, ex), _mm_mul_ps(ey, ey));
    __m128 t = _mm_add_ps(_mm_mul_ps(ex, dx), _mm_mul_ps(ey, dy));
    // Dividing by 1 where the chord has no length keeps t and raises nothing.
    const __m128 hasLength = _mm_cmpgt_ps(lengthSquared, zero);
    t = _mm_div_ps(t, _mm_or_ps(_mm_and_ps(hasLength, lengthSquared),
                                _mm_andnot_ps(hasLength, one)));
    // max(0, t) and min(1, t) in this operand order keep a NaN, as the comparisons do.
    t = _mm_min_ps(one, _mm_max_ps(zero, t));
    const __m128 qx = _mm_sub_ps(_mm_add_ps(ax, _mm_mul_ps(t, ex)), px);
    const __m128 qy = _mm_sub_ps(_mm_add_ps(ay, _mm_mul_ps(t, ey)), py);
    return _mm_add_ps(_mm_mul_ps(qx, qx), _mm_mul_ps(qy, qy));
}

// All ones in the lanes whose split point lies close enough to the chord to stand for the piece.
template <int order>
[[gnu::always_inline]] inline __m128 flatLanes(const Pieces<order>& p, __m128 splitX,
                                               __m128 splitY, __m128 toleranceSquared) noexcept {
    return _mm_cmplt_ps(distancesSquared(splitX, splitY, p.x[0], p.y[0], p.x[order], p.y[order]),
                        toleranceSquared);
}

// Splits four pieces into halves and split points and tests them.
template <int order>
[[gnu::always_inline]] inline __m128 testPieces(const Pieces<order>& p, Halves<order>& halves,
                                                __m128& splitX, __m128& splitY,
                                                __m128 toleranceSquared) noexcept {
    splitCoordinate(p.x, halves.first.x, halves.second.x);
    splitCoordinate(p.y, halves.first.y, halves.second.y);
    splitX = halves.first.x[order];
    splitY = halves.first.y[order];
    return flatLanes(p, splitX, splitY, toleranceSquared);
}

// Below the window, a failed piece's two halves are tested together as a pair: each register
// holds one control point of both, the first half's x and y in lanes 0 and 1, the second's in
// lanes 2 and 3.
template <int order>
struct Pair {
    __m128 p[order + 1];
};

// Control point k of the halves of a pair's first piece, or of its second piece, as a pair.
template <int order>
Pair<order> firstPair(const Pair<order>& first, const Pair<order>& second) noexcept {
    Pair<order> pair;
    for (int k = 0; k <= order; ++k) pair.p[k] = _mm_movelh_ps(first.p[k], second.p[k]);
    return pair;
}
template <int order>
Pair<order> secondPair(const Pair<order>& first, const Pair<order>& second) noexcept {
    Pair<order> pair;
    for (int k = 0; k <= order; ++k) pair.p[k] = _mm_movehl_ps(second.p[k], first.p[k]);
    return pair;
}

// Tests both pieces of a pair at depth and appends their points in order, the first piece's
// before the second's; a piece that fails is split into its own pair while the limit allows.
template <int order>
void subdividePair(ParserState& state, const Pair<order>& pair, int depth,
                   __m128 toleranceSquared) noexcept {
    Pair<order> first, second;
    splitCoordinate(pair.p, first.p, second.p);
    const __m128 split = first.p[order];
    // x of both pieces, then y, for the lane-wise measure
    const auto xs = [](__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 0, 2, 0)); };
    const auto ys = [](__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 1, 3, 1)); };
    const __m128 start = pair.p[0], end = pair.p[order];
    const __m128 measure = distancesSquared(xs(split), ys(split), xs(start), ys(start), xs(end),
                                            ys(end));
    const int flat = _mm_movemask_ps(_mm_cmplt_ps(measure, toleranceSquared));
    alignas(16) float points[4];
    _mm_store_ps(points, split);
    const bool deeper = depth < subdivisionDepthLimit;
    if ((flat & 1) != 0) {
        appendPoint(state, points[0], points[1]);
    } else if (deeper) {
        subdividePair(state, firstPair(first, second), depth + 1, toleranceSquared);
    }
    if ((flat & 2) != 0) {
        appendPoint(state, points[2], points[3]);
    } else if (deeper) {
        subdividePair(state, secondPair(first, second), depth + 1, toleranceSquared);
    }
}

// The pair of the two halves of the piece in lane `lane` of p.
template <int order>
Pair<order> halvesPair(const Pieces<order>& p, int lane) noexcept {
    Pair<order> piece, first, second;
    for (int k = 0; k <= order; ++k) {
        alignas(16) float x[4], y[4];
        _mm_store_ps(x, p.x[k]);
        _mm_store_ps(y, p.y[k]);
        piece.p[k] = _mm_setr_ps(x[lane], y[lane], x[lane], y[lane]);
    }
    splitCoordinate(piece.p, first.p, second.p);
    return firstPair(first, second);
}

// The top of the subdivision tree is tested several levels at a time, the window below a piece
// that failed its test. Every piece of a vector is tested, needed or not, so the tests within a
// row carry no branches; only the rows below a vector whose every piece passed are left out.
// Then the points are appended in curve order, and the pairs below each bottom piece that fails
// are subdivided in its turn. Cubics take four levels (30 pieces), quadratics,
// flatter for the same span, three (14 pieces).
//
// The first level holds the failed piece's two halves in lanes 0 and 2; lane j of every level
// below holds the subtree of the second level's piece j, so that the levels fill whole vectors.
// A subtree's pieces take columns 0 to 2^(levels - 1) - 2 in curve order (a piece sits between
// the columns of its halves) and the first level's pieces the last column of lanes 0 and 2. So
// bit 8j + c of a key mask stands for column c of lane j, in curve order.
template <int order>
constexpr int windowLevels = order == 3 ? 4 : 3;

template <int order>
constexpr int bottomPieces = 1 << (windowLevels<order> - 2);

// The column of the first level, and the most points a window gives (all bottom pieces flat).
template <int order>
constexpr int topColumn = (1 << (windowLevels<order> - 1)) - 1;
template <int order>
constexpr int mostWindowPoints = 1 << windowLevels<order>;

template <int order>
struct Window {
    Pieces<order> bottom[bottomPieces<order>];  // the last level in curve order
    alignas(16) float points[32][2];            // split points by key
    unsigned accepted;                          // keys of the points to append
    unsigned deeper;                            // keys of bottom pieces to subdivide further
};

// Lane j's bit of a mask as bit 8j + column.
unsigned laneBits(unsigned lanes, int column) noexcept {
    return (lanes * 0x204081u & 0x01010101u) << column;
}

unsigned keyBits(__m128 mask, int column) noexcept {
    return laneBits(static_cast<unsigned>(_mm_movemask_ps(mask)), column);
}

// Stores the split points of one column by key.
template <int order>
[[gnu::always_inline]] inline void storeColumn(Window<order>& w, int column, __m128 splitX,
                                               __m128 splitY) noexcept {
    const __m128 low = _mm_unpacklo_ps(splitX, splitY), high = _mm_unpackhi_ps(splitX, splitY);
    _mm_storel_pi(reinterpret_cast<__m64*>(w.points[column]), low);
    _mm_storeh_pi(reinterpret_cast<__m64*>(w.points[8 + column]), low);
    _mm_storel_pi(reinterpret_cast<__m64*>(w.points[16 + column]), high);
    _mm_storeh_pi(reinterpret_cast<__m64*>(w.points[24 + column]), high);
}

// Tests the pieces of one column. Lanes that are reached (every piece above them failed) and
// flat give points; those that fail reach their halves, which the result holds.
template <int order>
[[gnu::always_inline]] inline __m128 testColumn(Window<order>& w, int column,
                                                const Pieces<order>& p, Halves<order>& halves,
                                                __m128 reached,
                                                __m128 toleranceSquared) noexcept {
    __m128 splitX, splitY;
    const __m128 flat = testPieces(p, halves, splitX, splitY, toleranceSquared);
    storeColumn(w, column, splitX, splitY);
    w.accepted |= keyBits(_mm_and_ps(reached, flat), column);
    return _mm_andnot_ps(flat, reached);
}

// The reached lanes of a level at depth: none past the depth limit.
__m128 withinLimit(__m128 reached, int depth) noexcept {
    return depth <= subdivisionDepthLimit ? reached : _mm_setzero_ps();
}

// Tests piece `index` of row `row` of the subtrees (row 0 is the second level) and the pieces
// below it; the row lies at depth.
template <int order, int row>
[[gnu::always_inline]] inline void testSubtree(Window<order>& w, const Pieces<order>& p,
                                               int index, __m128 reached, int depth,
                                               __m128 toleranceSquared) noexcept {
    constexpr int height = windowLevels<order> - 1;
    const int column = ((2 * index + 1) << (height - 1 - row)) - 1;
    Halves<order> halves;
    const __m128 failed =
        testColumn(w, column, p, halves, withinLimit(reached, depth), toleranceSquared);
    if constexpr (row + 1 < height) {
        if (_mm_movemask_ps(failed) == 0) return;
        testSubtree<order, row + 1>(w, halves.first, 2 * index, failed, depth + 1,
                                    toleranceSquared);
        testSubtree<order, row + 1>(w, halves.second, 2 * index + 1, failed, depth + 1,
                                    toleranceSquared);
    } else if (depth < subdivisionDepthLimit) {
        // kept only for the pieces that go deeper, which few windows have
        const unsigned deeper = keyBits(failed, column);
        if (deeper != 0u) {
            w.bottom[index] = p;
            w.deeper |= deeper;
        }
    }
}

// Tests the first level of a window, the failed piece's halves in top (the first half in lane
// 0, the second in lanes 1 to 3, at depth). Gives the second level and the lanes of it that are
// reached; false when none is.
template <int order>
[[gnu::always_inline]] inline bool testFirstLevel(Window<order>& w, const Pieces<order>& top,
                                                  int depth, __m128 toleranceSquared,
                                                  Pieces<order>& second,
                                                  __m128& reached) noexcept {
    w.accepted = 0u;
    w.deeper = 0u;
    const __m128 both = _mm_castsi128_ps(_mm_setr_epi32(-1, 0, -1, 0));
    Halves<order> h0;
    reached =
        testColumn(w, topColumn<order>, top, h0, withinLimit(both, depth), toleranceSquared);
    if (_mm_movemask_ps(reached) == 0) return false;
    // the halves of lane 0 in lanes 0 and 1, of lane 2 in lanes 2 and 3
    for (int k = 0; k <= order; ++k) {
        second.x[k] = _mm_unpacklo_ps(h0.first.x[k], h0.second.x[k]);
        second.y[k] = _mm_unpacklo_ps(h0.first.y[k], h0.second.y[k]);
    }
    reached = _mm_shuffle_ps(reached, reached, _MM_SHUFFLE(2, 2, 0, 0));
    return true;
}

// Tests every piece of the window below the failed piece whose halves are in top.
template <int order>
void testWindow(Window<order>& w, const Pieces<order>& top, int depth,
                __m128 toleranceSquared) noexcept {
    Pieces<order> second;
    __m128 reached;
    if (testFirstLevel(w, top, depth, toleranceSquared, second, reached))
        testSubtree<order, 0>(w, second, 0, reached, depth + 1, toleranceSquared);
}

// Where AVX is at hand, the rows below the second level are tested eight pieces at once: each
// lane again performs the scalar test's operations in their order, so the points are the same.
// A row of eight holds the halves of the row above, the first halves in lanes 0 to 3 and the
// second ones in lanes 4 to 7; lane j of each half still belongs to subtree j.
template <int order>
struct WidePieces {
    __m256 x[order + 1], y[order + 1];
};

template <int order>
struct WideHalves {
    WidePieces<order> first, second;
};

#define POLYIN_WIDE [[gnu::target("avx"), gnu::always_inline]] inline

// distancesSquared in eight lanes (min and max as instructions, which generic operators
// would turn into compares and blends).
POLYIN_WIDE __m256 wideDistancesSquared(__m256 px, __m256 py, __m256 ax, __m256 ay, __m256 bx,
                                        __m256 by) noexcept {
    const __m256 zero = _mm256_setzero_ps(), one = _mm256_set1_ps(1.0f);
    const __m256 ex = _mm256_sub_ps(bx, ax), ey = _mm256_sub_ps(by, ay);
    const __m256 dx = _mm256_sub_ps(px, ax), dy = _mm256_sub_ps(py, ay);
    const __m256 lengthSquared = _mm256_add_ps(_mm256_mul_ps(ex, ex), _mm256_mul_ps(ey, ey));
    __m256 t = _mm256_add_ps(_mm256_mul_ps(ex, dx), _mm256_mul_ps(ey, dy));
    const __m256 hasLength = _mm256_cmp_ps(lengthSquared, zero, _CMP_GT_OS);
    t = _mm256_div_ps(t, _mm256_or_ps(_mm256_and_ps(hasLength, lengthSquared),
                                      _mm256_andnot_ps(hasLength, one)));
    t = _mm256_min_ps(one, _mm256_max_ps(zero, t));
    const __m256 qx = _mm256_sub_ps(_mm256_add_ps(ax, _mm256_mul_ps(t, ex)), px);
    const __m256 qy = _mm256_sub_ps(_mm256_add_ps(ay, _mm256_mul_ps(t, ey)), py);
    return _mm256_add_ps(_mm256_mul_ps(qx, qx), _mm256_mul_ps(qy, qy));
}

POLYIN_WIDE __m256 joined(__m128 low, __m128 high) noexcept {
    return _mm256_insertf128_ps(_mm256_castps128_ps256(low), high, 1);
}

template <int order>
POLYIN_WIDE WidePieces<order> joinedPieces(const Pieces<order>& low,
                                           const Pieces<order>& high) noexcept {
    WidePieces<order> wide;
    for (int k = 0; k <= order; ++k) {
        wide.x[k] = joined(low.x[k], high.x[k]);
        wide.y[k] = joined(low.y[k], high.y[k]);
    }
    return wide;
}

// Lanes 0 to 3 of eight pieces, or lanes 4 to 7.
template <int order>
POLYIN_WIDE Pieces<order> halfOf(const WidePieces<order>& wide, bool high) noexcept {
    Pieces<order> half;
    for (int k = 0; k <= order; ++k) {
        half.x[k] = high ? _mm256_extractf128_ps(wide.x[k], 1) : _mm256_castps256_ps128(wide.x[k]);
        half.y[k] = high ? _mm256_extractf128_ps(wide.y[k], 1) : _mm256_castps256_ps128(wide.y[k]);
    }
    return half;
}

// testColumn for eight pieces, whose halves of four lie in two columns.
template <int order>
POLYIN_WIDE __m256 testWideColumn(Window<order>& w, int lowColumn, int highColumn,
                                  const WidePieces<order>& p, WideHalves<order>& halves,
                                  __m256 reached, __m256 toleranceSquared) noexcept {
    splitCoordinate(p.x, halves.first.x, halves.second.x);
    splitCoordinate(p.y, halves.first.y, halves.second.y);
    const __m256 splitX = halves.first.x[order], splitY = halves.first.y[order];
    const __m256 flat = _mm256_cmp_ps(
        wideDistancesSquared(splitX, splitY, p.x[0], p.y[0], p.x[order], p.y[order]),
        toleranceSquared, _CMP_LT_OS);
    storeColumn(w, lowColumn, _mm256_castps256_ps128(splitX), _mm256_castps256_ps128(splitY));
    storeColumn(w, highColumn, _mm256_extractf128_ps(splitX, 1),
                _mm256_extractf128_ps(splitY, 1));
    const auto lanes = static_cast<unsigned>(_mm256_movemask_ps(_mm256_and_ps(reached, flat)));
    w.accepted |= laneBits(lanes & 15u, lowColumn) | laneBits(lanes >> 4, highColumn);
    return _mm256_andnot_ps(flat, reached);
}

// The bottom row's pieces that go deeper: their keys, and the pieces kept for them.
template <int order>
POLYIN_WIDE void keepDeeper(Window<order>& w, const WidePieces<order>& p, __m256 failed,
                            int lowIndex, int highIndex, int lowColumn, int highColumn) noexcept {
    const auto lanes = static_cast<unsigned>(_mm256_movemask_ps(failed));
    if (lanes == 0u) return;
    if ((lanes & 15u) != 0u) w.bottom[lowIndex] = halfOf(p, false);
    if ((lanes >> 4) != 0u) w.bottom[highIndex] = halfOf(p, true);
    w.deeper |= laneBits(lanes & 15u, lowColumn) | laneBits(lanes >> 4, highColumn);
}

POLYIN_WIDE __m256 wideWithinLimit(__m256 reached, int depth) noexcept {
    return depth <= subdivisionDepthLimit ? reached : _mm256_setzero_ps();
}

// testWindow with the rows below the second level in eight lanes; the same keys and points.
template <int order>
[[gnu::target("avx")]] void testWideWindow(Window<order>& w, const Pieces<order>& top, int depth,
                                           __m128 toleranceSquared) noexcept {
    Pieces<order> second;
    __m128 reached;
    if (!testFirstLevel(w, top, depth, toleranceSquared, second, reached)) return;
    // the second level: one piece per subtree, in the middle column of its subtree
    constexpr int height = windowLevels<order> - 1;
    Halves<order> h1;
    const __m128 failed = testColumn(w, (1 << (height - 1)) - 1, second, h1,
                                     withinLimit(reached, depth + 1), toleranceSquared);
    if (_mm_movemask_ps(failed) == 0) return;
    const __m256 wideTolerance = joined(toleranceSquared, toleranceSquared);
    const WidePieces<order> third = joinedPieces(h1.first, h1.second);
    const __m256 reachedThird = wideWithinLimit(joined(failed, failed), depth + 2);
    WideHalves<order> h2;
    if constexpr (order == 3) {
        // cubics: the third level in columns 1 and 5, the fourth in 0 and 4, then 2 and 6
        const __m256 failedThird =
            testWideColumn(w, 1, 5, third, h2, reachedThird, wideTolerance);
        if (_mm256_movemask_ps(failedThird) == 0) return;
        const __m256 reachedFourth = wideWithinLimit(failedThird, depth + 3);
        WideHalves<order> unused;
        const __m256 failedFirst =
            testWideColumn(w, 0, 4, h2.first, unused, reachedFourth, wideTolerance);
        const __m256 failedSecond =
            testWideColumn(w, 2, 6, h2.second, unused, reachedFourth, wideTolerance);
        if (depth + 3 < subdivisionDepthLimit) {
            keepDeeper(w, h2.first, failedFirst, 0, 2, 0, 4);
            keepDeeper(w, h2.second, failedSecond, 1, 3, 2, 6);
        }
    } else {
        // quadratics: the third level is the last, in columns 0 and 2
        const __m256 failedThird =
            testWideColumn(w, 0, 2, third, h2, reachedThird, wideTolerance);
        if (depth + 2 < subdivisionDepthLimit) keepDeeper(w, third, failedThird, 0, 1, 0, 2);
    }
}

#undef POLYIN_WIDE

bool wideWindowAllowed = true;  // only ever cleared by tests

// Only a 64-bit build tests eight pieces at once. In a 32-bit process, any 256-bit instruction
// left the SSE code that followed it running at half speed, VZEROUPPER or not, which cost the
// i386 module far more than the wide rows save.
constexpr bool isWideWindowBuild = sizeof(void*) == sizeof(std::uint64_t);

bool usesWideWindow() noexcept { return wideWindowAllowed && hasWideWindow(); }

// Appends the window's points in curve order, subdividing the deeper pieces in their turn.
template <int order>
void runWindow(ParserState& state, const Pieces<order>& top, int depth,
               __m128 toleranceSquared) noexcept {
    Window<order> w;
    if (usesWideWindow()) testWideWindow(w, top, depth, toleranceSquared);
    else testWindow(w, top, depth, toleranceSquared);
    // With nothing below the window and room for one more point than it can give, every
    // point of the window is written and only the accepted ones are kept, without branches.
    if (w.deeper == 0u && state.pointCapacity - state.pointCount > mostWindowPoints<order>) {
        float* out = state.points + 2 * state.pointCount;
#pragma GCC unroll 32
        for (int key = 0; key < 32; ++key) {
            const int column = key & 7, lane = key >> 3;
            if (column > topColumn<order> || (column == topColumn<order> && lane % 2 != 0)) {
                continue;  // no piece has this key
            }
            std::memcpy(out, w.points[key], sizeof w.points[0]);
            out += 2 * (w.accepted >> key & 1u);
        }
        state.pointCount = static_cast<std::int32_t>((out - state.points) / 2);
        return;
    }
    for (unsigned keys = w.accepted | w.deeper; keys != 0u; keys &= keys - 1u) {
        const int key = __builtin_ctz(keys);
        if ((w.deeper >> key & 1u) != 0u) {
            // the bottom pieces sit in the even columns
            const int column = key & 7, lane = key >> 3;
            subdividePair(state, halvesPair(w.bottom[column / 2], lane),
                          depth + windowLevels<order>, toleranceSquared);
        } else {
            appendPoint(state, w.points[key][0], w.points[key][1]);
        }
    }
}

// Tests one piece, held in every lane, at depth, and subdivides it further if it fails.
template <int order>
void subdividePiece(ParserState& state, const Pieces<order>& piece, int depth) noexcept {
    if (depth > subdivisionDepthLimit) return;
    const __m128 toleranceSquared = _mm_set1_ps(state.tolerance * state.tolerance);
    Halves<order> halves;
    splitCoordinate(piece.x, halves.first.x, halves.second.x);
    splitCoordinate(piece.y, halves.first.y, halves.second.y);
    if (depth < 0) {  // above the top level nothing is accepted: halve down to it untested
        subdividePiece(state, halves.first, depth + 1);
        subdividePiece(state, halves.second, depth + 1);
        return;
    }
    const __m128 splitX = halves.first.x[order], splitY = halves.first.y[order];
    // Depth 0 never accepts, so its measure is left out.
    if (depth > 0 &&
        (_mm_movemask_ps(flatLanes(piece, splitX, splitY, toleranceSquared)) & 1) != 0) {
        appendPoint(state, _mm_cvtss_f32(splitX), _mm_cvtss_f32(splitY));
    } else if (depth < subdivisionDepthLimit) {
        Pieces<order> top;
        for (int k = 0; k <= order; ++k) {
            top.x[k] = _mm_move_ss(halves.second.x[k], halves.first.x[k]);
            top.y[k] = _mm_move_ss(halves.second.y[k], halves.first.y[k]);
        }
        runWindow(state, top, depth + 1, toleranceSquared);
    }
}

}  // namespace

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
    const Pieces<3> piece = {{_mm_set1_ps(x0), _mm_set1_ps(x1), _mm_set1_ps(x2), _mm_set1_ps(x3)},
                             {_mm_set1_ps(y0), _mm_set1_ps(y1), _mm_set1_ps(y2), _mm_set1_ps(y3)}};
    subdividePiece(state, piece, depth);
}

void subdivideQuadratic(ParserState& state, float x0, float y0, float x1, float y1, float x2,
                        float y2, int depth) noexcept {
    const Pieces<2> piece = {{_mm_set1_ps(x0), _mm_set1_ps(x1), _mm_set1_ps(x2)},
                             {_mm_set1_ps(y0), _mm_set1_ps(y1), _mm_set1_ps(y2)}};
    subdividePiece(state, piece, depth);
}

float segmentDistanceSquared(float px, float py, float ax, float ay, float bx,
                             float by) noexcept {
    return _mm_cvtss_f32(distancesSquared(_mm_set_ss(px), _mm_set_ss(py), _mm_set_ss(ax),
                                          _mm_set_ss(ay), _mm_set_ss(bx), _mm_set_ss(by)));
}

void allowWideWindow(bool allowed) noexcept { wideWindowAllowed = allowed; }

bool hasWideWindow() noexcept { return isWideWindowBuild && __builtin_cpu_supports("avx"); }
