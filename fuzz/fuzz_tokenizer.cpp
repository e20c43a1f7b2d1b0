// The markup tokenizer alone: every name, value and text it reports lies inside the buffer,
// attribute lists end with two nulls within their limit, and ends never outnumber tags.
#include "fuzz/fuzz_input.h"
#include "svg/text.h"
#include "svg/tokenizer.h"

namespace {

struct TokenCounts {
    const FuzzText* input;
    std::size_t starts;
    std::size_t ends;
    std::size_t texts;
};

void checkStart(void* userData, const char* name, AttrList attributes) {
    auto& counts = *static_cast<TokenCounts*>(userData);
    POLYIN_FUZZ_CHECK(counts.input->holds(name));
    // Walked pair by pair, as the readers walk it: a name without a quoted value has a null
    // value, and the list ends at the first null name.
    int entries = 0;
    while (attributes[entries] != nullptr) {
        POLYIN_FUZZ_CHECK(entries < 2 * attributePairLimit);
        POLYIN_FUZZ_CHECK(counts.input->holds(attributes[entries]));
        const char* value = attributes[entries + 1];
        POLYIN_FUZZ_CHECK(value == nullptr || counts.input->holds(value));
        entries += 2;
    }
    POLYIN_FUZZ_CHECK(entries + 2 <= attributeEntryCount);
    ++counts.starts;
}

void checkEnd(void* userData, const char* name) {
    auto& counts = *static_cast<TokenCounts*>(userData);
    POLYIN_FUZZ_CHECK(counts.input->holds(name));
    ++counts.ends;
}

void checkText(void* userData, const char* text) {
    auto& counts = *static_cast<TokenCounts*>(userData);
    POLYIN_FUZZ_CHECK(counts.input->holds(text));
    POLYIN_FUZZ_CHECK(*text != '\0' && !isBlank(static_cast<unsigned char>(*text)));
    ++counts.texts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzText input(data, size);
    TokenCounts counts{&input, 0, 0, 0};
    tokenizeMarkup(input.text(), checkStart, checkEnd, checkText, &counts);
    // Each "<" opens at most one tag, which reports at most a start and an end.
    std::size_t opens = 0;
    for (std::size_t i = 0; i < size && data[i] != 0; ++i) opens += data[i] == '<';
    POLYIN_FUZZ_CHECK(counts.starts <= opens && counts.ends <= opens && counts.texts <= opens);
    // The same buffer with every handler null must be accepted too.
    FuzzText again(data, size);
    tokenizeMarkup(again.text(), nullptr, nullptr, nullptr, nullptr);
    return 0;
}
