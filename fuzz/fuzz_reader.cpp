// The whole reader on arbitrary bytes: the parse must never fault, and parsing the same bytes
// twice must give the same list, bit for bit (a difference means uninitialised state).
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    float tolerance = toleranceFor(size);
    FuzzText first(data, size);
    FuzzText second(data, size);
    PathList a = parseSvgText(first.text(), tolerance);
    PathList b = parseSvgText(second.text(), tolerance);
    checkPathList(a);
    POLYIN_FUZZ_CHECK(isSamePathList(a, b));
    POLYIN_FUZZ_CHECK(std::memcmp(first.text(), second.text(), size + 1) == 0);
    freePathList(a);
    freePathList(b);
    return 0;
}
