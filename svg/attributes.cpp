#include "svg/attributes.h"

#include <cstring>

#include "svg/number.h"
#include "svg/text.h"
#include "svg/transform_list.h"

namespace {

// Applies a value to the current frame. isNone tells whether the value is exactly "none": a
// value read where it stands in a style text has no NUL of its own, so the caller decides.
using AttributeHandler = void (*)(ParserState& state, const char* value, bool isNone) noexcept;

struct PresentationName {
    const char* name;
    AttributeHandler apply;
    // The reading stops at a blank, ";" or NUL, so the value gives the same in a style text,
    // up to its end, as copied out of it.
    bool readsInPlace;
};

// "none" switches the paint off and keeps the inherited colour; anything else is a colour.
void applyPaint(const char* value, bool isNone, std::uint8_t& hasPaint,
                std::uint32_t& color) noexcept {
    if (isNone) {
        hasPaint = 0;
        return;
    }
    hasPaint = 1;
    color = parseColor(value);
}

void applyStyle(ParserState& state, const char* value, bool) noexcept {
    applyStyleDeclarations(state, value);
}

void applyDisplay(ParserState&, const char*, bool) noexcept {}

void applyFill(ParserState& state, const char* value, bool isNone) noexcept {
    StyleFrame& frame = currentStyle(state);
    applyPaint(value, isNone, frame.hasFill, frame.fillColor);
}

void applyFillOpacity(ParserState& state, const char* value, bool) noexcept {
    currentStyle(state).fillOpacity = parseNumber(value);
}

void applyStroke(ParserState& state, const char* value, bool isNone) noexcept {
    StyleFrame& frame = currentStyle(state);
    applyPaint(value, isNone, frame.hasStroke, frame.strokeColor);
}

void applyStrokeWidth(ParserState& state, const char* value, bool) noexcept {
    currentStyle(state).strokeWidth = parseNumber(value);
}

void applyStrokeOpacity(ParserState& state, const char* value, bool) noexcept {
    currentStyle(state).strokeOpacity = parseNumber(value);
}

void applyTransform(ParserState& state, const char* value, bool) noexcept {
    applyTransformList(state, value);
}

// Grouped by first byte, so that a name is compared only with the names of its group.
constexpr PresentationName presentationNames[] = {
    {"style", applyStyle, false},
    {"stroke", applyStroke, true},
    {"stroke-width", applyStrokeWidth, true},
    {"stroke-opacity", applyStrokeOpacity, true},
    {"display", applyDisplay, true},
    {"fill", applyFill, true},
    {"fill-opacity", applyFillOpacity, true},
    {"transform", applyTransform, false},
};

// The entries [first, first + count) whose names start with the byte c.
struct NameGroup {
    int first, count;
};

NameGroup groupOf(char c) noexcept {
    switch (c) {
    case 's': return {0, 4};
    case 'd': return {4, 1};
    case 'f': return {5, 2};
    case 't': return {7, 1};
    default: return {0, 0};
    }
}

// The entry named name, or null.
const PresentationName* findPresentationName(const char* name) noexcept {
    const NameGroup group = groupOf(name[0]);
    for (int i = group.first; i < group.first + group.count; ++i) {
        const PresentationName& entry = presentationNames[i];
        if (isSameText(name + 1, entry.name + 1)) return &entry;  // the first bytes are equal
    }
    return nullptr;
}

// The entry that names the declaration [begin, end), or null: the declaration's name runs to
// its first ":", trailing blanks not counted, or is the whole range when it has no ":". No
// entry name holds a ":" or a blank, so the first ":" is the one after the matched name and
// its blanks; it is stored in colon (end when there is none).
const PresentationName* findDeclarationName(const char* begin, const char* end,
                                            const char** colon) noexcept {
    if (begin == end) return nullptr;
    const NameGroup group = groupOf(begin[0]);
    for (int i = group.first; i < group.first + group.count; ++i) {
        const char* entryName = presentationNames[i].name;
        const char* p = begin;
        while (p < end && *p == *entryName) {  // the range holds no NUL: an entry's end stops it
            ++p;
            ++entryName;
        }
        if (*entryName != '\0') continue;
        const char* nameEnd = p;
        while (p < end && isBlank(static_cast<unsigned char>(*p))) ++p;
        // without a ":" the name is the whole range, its trailing blanks included
        if (p < end ? *p == ':' : nameEnd == end) {
            *colon = p;
            return &presentationNames[i];
        }
    }
    return nullptr;
}

// The value of each hex digit byte, noHexDigit for every other byte.
constexpr unsigned char noHexDigit = 0xFF;

struct HexDigitValues {
    unsigned char of[256];
    constexpr HexDigitValues() : of() {
        for (int c = 0; c < 256; ++c) {
            int value = isDigit(static_cast<unsigned char>(c)) ? c - '0'
                        : c >= 'a' && c <= 'f'                 ? c - 'a' + 10
                        : c >= 'A' && c <= 'F'                 ? c - 'A' + 10
                                                               : noHexDigit;
            of[c] = static_cast<unsigned char>(value);
        }
    }
};

constexpr HexDigitValues hexDigitValues;

bool isHexDigit(unsigned char c) noexcept { return hexDigitValues.of[c] != noHexDigit; }

// The end of [begin, end) without its trailing blanks.
const char* trimTrailingBlanks(const char* begin, const char* end) noexcept {
    while (end > begin && isBlank(static_cast<unsigned char>(end[-1]))) --end;
    return end;
}

// Copies [begin, end) into a declaration buffer, keeping at most its first 511 characters.
void copyBounded(char* buffer, const char* begin, const char* end) noexcept {
    std::ptrdiff_t length = end - begin;
    if (length > declarationBufferSize - 1) length = declarationBufferSize - 1;
    if (length > 0) std::memcpy(buffer, begin, static_cast<std::size_t>(length));
    buffer[length > 0 ? length : 0] = '\0';
}

// Applies the declaration [begin, end). isFollowedByEnd: the text goes on at end with a blank,
// ";" or NUL (as in a style text), so a value that stops at those may be read where it stands.
void applyDeclarationText(ParserState& state, const char* begin, const char* end,
                           bool isFollowedByEnd) noexcept {
    const char* colon;
    const PresentationName* entry = findDeclarationName(begin, end, &colon);
    if (entry == nullptr) return;  // nothing to apply: no copy
    const char* valueBegin = end;
    if (colon < end) {
        valueBegin = colon + 1;
        while (valueBegin < end &&
               (*valueBegin == ':' || isBlank(static_cast<unsigned char>(*valueBegin)))) {
            ++valueBegin;
        }
    }
    const std::ptrdiff_t length = end - valueBegin;
    const bool isNone = length == 4 && std::memcmp(valueBegin, "none", 4) == 0;
    if (isFollowedByEnd && entry->readsInPlace && length < declarationBufferSize) {
        entry->apply(state, valueBegin, isNone);
        return;
    }
    char value[declarationBufferSize];  // the name needs no copy: it was matched whole
    copyBounded(value, valueBegin, end);
    entry->apply(state, value, isNone);
}

}  // namespace

void applyAttributes(ParserState& state, AttrList attributes) noexcept {
    if (attributes == nullptr) return;
    for (AttrList pair = attributes; pair[0] != nullptr; pair += 2) {
        if (pair[1] == nullptr) continue;  // a name without a value changes nothing
        if (isSameText(pair[0], "style")) {
            applyStyleDeclarations(state, pair[1]);
        } else {
            applyPresentationAttribute(state, pair[0], pair[1]);
        }
    }
}

bool applyPresentationAttribute(ParserState& state, const char* name, const char* value) noexcept {
    if (name == nullptr) return false;
    const PresentationName* entry = findPresentationName(name);
    if (entry == nullptr) return false;
    if (value != nullptr) entry->apply(state, value, isSameText(value, "none"));
    return true;
}

void applyStyleDeclarations(ParserState& state, const char* text) noexcept {
    if (text == nullptr) return;
    const char* p = text;
    while (*p != '\0') {
        const char* begin = skipBlanks(p);
        p = begin;
        p += std::strcspn(p, ";");  // the first ";" ends it, even inside a value
        const char* end = trimTrailingBlanks(begin, p);
        applyDeclarationText(state, begin, end, true);
        if (*p == ';') ++p;
    }
}

void applyDeclaration(ParserState& state, const char* begin, const char* end) noexcept {
    applyDeclarationText(state, begin, end, false);
}

std::uint32_t parseColor(const char* text) noexcept {
    if (text == nullptr) return 0;
    const char* p = text;
    while (*p == ' ') ++p;  // only spaces: a tab before "#" makes the value unreadable
    if (*p != '#') return 0;
    p = skipBlanks(p + 1);
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    // A "0x" not followed by a digit is the digit 0 and a letter.
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && isHexDigit(static_cast<unsigned char>(p[2]))) {
        p += 2;
    }
    std::uint32_t value = 0;
    for (; isHexDigit(static_cast<unsigned char>(*p)); ++p) {
        // wraps modulo 2^32
        value = (value << 4) | hexDigitValues.of[static_cast<unsigned char>(*p)];
    }
    return negative ? 0u - value : value;
}

float parseNumber(const char* text) noexcept {
    if (text == nullptr) return 0.0f;
    return static_cast<float>(readDecimal(text));  // which skips the leading blanks itself
}
