#pragma once
#include <windows.h>
#include <unknwn.h>

// The warnings shown when the browser is not set up for testing.
enum class StartupWarningKind {
    None = 0,
    ExtensionMissing = 1,
    SwitchConflict = 2,
    SwitchesMissing = 3,
};

struct StartupWarningText
{
    const wchar_t* identifier; // registry format with braces
    DWORD helpContext;
    const wchar_t* caption;
    const wchar_t* text;
};

// The caption, text, identifier and help context of a warning kind (null for
// None).
const StartupWarningText* GetStartupWarningText(StartupWarningKind kind);

// Which warning applies: a switch conflict first, then an unreachable
// extension, then missing recommended switches.
StartupWarningKind SelectStartupWarning(bool switchConflict, bool extensionReachable, bool hangMonitorEnabled);

// The top-level window of `window` (GetAncestor with GA_PARENT until null or
// the desktop window).
HWND FindTopLevelWindow(HWND window);

// Shows a message through the host's message service; E_FAIL when the host
// does not offer the service or the object lacks IvxHostMessages.
HRESULT ShowHostMessage(IUnknown* host, const GUID& identifier, HWND window, const wchar_t* caption,
                        const wchar_t* text, DWORD helpContext);

// Shows the warning of `kind` for the browser window `window`; nothing for
// None, a null window or a pop-up top-level window.
HRESULT ShowStartupWarning(IUnknown* host, StartupWarningKind kind, HWND window);
