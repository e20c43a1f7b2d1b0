#include "geometry/path_data.h"

void parsePathData(ParserState&, AttrList) noexcept {}

const char* nextPathToken(const char* text, char* token) noexcept {
    token[0] = '\0';
    return text;
}
