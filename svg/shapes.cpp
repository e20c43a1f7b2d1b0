#include "svg/shapes.h"

#include <cmath>
#include <cstring>

#include <emmintrin.h>

#include "geometry/path_data.h"
#include "svg/attributes.h"
#include "svg/number.h"
#include "svg/reader_memory.h"
#include "svg/text.h"

namespace {

constexpr double twoPi = 6.283185307179586;
constexpr float twoPiFloat = 6.2831855f;

// Offers every attribute with a value to the frame first; the others go to readGeometry.
template <typename GeometryReader>
void walkAttributes(ParserState& state, AttrList attributes, GeometryReader readGeometry) noexcept {
    for (AttrList pair = attributes; pair[0] != nullptr; pair += 2) {
        if (pair[1] == nullptr) continue;  // a name without a value changes nothing
        if (applyPresentationAttribute(state, pair[0], pair[1])) continue;
        readGeometry(pair[0], pair[1]);
    }
}

// Reads the numbers named in names into values (0 when absent; the last occurrence wins).
// No geometry name is a presentation name, so testing it first changes nothing. Inlined into
// each reader and the name loop unrolled, so that the names are compared as constants.
template <int count>
[[gnu::always_inline]] inline void readGeometryNumbers(ParserState& state, AttrList attributes,
                                                       const char* const (&names)[count],
                                                       float (&values)[count]) noexcept {
    for (float& value : values) value = 0.0f;
    for (AttrList pair = attributes; pair[0] != nullptr; pair += 2) {
        const char* name = pair[0];
        const char* value = pair[1];
        if (value == nullptr) continue;  // a name without a value changes nothing
        int i = 0;
#pragma GCC unroll 4
        for (; i < count; ++i) {
            if (name[0] == names[i][0] && isSameText(name + 1, names[i] + 1)) break;
        }
        if (i < count) {
            values[i] = static_cast<float>(readDecimal(value));  // parseNumber of a value
        } else {
            applyPresentationAttribute(state, name, value);
        }
    }
}

// Appends the pairs of one "points" value; a number left without partner is dropped.
void appendPointList(ParserState& state, const char* text) noexcept {
    // a stray character is a one-character token that reads 0
    const auto readListNumber = [](const char* at, float& number) noexcept {
        if (!isNumberChar(static_cast<unsigned char>(*at))) {
            number = 0.0f;
            return at + 1;
        }
        const FloatToken token = scanFloatToken(at);
        number = token.value;
        return token.end;
    };
    const char* p = text;
    for (;;) {
        p = skipPathSeparators(p);
        if (*p == '\0') break;
        float x;
        p = readListNumber(p, x);
        p = skipPathSeparators(p);
        if (*p == '\0') break;  // a lone x is dropped
        float y;
        p = readListNumber(p, y);
        appendPoint(state, x, y);
    }
}

// acos(q) for q within 2^-24 of 1: acos(1 - x) = sqrt(2x) (1 + x/12 + 3x^2/160 + ...), where
// 1 - q is exact and the dropped terms lie far below double precision. Built from IEEE sqrt and
// plain arithmetic so both modules agree bit for bit; the two C libraries' acos do not.
double acosNearOne(double q) noexcept {
    const double x = 1.0 - q;
    return std::sqrt(2.0 * x) * (1.0 + x / 12.0 + 3.0 * x * x / 160.0);
}

// The count again in double precision, for a radius so large that r + tolerance == r in float.
std::int32_t wideSegmentCount(float r, float tolerance) noexcept {
    const double wideR = static_cast<double>(r);
    const double k = twoPi / (2.0 * acosNearOne(wideR / (wideR + static_cast<double>(tolerance))));
    const double n = std::ceil(k);
    if (!(n > 0.0)) return 0;
    return n >= static_cast<double>(circleSegmentLimit) ? circleSegmentLimit
                                                        : static_cast<std::int32_t>(n);
}

// The angle between the points of a circle of n segments.
float circleStep(std::int32_t n) noexcept { return twoPiFloat / static_cast<float>(n); }

// The cosine and sine of the angle of point i.
void unitPoint(std::int32_t i, float step, float* c, float* s) noexcept {
    const float a = static_cast<float>(i) * step;
    *c = std::cos(a);
    *s = std::sin(a);
}

// Counts up to this many segments keep their unit circle, 2080 pairs (16.3 KiB) in all.
constexpr std::int32_t unitCircleLimit = 64;

// The unit circles of the counts up to unitCircleLimit, each filled on first use: pairs of n
// start at pair n(n-1)/2. They hold exactly what unitPoint gives, so a circle drawn from them
// has the same bits.
struct UnitCircles {
    bool isFilled[unitCircleLimit + 1];
    float pairs[unitCircleLimit * (unitCircleLimit + 1)];
};

// The n (cosine, sine) pairs of a circle of n segments, or null when n is not kept.
const float* unitCircle(UnitCircles* kept, std::int32_t n) noexcept {
    if (kept == nullptr || n > unitCircleLimit) return nullptr;
    UnitCircles& circles = *kept;
    float* pairs = circles.pairs + n * (n - 1);
    if (!circles.isFilled[n]) {
        const float step = circleStep(n);
        for (std::int32_t i = 0; i < n; ++i) unitPoint(i, step, &pairs[2 * i], &pairs[2 * i + 1]);
        circles.isFilled[n] = true;
    }
    return pairs;
}

// Writes the n points (cx + cos * r, cy + sin * r) two at a time: packed products and sums
// round each lane as the scalar ones do.
void placeCirclePoints(float* out, const float* unit, std::int32_t n, float cx, float cy,
                       float r) noexcept {
    const __m128 centre = _mm_setr_ps(cx, cy, cx, cy);
    const __m128 radius = _mm_set1_ps(r);
    std::int32_t i = 0;
    for (; i + 2 <= n; i += 2) {
        const __m128 scaled = _mm_mul_ps(_mm_loadu_ps(unit + 2 * i), radius);
        _mm_storeu_ps(out + 2 * i, _mm_add_ps(centre, scaled));
    }
    if (i < n) {
        out[2 * i] = cx + unit[2 * i] * r;
        out[2 * i + 1] = cy + unit[2 * i + 1] * r;
    }
}

// Recent segment counts of one tolerance, in sets of eight chosen by the radius: documents
// repeat their radii, and each count costs an arc cosine. A radius of bits 0 marks an empty
// place: a circle of radius 0 is never counted.
constexpr std::uint32_t segmentSetBits = 9;
constexpr int segmentWays = 8;

struct SegmentSet {
    std::uint32_t radii[segmentWays];  // the bits of the floats, newest first
    std::int32_t counts[segmentWays];
};

struct SegmentMemo {
    std::uint32_t tolerance;  // the bits of the float, as the radii
    SegmentSet sets[std::size_t{1} << segmentSetBits];
};

std::uint32_t floatBits(float value) noexcept {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// The place of radius in set, or -1: all eight compared at once, two bits a place.
int findRadius(const SegmentSet& set, std::uint32_t radius) noexcept {
    const __m128i wanted = _mm_set1_epi32(static_cast<int>(radius));
    const auto* radii = reinterpret_cast<const __m128i*>(set.radii);
    const __m128i low = _mm_cmpeq_epi32(_mm_loadu_si128(radii), wanted);
    const __m128i high = _mm_cmpeq_epi32(_mm_loadu_si128(radii + 1), wanted);
    const int bits = _mm_movemask_epi8(_mm_packs_epi32(low, high));
    return bits != 0 ? __builtin_ctz(static_cast<unsigned>(bits)) / 2 : -1;
}

// circleSegmentCount(r, tolerance) for r > 0, from the memo when there is one and it holds r.
// A new count goes to the front of its set, and the set's oldest drops out.
std::int32_t rememberedSegmentCount(SegmentMemo* kept, float r, float tolerance) noexcept {
    if (kept == nullptr) return circleSegmentCount(r, tolerance);
    SegmentMemo& memo = *kept;
    if (memo.tolerance != floatBits(tolerance)) {
        std::memset(memo.sets, 0, sizeof memo.sets);
        memo.tolerance = floatBits(tolerance);
    }
    const std::uint32_t radius = floatBits(r);
    SegmentSet& set = memo.sets[(radius * 0x9E3779B1u) >> (32 - segmentSetBits)];
    const int way = findRadius(set, radius);
    if (way >= 0) return set.counts[way];
    constexpr std::size_t olderBytes = (segmentWays - 1) * sizeof(std::uint32_t);
    std::memmove(set.radii + 1, set.radii, olderBytes);
    std::memmove(set.counts + 1, set.counts, olderBytes);
    set.radii[0] = radius;
    set.counts[0] = circleSegmentCount(r, tolerance);
    return set.counts[0];
}

}  // namespace

// The circle reader's tables of one parse, owned by its ParserState.
struct CircleTables {
    UnitCircles unitCircles;
    SegmentMemo segmentMemo;
};

namespace {

// The parse's circle tables, made at its first circle; null when they can't be allocated, and
// circles are then computed directly.
CircleTables* circleTables(ParserState& state) noexcept {
    if (state.circles == nullptr) {
        void* block = allocateBlock(sizeof(CircleTables));
        if (block == nullptr) return nullptr;
        std::memset(block, 0, sizeof(CircleTables));
        state.circles = static_cast<CircleTables*>(block);
    }
    return state.circles;
}

}  // namespace

std::int32_t circleSegmentCount(float r, float tolerance) noexcept {
    if (!std::isfinite(r)) return 0;
    const float q = r / (r + tolerance);
    if (q == 1.0f) return wideSegmentCount(r, tolerance);
    const float w = std::acos(q) * 2.0f;
    const float k = static_cast<float>(twoPi / static_cast<double>(w));
    const float n = std::ceil(k);
    if (!(n > 0.0f)) return 0;
    return n >= static_cast<float>(circleSegmentLimit) ? circleSegmentLimit
                                                       : static_cast<std::int32_t>(n);
}

void readRect(ParserState& state, AttrList attributes) noexcept {
    static constexpr const char* names[] = {"x", "y", "width", "height"};
    float v[4];
    readGeometryNumbers(state, attributes, names, v);
    const float x = v[0], y = v[1], width = v[2], height = v[3];
    if (width == 0.0f || height == 0.0f) return;
    resetPoints(state);
    appendPoint(state, x, y);
    appendPoint(state, x + width, y);
    appendPoint(state, x + width, y + height);
    appendPoint(state, x, y + height);
    emitPath(state, 1);
}

void readCircle(ParserState& state, AttrList attributes) noexcept {
    static constexpr const char* names[] = {"cx", "cy", "r"};
    float v[3];
    readGeometryNumbers(state, attributes, names, v);
    const float cx = v[0], cy = v[1], r = std::fabs(v[2]);
    if (r == 0.0f) return;
    CircleTables* tables = circleTables(state);
    const std::int32_t n =
        rememberedSegmentCount(tables != nullptr ? &tables->segmentMemo : nullptr, r, state.tolerance);
    if (n <= 0) return;
    resetPoints(state);
    const float* unit = unitCircle(tables != nullptr ? &tables->unitCircles : nullptr, n);
    if (unit != nullptr && state.pointCapacity >= n) {
        placeCirclePoints(state.points, unit, n, cx, cy, r);
        state.pointCount = n;
    } else {
        // A point buffer still to grow keeps appendPoint's growth, failures included.
        const float step = circleStep(n);
        for (std::int32_t i = 0; i < n; ++i) {
            float c, s;
            if (unit != nullptr) {
                c = unit[2 * i];
                s = unit[2 * i + 1];
            } else {
                unitPoint(i, step, &c, &s);
            }
            appendPoint(state, cx + c * r, cy + s * r);
        }
    }
    emitPath(state, 1);
}

void readLine(ParserState& state, AttrList attributes) noexcept {
    static constexpr const char* names[] = {"x1", "y1", "x2", "y2"};
    float v[4];
    readGeometryNumbers(state, attributes, names, v);
    resetPoints(state);
    appendPoint(state, v[0], v[1]);
    appendPoint(state, v[2], v[3]);
    emitPath(state, 0);
}

void readPolyPoints(ParserState& state, AttrList attributes, std::uint8_t closed) noexcept {
    resetPoints(state);
    walkAttributes(state, attributes, [&](const char* name, const char* value) noexcept {
        if (isSameText(name, "points")) appendPointList(state, value);
    });
    emitPath(state, closed);
}
