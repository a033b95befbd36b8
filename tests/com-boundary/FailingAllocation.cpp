#include "FailingAllocation.h"

#include <cstdlib>
#include <new>

namespace {

thread_local bool failing = false;
thread_local int refused = 0;

} // namespace

namespace vxtest {

FailingAllocations::FailingAllocations()
{
    failing = true;
}

FailingAllocations::~FailingAllocations()
{
    failing = false;
}

int FailingAllocations::Refused()
{
    return refused;
}

} // namespace vxtest

// The nothrow, array and sized forms of the standard library call these.
void* operator new(std::size_t size)
{
    if (failing) {
        ++refused;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
