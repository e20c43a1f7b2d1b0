// The shared decimal conversion against the C library's correctly rounded one: on the text that
// scanDecimal consumed (with a "d" exponent written as "e"), both must give the same double.
// The path-data token readers, whose usual tokens take short cuts, against the token rule
// itself: every sign in a row, then digits, ".", "e" and "E", valued by its first characters.
#include <cmath>
#include <cstdio>

#include "fuzz/fuzz_input.h"
#include "svg/number.h"

namespace {

bool isTokenTail(char c) { return (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E'; }

// Both token readers at p, which starts a token, against the rule read the slow way.
void checkTokenAt(const FuzzText& input, const char* p) {
    const char* end = p;
    while (*end == '+' || *end == '-') ++end;
    while (isTokenTail(*end)) ++end;
    char token[numberTokenLimit + 1];
    std::size_t length = static_cast<std::size_t>(end - p);
    if (length > static_cast<std::size_t>(numberTokenLimit)) length = numberTokenLimit;
    std::memcpy(token, p, length);
    token[length] = '\0';
    const double expected = readDecimal(token);
    double value = -1.0;
    POLYIN_FUZZ_CHECK(scanNumberToken(p, &value) == end);
    POLYIN_FUZZ_CHECK(std::memcmp(&value, &expected, sizeof value) == 0);
    const FloatToken narrow = scanFloatToken(p);
    const float expectedFloat = static_cast<float>(expected);
    POLYIN_FUZZ_CHECK(narrow.end == end && input.holds(end));
    POLYIN_FUZZ_CHECK(std::memcmp(&narrow.value, &expectedFloat, sizeof expectedFloat) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzText input(data, size);
    for (const char* t = input.text(); *t != '\0'; ++t) {
        if (*t == '+' || *t == '-' || isTokenTail(*t)) checkTokenAt(input, t);
    }
    const char* p = input.text();
    while (*p != '\0') {
        double value = -1.0;
        const char* end = scanDecimal(p, &value);
        POLYIN_FUZZ_CHECK(input.holds(end) && end >= p);
        if (end == p) {
            POLYIN_FUZZ_CHECK(value == 0.0);
            ++p;
            continue;
        }
        std::size_t length = static_cast<std::size_t>(end - p);
        char* copy = static_cast<char*>(std::malloc(length + 1));
        if (copy == nullptr) std::abort();
        for (std::size_t i = 0; i < length; ++i) copy[i] = (p[i] == 'd' || p[i] == 'D') ? 'e' : p[i];
        copy[length] = '\0';
        char* stop = nullptr;
        double expected = std::strtod(copy, &stop);
        POLYIN_FUZZ_CHECK(stop == copy + length);
        POLYIN_FUZZ_CHECK(std::memcmp(&value, &expected, sizeof value) == 0);
        std::free(copy);
        p = end;
    }
    return 0;
}
