#include "svg/number.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

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
    const char* cases[] = {"", "abc", "-", "+", ".", "e5", "-.", "inf", "nan", "\xA0" "1", "+-1"};
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
