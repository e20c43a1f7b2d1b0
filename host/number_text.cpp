#include "host/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace standin {

namespace {

constexpr int significantDigits = 9;
constexpr std::uint64_t powersOfTen[13] = {
    1ull, 10ull, 100ull, 1000ull, 10000ull, 100000ull, 1000000ull, 10000000ull, 100000000ull,
    1000000000ull, 10000000000ull, 100000000000ull, 1000000000000ull};
constexpr std::uint64_t nineDigitLimit = 1000000000ull;

// "00" to "99".
struct DigitPairs {
    char text[100][2];
};

constexpr DigitPairs makeDigitPairs() {
    DigitPairs pairs = {};
    for (int i = 0; i < 100; ++i) {
        pairs.text[i][0] = static_cast<char>('0' + i / 10);
        pairs.text[i][1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}

constexpr DigitPairs digitPairs = makeDigitPairs();

// The nine significant digits of a positive double, rounded to nearest with ties to even as
// the formatted print rounds them, and the decimal exponent of the first digit. Settled in
// 64-bit integers, exactly: the value's binary mantissa times a power of ten up to 10^12, then
// shifted down. That covers every float from 1e-4 to below 1e9 (every coordinate of a drawing
// the module hands over is one, widened) and much else; false for what it does not cover.
bool nineDigitsOf(double value, std::uint64_t& digits, int& exponent) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = static_cast<int>(bits >> 52) & 0x7FF;
    if (biased == 0 || biased == 0x7FF) return false;  // subnormal, infinite or NaN
    std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    int binaryExponent = biased - 1075;
    const int zeros = __builtin_ctzll(mantissa);
    mantissa >>= zeros;
    binaryExponent += zeros;
    if (binaryExponent > 0) {  // a whole number: small ones are taken whole
        if (binaryExponent >= 32 || mantissa >= (std::uint64_t{1} << 31)) return false;
        mantissa <<= binaryExponent;
        binaryExponent = 0;
    }
    const int shift = -binaryExponent;
    if (shift >= 64) return false;
    // The first digit's exponent is that of the leading bit's power of two, or one more.
    const int leadingBit = 63 - __builtin_clzll(mantissa) + binaryExponent;
    // floor(leadingBit * log10(2)), exact for every exponent a double has
    const int product = leadingBit * 78913;
    const int estimate = product >= 0 ? product >> 18 : -((-product + (1 << 18) - 1) >> 18);
    for (int first = estimate; first <= estimate + 1; ++first) {
        const int scale = significantDigits - 1 - first;
        if (scale < 0) return false;  // 1e9 and above
        if (scale > 12 || mantissa > UINT64_MAX / powersOfTen[scale]) continue;
        const std::uint64_t scaled = mantissa * powersOfTen[scale];
        std::uint64_t whole = scaled >> shift;
        if (whole >= nineDigitLimit) continue;          // the first digit is one place higher
        if (whole < nineDigitLimit / 10) return false;  // or lower, where the power was too large
        if (shift > 0) {
            const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
            const std::uint64_t half = std::uint64_t{1} << (shift - 1);
            if (rest > half || (rest == half && (whole & 1) != 0)) ++whole;
        }
        exponent = first;
        if (whole == nineDigitLimit) {  // 999999999.5 and the like carry into a new digit
            whole /= 10;
            ++exponent;
        }
        digits = whole;
        return true;
    }
    return false;
}

// The digits and exponent as "%.9g" writes them: fixed from 1e-4 to below 1e9, with the
// trailing zeros of the fraction dropped, else one digit, the rest and a signed exponent of
// at least two digits.
std::size_t writeNineDigits(char* text, bool negative, std::uint64_t digits, int exponent) {
    // the first digit, then the other eight as four independent pairs
    char figures[significantDigits];
    const auto value = static_cast<std::uint32_t>(digits);
    figures[0] = static_cast<char>('0' + value / 100000000u);
    const std::uint32_t rest = value % 100000000u;
    const std::uint32_t pairs[4] = {rest / 1000000u, rest / 10000u % 100u, rest / 100u % 100u,
                                    rest % 100u};
    for (int i = 0; i < 4; ++i) std::memcpy(figures + 1 + 2 * i, digitPairs.text[pairs[i]], 2);
    int kept = significantDigits;
    while (kept > 1 && figures[kept - 1] == '0') --kept;
    char* out = text;
    if (negative) *out++ = '-';
    if (exponent < -4 || exponent >= significantDigits) {
        *out++ = figures[0];
        if (kept > 1) {
            *out++ = '.';
            for (int i = 1; i < kept; ++i) *out++ = figures[i];
        }
        *out++ = 'e';
        *out++ = exponent < 0 ? '-' : '+';
        const int magnitude = exponent < 0 ? -exponent : exponent;
        if (magnitude < 10) *out++ = '0';
        out = std::to_chars(out, out + 4, magnitude).ptr;
    } else if (exponent < 0) {
        *out++ = '0';
        *out++ = '.';
        for (int i = exponent + 1; i < 0; ++i) *out++ = '0';
        for (int i = 0; i < kept; ++i) *out++ = figures[i];
    } else {
        for (int i = 0; i <= exponent; ++i) *out++ = figures[i];
        if (kept > exponent + 1) {
            *out++ = '.';
            for (int i = exponent + 1; i < kept; ++i) *out++ = figures[i];
        }
    }
    return static_cast<std::size_t>(out - text);
}

}  // namespace

std::size_t formatNineDigits(char* text, double value) {
    if (value == 0.0) {  // the third coordinate of every point
        std::size_t length = 0;
        if (std::signbit(value)) text[length++] = '-';
        text[length++] = '0';
        return length;
    }
    std::uint64_t digits;
    int exponent;
    if (nineDigitsOf(std::fabs(value), digits, exponent))
        return writeNineDigits(text, std::signbit(value), digits, exponent);
    // to_chars prints as printf does, many times faster; infinities and NaNs keep printf's
    // spelling
    if (!std::isfinite(value))
        return static_cast<std::size_t>(std::snprintf(text, nineDigitTextLimit, "%.9g", value));
    return static_cast<std::size_t>(
        std::to_chars(text, text + nineDigitTextLimit, value, std::chars_format::general, 9).ptr -
        text);
}

std::string nineDigitText(double value) {
    char text[nineDigitTextLimit];
    return std::string(text, formatNineDigits(text, value));
}

std::string plainNineDigitText(double value) {
    char text[nineDigitTextLimit];
    const std::size_t length = formatNineDigits(text, value);
    const char* letter = static_cast<const char*>(std::memchr(text, 'e', length));
    if (letter == nullptr) return std::string(text, length);  // fixed already, or inf / nan
    const char* p = text;
    std::string plain;
    if (*p == '-') plain += *p++;
    std::string digits;
    for (; p < letter; ++p)
        if (*p != '.') digits += *p;
    const bool negativeExponent = letter[1] == '-';
    int exponent = 0;
    std::from_chars(letter + 2, text + length, exponent);
    if (negativeExponent) exponent = -exponent;
    // the first digit stands at 10^exponent
    const auto wholeDigits = static_cast<std::size_t>(exponent < 0 ? 0 : exponent + 1);
    if (exponent < 0) {
        plain += "0.";
        plain.append(static_cast<std::size_t>(-exponent - 1), '0');
        plain += digits;
    } else if (digits.size() <= wholeDigits) {
        plain += digits;
        plain.append(wholeDigits - digits.size(), '0');
    } else {
        plain.append(digits, 0, wholeDigits);
        plain += '.';
        plain.append(digits, wholeDigits, std::string::npos);
    }
    return plain;
}

}  // namespace standin
