#include "svg/transform_list.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

#include "svg/dispatch.h"
#include "svg/tokenizer.h"

// Found by argument lookup from the assertions, so they live beside Affine.
static bool operator==(const Affine& x, const Affine& y) {
    return x.a == y.a && x.b == y.b && x.c == y.c && x.d == y.d && x.e == y.e && x.f == y.f;
}

static std::ostream& operator<<(std::ostream& out, const Affine& m) {
    return out << '[' << m.a << ' ' << m.b << ' ' << m.c << ' ' << m.d << ' ' << m.e << ' '
               << m.f << ']';
}

namespace {

struct StateDeleter {
    void operator()(ParserState* state) const { destroyParserState(state); }
};
using StatePtr = std::unique_ptr<ParserState, StateDeleter>;

constexpr Affine identity{1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f};

// The transform a list leaves on a fresh state, or on one whose frame holds start.
Affine applied(const char* text, const Affine& start = identity) {
    StatePtr state(createParserState());
    currentStyle(*state).transform = start;
    applyTransformList(*state, text);
    return currentStyle(*state).transform;
}

// A point mapped the way emitPath maps it.
void mapPoint(const Affine& m, float x, float y, float* outX, float* outY) {
    *outX = (x * m.a + y * m.c) + m.e;
    *outY = (x * m.b + y * m.d) + m.f;
}

}  // namespace

TEST(TransformList, ComposesKeywordsOntoIdentity) {
    const struct { const char* text; Affine expected; } cases[] = {
        {"translate(10)", {1, 0, 0, 1, 10, 0}},
        {"translate(10,20)", {1, 0, 0, 1, 10, 20}},
        {"scale(2)", {2, 0, 0, 2, 0, 0}},
        {"scale(2 3)", {2, 0, 0, 3, 0, 0}},
        {"matrix(1 2 3 4 5 6)", {1, 2, 3, 4, 5, 6}},
        {"matrix(1,2,3,4,5,6)", {1, 2, 3, 4, 5, 6}},
        {"matrix( 1 , 2,3 ,4 5,\t6 )", {1, 2, 3, 4, 5, 6}},
        {"translate(1)translate(2, 3)", {1, 0, 0, 1, 3, 3}},
        {"", identity},
        {"   , ,", identity},
    };
    for (const auto& c : cases) EXPECT_EQ(applied(c.text), c.expected) << '"' << c.text << '"';
}

TEST(TransformList, ReadsNumbersAsRunsOfNumberCharacters) {
    const struct { const char* text; Affine expected; } cases[] = {
        {"translate(5px, 6px)", {1, 0, 0, 1, 5, 6}},
        {"translate(50%)", {1, 0, 0, 1, 50, 0}},
        {"translate(10-5)", {1, 0, 0, 1, 10, 0}},
        {"translate(1e2)", {1, 0, 0, 1, 100, 0}},
        {"translate(-1.5E1 +.5)", {1, 0, 0, 1, -15, 0.5f}},
        {"translate(1e)", {1, 0, 0, 1, 1, 0}},
        {"translate(-)", identity},          // a lone sign is the number 0
        {"scale(.)", {0, 0, 0, 0, 0, 0}},    // so is a lone point
        {"scale(e, 3)", {0, 0, 0, 3, 0, 0}},
        // "d" is no number character, yet the conversion reads it as an exponent
        {"translate(1d2)", {1, 0, 0, 1, 100, 2}},
    };
    for (const auto& c : cases) EXPECT_EQ(applied(c.text), c.expected) << '"' << c.text << '"';
}

TEST(TransformList, CountsNumbersPerKeyword) {
    const struct { const char* text; Affine expected; } cases[] = {
        {"matrix(1 0 0 1 5)", identity},
        {"matrix()", identity},
        {"matrix(1 2 3 4 5 6 7)", {1, 2, 3, 4, 5, 6}},
        {"matrix(1 2 3 4 5 6 7 8) translate(1)", {1, 2, 3, 4, 6, 8}},
        {"translate(1 2 3)", {1, 0, 0, 1, 1, 2}},
        {"scale(2 3 4) translate(1)", {2, 0, 0, 3, 2, 0}},
        {"translate()", identity},
        {"scale()", identity},
        {"scale( , )", identity},
        {"translate() scale(2)", {2, 0, 0, 2, 0, 0}},
    };
    for (const auto& c : cases) EXPECT_EQ(applied(c.text), c.expected) << '"' << c.text << '"';
}

TEST(TransformList, ScansKeywordsByTheirCharactersOnly) {
    const struct { const char* text; Affine expected; } cases[] = {
        {"rotate(45)", identity},
        {"rotate(45) translate(5,0)", {1, 0, 0, 1, 5, 0}},
        {"skewX(30) skewY(20)", identity},
        {"Translate(5) SCALE(2) Matrix(1 2 3 4 5 6)", identity},
        {"xtranslate(3)", {1, 0, 0, 1, 3, 0}},     // found inside a longer word
        {"rescale(2)", {2, 0, 0, 2, 0, 0}},
        {"scale translate(5,6)", {5, 0, 0, 6, 0, 0}},  // scale takes translate's numbers
        {"matrixtranslate(1,2)", identity},       // matrix takes two numbers, composes nothing
        {"matrix", identity},
        {"matrix(1 2 3 4 5 6", identity},
        {"translate(7", identity},
        {"translate(2) scale", {1, 0, 0, 1, 2, 0}},
        {"scale)(2)", {2, 0, 0, 2, 0, 0}},
    };
    for (const auto& c : cases) EXPECT_EQ(applied(c.text), c.expected) << '"' << c.text << '"';
}

TEST(TransformList, KeywordActsOnPointsBeforeTheCurrentTransform) {
    const struct { const char* text; float x, y; } cases[] = {
        {"translate(10,20) scale(2)", 12, 22},
        {"scale(2) translate(10,20)", 22, 42},
        {"matrix(0 1 -1 0 0 0) translate(3 0)", -1, 4},
    };
    for (const auto& c : cases) {
        float x = 0, y = 0;
        mapPoint(applied(c.text), 1, 1, &x, &y);
        EXPECT_EQ(x, c.x) << c.text;
        EXPECT_EQ(y, c.y) << c.text;
    }
}

TEST(TransformList, ComposesOntoTheInheritedTransform) {
    const Affine inherited{2, 0, 0, 2, 10, 0};
    EXPECT_EQ(applied("translate(1,1)", inherited), (Affine{2, 0, 0, 2, 12, 2}));
    EXPECT_EQ(applied("matrix(0 1 -1 0 0 0)", inherited), (Affine{0, 2, -2, 0, 10, 0}));
}

TEST(ComposeTransform, SumsLeftToRightInFloat) {
    // (1 + 1e8) - 1e8 is 0 in float; the other grouping would give 1.
    Affine current{1, 0, 1, 1, -1e8f, 0};
    composeTransform(current, Affine{1, 0, 0, 1, 1, 1e8f});
    EXPECT_EQ(current.e, 0.0f);
    EXPECT_EQ(current.f, 1e8f);
}

TEST(ComposeTransform, ComposesATransformWithItself) {
    Affine m{1, 0, 0, 1, 3, 4};
    composeTransform(m, m);
    EXPECT_EQ(m, (Affine{1, 0, 0, 1, 6, 8}));
}

TEST(ReadTransformArgs, ReturnsTheDistanceToTheClosingParenthesis) {
    const struct { const char* text; int capacity; std::ptrdiff_t advance; int count; } cases[] = {
        {"translate(1,2) x", 2, 13, 2},
        {"translate", 2, 1, 0},
        {"translate(1,2", 2, 1, 0},
        {"scale translate(5,6)", 2, 19, 2},
        {"matrix(1 2 3 4 5 6 7)", 6, 20, 6},
        {"scale()", 2, 6, 0},
    };
    for (const auto& c : cases) {
        float numbers[6] = {};
        int count = -1;
        EXPECT_EQ(readTransformArgs(c.text, numbers, c.capacity, &count), c.advance) << c.text;
        EXPECT_EQ(count, c.count) << c.text;
    }
}

TEST(TransformList, NestsThroughGroups) {
    std::string markup =
        "<svg transform=\"scale(9)\"><g transform=\"translate(100,0)\">"
        "<g transform=\"scale(2)\" style=\"transform: translate(0 1)\">";
    StatePtr state(createParserState());
    tokenizeMarkup(markup.data(), onElementStart, onElementEnd, onCharacterData, state.get());
    ASSERT_EQ(state->styleTop, 2);
    float x = 0, y = 0;
    mapPoint(currentStyle(*state).transform, 1, 1, &x, &y);
    EXPECT_EQ(x, 102.0f);
    EXPECT_EQ(y, 4.0f);
    EXPECT_EQ(state->styles[1].transform, (Affine{1, 0, 0, 1, 100, 0}));
}
