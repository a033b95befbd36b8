#pragma once
// A script number as the renderer's native object gives it: VT_I4 when it is
// whole and fits 32 bits, VT_R8 otherwise (fractions, NaN, infinities).
#include <windows.h>

#include <oleauto.h>

#include <cmath>

namespace harness {

inline void ScriptNumberToVariant(double d, VARIANT* out)
{
    if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) <= 2147483647.0) {
        V_VT(out) = VT_I4;
        V_I4(out) = static_cast<LONG>(d);
    } else {
        V_VT(out) = VT_R8;
        V_R8(out) = d;
    }
}

} // namespace harness
