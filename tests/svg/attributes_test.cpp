#include "svg/attributes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "svg/dispatch.h"
#include "svg/tokenizer.h"

namespace {

struct StateDeleter {
    void operator()(ParserState* state) const { destroyParserState(state); }
};
using StatePtr = std::unique_ptr<ParserState, StateDeleter>;

bool sameFrame(const StyleFrame& x, const StyleFrame& y) {
    return std::memcmp(&x.transform, &y.transform, sizeof x.transform) == 0 &&
           x.fillColor == y.fillColor && x.strokeColor == y.strokeColor &&
           x.fillOpacity == y.fillOpacity && x.strokeOpacity == y.strokeOpacity &&
           x.strokeWidth == y.strokeWidth && x.hasFill == y.hasFill && x.hasStroke == y.hasStroke;
}

// The frame an attribute list leaves on a fresh state.
StyleFrame attributed(AttrList list) {
    StatePtr state(createParserState());
    applyAttributes(*state, list);
    return currentStyle(*state);
}

StyleFrame styled(const std::string& text) {
    const char* list[] = {"style", text.c_str(), nullptr, nullptr};
    return attributed(list);
}

}  // namespace

TEST(ParseColor, ReadsHexadecimalAfterHash) {
    const struct { const char* text; std::uint32_t expected; } cases[] = {
        {"#FF0000", 0xFF0000u}, {"#ff0000", 0xFF0000u}, {"#fff", 0x000FFFu},
        {"#123456789", 0x23456789u}, {"#100000000", 0u}, {"   #ff", 0xFFu}, {"# \t\n ff", 0xFFu},
        {"#aBc;x", 0xABCu}, {"#-1", 0xFFFFFFFFu}, {"#-0x10", 0xFFFFFFF0u}, {"#+10", 0x10u},
        {"#0X1a", 0x1Au}, {"#0x", 0u}, {"#0xg", 0u}, {"\t#ff", 0u}, {"red", 0u},
        {"rgb(255,0,0)", 0u}, {"url(#a)", 0u}, {"#", 0u}, {"#g1", 0u}, {"#- 1", 0u}, {"", 0u},
    };
    for (const auto& c : cases) EXPECT_EQ(parseColor(c.text), c.expected) << '"' << c.text << '"';
}

TEST(PresentationAttribute, NoneSwitchesOffAndKeepsTheColour) {
    const struct { const char* value; int on; std::uint32_t color; } cases[] = {
        {"none", 0, 0x123u}, {"#00ff00", 1, 0xFF00u}, {"None", 1, 0u}, {" none", 1, 0u},
        {"none ", 1, 0u}, {"red", 1, 0u}, {"", 1, 0u},
    };
    for (const auto& c : cases) {
        const char* list[] = {"fill", "#123", "stroke", "#123", "fill", c.value,
                              "stroke", c.value, nullptr, nullptr};
        const StyleFrame frame = attributed(list);
        EXPECT_EQ(frame.hasFill, c.on) << '"' << c.value << '"';
        EXPECT_EQ(frame.fillColor, c.color) << '"' << c.value << '"';
        EXPECT_EQ(frame.hasStroke, c.on) << '"' << c.value << '"';
        EXPECT_EQ(frame.strokeColor, c.color) << '"' << c.value << '"';
    }
}

TEST(PresentationAttribute, KnowsExactlyEightNames) {
    const struct { const char* name; bool known; } cases[] = {
        {"style", true}, {"display", true}, {"fill", true}, {"fill-opacity", true},
        {"stroke", true}, {"stroke-width", true}, {"stroke-opacity", true}, {"transform", true},
        {"Fill", false}, {"FILL", false}, {"fill ", false}, {"opacity", false},
        {"fill-rule", false}, {"stroke-linecap", false}, {"class", false}, {"", false},
    };
    for (const auto& c : cases) {
        StatePtr state(createParserState());
        const StyleFrame fresh = currentStyle(*state);
        EXPECT_EQ(applyPresentationAttribute(*state, c.name, nullptr), c.known) << c.name;
        EXPECT_TRUE(sameFrame(currentStyle(*state), fresh)) << "a null value is never read";
        EXPECT_EQ(applyPresentationAttribute(*state, c.name, "#1; 2"), c.known) << c.name;
        if (!c.known) {
            EXPECT_TRUE(sameFrame(currentStyle(*state), fresh)) << c.name;
        }
    }
    StatePtr state(createParserState());
    const StyleFrame fresh = currentStyle(*state);
    EXPECT_TRUE(applyPresentationAttribute(*state, "display", "none"));
    EXPECT_TRUE(sameFrame(currentStyle(*state), fresh));
}

TEST(ApplyAttributes, StyleTakesEffectAtItsPlace) {
    const struct { const char* list[6]; std::uint32_t fill; Affine transform; } cases[] = {
        {{"fill", "#00FF00", "style", "fill:#FF0000"}, 0xFF0000u, {1, 0, 0, 1, 0, 0}},
        {{"style", "fill:#FF0000", "fill", "#00FF00"}, 0x00FF00u, {1, 0, 0, 1, 0, 0}},
        {{"transform", "translate(1,0)", "style", "transform: scale(2)"}, 0, {2, 0, 0, 2, 1, 0}},
        {{"style", "transform:scale(2)", "transform", "translate(1,0)"}, 0, {2, 0, 0, 2, 2, 0}},
        {{"fill", "#5", "style", nullptr}, 5, {1, 0, 0, 1, 0, 0}},
    };
    for (const auto& c : cases) {
        const StyleFrame frame = attributed(c.list);
        EXPECT_EQ(frame.fillColor, c.fill) << c.list[0];
        EXPECT_EQ(std::memcmp(&frame.transform, &c.transform, sizeof(Affine)), 0) << c.list[0];
    }
}

TEST(StyleDeclarations, SplitsAndTrims) {
    const struct { const char* text; int hasFill; std::uint32_t fill; float width, opacity; } cases[] = {
        {" fill : #ff ; stroke-width : 2px ;fill-opacity:50%", 1, 0xFFu, 2, 50},
        {"fill:#1;fill : none ", 0, 0x1u, 1, 1}, {"fill", 1, 0u, 1, 1},
        {"stroke-width", 0, 0u, 0, 1}, {"fill: :#3;fill-opacity:-0.5", 1, 0x3u, 1, -0.5f},
        {"style: fill:#4", 1, 0x4u, 1, 1}, {"style:style:stroke-width:7", 0, 0u, 7, 1},
        {"Fill:#7; STROKE-WIDTH:2", 0, 0u, 1, 1}, {"fill:url(#a;b)", 1, 0u, 1, 1},
        {";;", 0, 0u, 1, 1}, {"  \t ", 0, 0u, 1, 1}, {":#8;display:none", 0, 0u, 1, 1},
        // a name is the text before the first ":", whole: an entry's name at its start is not enough
        {"fillx:#5", 0, 0u, 1, 1}, {"fill x:#5", 0, 0u, 1, 1}, {"fill#2", 0, 0u, 1, 1},
        {"fill \t:#9", 1, 0x9u, 1, 1}, {"fill ;", 1, 0u, 1, 1}, {"stroke-widths:3", 0, 0u, 1, 1},
        {"fill-opacity :0.5; stroke-width\t: 3", 0, 0u, 3, 0.5f}, {"fill-:#6", 0, 0u, 1, 1},
        // only the whole value "none" switches the paint off; a longer word is a colour (0)
        {"fill:#1;fill:nonex", 1, 0u, 1, 1}, {"fill:#1;fill:none x", 1, 0u, 1, 1},
    };
    for (const auto& c : cases) {
        const StyleFrame frame = styled(c.text);
        EXPECT_EQ(frame.hasFill, c.hasFill) << '"' << c.text << '"';
        EXPECT_EQ(frame.fillColor, c.fill) << '"' << c.text << '"';
        EXPECT_EQ(frame.strokeWidth, c.width) << '"' << c.text << '"';
        EXPECT_EQ(frame.fillOpacity, c.opacity) << '"' << c.text << '"';
    }
    // a declaration handed over untrimmed, without a ":", is named by the whole range: blanks
    // after "fill" make it name nothing (a style text trims them first, as "fill ;" shows)
    const char blanks[] = "fill   ";
    StatePtr state(createParserState());
    applyDeclaration(*state, blanks, blanks + 7);
    EXPECT_FALSE(currentStyle(*state).hasFill);
}

TEST(StyleDeclarations, KeepsTheFirst511Characters) {
    const std::string tail = "translate(7)";  // readable only while its ")" is kept
    const struct { std::size_t padding; float e; } cases[] = {{499, 7}, {500, 0}, {3000, 0}};
    for (const auto& c : cases) {
        const std::string text = "transform: " + std::string(c.padding, 'x') + tail;
        EXPECT_EQ(styled(text).transform.e, c.e) << "value length " << c.padding + tail.size();
    }
    EXPECT_TRUE(sameFrame(styled(std::string(3000, 'f') + ":#1"), styled("")));
    // Colours and numbers too: the digits past the 511th are not read.
    const std::string colour = "#" + std::string(510, '1') + std::string(90, '2');
    EXPECT_EQ(styled("fill:" + colour + " ;stroke-width:2").fillColor, 0x11111111u);
    // At the bound itself: a value of 511 characters is read whole, one of 512 loses its last.
    for (const std::size_t zeros : {509u, 510u}) {
        const std::string last = "#" + std::string(zeros, '0') + "1";
        EXPECT_EQ(styled("fill:" + last).fillColor, zeros == 509 ? 1u : 0u) << last.size();
        EXPECT_EQ(styled("stroke-width:" + std::string(zeros + 1, '0') + "7").strokeWidth,
                  zeros == 509 ? 7.0f : 0.0f) << last.size();
    }
    const std::string one = "0." + std::string(508, '0') + "1e509";  // 1, but 0 when cut at 511
    EXPECT_EQ(styled("fill-opacity:" + one).fillOpacity, 0.0f);
    const char text[] = "fill:#12345";
    StatePtr state(createParserState());
    applyDeclaration(*state, text, text + 8);
    EXPECT_EQ(currentStyle(*state).fillColor, 0x12u);
}

TEST(ApplyAttributes, GroupsStyleTheirChildren) {
    std::string markup =
        "<svg fill=\"#999\"><g fill=\"#ff0000\" fill-opacity=\"0.5\" stroke=\"#00ff00\" "
        "stroke-width=\"3\" stroke-opacity=\"0.25\" transform=\"scale(2)\" display=\"none\">"
        "<g style=\"fill:none; stroke-width:2\"><g>";
    StatePtr state(createParserState());
    tokenizeMarkup(markup.data(), onElementStart, onElementEnd, onCharacterData, state.get());
    ASSERT_EQ(state->styleTop, 3);
    const StyleFrame& inner = currentStyle(*state);
    EXPECT_EQ(inner.hasFill, 0);
    EXPECT_EQ(inner.fillColor, 0xFF0000u);
    EXPECT_EQ(inner.fillOpacity, 0.5f);
    EXPECT_EQ(inner.hasStroke, 1);
    EXPECT_EQ(inner.strokeColor, 0x00FF00u);
    EXPECT_EQ(inner.strokeWidth, 2.0f);
    EXPECT_EQ(inner.strokeOpacity, 0.25f);
    EXPECT_EQ(inner.transform.a, 2.0f);
    EXPECT_EQ(state->styles[1].hasFill, 1);
    EXPECT_EQ(state->styles[1].strokeWidth, 3.0f);
}
