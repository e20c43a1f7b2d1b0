// Locale-free decimal conversion, correctly rounded to double.
#pragma once

// Reads the longest decimal number at text: leading blanks, an optional sign, digits with an
// optional "." fraction, an optional exponent ("e", "E", "d" or "D", optional sign, digits).
// Stores the value (0 when no digit was found, an infinity when too large, 0 when too small)
// and returns the position after what was consumed, or text itself when no number was found.
const char* scanDecimal(const char* text, double* value) noexcept;

// The value of the number at text, or 0.
double readDecimal(const char* text) noexcept;

// A number token of path data keeps at most this many characters.
constexpr int numberTokenLimit = 63;

// Reads one number token at text, which starts with a sign, a digit, ".", "e" or "E": every
// sign in a row, then digits, ".", "e" and "E". Stores the value of the token's first
// numberTokenLimit characters, as readDecimal gives it, and returns the position after the
// whole token.
const char* scanNumberToken(const char* text, double* value) noexcept;

// A number token read to a 32-bit float, and the position after it.
struct FloatToken {
    const char* end;
    float value;
};

// Reads one number token as scanNumberToken does and narrows its value to a float; returned
// whole, so that the value comes back in a register.
FloatToken scanFloatToken(const char* text) noexcept;
