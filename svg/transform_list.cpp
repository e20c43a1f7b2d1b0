#include "svg/transform_list.h"

#include <cstring>

#include "svg/number.h"
#include "svg/text.h"

namespace {

constexpr int matrixSlots = 6;
constexpr int pairSlots = 2;

using KeywordReader = std::ptrdiff_t (*)(ParserState& state, const char* keyword) noexcept;

struct TransformKeyword {
    const char* name;
    std::size_t length;
    KeywordReader read;
};

// Matched as a prefix at every position, so a keyword counts even inside a longer word.
constexpr TransformKeyword transformKeywords[] = {
    {"matrix", 6, readMatrix},
    {"translate", 9, readTranslate},
    {"scale", 5, readScale},
};

// The first wanted character at or after p, or the NUL.
const char* findChar(const char* p, char wanted) noexcept {
    while (*p != '\0' && *p != wanted) ++p;
    return p;
}

void composeOntoFrame(ParserState& state, const Affine& next) noexcept {
    composeTransform(currentStyle(state).transform, next);
}

// One number tx means ty 0.
Affine translation(const float* n, int count) noexcept {
    return Affine{1.0f, 0.0f, 0.0f, 1.0f, n[0], count == 1 ? 0.0f : n[1]};
}

// One number scales both axes.
Affine scaling(const float* n, int count) noexcept {
    return Affine{n[0], 0.0f, 0.0f, count == 1 ? n[0] : n[1], 0.0f, 0.0f};
}

// Reads a one- or two-number keyword; with no number at all nothing is composed.
std::ptrdiff_t readPairKeyword(ParserState& state, const char* keyword,
                               Affine (*build)(const float* n, int count) noexcept) noexcept {
    float n[pairSlots];
    int count = 0;
    const std::ptrdiff_t advance = readTransformArgs(keyword, n, pairSlots, &count);
    if (count > 0) composeOntoFrame(state, build(n, count));
    return advance;
}

}  // namespace

void applyTransformList(ParserState& state, const char* text) noexcept {
    if (text == nullptr) return;
    // The parentheses a keyword at p would take: the first "(" at or after p and the first ")"
    // at or after that. Both only move forward, so a list whose keywords lack them is scanned
    // once in all rather than once per keyword; such a keyword advances by one, as its reader
    // would.
    const char* open = nullptr;
    const char* close = nullptr;
    const char* p = text;
    while (*p != '\0') {
        std::ptrdiff_t advance = 1;
        for (const TransformKeyword& keyword : transformKeywords) {
            if (std::strncmp(p, keyword.name, keyword.length) == 0) {
                if (open == nullptr || open < p) open = findChar(p, '(');
                if (close == nullptr || close < open) close = findChar(open, ')');
                if (*open != '\0' && *close != '\0') advance = keyword.read(state, p);
                break;
            }
        }
        p += advance;
    }
}

std::ptrdiff_t readMatrix(ParserState& state, const char* keyword) noexcept {
    float n[matrixSlots];
    int count = 0;
    const std::ptrdiff_t advance = readTransformArgs(keyword, n, matrixSlots, &count);
    if (count == matrixSlots) composeOntoFrame(state, Affine{n[0], n[1], n[2], n[3], n[4], n[5]});
    return advance;
}

std::ptrdiff_t readTranslate(ParserState& state, const char* keyword) noexcept {
    return readPairKeyword(state, keyword, translation);
}

std::ptrdiff_t readScale(ParserState& state, const char* keyword) noexcept {
    return readPairKeyword(state, keyword, scaling);
}

std::ptrdiff_t readTransformArgs(const char* keyword, float* numbers, int capacity,
                                 int* count) noexcept {
    *count = 0;
    // The parentheses may belong to whatever follows the keyword in the list.
    const char* open = findChar(keyword, '(');
    if (*open == '\0') return 1;
    const char* close = findChar(open, ')');
    if (*close == '\0') return 1;
    const char* p = open;
    while (p < close && *count < capacity) {
        if (!isNumberChar(static_cast<unsigned char>(*p))) {
            ++p;
            continue;
        }
        numbers[(*count)++] = static_cast<float>(readDecimal(p));
        // The whole run goes, including any tail the conversion did not take (10-5 is 10).
        while (p < close && isNumberChar(static_cast<unsigned char>(*p))) ++p;
    }
    return close - keyword;
}

void composeTransform(Affine& current, const Affine& next) noexcept {
    const Affine m = current;
    const Affine t = next;  // a copy too, so composing a transform with itself works
    current.a = t.a * m.a + t.b * m.c;
    current.b = t.a * m.b + t.b * m.d;
    current.c = t.c * m.a + t.d * m.c;
    current.d = t.c * m.b + t.d * m.d;
    current.e = t.e * m.a + t.f * m.c + m.e;
    current.f = t.e * m.b + t.f * m.d + m.f;
}
