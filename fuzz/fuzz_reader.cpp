// The whole reader on arbitrary bytes: the parse must never fault, and parsing the same bytes
// twice must give the same list, bit for bit (a difference means uninitialised state). A third
// parse fails every n-th allocation: it may lose output, never fault or leak.
#include "fuzz/fuzz_input.h"
#include "svg/reader_memory.h"

namespace {
unsigned allocationCount = 0;
unsigned failEvery = 0;
bool failSome(std::size_t) { return ++allocationCount % failEvery != 0; }
}  // namespace

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

    FuzzText third(data, size);
    allocationCount = 0;
    failEvery = 1 + static_cast<unsigned>(size % 7);
    setAllocationHook(failSome);
    PathList c = parseSvgText(third.text(), tolerance);
    setAllocationHook(nullptr);
    checkPathList(c);
    freePathList(c);
    return 0;
}
