#include "geometry/path_data.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "geometry/path_text.h"
#include "svg/number.h"

namespace {

std::string drawn(AttrList list, float tolerance = 0.1f) {
    StatePtr state = newState(tolerance);
    parsePathData(*state, list);
    return describeList(state->paths);
}

std::string drawn(const std::string& data) {
    const char* list[] = {"d", data.c_str(), nullptr, nullptr};
    return drawn(list);
}

}  // namespace

TEST(NextPathToken, SplitsCommandsAndNumbers) {
    const struct { const char* text; const char* tokens; } cases[] = {
        {"M10,20", "M|10|20"},
        {"10-20", "10|-20"},
        {"1e-5", "1e|-5"},
        {"1E+5", "1E|+5"},
        {"0.5.5", "0.5.5"},
        {"+-+3-", "+-+3|-"},
        {" \t\n\v\f\r,,7", "7"},
        {"e.E", "e.E"},
        {"\xA0" "5", "\xA0|5"},  // bytes above 127 are never separators
        {"L#3", "L|#|3"},
        {"", ""},
        {" , ", ""},
    };
    for (const auto& c : cases) {
        std::string tokens;
        char token[pathTokenSize];
        const char* p = c.text;
        for (int guard = 0; guard < 20; ++guard) {
            p = nextPathToken(p, token);
            if (token[0] == '\0') break;
            if (!tokens.empty()) tokens += '|';
            tokens += token;
        }
        EXPECT_EQ(tokens, c.tokens) << '"' << c.text << '"';
        EXPECT_EQ(*p, '\0') << "stops at the NUL";
    }
    // a long run of signs or digits keeps its first pathTokenSize - 1 characters
    for (const char kept : {'+', '7'}) {
        const std::string text = std::string(pathTokenSize + 8, kept) + (kept == '+' ? "1" : "");
        char token[pathTokenSize];
        EXPECT_EQ(nextPathToken(text.c_str(), token), text.c_str() + text.size());
        EXPECT_EQ(std::string(token), std::string(pathTokenSize - 1, kept));
    }
}

TEST(ParsePathData, DrawsOneRecordPerSubpath) {
    const struct { const char* data; const char* records; } cases[] = {
        {"M 10 20 L 30 20 l 0 10 H 5 v -5 Z", "closed (10,20) (30,20) (30,30) (5,30) (5,25)"},
        {"M 0 0 h 10 v 10 H 0 z", "closed (0,0) (10,0) (10,10) (0,10)"},
        {"m 10 10 20 0 0 20", "open (10,10) (30,10) (30,30)"},
        // a relative move-to is measured from the current point
        {"M 1 1 L 2 2 m 3 3 l 1 1", "open (1,1) (2,2) | open (5,5) (6,6)"},
        {"m 1 1 m 1 1", "open (1,1) | open (2,2)"},
        // a close returns to the subpath's start
        {"M 0 0 L 10 0 L 10 10 Z l 5 5", "closed (0,0) (10,0) (10,10) | open (5,5)"},
        {"M 0 0 L 10 0 L 10 10 Z m 5 5 h 1", "closed (0,0) (10,0) (10,10) | open (5,5) (6,5)"},
        {"M 2 3 L 10 0 Z L 1 1 Z l 1 1", "closed (2,3) (10,0) | closed (1,1) | open (3,4)"},
        {"L 4 4 Z l 1 1", "closed (4,4) | open (1,1)"},
        {"M 7 7 m 1 1 4 4 z l 1 1", "open (7,7) | closed (8,8) (12,12) | open (9,9)"},
        {"M 3 3 L 4 4 M L 5 5 Z l 1 1", "open (3,3) (4,4) | closed (5,5) | open (5,5)"},
        {"M10 10 L20 20 M30 30", "open (10,10) (20,20) | open (30,30)"},
        {"M 1 2 M 3 4 L 5 6", "open (1,2) | open (3,4) (5,6)"},
        {"M 0 0 L 10 10 Z Z", "closed (0,0) (10,10)"},
        {"M 1,2,3,4", "open (1,2) (3,4)"},
        {"M0 0 1e-5 2", "open (0,0) (1,-5)"},
        {"M5-2e1", "open (5,-20)"},  // a signed exponent token right after a digit
        {"M.5.5 3 3", "open (0.5,3)"},
        {"M 1 e 2", "open (1,0)"},
        {"M 10 20 30 L 40 50", "open (10,20) (30,40)"},
        {"M0 0 C 1 2 3 4 5 L 6 7", "open (0,0) (1,2)"},
        {"M0 0 A 5 5 0 0 1 10 10 L 20 20", "open (0,0) (20,20)"},
        {"M0 0 a 5 5 0 0 1 10 10 l 1 1", "open (0,0) (11,11)"},  // arcs are absolute
        {"M 0 0 L 5 5 X 1 2 3 L 6 6", "open (0,0) (5,5) (6,6)"},
        {"M 0 0 L 5 X 7 l 1 1", "open (0,0) (6,8)"},  // X's step takes the last two held
        {"M 5 5 L 6 6 M", "open (5,5) (6,6)"},
        {"1 2 3 L 4 5", "open (4,5)"},  // numbers before any letter are dropped one by one
        {"", ""},
        {" ,, \t", ""},
        {"M 0 0 L 10 10 Z", "closed (0,0) (10,10)"},
        {"M 10 10 L 15 15", "open (10,10) (15,15)"},
        {"M 10 10 l 5 5", "open (10,10) (15,15)"},
        {"M 10 10 h -3 V 2 v 1", "open (10,10) (7,10) (7,2) (7,3)"},
    };
    for (const auto& c : cases) EXPECT_EQ(drawn(c.data), c.records) << '"' << c.data << '"';
    EXPECT_EQ(drawn("M " + std::string(63, '0') + "1 5"), "open (0,5)");
}

TEST(ParsePathData, HeldNumbersCountTowardTheNextCommand) {
    const struct { const char* data; const char* records; } cases[] = {
        {"M 0 0 C 1 2 3 4 5 A 6", "open (0,0)"},
        {"M 0 0 C 1 2 3 4 5 A 6 7 l 1 1", "open (0,0) (7,8)"},  // the arc takes the last two
        {"M 0 0 L 1 M 2 3", "open (0,0) | open (2,3)"},  // a move-to letter drops the held 1
        {"M 0 0 L 1 Z 2 3 L 4 4", "closed (0,0) | open (4,4)"},
        // a straight step after leftovers reads the first held, not the newest
        {"M 0 0 C 1 2 3 L 4", "open (0,0) (1,2)"},
        {"M 0 0 C 1 2 h 3", "open (0,0) (1,0)"},
        {"M 0 0 C 1 2 V 3", "open (0,0) (0,1)"},
        {"M 0 0 C 1 2 3 M 4", "open (0,0)"},
    };
    for (const auto& c : cases) EXPECT_EQ(drawn(c.data), c.records) << '"' << c.data << '"';
}

// The straight steps on their own: each moves the current point and appends it.
TEST(PathSteps, MoveTheCurrentPointAndAppendIt) {
    using Step = void (*)(ParserState&, float&, float&, const float*, bool);
    const struct { Step step; bool relative; float x, y; } cases[] = {
        {pathLineTo, false, 3, 4},       {pathLineTo, true, 4, 6},
        {pathHorizontalTo, false, 3, 2}, {pathHorizontalTo, true, 4, 2},
        {pathVerticalTo, false, 1, 3},   {pathVerticalTo, true, 1, 5},
    };
    const float held[2] = {3, 4};
    for (const auto& c : cases) {
        StatePtr state = newState(0.1f);
        float x = 1, y = 2;
        c.step(*state, x, y, held, c.relative);
        EXPECT_EQ(describePoint(x, y), describePoint(c.x, c.y));
        ASSERT_EQ(state->pointCount, 1);
        EXPECT_EQ(describePoint(state->points[0], state->points[1]), describePoint(c.x, c.y));
    }
}

TEST(ParsePathData, SeveralDataAttributesContinueTheWorkingValues) {
    const char* list[] = {"d", "M 1 1 L 2 2", "id", "p", "d", "l 1 1 Z l 1 0", nullptr, nullptr};
    EXPECT_EQ(drawn(list), "open (1,1) (2,2) | closed (3,3) | open (1,0)");
    const char* smooth[] = {"d", "M0 0 Q 1 1 2 0", "d", "T 4 0", nullptr, nullptr};
    const char* plain[] = {"d", "M0 0 Q 1 1 2 0", "d", "Q 3 -1 4 0", nullptr, nullptr};
    EXPECT_EQ(drawn(smooth), drawn(plain));
}

TEST(ParsePathData, SkipsNamesWithoutValue) {
    const char* nullData[] = {"d", nullptr, nullptr, nullptr};
    EXPECT_EQ(drawn(nullData), "");
    const char* nullAfter[] = {"d", "M 1 1 2 2", "d", nullptr, nullptr};
    EXPECT_EQ(drawn(nullAfter), "open (1,1) (2,2)");
    const char* empty[] = {nullptr, nullptr};
    EXPECT_EQ(drawn(empty), "");
}

TEST(ParsePathData, PointsGrowLinearlyWithTheCommands) {
    const int pairs = 50000;  // two curve commands each
    std::string data = "M0 0";
    for (int i = 0; i < pairs; ++i) data += " Q 1 1 2 0 Q 1 -1 0 0";
    StatePtr one = newState(0.1f);
    const char* single[] = {"d", "M0 0 Q 1 1 2 0 Q 1 -1 0 0", nullptr, nullptr};
    parsePathData(*one, single);
    ASSERT_NE(one->paths, nullptr);
    const int perPair = one->paths->pointCount - 1;
    StatePtr state = newState(0.1f);
    const char* list[] = {"d", data.c_str(), nullptr, nullptr};
    parsePathData(*state, list);
    ASSERT_NE(state->paths, nullptr);
    EXPECT_EQ(state->paths->pointCount, 1 + pairs * perPair);
    EXPECT_EQ(std::memcmp(state->paths->points + 2 * (state->paths->pointCount - perPair),
                          one->paths->points + 2, sizeof(float) * 2 * perPair), 0);
}

TEST(ScanFloatToken, NarrowsWhatScanNumberTokenReads) {
    // around the limits of the float-only conversion, and tokens it leaves to the general one
    const char* cases[] = {
        "1731.889", "-0.001", "+.5", "-0", "7.", "16777216", "16777217", "-1677721.7",
        "0.0000000001", "1.2345678901", "0.00000000001", "1234567890123456789",
        "12345678901234567890", "9007199254740993", "1e5", "1.5E3", "1e", "--5", "-+",
        ".", "e", "1.2.3", "0000000000000000000000000000000000000000000000000000000000000001",
        "3.4028236e38", "1e-50",
        // mantissas past 2^24, narrowed from one double division
        "-49999.999", "12345678.9", "99999999.99", "123456789012.5", "-0.000000000000000001",
        "16777217.5", "33554433"};
    for (const char* text : cases) {
        double wide = 0.0;
        const char* wideEnd = scanNumberToken(text, &wide);
        const FloatToken token = scanFloatToken(text);
        const float narrow = static_cast<float>(wide);
        EXPECT_EQ(std::memcmp(&token.value, &narrow, sizeof narrow), 0) << '"' << text << '"';
        EXPECT_EQ(token.end, wideEnd) << '"' << text << '"';
    }
}
