#include "svg/transform_list.h"

void applyTransformList(ParserState&, const char*) noexcept {}
