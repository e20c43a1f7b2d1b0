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

StatePtr newState() { return StatePtr(createParserState()); }

// The fields a reader may touch, compared byte for byte.
bool sameFrame(const StyleFrame& x, const StyleFrame& y) {
    return std::memcmp(&x, &y, sizeof x) == 0;
}

// The frame a "style" text leaves on a fresh state.
StyleFrame styled(const std::string& text) {
    StatePtr state = newState();
    applyStyleDeclarations(*state, text.c_str());
    return currentStyle(*state);
}

}  // namespace

TEST(ParseColor, ReadsHexadecimalAfterHash) {
    const struct { const char* text; std::uint32_t expected; } cases[] = {
        {"#FF0000", 0xFF0000u}, {"#ff0000", 0xFF0000u}, {"#fff", 0x000FFFu},
        {"#123456789", 0x23456789u}, {"#FFFFFFFFF", 0xFFFFFFFFu}, {"#100000000", 0u},
        {"   #ff", 0xFFu}, {"# \t\n ff", 0xFFu}, {"#aBc;x", 0xABCu},
        {"#-1", 0xFFFFFFFFu}, {"#-0x10", 0xFFFFFFF0u}, {"#+10", 0x10u},
        {"#0x1A", 0x1Au}, {"#0X1a", 0x1Au}, {"#0x", 0u}, {"#0xg", 0u}, {"#0x0x1", 0u},
        {"\t#ff", 0u}, {"\n#ff", 0u}, {"red", 0u}, {"rgb(255,0,0)", 0u}, {"url(#a)", 0u},
        {"#", 0u}, {"#g1", 0u}, {"#- 1", 0u}, {"#--1", 0u}, {"", 0u}, {"ff", 0u},
    };
    for (const auto& c : cases) EXPECT_EQ(parseColor(c.text), c.expected) << '"' << c.text << '"';
}

TEST(PresentationAttribute, PaintSwitchesAndNone) {
    const struct { const char* value; int on; std::uint32_t color; } cases[] = {
        {"none", 0, 0x123u},  // the inherited colour stays
        {"#00ff00", 1, 0xFF00u}, {"None", 1, 0u}, {" none", 1, 0u}, {"none ", 1, 0u},
        {"red", 1, 0u}, {"", 1, 0u},
    };
    for (const auto& c : cases) {
        StatePtr state = newState();
        StyleFrame& frame = currentStyle(*state);
        frame.fillColor = frame.strokeColor = 0x123u;
        frame.hasFill = frame.hasStroke = 1;
        EXPECT_TRUE(applyPresentationAttribute(*state, "fill", c.value));
        EXPECT_TRUE(applyPresentationAttribute(*state, "stroke", c.value));
        EXPECT_EQ(frame.hasFill, c.on) << '"' << c.value << '"';
        EXPECT_EQ(frame.fillColor, c.color) << '"' << c.value << '"';
        EXPECT_EQ(frame.hasStroke, c.on) << '"' << c.value << '"';
        EXPECT_EQ(frame.strokeColor, c.color) << '"' << c.value << '"';
    }
}

TEST(PresentationAttribute, StoresNumbersUnclamped) {
    const struct { const char* name; const char* value; float StyleFrame::*field; float expected; }
        cases[] = {
            {"fill-opacity", "1.5", &StyleFrame::fillOpacity, 1.5f},
            {"fill-opacity", "-0.5", &StyleFrame::fillOpacity, -0.5f},
            {"fill-opacity", "50%", &StyleFrame::fillOpacity, 50.0f},
            {"stroke-opacity", " \t.25", &StyleFrame::strokeOpacity, 0.25f},
            {"stroke-width", "2px", &StyleFrame::strokeWidth, 2.0f},
            {"stroke-width", "", &StyleFrame::strokeWidth, 0.0f},
            {"stroke-width", "wide", &StyleFrame::strokeWidth, 0.0f},
        };
    for (const auto& c : cases) {
        StatePtr state = newState();
        EXPECT_TRUE(applyPresentationAttribute(*state, c.name, c.value));
        EXPECT_EQ(currentStyle(*state).*c.field, c.expected) << c.name << "=\"" << c.value << '"';
    }
}

TEST(PresentationAttribute, KnowsExactlyEightNames) {
    const struct { const char* name; bool known; } cases[] = {
        {"style", true}, {"display", true}, {"fill", true}, {"fill-opacity", true},
        {"stroke", true}, {"stroke-width", true}, {"stroke-opacity", true}, {"transform", true},
        {"Fill", false}, {"FILL", false}, {"fill ", false}, {"opacity", false},
        {"fill-rule", false}, {"stroke-linecap", false}, {"id", false}, {"class", false},
        {"d", false}, {"x", false}, {"", false},
    };
    for (const auto& c : cases) {
        StatePtr state = newState();
        const StyleFrame before = currentStyle(*state);
        EXPECT_EQ(applyPresentationAttribute(*state, c.name, "#ff; 3"), c.known) << c.name;
        if (!c.known) {
            EXPECT_TRUE(sameFrame(currentStyle(*state), before)) << c.name;
        }
        // a name without a value is recognised but read through by nothing
        EXPECT_EQ(applyPresentationAttribute(*state, c.name, nullptr), c.known) << c.name;
    }
    StatePtr state = newState();
    const StyleFrame before = currentStyle(*state);
    EXPECT_TRUE(applyPresentationAttribute(*state, "display", "none"));
    EXPECT_TRUE(sameFrame(currentStyle(*state), before));
}

TEST(ApplyAttributes, AppliesInListOrderWithStyleInPlace) {
    const struct { const char* list[6]; std::uint32_t fill; float e; float scale; } cases[] = {
        {{"fill", "#00FF00", "style", "fill:#FF0000", nullptr, nullptr},
         0xFF0000u, 0, 1},
        {{"style", "fill:#FF0000", "fill", "#00FF00", nullptr, nullptr},
         0x00FF00u, 0, 1},
        {{"transform", "translate(1,0)", "style", "transform: scale(2)",
                               nullptr, nullptr},
         0, 1, 2},
        {{"style", "transform:scale(2)", "transform", "translate(1,0)",
                               nullptr, nullptr},
         0, 2, 2},
        {{"id", "a", "fill", nullptr, nullptr, nullptr}, 0, 0, 1},
        {{"style", nullptr, nullptr, nullptr}, 0, 0, 1},
        {{nullptr, nullptr}, 0, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list[0] != nullptr ? c.list[0] : "(empty)");
        StatePtr state = newState();
        applyAttributes(*state, c.list);
        const StyleFrame& frame = currentStyle(*state);
        EXPECT_EQ(frame.fillColor, c.fill);
        EXPECT_EQ(frame.transform.e, c.e);
        EXPECT_EQ(frame.transform.a, c.scale);
    }
}

TEST(StyleDeclarations, SplitsAndTrims) {
    const struct { const char* text; int hasFill; std::uint32_t fill; float width; } cases[] = {
        {" fill : #ff ; stroke-width : 3 ", 1, 0xFFu, 3},
        {"fill:#1;fill : none ", 0, 0x1u, 1},
        {"fill", 1, 0u, 1},
        {"stroke-width", 0, 0u, 0},
        {"fill::#2", 1, 0x2u, 1},
        {"fill: : #3", 1, 0x3u, 1},
        {"fill:#5;fill:#6;", 1, 0x6u, 1},
        {"style: fill:#4", 1, 0x4u, 1},
        {"style:style:stroke-width:7", 0, 0u, 7},
        {"Fill:#7; STROKE-WIDTH:2", 0, 0u, 1},
        {"fill:url(#a;b)", 1, 0u, 1},
        {";;", 0, 0u, 1}, {";", 0, 0u, 1}, {"  \t ", 0, 0u, 1}, {"", 0, 0u, 1},
        {":#8", 0, 0u, 1}, {"display:none", 0, 0u, 1},
    };
    for (const auto& c : cases) {
        const StyleFrame frame = styled(c.text);
        EXPECT_EQ(frame.hasFill, c.hasFill) << '"' << c.text << '"';
        EXPECT_EQ(frame.fillColor, c.fill) << '"' << c.text << '"';
        EXPECT_EQ(frame.strokeWidth, c.width) << '"' << c.text << '"';
    }
}

TEST(StyleDeclarations, KeepsTheFirst511Characters) {
    const std::string tail = "translate(7)";  // readable only when its ")" survives
    const struct { std::size_t padding; float e; } cases[] = {{499, 7}, {500, 0}, {3000, 0}};
    for (const auto& c : cases) {
        const std::string text = "transform: " + std::string(c.padding, 'x') + tail;
        EXPECT_EQ(styled(text).transform.e, c.e) << "value length " << c.padding + tail.size();
    }
    const StyleFrame fresh = styled("");
    EXPECT_TRUE(sameFrame(styled(std::string(3000, 'f') + ":#1"), fresh));
    EXPECT_TRUE(sameFrame(styled(std::string(3000, ';')), fresh));
}

TEST(StyleDeclarations, DeclarationStopsAtItsEnd) {
    const char text[] = "fill:#12345";
    StatePtr state = newState();
    applyDeclaration(*state, text, text + 8);
    EXPECT_EQ(currentStyle(*state).fillColor, 0x12u);
}

TEST(ApplyAttributes, GroupsStyleTheirChildren) {
    std::string markup =
        "<svg fill=\"#999\"><g fill=\"#ff0000\" fill-opacity=\"0.5\" stroke=\"#00ff00\" "
        "stroke-width=\"3\" stroke-opacity=\"0.25\" transform=\"translate(1,2)\" display=\"none\">"
        "<g style=\"fill:none; stroke-width:2\" transform=\"scale(2)\"><g>";
    StatePtr state = newState();
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
    EXPECT_EQ(inner.transform.e, 1.0f);
    EXPECT_EQ(inner.transform.f, 2.0f);
    EXPECT_EQ(state->styles[1].hasFill, 1);
    EXPECT_EQ(state->styles[1].strokeWidth, 3.0f);
}
