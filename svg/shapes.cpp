#include "svg/shapes.h"

void readRect(ParserState&, AttrList) noexcept {}
void readCircle(ParserState&, AttrList) noexcept {}
void readLine(ParserState&, AttrList) noexcept {}
void readPolyPoints(ParserState&, AttrList, std::uint8_t) noexcept {}
