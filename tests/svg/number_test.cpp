#include "svg/number.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "geometry/path_data.h"

TEST(ScanDecimal, ReadsLocaleFreeDecimals) {
    const struct { const char* text; double expected; int consumed; } cases[] = {
        {"12", 12.0, 2},        {"  -0.5", -0.5, 6},     {"+3", 3.0, 2},
        {".25px", 0.25, 3},     {"5.", 5.0, 2},          {"2D2", 200.0, 3},
        {"2d-1", 0.2, 4},       {"1e2", 100.0, 3},       {"1E+2x", 100.0, 4},
        {"1e", 1.0, 1},         {"1e+", 1.0, 1},         {"1e-5", 1e-5, 4},
        {"0.5.5", 0.5, 3},      {"\t\n\v\f\r 7", 7.0, 7}, {"007", 7.0, 3},
        {"1,5", 1.0, 1},        {"-.5e1", -5.0, 5},      {"10-5", 10.0, 2},
    };
    for (const auto& c : cases) {
        double value = -1.0;
        const char* end = scanDecimal(c.text, &value);
        EXPECT_EQ(value, c.expected) << '"' << c.text << '"';
        EXPECT_EQ(end - c.text, c.consumed) << '"' << c.text << '"';
    }
}

TEST(ScanDecimal, TextWithoutDigitsGivesZeroAndConsumesNothing) {
    const char* cases[] = {"", "abc", "-", "+", ".", "e5", "-.", "inf", "nan", ("\xA0" "1"), "+-1"};
    for (const char* text : cases) {
        double value = -1.0;
        EXPECT_EQ(scanDecimal(text, &value), text) << '"' << text << '"';
        EXPECT_EQ(value, 0.0) << '"' << text << '"';
    }
}

TEST(ScanDecimal, HexadecimalPrefixReadsOnlyTheZero) {
    double value = -1.0;
    const char* text = "0x1A";
    EXPECT_EQ(scanDecimal(text, &value), text + 1);
    EXPECT_EQ(value, 0.0);
}

TEST(ScanDecimal, OutOfRangeGivesSignedInfinityOrZero) {
    const struct { const char* text; double expected; } cases[] = {
        {"1e400", std::numeric_limits<double>::infinity()},
        {"-1e400", -std::numeric_limits<double>::infinity()},
        {"1d400", std::numeric_limits<double>::infinity()},
        {"1e-400", 0.0},
        {"-1e-400", -0.0},
        {"0.0000001e-320", 0.0},
        {"123456e99999999999999999999", std::numeric_limits<double>::infinity()},
        {"1e-99999999999999999999", 0.0},
        {"1e39", 1e39},
        // exponents past what a long holds saturate rather than wrap around to a small one
        // (2^64 + 5 and 2^32 + 5)
        {"1e18446744073709551621", std::numeric_limits<double>::infinity()},
        {"-1e18446744073709551621", -std::numeric_limits<double>::infinity()},
        {"1e-18446744073709551621", 0.0},
        {"1e4294967301", std::numeric_limits<double>::infinity()},
        {"1e-4294967301", 0.0},
    };
    for (const auto& c : cases) {
        double value = 7.0;
        scanDecimal(c.text, &value);
        EXPECT_EQ(value, c.expected) << c.text;
        EXPECT_EQ(std::signbit(value), std::signbit(c.expected)) << c.text;
    }
}

TEST(ScanDecimal, LongMantissasStayCorrectlyRounded) {
    std::string ones = "0." + std::string(2000, '1');
    double expected = 0.0;
    std::from_chars(ones.data(), ones.data() + ones.size(), expected);
    double value = 0.0;
    scanDecimal(ones.c_str(), &value);
    EXPECT_EQ(value, expected);
    // The same digits with a foreign exponent letter take the rewriting path.
    std::string withD = ones + "d5";
    std::string withE = ones + "e5";
    double viaD = 0.0, viaE = 0.0;
    scanDecimal(withD.c_str(), &viaD);
    std::from_chars(withE.data(), withE.data() + withE.size(), viaE);
    EXPECT_EQ(viaD, viaE);
    // Past the kept digits, an integer part's digits still scale the value, and a digit that
    // is not 0 still breaks a tie: 1 + 2^-53 lies halfway between two doubles and rounds to
    // even, while anything above it, however far down, rounds up.
    const std::string wide = "1" + std::string(799, '0') + "e-790";
    EXPECT_EQ(readDecimal(wide.c_str()), 1e9);
    const std::string halfway = "1.00000000000000011102230246251565404236316680908203125";
    EXPECT_EQ(readDecimal(halfway.c_str()), 1.0);
    const std::string above = halfway + std::string(800, '0') + "1";
    EXPECT_EQ(readDecimal(above.c_str()), std::nextafter(1.0, 2.0));
    // 63 zeros and a 1 are still the number 1 when the whole text is read.
    std::string zeros = std::string(63, '0') + "1";
    EXPECT_EQ(readDecimal(zeros.c_str()), 1.0);
}

TEST(ScanDecimal, AgreesWithFromCharsOnRandomNumbers) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> digit(0, 9), length(1, 25), exponent(-330, 330);
    char text[128];
    for (int i = 0; i < 20000; ++i) {
        std::string s;
        for (int n = length(random); n > 0; --n) s += char('0' + digit(random));
        if (i % 3 == 0) s.insert(s.size() / 2, ".");
        if (i % 2 == 0) s += "e" + std::to_string(exponent(random));
        std::snprintf(text, sizeof text, "%s", s.c_str());
        double expected = 0.0;
        auto r = std::from_chars(text, text + std::strlen(text), expected);
        if (r.ec != std::errc()) continue;
        double value = 0.0;
        const char* end = scanDecimal(text, &value);
        ASSERT_EQ(value, expected) << text;
        ASSERT_EQ(end, r.ptr) << text;
        std::string dForm = s;
        auto e = dForm.find('e');
        if (e == std::string::npos) continue;
        dForm[e] = 'D';
        double viaD = 0.0;
        scanDecimal(dForm.c_str(), &viaD);
        ASSERT_EQ(viaD, expected) << dForm;
    }
}

namespace {

// The correctly rounded value of text (the C library's strtod, with every "d"/"D" exponent
// letter read as "e") and the length from_chars consumes.
double correctlyRounded(const std::string& text, std::size_t* consumed) {
    std::string e = text;
    for (char& c : e) {
        if (c == 'd' || c == 'D') c = 'e';
    }
    const char* begin = e.c_str();
    if (*begin == '+' || *begin == '-') ++begin;
    double ignored = 0.0;
    auto r = std::from_chars(begin, e.c_str() + e.size(), ignored);
    *consumed = static_cast<std::size_t>(r.ptr - e.c_str());
    return std::strtod(e.substr(0, *consumed).c_str(), nullptr);
}

// Checks one text against the correctly rounded value and from_chars' consumed length.
void expectCorrectlyRounded(const std::string& text) {
    std::size_t consumed = 0;
    double expected = correctlyRounded(text, &consumed);
    double value = -1.0;
    const char* end = scanDecimal(text.c_str(), &value);
    ASSERT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << text;
    ASSERT_EQ(static_cast<std::size_t>(end - text.c_str()), consumed) << text;
}

std::string digitString(std::mt19937& random, int count) {
    std::uniform_int_distribution<int> digit(0, 9);
    std::string s;
    for (int i = 0; i < count; ++i) s += char('0' + digit(random));
    return s;
}

}  // namespace

TEST(ScanDecimal, FastConversionIsCorrectlyRoundedAtItsLimits) {
    std::mt19937 random(2024);
    const char* letters[] = {"e", "E", "d", "D"};
    std::uniform_int_distribution<int> letter(0, 3), exponent(-26, 26), sign(0, 2);
    // Mantissas of 1 to 21 digits (the exact-integer limit and beyond), a point anywhere,
    // exponents around the exact powers of ten.
    for (int i = 0; i < 200000; ++i) {
        int length = 1 + i % 21;
        std::string s = digitString(random, length);
        if (i % 4 != 0) s.insert(std::uniform_int_distribution<int>(0, length)(random), ".");
        if (i % 3 != 0) s += letters[letter(random)] + std::to_string(exponent(random));
        int signChoice = sign(random);
        if (signChoice == 1) s = "-" + s;
        if (signChoice == 2) s = "+" + s;
        expectCorrectlyRounded(s);
    }
    // Integers around 2^53, where the exact path must hand over, scaled around 10^±22.
    const std::uint64_t limit = std::uint64_t{1} << 53;
    for (std::uint64_t m = limit - 50; m <= limit + 50; ++m) {
        for (int e = -24; e <= 24; e += 2) {
            expectCorrectlyRounded(std::to_string(m) + "e" + std::to_string(e));
            expectCorrectlyRounded(std::to_string(m) + ".0d" + std::to_string(e));
        }
    }
    // Leading zeros counted against the digit limit, zeros with huge exponents, and the
    // largest and smallest 19-digit mantissas.
    const char* edges[] = {
        "0000000000000000001", "00000000000000000001", "0.000000000000000000000000001",
        "0e999999999999", "-0e-999999999999", "0000000000000000000000e5", "9999999999999999999",
        "9999999999999999999e22", "1000000000000000000e-22", "4503599627370497.5",
        "9007199254740993", "1e22", "1e23", "1e-22", "1e-23", "123456789012345678e-5",
        "1.7976931348623157e308", "2.2250738585072014e-308", "4.9e-324", "5e-325",
        "9007199254740992e15", "9007199254740993e15", "1e37", "123e37", "0.000000000000000000123",
        // small mantissas that the power moved into the integer would carry past 64 bits
        "18447e37", "18448.0e37", "-184467.5e36",
    };
    for (const char* text : edges) expectCorrectlyRounded(text);
}

TEST(ScanDecimal, ShortDecimalsHandOverAtTheirEdges) {
    // Around the 19-digit and 2^53 limits of the short path, the nine digits a 32-bit build
    // gathers in 32 bits, signed zeros, and exponent letters that do or do not start an
    // exponent.
    const char* edges[] = {
        "999999999", "4294967295", "4294967296", "123456789.", "12345678.9", "123456789.5",
        "-.123456789", ".1234567891", "00000000.12", "1.00000000e3", "0.000000001",
        "-0", "-0.000", "+0.", "-.5", "5.", "9007199254740992", "9007199254740993",
        "900719925474099.3", "-900719925474099.2", "0.000000000000000001", "1234567890123456789",
        "12345678901234567890", "0000000000000000001.5", "000000000000000000.25", "1.5d",
        "2e", "3E+", "4Dx", "5e-x", "6.25d+1", "750.13\"", "1.0000000000000000001",
    };
    for (const char* text : edges) expectCorrectlyRounded(text);
}

TEST(ScanDecimal, ExactOperandsRoundOnceInBothModules) {
    // Products of exact operands that an x87 evaluation rounds twice.
    const struct { const char* text; double expected; } cases[] = {
        {"338928924.D20", 0x1.b60e2c8a61263p+94},
        {"3753563894510031E21", 0x1.69747e7e36de3p+121},
    };
    for (const auto& c : cases) EXPECT_EQ(readDecimal(c.text), c.expected) << c.text;
}

namespace {

// What a number token at text reads as when it is first copied out: the value of its stored
// characters and the position after the whole token.
double readCopiedToken(const char* text, const char** end) {
    char token[pathTokenSize];
    *end = nextPathToken(text, token);
    return readDecimal(token);
}

void expectSameAsCopiedToken(const std::string& text) {
    const char* expectedEnd = nullptr;
    double expected = readCopiedToken(text.c_str(), &expectedEnd);
    double value = -1.0;
    const char* end = scanNumberToken(text.c_str(), &value);
    ASSERT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << '"' << text << '"';
    ASSERT_EQ(end, expectedEnd) << '"' << text << '"';
}

}  // namespace

TEST(ScanNumberToken, ReadsTokensInPlaceAsTheirCopies) {
    const struct { const char* text; double expected; int consumed; } cases[] = {
        {"10-20", 10.0, 2},   {"1e-5", 1.0, 2},      {"1e5,", 1e5, 3},     {"0.5.5 1", 0.5, 5},
        {"--5", 0.0, 3},      {"+-.5e3", 0.0, 6},    {"-0", -0.0, 2},      {"-", 0.0, 1},
        {".", 0.0, 1},        {"e", 0.0, 1},         {"E5", 0.0, 2},       {"1d5", 1.0, 1},
        {"-.5L", -0.5, 3},    {"1e5e3", 1e5, 5},     {"7.", 7.0, 2},       {"1E+2", 1.0, 2},
    };
    for (const auto& c : cases) {
        double value = 99.0;
        const char* end = scanNumberToken(c.text, &value);
        EXPECT_EQ(value, c.expected) << '"' << c.text << '"';
        EXPECT_EQ(std::signbit(value), std::signbit(c.expected)) << '"' << c.text << '"';
        EXPECT_EQ(end - c.text, c.consumed) << '"' << c.text << '"';
        expectSameAsCopiedToken(c.text);
    }
}

TEST(ScanNumberToken, LongTokensAreReadFromTheirFirst63Characters) {
    // 62 zeros and "12": the stored token ends with "1", so it reads 1, not 12.
    const std::string cut = std::string(62, '0') + "12";
    double value = 0.0;
    EXPECT_EQ(scanNumberToken(cut.c_str(), &value), cut.c_str() + cut.size());
    EXPECT_EQ(value, 1.0);
    for (int length = 55; length <= 70; ++length) {
        expectSameAsCopiedToken(std::string(length, '9'));
        expectSameAsCopiedToken("-0." + std::string(length, '0') + "25");
        expectSameAsCopiedToken("1" + std::string(length - 3, '.') + "5 6");
        expectSameAsCopiedToken(std::string(length, '-') + "3");
        expectSameAsCopiedToken("2e" + std::string(length, '0') + "1");
        expectSameAsCopiedToken("1." + std::string(length - 4, '0') + "1e5");
    }
}

TEST(ScanNumberToken, AgreesWithCopiedTokensOnRandomText) {
    std::mt19937 random(77);
    const char alphabet[] = "0123456789+-.eE0123456789 ,.0123456789";
    std::uniform_int_distribution<int> pick(0, sizeof alphabet - 2), length(1, 80);
    for (int i = 0; i < 100000; ++i) {
        std::string s;
        for (int n = length(random); n > 0; --n) s += alphabet[pick(random)];
        std::size_t start = s.find_first_not_of(" ,");
        if (start == std::string::npos) continue;
        expectSameAsCopiedToken(s.substr(start));
    }
}
