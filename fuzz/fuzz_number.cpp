// The shared decimal conversion against the C library's correctly rounded one: on the text that
// scanDecimal consumed (with a "d" exponent written as "e"), both must give the same double.
#include <cmath>
#include <cstdio>

#include "fuzz/fuzz_input.h"
#include "svg/number.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzText input(data, size);
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
