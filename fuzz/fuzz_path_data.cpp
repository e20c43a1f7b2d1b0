// Path data and point lists: the "d" interpreter, the "points" reader and the token splitter on
// arbitrary text. Tokens stay within their buffer and every call moves forward to the NUL.
#include "fuzz/fuzz_input.h"
#include "geometry/path_data.h"
#include "svg/shapes.h"

namespace {

void checkTokens(const FuzzText& input) {
    const char* p = input.text();
    char token[pathTokenSize];
    for (;;) {
        const char* next = nextPathToken(p, token);
        POLYIN_FUZZ_CHECK(input.holds(next) && next >= p);
        POLYIN_FUZZ_CHECK(std::strlen(token) < static_cast<std::size_t>(pathTokenSize));
        if (token[0] == '\0') break;
        POLYIN_FUZZ_CHECK(next > p);
        p = next;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzText input(data, size);
    checkTokens(input);

    ParserState* state = newFuzzState(size);
    const char* path[] = {"d", input.text(), nullptr, nullptr};
    parsePathData(*state, path);
    const char* points[] = {"points", input.text(), nullptr, nullptr};
    readPolyPoints(*state, points, 1);
    POLYIN_FUZZ_CHECK(state->styleTop == 0);
    checkPathList(state->paths);
    destroyParserState(state);
    return 0;
}
