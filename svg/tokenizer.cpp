#include "svg/tokenizer.h"

#include <cstring>

#include "svg/text.h"

namespace {

// Byte classes of the tag scanners, one lookup per byte: bit 1 ends an element name (NUL and
// the blanks), bit 2 an attribute name (those and "=").
constexpr unsigned char endsElementName = 1, endsAttributeName = 2;

struct TagByteClasses {
    unsigned char of[256];
    constexpr TagByteClasses() : of() {
        for (int c = 0; c < 256; ++c) {
            bool ends = c == 0 || isBlank(static_cast<unsigned char>(c));
            of[c] = static_cast<unsigned char>((ends ? endsElementName | endsAttributeName : 0) |
                                               (c == '=' ? endsAttributeName : 0));
        }
    }
};

constexpr TagByteClasses tagByteClasses;

char* skipUntil(char* p, unsigned char stops) noexcept {
    while ((tagByteClasses.of[static_cast<unsigned char>(*p)] & stops) == 0) ++p;
    return p;
}

char* skipToBlankOrEnd(char* p) noexcept { return skipUntil(p, endsElementName); }

char* skipToNameEnd(char* p) noexcept { return skipUntil(p, endsAttributeName); }

// Most values are short: a few bytes are looked at one by one before the library scan.
constexpr int shortValueLength = 16;

char* skipToQuoteOrEnd(char* p) noexcept {
    for (int i = 0; i < shortValueLength; ++i, ++p) {
        if (*p == '"' || *p == '\0') return p;
    }
    char* quote = std::strchr(p, '"');
    return quote != nullptr ? quote : p + std::strlen(p);
}

// Cuts the token ending at p with a NUL (unless it is the end) and returns the next position.
char* terminateAt(char* p) noexcept {
    if (*p == '\0') return p;
    *p = '\0';
    return p + 1;
}

}  // namespace

void tokenizeMarkup(char* text, ElementStartHandler onStart, ElementEndHandler onEnd,
                    CharacterDataHandler onText, void* userData) noexcept {
    if (text == nullptr) return;
    char* segment = text;
    for (;;) {
        // Outside a tag: the segment runs to the next "<".
        char* open = std::strchr(segment, '<');
        if (open == nullptr) return;  // trailing text is never reported
        *open = '\0';
        deliverText(segment, onText, userData);
        segment = open + 1;
        // Inside a tag: it runs to the next ">", quotes and "<" notwithstanding.
        char* close = std::strchr(segment, '>');
        if (close == nullptr) return;  // a tag that never closes is dropped
        *close = '\0';
        parseTag(segment, onStart, onEnd, userData);
        segment = close + 1;
    }
}

void deliverText(char* segment, CharacterDataHandler onText, void* userData) noexcept {
    char* text = skipBlanks(segment);
    if (*text != '\0' && onText != nullptr) onText(userData, text);
}

void parseTag(char* tag, ElementStartHandler onStart, ElementEndHandler onEnd,
              void* userData) noexcept {
    char* p = skipBlanks(tag);
    bool isEnd = false;
    if (*p == '/') {
        isEnd = true;
        ++p;
    }
    // Empty tags, processing instructions, comments and declarations are ignored whole.
    if (*p == '\0' || *p == '?' || *p == '!') return;
    bool isStart = !isEnd;
    char* name = p;
    p = terminateAt(skipToBlankOrEnd(p));

    const char* attributes[attributeEntryCount];
    int entries = 0;
    while (!isEnd && *p != '\0') {
        p = skipBlanks(p);
        if (*p == '\0') break;
        if (*p == '/') {  // self-closing: report the end too
            isEnd = true;
            break;
        }
        if (entries == 2 * attributePairLimit) break;
        attributes[entries++] = p;
        p = terminateAt(skipToNameEnd(p));
        // The value is the next double-quoted text, whatever stands before it.
        p = skipToQuoteOrEnd(p);
        if (*p == '\0') break;
        ++p;
        attributes[entries++] = p;
        p = terminateAt(skipToQuoteOrEnd(p));
    }
    attributes[entries] = nullptr;
    attributes[entries + 1] = nullptr;

    if (isStart && onStart != nullptr) onStart(userData, name, attributes);
    if (isEnd && onEnd != nullptr) onEnd(userData, name);
}
