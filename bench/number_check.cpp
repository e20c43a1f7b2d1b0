// Checks the number conversion on many random and adversarial numbers against the C library's
// strtod, which rounds correctly on both modules: every value must be identical, bit for bit,
// and every end position the one from_chars finds; the float token reader must give the same
// values narrowed. It also counts where from_chars itself strays (the i386 library rounds some
// values twice) and prints a digest of every value read, which must be the same in the x86-64
// and the i386 tree.
#include <charconv>
#include <cstdint>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "bench/documents.h"
#include "geometry/path_data.h"
#include "svg/number.h"

namespace {

std::size_t failures = 0;
std::size_t libraryStrays = 0;             // from_chars differs from strtod
std::size_t checked = 0;                   // numbers compared with their reference
std::uint64_t digest = 0xCBF29CE484222325ull;  // FNV-1a over every value read

void mix(double value) {
    unsigned char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    for (unsigned char b : bytes) digest = (digest ^ b) * 0x100000001B3ull;
}

void report(const char* what, const std::string& text, double got, double expected) {
    if (++failures <= 20) {
        std::printf("%s \"%s\": got %a, expected %a\n", what, text.c_str(), got, expected);
    }
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// scanDecimal against from_chars, with "d"/"D" exponents read as "e".
void checkDecimal(const std::string& text) {
    std::string e = text;
    for (char& c : e) {
        if (c == 'd' || c == 'D') c = 'e';
    }
    const char* begin = e.c_str();
    bool negative = *begin == '-';
    if (*begin == '+' || *begin == '-') ++begin;
    double library = 0.0;
    auto r = std::from_chars(begin, e.c_str() + e.size(), library);
    if (r.ec != std::errc()) return;  // out of range: covered by the unit tests' range rules
    ++checked;
    if (negative) library = -library;
    double expected = std::strtod(e.c_str(), nullptr);
    if (!sameBits(library, expected)) ++libraryStrays;
    double value = 0.0;
    const char* end = scanDecimal(text.c_str(), &value);
    mix(value);
    if (!sameBits(value, expected) || end - text.c_str() != r.ptr - e.c_str()) {
        report("scanDecimal", text, value, expected);
    }
}

// scanNumberToken against a stored copy of the same path token.
void checkToken(const std::string& text) {
    char token[pathTokenSize];
    const char* expectedEnd = nextPathToken(text.c_str(), token);
    double expected = readDecimal(token);
    ++checked;
    double value = 0.0;
    const char* end = scanNumberToken(text.c_str(), &value);
    mix(value);
    if (!sameBits(value, expected) || end != expectedEnd) report("scanNumberToken", text, value, expected);
    // the float reader narrows that same value and stops at the same place
    const FloatToken narrow = scanFloatToken(text.c_str());
    const float expectedFloat = static_cast<float>(expected);
    if (std::memcmp(&narrow.value, &expectedFloat, sizeof expectedFloat) != 0 || narrow.end != expectedEnd)
        report("scanFloatToken", text, static_cast<double>(narrow.value),
               static_cast<double>(expectedFloat));
}

std::string randomDigits(std::mt19937_64& random, int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s += static_cast<char>('0' + random() % 10);
    return s;
}

// A decimal of 1 to 24 digits with a point anywhere and an exponent around the exact range.
std::string randomDecimal(std::mt19937_64& random) {
    int length = 1 + static_cast<int>(random() % 24);
    std::string s = randomDigits(random, length);
    if (random() % 4 != 0) s.insert(static_cast<std::size_t>(random() % (s.size() + 1)), ".");
    if (random() % 3 == 0) {
        static const char* letters[] = {"e", "E", "d", "D", "e+", "e-"};
        s += letters[random() % 6] + std::to_string(static_cast<int>(random() % 61) - 30);
    }
    if (random() % 3 == 0) s = (random() % 2 ? "-" : "+") + s;
    return s;
}

// Shortest and 17-digit renderings of random doubles and of values halfway between them.
std::string adversarialDecimal(std::mt19937_64& random) {
    std::uint64_t bits = random();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value)) value = 1.5;
    char text[64];
    switch (random() % 3) {
    case 0: std::snprintf(text, sizeof text, "%.17g", value); break;
    case 1: std::snprintf(text, sizeof text, "%.*g", static_cast<int>(1 + random() % 17), value); break;
    default: {
        // The exact midpoint of two neighbouring doubles in plain digits, near 2^53.
        std::uint64_t whole = (std::uint64_t{1} << 53) + (random() % 1000000);
        std::snprintf(text, sizeof text, "%" PRIu64 ".5e-%d", whole, static_cast<int>(random() % 23));
        break;
    }
    }
    return text;
}

// Path data with runs of signs, points and exponent letters, and tokens around 63 characters.
std::string randomToken(std::mt19937_64& random) {
    static const char alphabet[] = "0123456789+-.eE0123456789.0123456789";
    int length = 1 + static_cast<int>(random() % 80);
    std::string s;
    for (int i = 0; i < length; ++i) s += alphabet[random() % (sizeof alphabet - 1)];
    return s + " 1";
}

}  // namespace

int main(int argc, char** argv) {
    long count = 1000000;
    if (argc > 2 || (argc == 2 && !readCount(argv[1], &count))) {
        std::fprintf(stderr, "usage: polyin_number_check [ROUNDS]\n");
        return 2;
    }
    std::mt19937_64 random(20261208);
    for (long i = 0; i < count; ++i) {
        std::string decimal = randomDecimal(random);
        checkDecimal(decimal);
        if (decimal.find_first_of("dD") == std::string::npos) checkToken(decimal);
        checkDecimal(adversarialDecimal(random));
        checkToken(randomToken(random));
    }
    std::printf("%ld rounds (%zu numbers checked): %zu differences, digest %016llx; from_chars "
                "strays from strtod %zu times\n",
                count, checked, failures, static_cast<unsigned long long>(digest), libraryStrays);
    return failures == 0 ? 0 : 1;
}
