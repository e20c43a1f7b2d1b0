// Readers of the basic shapes: rect, circle, line, polyline and polygon.
#pragma once

#include <cstdint>

#include "svg/parse_context.h"

// A circle never gets more segments than this, however large it is against the tolerance.
constexpr std::int32_t circleSegmentLimit = 65536;

void readRect(ParserState& state, AttrList attributes) noexcept;
void readCircle(ParserState& state, AttrList attributes) noexcept;
void readLine(ParserState& state, AttrList attributes) noexcept;
// closed is 1 for polygon, 0 for polyline.
void readPolyPoints(ParserState& state, AttrList attributes, std::uint8_t closed) noexcept;

// The number of segments of a circle of radius r drawn within tolerance; 0 draws nothing.
std::int32_t circleSegmentCount(float r, float tolerance) noexcept;
