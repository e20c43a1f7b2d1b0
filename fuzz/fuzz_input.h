// Shared helpers of the fuzz targets: a private NUL-terminated copy of the input, the tolerance
// an input runs at, and a check that stops the run where an invariant breaks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "svg/parse_context.h"

// A broken invariant is a finding: stop at once so the fuzzer keeps the input.
#define POLYIN_FUZZ_CHECK(condition) \
    do {                             \
        if (!(condition)) __builtin_trap(); \
    } while (0)

// Owns a writable copy of the input with a NUL after it, as the file reader builds it.
class FuzzText {
public:
    FuzzText(const std::uint8_t* data, std::size_t size) : size_(size) {
        text_ = static_cast<char*>(std::malloc(size + 1));
        if (text_ == nullptr) std::abort();
        if (size != 0) std::memcpy(text_, data, size);
        text_[size] = '\0';
    }
    ~FuzzText() { std::free(text_); }
    FuzzText(const FuzzText&) = delete;
    FuzzText& operator=(const FuzzText&) = delete;

    char* text() const { return text_; }
    std::size_t size() const { return size_; }
    // True when p points into the copy, its NUL included.
    bool holds(const char* p) const { return p >= text_ && p <= text_ + size_; }

private:
    char* text_;
    std::size_t size_;
};

// The slider value follows the input's size, so every detail from 1 to 1000 gets exercised
// without spending input bytes on it; the tolerance is derived as the command derives it.
inline float toleranceFor(std::size_t size) {
    int detail = 1 + static_cast<int>(size % 1000);
    return static_cast<float>(1.0 / static_cast<double>(static_cast<float>(detail)));
}

// A fresh parse state at the input's tolerance; aborts when the state can't be made.
inline ParserState* newFuzzState(std::size_t size) {
    ParserState* state = createParserState();
    if (state == nullptr) std::abort();
    state->tolerance = toleranceFor(size);
    return state;
}

// Every record of a list holds points, and its switches are 0 or 1.
inline void checkPathList(PathList list) {
    for (const PathRecord* record = list; record != nullptr; record = record->next) {
        POLYIN_FUZZ_CHECK(record->pointCount > 0);
        POLYIN_FUZZ_CHECK(record->points != nullptr);
        POLYIN_FUZZ_CHECK(record->closed <= 1 && record->hasFill <= 1 && record->hasStroke <= 1);
    }
}

// Two lists are the same, bit for bit (NaNs included).
inline bool isSamePathList(PathList a, PathList b) {
    for (; a != nullptr && b != nullptr; a = a->next, b = b->next) {
        if (a->pointCount != b->pointCount || a->fillColor != b->fillColor ||
            a->strokeColor != b->strokeColor || a->hasFill != b->hasFill ||
            a->hasStroke != b->hasStroke || a->closed != b->closed ||
            std::memcmp(&a->strokeWidth, &b->strokeWidth, sizeof(float)) != 0 ||
            std::memcmp(a->points, b->points,
                        static_cast<std::size_t>(a->pointCount) * 2 * sizeof(float)) != 0)
            return false;
    }
    return a == nullptr && b == nullptr;
}
