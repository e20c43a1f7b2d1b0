#include "svg/dispatch.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "svg/tokenizer.h"

namespace {

struct StateDeleter {
    void operator()(ParserState* state) const { destroyParserState(state); }
};
using StatePtr = std::unique_ptr<ParserState, StateDeleter>;

// Runs the real tokenizer and dispatch over markup and returns the state afterwards.
StatePtr dispatch(std::string markup) {
    StatePtr state(createParserState());
    tokenizeMarkup(markup.data(), onElementStart, onElementEnd, onCharacterData, state.get());
    return state;
}

}  // namespace

TEST(ElementDispatch, GroupsPushUntilTheirEndTag) {
    const struct { const char* markup; int styleTop; } cases[] = {
        {"<g>", 1},
        {"<g><g>", 2},
        {"<g></g>", 0},
        {"<g/>", 0},  // the name is "g/": an unknown element
        {"<g />", 0},
        {"</g></g>", 0},
        {"<G>", 0},
        {"<svg:g>", 0},
        {"<svg><g><rect/><path/><circle/><line/><polyline/><polygon/>", 1},
        {"<g><defs><g></g></defs>", 1},
        {"<defs><g></defs><g>", 1},
        // a path's own frame is gone once it is read, whether or not its end tag follows
        {"<g><path d=\"M0 0 L1 0\" /></g>", 0},
        {"<path fill=\"#f00\" d=\"M0 0 L1 0\">", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(dispatch(c.markup)->styleTop, c.styleTop) << c.markup;
}

TEST(ElementDispatch, DefsIsOneFlagNotADepth) {
    const struct { const char* markup; int inDefs; int styleTop; } cases[] = {
        {"<defs>", 1, 0},
        {"<defs></defs>", 0, 0},
        {"<defs/>", 0, 0},  // name "defs/": unknown
        {"<defs />", 0, 0},
        {"<defs><defs></defs><g>", 0, 1},
        {"<defs><g>", 1, 0},
        {"<DEFS><g>", 0, 1},
    };
    for (const auto& c : cases) {
        StatePtr state = dispatch(c.markup);
        EXPECT_EQ(state->inDefs, c.inDefs) << c.markup;
        EXPECT_EQ(state->styleTop, c.styleTop) << c.markup;
    }
}

TEST(ElementDispatch, OpenPathTagBlocksLaterPaths) {
    const struct { const char* markup; int inPath; } cases[] = {
        {"<path d=\"\">", 1},
        {"<path d=\"\"/>", 0},
        {"<path d=\"\"></path>", 0},
        {"<path d=\"\"><path />", 0},
        {"<path d='M0 0'/>", 1},  // the "/" is never seen after an unquoted value
        {"<defs><path></defs>", 0},
        {"</path>", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(dispatch(c.markup)->inPath, c.inPath) << c.markup;
}

TEST(ElementDispatch, FullStackStillPops) {
    std::string markup;
    for (int i = 0; i < 130; ++i) markup += "<g>";
    StatePtr state = dispatch(markup);
    EXPECT_EQ(state->styleTop, 127);
    markup += "<rect />";
    EXPECT_EQ(dispatch(markup)->styleTop, 126) << "the push was ignored, the pop was not";
}
