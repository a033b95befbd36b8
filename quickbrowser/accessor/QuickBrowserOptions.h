#pragma once
// The renderer-side copy of the process options that the browser process
// pushes to the quick browser (UpdateOption). Every reader and writer goes
// through the record's lock.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "platform/com/CriticalSection.h"

class CCrQuickBrowserOptions
{
public:
    static constexpr ULONG kDefaultRendererCallTimeout = 3000;
    static constexpr LONG kDefaultObjectModel = 3;

    // Stores the value of the option named by `key` (a GUID string in braces).
    // S_OK for an unknown key (nothing changes); E_UNEXPECTED for an object
    // model outside 0..3; the conversion's failure for a value of the wrong
    // kind. A refused value leaves the old one.
    HRESULT UpdateOption(const wchar_t* key, const VARIANT& value);

    ULONG RendererCallTimeout() const;
    LONG ObjectModel() const;
    bool PreferName() const;
    bool BrowserSideFlag() const;
    bool MaskRecordedUrls() const;
    std::vector<std::wstring> MaskedUrlParameters() const;

private:
    mutable vx::com::CriticalSection lock_;
    ULONG rendererCallTimeout_ = kDefaultRendererCallTimeout;
    LONG objectModel_ = kDefaultObjectModel;
    bool preferName_ = false;
    bool browserSideFlag_ = true;
    bool maskRecordedUrls_ = false;
    std::vector<std::wstring> maskedUrlParameters_;
};
