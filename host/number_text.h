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

// The same nine digits written out in full, without an exponent: "1e-05" as "0.00001". SVG
// written for this module's reader must look like this, as the reader takes no signed exponent
// (it would read "1e-05" as the two numbers 1 and -5).
std::string plainNineDigitText(double value);

}  // namespace standin
