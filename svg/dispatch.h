// The tokenizer handlers that route SVG elements to their readers over the style stack.
#pragma once

#include "svg/parse_context.h"

// userData is the ParserState of the parse.
void onElementStart(void* userData, const char* name, AttrList attributes) noexcept;
void onElementEnd(void* userData, const char* name) noexcept;
void onCharacterData(void* userData, const char* text) noexcept;
