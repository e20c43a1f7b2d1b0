#include "host/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace standin {

std::size_t formatNineDigits(char (&text)[32], double value) {
    // to_chars prints as printf does, many times faster; infinities and NaNs keep printf's
    // spelling
    if (!std::isfinite(value))
        return static_cast<std::size_t>(std::snprintf(text, sizeof text, "%.9g", value));
    return static_cast<std::size_t>(
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, 9).ptr - text);
}

std::string nineDigitText(double value) {
    char text[32];
    return std::string(text, formatNineDigits(text, value));
}

}  // namespace standin
