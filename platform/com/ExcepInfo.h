#pragma once
#include <oaidl.h>
#include <oleauto.h>

namespace vx::com {

// Owner of the strings of one EXCEPINFO that an Invoke may fill: zeroed on
// construction, strings freed on destruction. Fill() runs the deferred
// fill-in routine a callee may leave instead of the texts.
class ExcepInfo
{
public:
    ExcepInfo() noexcept : info_{} {}
    ~ExcepInfo() { Clear(); }
    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;

    EXCEPINFO* Get() noexcept { return &info_; }
    const EXCEPINFO* Get() const noexcept { return &info_; }

    // The record with its texts present, after the deferred fill-in if any.
    const EXCEPINFO* Fill() noexcept
    {
        if (info_.pfnDeferredFillIn) {
            auto fill = info_.pfnDeferredFillIn;
            info_.pfnDeferredFillIn = nullptr;
            fill(&info_);
        }
        return &info_;
    }

    void Clear() noexcept
    {
        SysFreeString(info_.bstrSource);
        SysFreeString(info_.bstrDescription);
        SysFreeString(info_.bstrHelpFile);
        info_ = EXCEPINFO{};
    }

private:
    EXCEPINFO info_;
};

} // namespace vx::com
