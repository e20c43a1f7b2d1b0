#include "svg/attributes.h"

#include "svg/number.h"
#include "svg/text.h"

void applyAttributes(ParserState&, AttrList) noexcept {}

bool applyPresentationAttribute(ParserState&, const char*, const char*) noexcept { return false; }

void applyStyleDeclarations(ParserState&, const char*) noexcept {}

void applyDeclaration(ParserState&, const char*, const char*) noexcept {}

std::uint32_t parseColor(const char*) noexcept { return 0; }

float parseNumber(const char* text) noexcept {
    return static_cast<float>(readDecimal(skipBlanks(text)));
}
