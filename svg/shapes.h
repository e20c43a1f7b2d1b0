// Readers of the basic shapes: rect, circle, line, polyline and polygon.
#pragma once

#include <cstdint>

#include "svg/parse_context.h"

void readRect(ParserState& state, AttrList attributes) noexcept;
void readCircle(ParserState& state, AttrList attributes) noexcept;
void readLine(ParserState& state, AttrList attributes) noexcept;
// closed is 1 for polygon, 0 for polyline.
void readPolyPoints(ParserState& state, AttrList attributes, std::uint8_t closed) noexcept;
