// Numbers of the tool's text outputs, converted without the C library's formatted print.
#pragma once

#include <cstddef>
#include <string>

namespace standin {

// The text "%.9g" prints for value (nine significant digits, the shorter of fixed and exponent
// form) in text; its length.
std::size_t formatNineDigits(char (&text)[32], double value);

std::string nineDigitText(double value);

}  // namespace standin
