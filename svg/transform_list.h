// "transform" lists: matrix, translate and scale composed onto the current frame.
#pragma once

#include <cstddef>

#include "svg/parse_context.h"

void applyTransformList(ParserState& state, const char* text) noexcept;
// Each composes the transform named at keyword and returns how far the list scan advances
// (at least 1).
std::ptrdiff_t readMatrix(ParserState& state, const char* keyword) noexcept;
std::ptrdiff_t readTranslate(ParserState& state, const char* keyword) noexcept;
std::ptrdiff_t readScale(ParserState& state, const char* keyword) noexcept;
// Reads up to capacity parenthesised numbers after keyword into numbers; stores how many in count.
std::ptrdiff_t readTransformArgs(const char* keyword, float* numbers, int capacity,
                                 int* count) noexcept;
// current := current o next (next acts on points first).
void composeTransform(Affine& current, const Affine& next) noexcept;
