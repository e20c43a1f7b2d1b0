// Presentation attributes and "style" declarations applied to the current style frame.
#pragma once

#include <cstdint>

#include "svg/parse_context.h"

// The buffer of one declaration's value: at most declarationBufferSize - 1 characters are read.
constexpr int declarationBufferSize = 512;

void applyAttributes(ParserState& state, AttrList attributes) noexcept;
// True when name is one of the eight presentation names, whatever the value.
bool applyPresentationAttribute(ParserState& state, const char* name, const char* value) noexcept;
void applyStyleDeclarations(ParserState& state, const char* text) noexcept;
// One declaration [begin, end) of a "style" text.
void applyDeclaration(ParserState& state, const char* begin, const char* end) noexcept;
std::uint32_t parseColor(const char* text) noexcept;
float parseNumber(const char* text) noexcept;
