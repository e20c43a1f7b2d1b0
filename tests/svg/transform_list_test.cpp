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

constexpr Affine identity{1, 0, 0, 1, 0, 0};

// The transform a list leaves on a frame that held start.
Affine applied(const char* text, const Affine& start = identity) {
    StatePtr state(createParserState());
    currentStyle(*state).transform = start;
    applyTransformList(*state, text);
    return currentStyle(*state).transform;
}

}  // namespace

TEST(TransformList, ComposesWhatEachKeywordReads) {
    const struct { const char* text; Affine expected; } cases[] = {
        {"translate(10)", {1, 0, 0, 1, 10, 0}}, {"translate(10,20)", {1, 0, 0, 1, 10, 20}},
        {"scale(2)", {2, 0, 0, 2, 0, 0}}, {"scale(2 3)", {2, 0, 0, 3, 0, 0}},
        {"matrix( 1 , 2,3 ,4 5,\t6 )", {1, 2, 3, 4, 5, 6}}, {"", identity},
        // numbers are runs of "0123456789+-.eE", converted from their first character
        {"translate(5px, 6px)", {1, 0, 0, 1, 5, 6}}, {"translate(50%)", {1, 0, 0, 1, 50, 0}},
        {"translate(10-5)", {1, 0, 0, 1, 10, 0}}, {"translate(1e2)", {1, 0, 0, 1, 100, 0}},
        {"translate(-1.5E1 +.5)", {1, 0, 0, 1, -15, 0.5f}}, {"translate(-)", identity},
        {"scale(e, 3)", {0, 0, 0, 3, 0, 0}},
        {"translate(1d2)", {1, 0, 0, 1, 100, 2}},  // the conversion knows "d" exponents
        // counts: matrix needs six; extra numbers are dropped; none composes nothing
        {"matrix(1 0 0 1 5)", identity}, {"matrix(1 2 3 4 5 6 7 8) translate(1)", {1, 2, 3, 4, 6, 8}},
        {"scale(2 3 4) translate(1)", {2, 0, 0, 3, 2, 0}}, {"translate() scale( , )", identity},
        // keywords are found by their characters wherever they start, case-sensitively
        {"rotate(45) skewX(3) skewY(2) translate(5,0)", {1, 0, 0, 1, 5, 0}},
        {"Translate(5) SCALE(2) Matrix(1 2 3 4 5 6)", identity},
        {"xtranslate(3)rescale(2)", {2, 0, 0, 2, 3, 0}},
        {"scale translate(5,6)", {5, 0, 0, 6, 0, 0}}, {"matrixtranslate(1,2)", identity},
        {"matrix(1 2 3 4 5 6", identity}, {"translate(2) scale", {1, 0, 0, 1, 2, 0}},
    };
    for (const auto& c : cases) EXPECT_EQ(applied(c.text), c.expected) << '"' << c.text << '"';
}

TEST(TransformList, KeywordActsBeforeTheCurrentTransform) {
    const struct { const char* text; Affine start, expected; } cases[] = {
        {"translate(10,20) scale(2)", identity, {2, 0, 0, 2, 10, 20}},  // (1,1) -> (12,22)
        {"scale(2) translate(10,20)", identity, {2, 0, 0, 2, 20, 40}},  // (1,1) -> (22,42)
        {"translate(1,1)", {2, 0, 0, 2, 10, 0}, {2, 0, 0, 2, 12, 2}},
        {"matrix(0 1 -1 0 0 0)", {2, 0, 0, 2, 10, 0}, {0, 2, -2, 0, 10, 0}},
        // no entry zero or repeated, so each product term is told apart
        {"matrix(1 2 3 4 5 6)", {2, 3, 5, 7, 11, 13}, {12, 17, 26, 37, 51, 70}},
        // sums run left to right in float: (1 + 1e8) - 1e8 is 0
        {"translate(1 1e8)", {1, 0, 1, 1, -1e8f, 0}, {1, 0, 1, 1, 0, 1e8f}},
    };
    for (const auto& c : cases) EXPECT_EQ(applied(c.text, c.start), c.expected) << c.text;
    Affine m{1, 0, 0, 1, 3, 4};
    composeTransform(m, m);
    EXPECT_EQ(m, (Affine{1, 0, 0, 1, 6, 8}));
}

TEST(ReadTransformArgs, AdvancesToTheClosingParenthesis) {
    const struct { const char* text; int capacity; std::ptrdiff_t advance; int count; } cases[] = {
        {"translate(1,2) x", 2, 13, 2}, {"translate", 2, 1, 0}, {"translate(1,2", 2, 1, 0},
        {"scale translate(5,6)", 2, 19, 2}, {"matrix(1 2 3 4 5 6 7)", 6, 20, 6},
    };
    for (const auto& c : cases) {
        float numbers[6] = {};
        int count = -1;
        EXPECT_EQ(readTransformArgs(c.text, numbers, c.capacity, &count), c.advance) << c.text;
        EXPECT_EQ(count, c.count) << c.text;
    }
}

TEST(TransformList, NestsThroughGroups) {
    std::string markup = "<svg transform=\"scale(9)\"><g transform=\"translate(100,0)\">"
                         "<g transform=\"scale(2)\" style=\"transform: translate(0 1)\">";
    StatePtr state(createParserState());
    tokenizeMarkup(markup.data(), onElementStart, onElementEnd, onCharacterData, state.get());
    ASSERT_EQ(state->styleTop, 2);
    EXPECT_EQ(state->styles[1].transform, (Affine{1, 0, 0, 1, 100, 0}));
    EXPECT_EQ(currentStyle(*state).transform, (Affine{2, 0, 0, 2, 100, 2}));
}
