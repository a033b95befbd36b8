#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "platform/com/CriticalSection.h"

// Option keys set by the host through IvxModuleOptions and pushed to every
// renderer.
namespace ProcessOptionKeys {
// {FB1CAF99-7FA6-447C-B963-D862CA8BFF89}: renderer call time-out, ms.
extern const GUID RendererCallTimeout;
// {66F235D3-108D-4961-A923-03333575E40E}: object model, 0 DOM, 1..3 Tree.
extern const GUID ObjectModel;
// {864E3A4C-B68F-4D37-84A9-3DA543AE07D4}: prefer names over ids.
extern const GUID PreferName;
// {514928DF-4020-463C-9796-EF236D7831C5}: kept for readers outside the quick
// browser; never pushed to renderers.
extern const GUID BrowserSideFlag;
// {BC2725AB-C90D-4761-BEB2-ABACE30FE554}: mask recorded URLs.
extern const GUID MaskRecordedUrls;
// {33C0A94E-7F58-493C-BCCC-91685352F9B4}: URL parameters to mask.
extern const GUID MaskedUrlParameters;
} // namespace ProcessOptionKeys

// A snapshot of every option value, copied out under the store's lock.
struct ProcessOptionValues
{
    DWORD rendererCallTimeout = 3000;
    LONG objectModel = 3;
    bool preferName = false;
    bool browserSideFlag = true;
    bool maskRecordedUrls = false;
    // Stored from the last line of the host's text to the first.
    std::vector<std::wstring> maskedUrlParameters;
    bool recording = false;
};

// The process's option values. Only a value that differs from the stored one
// is stored and reported as a change.
class ProcessOptionsStore
{
public:
    // S_OK with `changed` telling whether the value was new; E_UNEXPECTED for
    // a value that the key refuses (not stored). Unknown keys are ignored.
    HRESULT SetOption(const GUID& key, const VARIANT& value, bool& changed);

    ProcessOptionValues Snapshot() const;
    DWORD RendererCallTimeout() const;
    LONG ObjectModel() const;

    void SetRecording(bool recording);
    bool Recording() const;

    // Back to the initial values (used when the library is unloaded).
    void Reset();

private:
    mutable vx::com::CriticalSection lock_;
    ProcessOptionValues values_;
};

// The process-wide store: created on first use, deleted at library unload.
ProcessOptionsStore& ProcessOptions();
