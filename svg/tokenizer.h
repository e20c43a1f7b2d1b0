// A forgiving in-place splitter for XML-like text: tags, attributes and text segments.
#pragma once

#include "svg/parse_context.h"

using ElementStartHandler = void (*)(void* userData, const char* name, AttrList attributes);
using ElementEndHandler = void (*)(void* userData, const char* name);
using CharacterDataHandler = void (*)(void* userData, const char* text);

// At most this many name/value pairs are kept per tag; the list has two more null entries.
constexpr int attributePairLimit = 127;
constexpr int attributeEntryCount = 2 * attributePairLimit + 2;

// Walks text once, cutting it with NUL bytes, and reports each tag and non-blank text segment
// in document order; text after the last tag is not reported. Any handler may be null.
void tokenizeMarkup(char* text, ElementStartHandler onStart, ElementEndHandler onEnd,
                    CharacterDataHandler onText, void* userData) noexcept;

// Reports one text segment unless it is blank.
void deliverText(char* segment, CharacterDataHandler onText, void* userData) noexcept;
