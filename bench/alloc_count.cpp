// Replacement of the global allocation functions that counts each allocation.
#include "alloc_count.h"

#include <cstdlib>
#include <new>

namespace {

// The benchmarks run on one thread; a plain counter keeps the count itself cheap.
uint64_t g_allocations = 0;

void* Allocate(std::size_t size)
{
    ++g_allocations;
    if (void* block = std::malloc(size == 0 ? 1 : size))
        return block;
    throw std::bad_alloc();
}

}  // namespace

namespace bench {

uint64_t AllocationCount()
{
    return g_allocations;
}

}  // namespace bench

void* operator new(std::size_t size)
{
    return Allocate(size);
}

void* operator new[](std::size_t size)
{
    return Allocate(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    ++g_allocations;
    return std::malloc(size == 0 ? 1 : size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    ++g_allocations;
    return std::malloc(size == 0 ? 1 : size);
}

void operator delete(void* block) noexcept
{
    std::free(block);
}

void operator delete[](void* block) noexcept
{
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}

void operator delete[](void* block, std::size_t) noexcept
{
    std::free(block);
}
