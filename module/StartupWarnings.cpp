#include "module/StartupWarnings.h"

#include <objbase.h>
#include <wrl/client.h>

#include "generated/vxOpenAppServices.h"
#include "platform/com/BStr.h"

using Microsoft::WRL::ComPtr;

namespace {

// {D4DF5349-664F-4E28-8EB8-C3A9D148D899}: the host's message service.
const IID HostMessageService = {0xD4DF5349, 0x664F, 0x4E28, {0x8E, 0xB8, 0xC3, 0xA9, 0xD1, 0x48, 0xD8, 0x99}};

const StartupWarningText ExtensionMissingText = {
    L"{2E3D2518-A623-4853-9780-00C83879C48A}", 4500, L"Vantorix Chrome Extension Is Not Installed or Is Disabled",
    L"The test engine does not have access to internal objects, methods and properties of the page, which is "
    L"open in Chrome. Check whether Vantorix Chrome Extension is installed and enabled."};

const StartupWarningText SwitchConflictText = {
    L"{23FFEED6-422D-4434-958E-79DD726D9D50}", 4501, L"Chrome Command-line Conflict",
    L"Some of the specified Chrome command-line switches does not allow Vantorix to access web pages loaded in "
    L"Chrome."};

const StartupWarningText SwitchesMissingText = {
    L"{23FFEED6-422D-4434-958E-79DD726D9D50}", 4502, L"No Recommended Chrome Command-Line Switches",
    L"Command-line switches that are important to Vantorix were not specified."};

} // namespace

const StartupWarningText* GetStartupWarningText(StartupWarningKind kind)
{
    switch (kind) {
    case StartupWarningKind::ExtensionMissing:
        return &ExtensionMissingText;
    case StartupWarningKind::SwitchConflict:
        return &SwitchConflictText;
    case StartupWarningKind::SwitchesMissing:
        return &SwitchesMissingText;
    default:
        return nullptr;
    }
}

StartupWarningKind SelectStartupWarning(bool switchConflict, bool extensionReachable, bool hangMonitorEnabled)
{
    if (switchConflict)
        return StartupWarningKind::SwitchConflict;
    if (!extensionReachable)
        return StartupWarningKind::ExtensionMissing;
    if (hangMonitorEnabled)
        return StartupWarningKind::SwitchesMissing;
    return StartupWarningKind::None;
}

HWND FindTopLevelWindow(HWND window)
{
    HWND desktop = GetDesktopWindow();
    HWND current = window;
    for (;;) {
        HWND parent = GetAncestor(current, GA_PARENT);
        if (!parent || parent == desktop)
            return current;
        current = parent;
    }
}

HRESULT ShowHostMessage(IUnknown* host, const GUID& identifier, HWND window, const wchar_t* caption,
                        const wchar_t* text, DWORD helpContext)
{
    ComPtr<IvxHookHost> hookHost;
    if (!host || FAILED(host->QueryInterface(IID_PPV_ARGS(&hookHost))))
        return E_FAIL;
    ComPtr<IUnknown> service;
    if (hookHost->GetHostService(&HostMessageService, &service) == VARIANT_FALSE || !service)
        return E_FAIL;
    ComPtr<IvxHostMessages> messages;
    if (FAILED(service.As(&messages)))
        return E_FAIL;
    wchar_t identifierText[40] = {};
    StringFromGUID2(identifier, identifierText, 40);
    vx::com::BStr id(identifierText), captionText(caption), bodyText(text);
    return messages->ShowMessage(id.Get(), reinterpret_cast<LONG_PTR>(window), 0, captionText.Get(), bodyText.Get(),
                                 helpContext, 0);
}

HRESULT ShowStartupWarning(IUnknown* host, StartupWarningKind kind, HWND window)
{
    const StartupWarningText* warning = GetStartupWarningText(kind);
    if (!warning || !window)
        return S_FALSE;
    HWND topLevel = FindTopLevelWindow(window);
    if (GetWindowLongW(topLevel, GWL_STYLE) & WS_POPUP)
        return S_FALSE;
    GUID identifier;
    HRESULT hr = CLSIDFromString(const_cast<LPOLESTR>(warning->identifier), &identifier);
    if (FAILED(hr))
        return hr;
    return ShowHostMessage(host, identifier, topLevel, warning->caption, warning->text, warning->helpContext);
}
