// Transform lists on arbitrary text, applied to the current frame of a parse state.
#include "fuzz/fuzz_input.h"
#include "svg/transform_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzText input(data, size);
    ParserState* state = newFuzzState(size);
    applyTransformList(*state, input.text());
    POLYIN_FUZZ_CHECK(state->styleTop == 0);
    // Each keyword reader moves the list scan forward and never past the NUL.
    static const char* const keywords[] = {"matrix", "translate", "scale"};
    for (const char* keyword : keywords) {
        std::size_t length = std::strlen(keyword);
        for (const char* p = std::strstr(input.text(), keyword); p != nullptr;
             p = std::strstr(p + 1, keyword)) {
            float numbers[6];
            int count = -1;
            int capacity = length == 6 ? 6 : 2;
            std::ptrdiff_t advance = readTransformArgs(p, numbers, capacity, &count);
            POLYIN_FUZZ_CHECK(advance >= 1);
            POLYIN_FUZZ_CHECK(input.holds(p + advance));
            POLYIN_FUZZ_CHECK(count >= 0 && count <= capacity);
        }
    }
    destroyParserState(state);
    return 0;
}
