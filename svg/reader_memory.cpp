#include "svg/reader_memory.h"

#include <cstdlib>

namespace {
AllocationHook allocationHook = nullptr;  // only ever set by tests

bool isAllowed(std::size_t size) noexcept {
    return allocationHook == nullptr || allocationHook(size);
}
}  // namespace

void* allocateBlock(std::size_t size) noexcept {
    return isAllowed(size) ? std::malloc(size) : nullptr;
}

void* resizeBlock(void* block, std::size_t size) noexcept {
    return isAllowed(size) ? std::realloc(block, size) : nullptr;
}

void releaseBlock(void* block) noexcept { std::free(block); }

void setAllocationHook(AllocationHook hook) noexcept { allocationHook = hook; }
