// Numbers of the tool's text outputs, converted without the C library's formatted print.
#pragma once

#include <cstddef>
#include <string>

namespace standin {

// The room formatNineDigits needs.
constexpr std::size_t nineDigitTextLimit = 32;

// The text "%.9g" prints for value (nine significant digits, the shorter of fixed and exponent
// form) at text, which has room for nineDigitTextLimit characters; its length. No NUL follows.
std::size_t formatNineDigits(char* text, double value);

std::string nineDigitText(double value);

}  // namespace standin
