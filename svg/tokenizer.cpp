#include "svg/tokenizer.h"

#include <cstring>

#include <emmintrin.h>

#include "svg/text.h"

namespace {

// The tag scanners look at 16 bytes at a time with SSE2, and only at bytes of the tag text: its
// end (the terminating NUL) is known before the scan, so no load reaches past the text.
constexpr std::ptrdiff_t blockSize = 16;

__m128i loadBlock(const char* p) noexcept {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

int equalBits(__m128i block, char c) noexcept {
    return _mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(c)));
}

// The blanks of a block: spaces, and 0x09-0x0D moved to the bottom of the signed byte range so
// that one signed comparison finds all five.
int blankBits(__m128i block) noexcept {
    const __m128i moved = _mm_add_epi8(block, _mm_set1_epi8(static_cast<char>(0x80 - 0x09)));
    const __m128i isControlBlank = _mm_cmplt_epi8(moved, _mm_set1_epi8(static_cast<char>(0x85)));
    return _mm_movemask_epi8(isControlBlank) | equalBits(block, ' ');
}

int nameEndBits(__m128i block) noexcept { return blankBits(block) | equalBits(block, '='); }

int quoteBits(__m128i block) noexcept { return equalBits(block, '"'); }

bool isNameEnd(unsigned char c) noexcept { return isBlank(c) || c == '='; }

bool isQuote(unsigned char c) noexcept { return c == '"'; }

// One tag's text up to end (its NUL), with the stop bits of its last block, taken before the
// tag is cut: the scans that have less than a block ahead of them read those, so they need no
// byte loop and no load over bytes just cut. A tag shorter than a block has no such bits.
struct TagText {
    char* end;
    const char* last;  // end - blockSize, or null
    int lastBlanks, lastNameEnds, lastQuotes;
};

TagText describeTag(char* tag, char* end) noexcept {
    if (end - tag < blockSize) return TagText{end, nullptr, 0, 0, 0};
    const char* last = end - blockSize;
    const __m128i block = loadBlock(last);
    return TagText{end, last, blankBits(block), nameEndBits(block), quoteBits(block)};
}

// The first position in [p, end) whose byte stops the scan, or end.
template <int (*blockStops)(__m128i) noexcept, bool (*stops)(unsigned char) noexcept,
          int TagText::*lastStops>
char* scanTo(char* p, const TagText& tag) noexcept {
    for (; tag.end - p >= blockSize; p += blockSize) {
        const int bits = blockStops(loadBlock(p));
        if (bits != 0) return p + __builtin_ctz(static_cast<unsigned>(bits));
    }
    if (tag.last != nullptr) {
        const int bits = tag.*lastStops >> (p - tag.last);
        return bits != 0 ? p + __builtin_ctz(static_cast<unsigned>(bits)) : tag.end;
    }
    while (p < tag.end && !stops(static_cast<unsigned char>(*p))) ++p;
    return p;
}

char* skipToBlankOrEnd(char* p, const TagText& tag) noexcept {
    return scanTo<blankBits, isBlank, &TagText::lastBlanks>(p, tag);
}

char* skipToNameEnd(char* p, const TagText& tag) noexcept {
    return scanTo<nameEndBits, isNameEnd, &TagText::lastNameEnds>(p, tag);
}

char* skipToQuoteOrEnd(char* p, const TagText& tag) noexcept {
    if (p < tag.end && *p == '"') return p;  // most values follow their "=" directly
    return scanTo<quoteBits, isQuote, &TagText::lastQuotes>(p, tag);
}

// The common attribute  name="value"  when all of it stands in the block at p: cuts the name
// and the value from one load, stores the value's position and returns the position after its
// closing quote. Null when the attribute is of another form or runs on past the block.
char* readShortAttribute(char* p, const TagText& tag, const char** value) noexcept {
    if (tag.end - p < blockSize) return nullptr;
    const __m128i block = loadBlock(p);
    const auto equalSigns = static_cast<unsigned>(equalBits(block, '='));
    const auto nameEnds = static_cast<unsigned>(blankBits(block)) | equalSigns;
    const auto quotes = static_cast<unsigned>(quoteBits(block));
    const unsigned closingQuotes = quotes & (quotes - 1);
    if (nameEnds == 0 || closingQuotes == 0) return nullptr;
    // The name ends at the "=" and the first quote of the block follows it, so the second one
    // closes the value. It is found from the quotes alone: the close does not wait for the name.
    const int equals = __builtin_ctz(nameEnds);
    if (__builtin_ctz(quotes) != equals + 1 || ((equalSigns >> equals) & 1u) == 0) return nullptr;
    char* close = p + __builtin_ctz(closingQuotes);
    p[equals] = '\0';
    *value = p + equals + 2;
    *close = '\0';
    return close + 1;
}

// Cuts the token ending at p with a NUL (unless it is the end) and returns the next position.
char* terminateAt(char* p, char* end) noexcept {
    if (p == end) return p;
    *p = '\0';
    return p + 1;
}

// Reads the tag text [tag, end), end being its NUL, and reports its start and/or end.
void parseTag(char* tag, char* end, ElementStartHandler onStart, ElementEndHandler onEnd,
              void* userData) noexcept {
    const TagText text = describeTag(tag, end);
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
    p = terminateAt(skipToBlankOrEnd(p, text), end);

    const char* attributes[attributeEntryCount];
    int entries = 0;
    while (!isEnd && p != end) {
        p = skipBlanks(p);
        if (p == end) break;
        if (*p == '/') {  // self-closing: report the end too
            isEnd = true;
            break;
        }
        if (entries == 2 * attributePairLimit) break;
        attributes[entries++] = p;
        if (char* next = readShortAttribute(p, text, &attributes[entries])) {
            ++entries;
            p = next;
            continue;
        }
        p = terminateAt(skipToNameEnd(p, text), end);
        // The value is the next double-quoted text, whatever stands before it.
        p = skipToQuoteOrEnd(p, text);
        if (p == end) break;
        ++p;
        attributes[entries++] = p;
        p = terminateAt(skipToQuoteOrEnd(p, text), end);
    }
    attributes[entries] = nullptr;
    attributes[entries + 1] = nullptr;

    if (isStart && onStart != nullptr) onStart(userData, name, attributes);
    if (isEnd && onEnd != nullptr) onEnd(userData, name);
}

// The next "<" at or after p, or null. Between tags there is mostly a line end or nothing,
// which is looked at before handing the search to the C library.
char* findTagOpening(char* p) noexcept {
    if (p[0] == '<') return p;
    if (p[0] != '\0' && p[1] == '<') return p + 1;
    return std::strchr(p, '<');
}

}  // namespace

void tokenizeMarkup(char* text, ElementStartHandler onStart, ElementEndHandler onEnd,
                    CharacterDataHandler onText, void* userData) noexcept {
    if (text == nullptr) return;
    char* segment = text;
    for (;;) {
        // Outside a tag: the segment runs to the next "<", which mostly follows a line end.
        char* open = findTagOpening(segment);
        if (open == nullptr) return;  // trailing text is never reported
        *open = '\0';
        deliverText(segment, onText, userData);
        segment = open + 1;
        // Inside a tag: it runs to the next ">", quotes and "<" notwithstanding.
        char* close = std::strchr(segment, '>');
        if (close == nullptr) return;  // a tag that never closes is dropped
        *close = '\0';
        parseTag(segment, close, onStart, onEnd, userData);
        segment = close + 1;
    }
}

void deliverText(char* segment, CharacterDataHandler onText, void* userData) noexcept {
    char* text = skipBlanks(segment);
    if (*text != '\0' && onText != nullptr) onText(userData, text);
}
