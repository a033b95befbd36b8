#include "recording/RegExpModule.h"

#include <oleauto.h>

#include "platform/com/BStr.h"

namespace vxCrRecording {

bool CRegExpModule::Available() noexcept
{
    if (!loadTried_) {
        loadTried_ = true;
        HRESULT hr = vx::com::CallAsBoundary([&] { return proxy_.Load(); });
        // A missing module leaves a "not found" error description on the
        // thread; detection does not report it, so it must not linger for
        // the caller's next error.
        if (FAILED(hr))
            SetErrorInfo(0, nullptr);
    }
    return proxy_.IsLoaded();
}

bool CRegExpModule::Search(const wchar_t* pattern, std::wstring_view text) noexcept
{
    if (!pattern || !Available())
        return false;
    IovRegExpIntf* module = proxy_.Get();
    if (!module)
        return false;
    const vx::com::BStr patternText(pattern);
    const vx::com::BStr searched(text);
    VARIANT_BOOL found = VARIANT_FALSE;
    const HRESULT hr = patternText.Get() && (searched.Get() || text.empty())
                           ? module->Search(patternText.Get(), searched.Get(), &found)
                           : E_OUTOFMEMORY;
    return hr == S_OK && found != VARIANT_FALSE;
}

} // namespace vxCrRecording
