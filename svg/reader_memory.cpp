#include "svg/reader_memory.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>

namespace {
AllocationHook allocationHook = nullptr;  // only ever set by tests

bool isAllowed(std::size_t size) noexcept {
    return allocationHook == nullptr || allocationHook(size);
}

// A large block (a file's text, the point buffer or the record of a long path) is written
// whole soon after it is made: asking for large pages over it lets it fault in by the 2 MiB
// page rather than by the 4 KiB one, which on a virtual machine, where a fault is dear, is
// much of the cost of a large import. Only whole large pages inside the block are advised; it
// is advice, so a refusal changes nothing.
constexpr std::uintptr_t largePage = std::uintptr_t{1} << 21;
constexpr std::size_t largeBlockSize = 4 * largePage;

void adviseLargePages(void* block, std::size_t size) noexcept {
#ifdef MADV_HUGEPAGE
    if (block == nullptr || size < largeBlockSize) return;
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (start + largePage - 1) & ~(largePage - 1);
    const std::uintptr_t last = (start + size) & ~(largePage - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void*>(first), static_cast<std::size_t>(last - first), MADV_HUGEPAGE);
#else
    (void)block;
    (void)size;
#endif
}
}  // namespace

void* allocateBlock(std::size_t size) noexcept {
    void* block = isAllowed(size) ? std::malloc(size) : nullptr;
    adviseLargePages(block, size);
    return block;
}

void* resizeBuffer(void* buffer, std::size_t size, std::size_t newSize) noexcept {
    if (!isAllowed(newSize)) return nullptr;
    if (newSize < largeBlockSize) return std::realloc(buffer, newSize);
    if (size >= largeBlockSize) {
        // The mapping grows or moves with its pages: nothing is copied or faulted in again,
        // and the advice goes with it; the part it gains is advised here.
        void* grown = ::mremap(buffer, size, newSize, MREMAP_MAYMOVE);
        if (grown == MAP_FAILED) return nullptr;
        adviseLargePages(grown, newSize);
        return grown;
    }
    void* mapped = ::mmap(nullptr, newSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    adviseLargePages(mapped, newSize);  // before the copy touches it
    if (buffer != nullptr) std::memcpy(mapped, buffer, size);
    std::free(buffer);
    return mapped;
}

void releaseBuffer(void* buffer, std::size_t size) noexcept {
    if (size < largeBlockSize) {
        std::free(buffer);
    } else if (buffer != nullptr) {
        ::munmap(buffer, size);
    }
}

void releaseBlock(void* block) noexcept { std::free(block); }

void setAllocationHook(AllocationHook hook) noexcept { allocationHook = hook; }
