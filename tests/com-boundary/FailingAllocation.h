#pragma once
// Makes C++ allocations on the calling thread fail (operator new throws
// std::bad_alloc) while an instance is alive. The test program replaces the
// global allocation functions, which the statically linked library uses too.
namespace vxtest {

class FailingAllocations
{
public:
    FailingAllocations();
    ~FailingAllocations();
    FailingAllocations(const FailingAllocations&) = delete;
    FailingAllocations& operator=(const FailingAllocations&) = delete;

    // How many allocations were refused so far.
    static int Refused();
};

} // namespace vxtest
