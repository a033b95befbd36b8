// Writes through a bad pointer. The test that runs this expects a failure.
#include <cstdint>
#include <cstdio>

int main(int argc, char**)
{
    std::puts("about to crash");
    std::fflush(stdout);
    // Address 0x10 (argc is 1), computed at run time so the compiler cannot
    // see the fault coming.
    volatile int* bad = reinterpret_cast<volatile int*>(static_cast<uintptr_t>(argc) * 0x10);
    *bad = 1;
    std::puts("still alive: the crash did not happen");
    return 0;
}
