// Style declarations and presentation values on arbitrary text: as a "style" attribute, as each
// presentation attribute's value, and through the colour and number readers.
#include "fuzz/fuzz_input.h"
#include "svg/attributes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzText input(data, size);
    ParserState* state = newFuzzState(size);
    applyStyleDeclarations(*state, input.text());
    // All eight names are recognised, whatever their value.
    static const char* const names[] = {"style", "fill", "fill-opacity", "stroke", "stroke-width",
                                        "stroke-opacity", "transform", "display"};
    for (const char* name : names) {
        const char* attributes[] = {name, input.text(), nullptr, nullptr};
        applyAttributes(*state, attributes);
        POLYIN_FUZZ_CHECK(applyPresentationAttribute(*state, name, input.text()));
    }
    const char* nameless[] = {input.text(), nullptr, nullptr, nullptr};
    applyAttributes(*state, nameless);
    POLYIN_FUZZ_CHECK(state->styleTop == 0);
    (void)parseColor(input.text());
    (void)parseNumber(input.text());
    destroyParserState(state);
    return 0;
}
