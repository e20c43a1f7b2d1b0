// Byte classes shared by every scanner of the reader. Locale-free by construction.
#pragma once

// Exactly tab, line feed, vertical tab, form feed, carriage return and space.
constexpr bool isBlank(unsigned char c) noexcept {
    return c == ' ' || (c >= 0x09 && c <= 0x0D);
}

constexpr bool isDigit(unsigned char c) noexcept { return c >= '0' && c <= '9'; }

// True exactly for the characters of "0123456789+-.eE".
constexpr bool isNumberChar(unsigned char c) noexcept {
    return isDigit(c) || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E';
}

inline const char* skipBlanks(const char* p) noexcept {
    while (isBlank(static_cast<unsigned char>(*p))) ++p;
    return p;
}

inline char* skipBlanks(char* p) noexcept {
    while (isBlank(static_cast<unsigned char>(*p))) ++p;
    return p;
}

// True when the two NUL-terminated texts are equal: a byte loop, cheaper than a library call
// for the short names of markup.
inline bool isSameText(const char* a, const char* b) noexcept {
    for (; *a == *b; ++a, ++b) {
        if (*a == '\0') return true;
    }
    return false;
}
