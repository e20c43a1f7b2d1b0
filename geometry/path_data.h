// The interpreter of a path element's "d" data.
#pragma once

#include "svg/parse_context.h"
#include "svg/text.h"

// A path token keeps at most pathTokenSize - 1 characters and a NUL.
constexpr int pathTokenSize = 64;
// At most this many numbers wait for a step; later ones are dropped until the step runs.
constexpr int heldNumberLimit = 10;

// Applies a path element's attributes in order and draws each "d" value as it comes, so the
// attributes after "d" reach no output.
void parsePathData(ParserState& state, AttrList attributes) noexcept;

// Splits path data and point lists token by token as the reader does (the reader reads them in
// place; the report uses this copy): skips blanks and commas, then takes one command character
// or one number (signs first, then digits, ".", "e", "E"). Returns the position after the
// token, or the NUL's position with an empty token when only separators were left.
const char* nextPathToken(const char* text, char* token) noexcept;
// The position of the first byte at text that is not a blank or a comma.
inline const char* skipPathSeparators(const char* text) noexcept {
    while (isBlank(static_cast<unsigned char>(*text)) || *text == ',') ++text;
    return text;
}

// How many numbers one step of the command letter takes; 0 for letters without a step.
int pathCommandArity(char command) noexcept;

// The straight steps: move (x, y), the current point, and append it.
void pathLineTo(ParserState& state, float& x, float& y, const float* held, bool relative) noexcept;
void pathHorizontalTo(ParserState& state, float& x, float& y, const float* held,
                      bool relative) noexcept;
void pathVerticalTo(ParserState& state, float& x, float& y, const float* held,
                    bool relative) noexcept;
