#include "svg/number.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

#include "svg/text.h"

namespace {

// Digits beyond this many significant ones cannot change a correctly rounded double; the
// rest is folded into one sticky digit.
constexpr int significantDigitLimit = 780;
// Exponents are saturated here: far beyond any double, far inside int.
constexpr long exponentLimit = 100000000;

const char* skipDigits(const char* p) noexcept {
    while (isDigit(static_cast<unsigned char>(*p))) ++p;
    return p;
}

// The decimal order of the mantissa [begin, end) plus exponent: > 0 means at least 1.
long decimalOrder(const char* begin, const char* end, long exponent) noexcept {
    long order = 0;
    const char* p = begin;
    while (p < end && (*p == '0' || *p == '.')) {
        if (*p == '.') {
            for (++p; p < end && *p == '0'; ++p) --order;
            return order + exponent;
        }
        ++p;
    }
    for (; p < end && isDigit(static_cast<unsigned char>(*p)); ++p) ++order;
    return order + exponent;
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

// Converts a mantissa with a "d"/"D" exponent, which from_chars does not know: the digits are
// rewritten as <digits>e<exponent> in a bounded buffer.
double convertWithForeignExponent(const char* begin, const char* mantissaEnd, const char* end,
                                  std::chars_format format) noexcept {
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
    long exponent = readExponent(mantissaEnd + 1, end) + shift;
    if (exponent > exponentLimit) exponent = exponentLimit;
    if (exponent < -exponentLimit) exponent = -exponentLimit;
    buffer[length++] = 'e';
    auto written = std::to_chars(buffer + length, buffer + sizeof buffer, exponent);
    double value = 0.0;
    auto result = std::from_chars(buffer, written.ptr, value, format);
    if (result.ec == std::errc::result_out_of_range) {
        value = decimalOrder(buffer, buffer + length - 1, exponent) > 0
                    ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return value;
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
    double result = 0.0;
    if (end != mantissaEnd && (*mantissaEnd == 'd' || *mantissaEnd == 'D')) {
        result = convertWithForeignExponent(begin, mantissaEnd, end, std::chars_format::general);
    } else {
        auto converted = std::from_chars(begin, end, result, std::chars_format::general);
        if (converted.ec == std::errc::result_out_of_range) {
            long exponent = end != mantissaEnd ? readExponent(mantissaEnd + 1, end) : 0;
            result = decimalOrder(begin, mantissaEnd, exponent) > 0
                         ? std::numeric_limits<double>::infinity() : 0.0;
        }
    }
    *value = negative ? -result : result;
    return end;
}

double readDecimal(const char* text) noexcept {
    double value = 0.0;
    scanDecimal(text, &value);
    return value;
}
