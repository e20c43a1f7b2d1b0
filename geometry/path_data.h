// The interpreter of a path element's "d" data.
#pragma once

#include "svg/parse_context.h"

// A path token keeps at most pathTokenSize - 1 characters and a NUL.
constexpr int pathTokenSize = 64;

void parsePathData(ParserState& state, AttrList attributes) noexcept;

// Splits path data and point lists: skips blanks and commas, then takes one command character
// or one number (signs first, then digits, ".", "e", "E"). Returns the position after the
// token, or the NUL's position with an empty token when only separators were left.
const char* nextPathToken(const char* text, char* token) noexcept;
