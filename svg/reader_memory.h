// Every heap block of the reader comes from here, so tests can count allocations and fail one.
#pragma once

#include <cstddef>

void* allocateBlock(std::size_t size) noexcept;
void releaseBlock(void* block) noexcept;

// The point buffer of a parse, whose size is always known: from the heap while small; from
// 8 MiB on in its own mapping, advised for large pages, which grows without a copy and goes
// back to the system when released. size is the buffer's present size (0 for none); it only
// grows (newSize above size). Null, with the buffer untouched, when it cannot.
void* resizeBuffer(void* buffer, std::size_t size, std::size_t newSize) noexcept;
void releaseBuffer(void* buffer, std::size_t size) noexcept;

// Test hook: when set, the hook decides whether each allocation or resize may succeed.
using AllocationHook = bool (*)(std::size_t size);
void setAllocationHook(AllocationHook hook) noexcept;
