// Every heap block of the reader comes from here, so tests can count allocations and fail one.
#pragma once

#include <cstddef>

void* allocateBlock(std::size_t size) noexcept;
void* resizeBlock(void* block, std::size_t size) noexcept;
void releaseBlock(void* block) noexcept;

// Test hook: when set, the hook decides whether each allocation or resize may succeed.
using AllocationHook = bool (*)(std::size_t size);
void setAllocationHook(AllocationHook hook) noexcept;
