// The native test program's entry. Character classes follow Unicode, as
// Windows' C runtime classifies characters in its default locale (glibc's
// "C" locale knows only ASCII): the framework's identifier rule uses
// iswalpha and iswalnum.
#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv)
{
    std::setlocale(LC_CTYPE, "C.UTF-8");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
