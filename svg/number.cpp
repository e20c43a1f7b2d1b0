#include "svg/number.h"

#include <charconv>
#include <clocale>
#include <cstdlib>
#include <locale.h>

#include "svg/text.h"

namespace {

// Digits beyond this many significant ones cannot change a correctly rounded double; the
// rest is folded into one sticky digit.
constexpr int significantDigitLimit = 780;
// Exponents are saturated here: far beyond any double, far inside long.
constexpr long exponentLimit = 100000000;

const char* skipDigits(const char* p) noexcept {
    while (isDigit(static_cast<unsigned char>(*p))) ++p;
    return p;
}

long readExponent(const char* p, const char* end) noexcept {
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    long exponent = 0;
    for (; p < end; ++p) {
        if (exponent < exponentLimit) exponent = exponent * 10 + (*p - '0');
    }
    return negative ? -exponent : exponent;
}

// The C library's correctly rounded conversion under the fixed "C" locale, which glibc hands
// out without allocating. Overflow gives an infinity, underflow 0 or a subnormal.
double convertCanonical(const char* text) noexcept {
    locale_t plain = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (plain == static_cast<locale_t>(nullptr)) return 0.0;
    double value = strtod_l(text, nullptr, plain);
    freelocale(plain);
    return value;
}

// Converts the unsigned mantissa [begin, mantissaEnd) with the exponent digits up to end (none
// when end == mantissaEnd). The digits are rewritten as <digits>e<exponent> in a bounded buffer,
// so that a number of any length, with an "e" or a "d" exponent, reaches the conversion whole.
double convertDecimal(const char* begin, const char* mantissaEnd, const char* end) noexcept {
    char buffer[significantDigitLimit + 32];
    int length = 0;
    long shift = 0;  // decimal places the kept digits sit left of the written exponent
    bool seenPoint = false, sticky = false, leading = true;
    for (const char* p = begin; p < mantissaEnd; ++p) {
        if (*p == '.') { seenPoint = true; continue; }
        if (leading && *p == '0') { if (seenPoint) --shift; continue; }
        leading = false;
        if (length < significantDigitLimit) {
            buffer[length++] = *p;
            if (seenPoint) --shift;
        } else {
            if (*p != '0') sticky = true;
            if (!seenPoint) ++shift;
        }
    }
    if (length == 0) return 0.0;
    if (sticky) { buffer[length++] = '1'; --shift; }
    long exponent = (end != mantissaEnd ? readExponent(mantissaEnd + 1, end) : 0) + shift;
    if (exponent > exponentLimit) exponent = exponentLimit;
    if (exponent < -exponentLimit) exponent = -exponentLimit;
    buffer[length++] = 'e';
    auto written = std::to_chars(buffer + length, buffer + sizeof buffer - 1, exponent);
    *written.ptr = '\0';
    return convertCanonical(buffer);
}

}  // namespace

const char* scanDecimal(const char* text, double* value) noexcept {
    const char* p = skipBlanks(text);
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    const char* begin = p;
    const char* q = skipDigits(p);
    bool hasDigits = q != p;
    if (*q == '.') {
        const char* fraction = q + 1;
        q = skipDigits(fraction);
        hasDigits = hasDigits || q != fraction;
    }
    if (!hasDigits) {
        *value = 0.0;
        return text;
    }
    const char* mantissaEnd = q;
    const char* end = q;
    if (*q == 'e' || *q == 'E' || *q == 'd' || *q == 'D') {
        const char* r = q + 1;
        if (*r == '+' || *r == '-') ++r;
        if (isDigit(static_cast<unsigned char>(*r))) end = skipDigits(r);
    }
    double result = convertDecimal(begin, mantissaEnd, end);
    *value = negative ? -result : result;
    return end;
}

double readDecimal(const char* text) noexcept {
    double value = 0.0;
    scanDecimal(text, &value);
    return value;
}
