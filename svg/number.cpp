#include "svg/number.h"

#include <charconv>
#include <clocale>
#include <cstdlib>
#include <locale.h>
#include <cstdint>
#include <cstring>

#include "svg/text.h"

namespace {

// Digits beyond this many significant ones cannot change a correctly rounded double; the
// rest is folded into one sticky digit.
constexpr int significantDigitLimit = 780;
// Exponents are saturated here: far beyond any double, far inside int.
constexpr long exponentLimit = 100000000;
// Up to this many digits always fit an unsigned 64-bit integer exactly.
constexpr int exactDigitLimit = 19;
// Integers up to 2^53 and powers of ten up to 10^22 are exact doubles.
constexpr std::uint64_t exactMantissaLimit = std::uint64_t{1} << 53;
constexpr long exactPowerLimit = 22;
// Powers of ten that an exact mantissa can still take on as an integer.
constexpr long exactIntegerPowerLimit = 15;
constexpr std::uint64_t integerPowersOfTen[exactIntegerPowerLimit + 1] = {
    1ull, 10ull, 100ull, 1000ull, 10000ull, 100000ull, 1000000ull, 10000000ull, 100000000ull,
    1000000000ull, 10000000000ull, 100000000000ull, 1000000000000ull, 10000000000000ull,
    100000000000000ull, 1000000000000000ull};
constexpr double exactPowersOfTen[exactPowerLimit + 1] = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

long readExponent(const char* p, const char* end) noexcept {
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    long exponent = 0;
    for (; p < end; ++p) {
        if (exponent < exponentLimit) exponent = exponent * 10 + (*p - '0');
    }
    return negative ? -exponent : exponent;
}

// The C library's correctly rounded conversion under the fixed "C" locale, which the C library
// hands out without allocating. Overflow gives an infinity, underflow 0 or a subnormal. (The
// C++ library's from_chars would link an exception pool into the module that leaks on every
// unload, and its i386 build rounds some values twice.)
double convertCanonical(const char* text) noexcept {
    locale_t plain = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (plain == static_cast<locale_t>(nullptr)) return 0.0;
    double value = strtod_l(text, nullptr, plain);
    freelocale(plain);
    return value;
}

// The slow, general conversion of the unsigned number [begin, end) whose mantissa ends at
// mantissaEnd. The digits are rewritten as <digits>e<exponent> in a bounded buffer, so that a
// number of any length, with an "e" or a "d" exponent, reaches the conversion whole.
double convertGeneral(const char* begin, const char* mantissaEnd, const char* end) noexcept {
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

// The mantissa of a number as it was scanned: every digit in one integer when there are few.
struct ScannedDigits {
    std::uint64_t mantissa;
    int digitCount;      // leading zeros included
    int fractionDigits;
    const char* start;   // the first digit or "."
};

// Leading zeros add nothing to the gathered integer, so it holds every digit exactly when the
// digits after them are few enough; they are counted only for long mantissas.
bool hasExactMantissa(const ScannedDigits& digits) noexcept {
    if (digits.digitCount <= exactDigitLimit) return true;
    int leadingZeros = 0;
    for (const char* p = digits.start; *p == '0' || *p == '.'; ++p) leadingZeros += *p == '0' ? 1 : 0;
    return digits.digitCount - leadingZeros <= exactDigitLimit;
}

inline unsigned digitAt(const char* p) noexcept {
    return static_cast<unsigned char>(*p) - static_cast<unsigned>('0');  // above 9: no digit
}

// Nine digits always fit 32 bits.
constexpr int narrowDigitLimit = 9;

// scanDigits for a 32-bit machine, where each step of a 64-bit integer takes a long
// multiplication and a carry: up to nine digits are gathered in 32 bits. False, storing
// nothing, when more follow; they are then gathered again in 64 bits.
inline bool scanDigitsNarrow(const char*& p, ScannedDigits& digits) noexcept {
    const char* q = p;
    std::uint32_t narrow = 0;
    int room = narrowDigitLimit;
    unsigned digit;
    while (room > 0 && (digit = digitAt(q)) <= 9u) {
        narrow = narrow * 10u + digit;
        ++q;
        --room;
    }
    const char* fraction = nullptr;
    if (*q == '.') {
        fraction = ++q;
        while (room > 0 && (digit = digitAt(q)) <= 9u) {
            narrow = narrow * 10u + digit;
            ++q;
            --room;
        }
    }
    if (digitAt(q) <= 9u) return false;
    const bool hasPoint = fraction != nullptr;
    digits.mantissa = narrow;
    digits.fractionDigits = hasPoint ? static_cast<int>(q - fraction) : 0;
    digits.start = p;
    digits.digitCount = static_cast<int>(q - p) - (hasPoint ? 1 : 0);
    p = q;
    return true;
}

// Scans digits with an optional "." fraction from p, gathering them; the position after them.
inline const char* scanDigits(const char* p, ScannedDigits& digits) noexcept {
    constexpr bool isNarrowMachine = sizeof(void*) < sizeof(std::uint64_t);
    if (isNarrowMachine && scanDigitsNarrow(p, digits)) return p;
    std::uint64_t mantissa = 0;
    unsigned digit;
    const char* start = p;
    while ((digit = digitAt(p)) <= 9u) {
        mantissa = mantissa * 10u + digit;
        ++p;
    }
    int fractionDigits = 0;
    bool hasPoint = *p == '.';
    if (hasPoint) {
        const char* fraction = ++p;
        while ((digit = digitAt(p)) <= 9u) {
            mantissa = mantissa * 10u + digit;
            ++p;
        }
        fractionDigits = static_cast<int>(p - fraction);
    }
    digits.mantissa = mantissa;
    digits.fractionDigits = fractionDigits;
    digits.start = start;
    digits.digitCount = static_cast<int>(p - start) - (hasPoint ? 1 : 0);
    return p;
}

// Reads the digits of an exponent at p (already known to be a digit), saturated.
inline const char* scanExponentDigits(const char* p, long& exponent) noexcept {
    exponent = 0;
    for (; isDigit(static_cast<unsigned char>(*p)); ++p) {
        if (exponent < exponentLimit) exponent = exponent * 10 + (*p - '0');
    }
    return p;
}

// The value of digits x 10^exponent when one multiplication or division gives it exactly
// rounded: both operands are then exact doubles. Larger powers are first moved into the
// integer while it stays exact. False when the general path must decide. Every case of this
// kind is settled here, in SSE2 double arithmetic identical on both modules.
inline bool convertExactly(const ScannedDigits& digits, long exponent, double& result) noexcept {
    if (!hasExactMantissa(digits)) return false;
    if (digits.mantissa == 0) {
        result = 0.0;
        return true;
    }
    std::uint64_t mantissa = digits.mantissa;
    long scale = exponent - digits.fractionDigits;
    if (scale > exactPowerLimit && scale - exactPowerLimit <= exactIntegerPowerLimit) {
        std::uint64_t factor = integerPowersOfTen[scale - exactPowerLimit];
        if (mantissa > exactMantissaLimit / factor) return false;
        mantissa *= factor;
        scale = exactPowerLimit;
    }
    if (mantissa > exactMantissaLimit || scale < -exactPowerLimit || scale > exactPowerLimit) {
        return false;
    }
    double whole = static_cast<double>(static_cast<std::int64_t>(mantissa));
    result = scale >= 0 ? whole * exactPowersOfTen[scale] : whole / exactPowersOfTen[-scale];
    return true;
}

// The value of few digits without an exponent: the digits over a power of ten, both exact
// doubles, as convertExactly gives it but with none of its cases to sort out. False when the
// digits are none or too many.
inline bool convertPlainly(const ScannedDigits& digits, double& result) noexcept {
    static_assert(exactDigitLimit <= exactPowerLimit, "every fraction has an exact power");
    if (digits.digitCount == 0 || digits.digitCount > exactDigitLimit ||
        digits.mantissa > exactMantissaLimit) {
        return false;
    }
    const double whole = static_cast<double>(static_cast<std::int64_t>(digits.mantissa));
    result = digits.fractionDigits == 0 ? whole : whole / exactPowersOfTen[digits.fractionDigits];
    return true;
}

// Integers up to 2^24 and powers of ten up to 10^10 are exact floats.
constexpr std::uint64_t exactFloatMantissaLimit = std::uint64_t{1} << 24;
constexpr int exactFloatPowerLimit = 10;
constexpr float exactFloatPowersOfTen[exactFloatPowerLimit + 1] = {
    1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

// convertPlainly narrowed to a float, in a shorter division, for digits and power exact as
// floats: the float quotient then equals the double quotient narrowed, since rounding a
// quotient twice is harmless when the wide format has at least 2p + 2 bits (53 >= 50); checked
// for every such mantissa and power on both modules.
inline bool convertPlainlyToFloat(const ScannedDigits& digits, float& result) noexcept {
    if (digits.digitCount == 0 || digits.digitCount > exactDigitLimit ||
        digits.mantissa > exactFloatMantissaLimit ||
        digits.fractionDigits > exactFloatPowerLimit) {
        return false;
    }
    const float whole = static_cast<float>(static_cast<std::int32_t>(digits.mantissa));
    result = digits.fractionDigits == 0 ? whole
                                        : whole / exactFloatPowersOfTen[digits.fractionDigits];
    return true;
}

bool isNumberTokenTail(unsigned char c) noexcept {
    return isDigit(c) || c == '.' || c == 'e' || c == 'E';
}

// The general reading of a number token: its end found again, its first numberTokenLimit
// characters copied and read as readDecimal reads them. Kept out of line, so that the common
// token's path stays short.
[[gnu::noinline]] const char* scanTokenCopy(const char* text, double* value) noexcept {
    const char* p = text;
    while (*p == '+' || *p == '-') ++p;
    while (isNumberTokenTail(static_cast<unsigned char>(*p))) ++p;
    char token[numberTokenLimit + 1];
    std::size_t length = static_cast<std::size_t>(p - text);
    if (length > static_cast<std::size_t>(numberTokenLimit)) length = numberTokenLimit;
    std::memcpy(token, text, length);
    token[length] = '\0';
    scanDecimal(token, value);
    return p;
}

bool isExponentLetter(unsigned char c) noexcept {
    return c == 'e' || c == 'E' || c == 'd' || c == 'D';
}

// A number token that is not the usual kind. One with an exponent without sign, ending where
// its number does, is converted exactly here; every other token is read from its copy.
[[gnu::noinline]] const char* scanUnusualToken(const char* text, double* value) noexcept {
    const char* p = text;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (*p != '+' && *p != '-') {
        ScannedDigits digits;
        p = scanDigits(p, digits);
        long exponent = 0;
        if ((*p == 'e' || *p == 'E') && isDigit(static_cast<unsigned char>(p[1]))) {
            p = scanExponentDigits(p + 1, exponent);
        }
        double result;
        if (!isNumberTokenTail(static_cast<unsigned char>(*p)) && digits.digitCount != 0 &&
            p - text <= numberTokenLimit && convertExactly(digits, exponent, result)) {
            *value = negative ? -result : result;
            return p;
        }
    }
    return scanTokenCopy(text, value);
}


// Every number scanDecimal reads: blanks, sign, digits, exponent, then the conversion. Out of
// line, so that the short decimal's path stays short.
[[gnu::noinline]] const char* scanGeneralDecimal(const char* text, double* value) noexcept {
    const char* p = skipBlanks(text);
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    const char* begin = p;
    ScannedDigits digits;
    p = scanDigits(p, digits);
    if (digits.digitCount == 0) {
        *value = 0.0;
        return text;
    }
    const char* mantissaEnd = p;
    const char* end = p;
    long exponent = 0;
    if (isExponentLetter(static_cast<unsigned char>(*p))) {
        const char* r = p + 1;
        bool negativeExponent = false;
        if (*r == '+' || *r == '-') negativeExponent = *r++ == '-';
        if (isDigit(static_cast<unsigned char>(*r))) {
            end = scanExponentDigits(r, exponent);
            if (negativeExponent) exponent = -exponent;
        }
    }
    double result;
    if (!convertExactly(digits, exponent, result)) result = convertGeneral(begin, mantissaEnd, end);
    *value = negative ? -result : result;
    return end;
}

// The common short decimal at text, 1 to 19 digits and no exponent, converted as
// convertExactly does it (one division by an exact power of ten) without its general checks.
// Stores the value and the position after it; false, storing nothing, for every other number.
inline bool scanShortDecimal(const char* text, double* value, const char** end) noexcept {
    const char* p = skipBlanks(text);
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    ScannedDigits digits;
    p = scanDigits(p, digits);
    double result;
    if (isExponentLetter(static_cast<unsigned char>(*p)) || !convertPlainly(digits, result)) {
        return false;
    }
    *value = negative ? -result : result;
    *end = p;
    return true;
}

// readDecimal of every number that is not a short decimal.
[[gnu::noinline]] double readGeneralDecimal(const char* text) noexcept {
    double value = 0.0;
    scanGeneralDecimal(text, &value);
    return value;
}

}  // namespace

const char* scanDecimal(const char* text, double* value) noexcept {
    const char* end;
    if (scanShortDecimal(text, value, &end)) return end;
    return scanGeneralDecimal(text, value);
}

const char* scanNumberToken(const char* text, double* value) noexcept {
    // The usual token, one sign at most and a few digits with one ".", is read in this leaf;
    // every other token is read again from its start, out of line.
    const char* p = text;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    ScannedDigits digits;
    p = scanDigits(p, digits);
    double result;
    if (!isNumberTokenTail(static_cast<unsigned char>(*p)) && convertPlainly(digits, result)) {
        *value = negative ? -result : result;
        return p;
    }
    return scanUnusualToken(text, value);
}

FloatToken scanFloatToken(const char* text) noexcept {
    const char* p = text;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    ScannedDigits digits;
    p = scanDigits(p, digits);
    float result;
    const bool isUsual = !isNumberTokenTail(static_cast<unsigned char>(*p));
    if (isUsual && convertPlainlyToFloat(digits, result)) {
        return {p, negative ? -result : result};
    }
    // Longer mantissas (map coordinates of eight or more digits) in one double division, as
    // the general path would convert them, then narrowed.
    double wide;
    if (isUsual && convertPlainly(digits, wide)) {
        return {p, static_cast<float>(negative ? -wide : wide)};
    }
    double value = 0.0;
    const char* end = scanUnusualToken(text, &value);
    return {end, static_cast<float>(value)};
}

double readDecimal(const char* text) noexcept {
    double value;
    const char* end;
    if (scanShortDecimal(text, &value, &end)) return value;
    return readGeneralDecimal(text);
}
