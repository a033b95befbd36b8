#pragma once
// What the renderer stand-in's commands do to its page, over either native
// object: the snapshot stand-in (which changes its captured page itself) or
// the live one (whose page in Chromium is changed by script and by input).
#include <windows.h>

#include <memory>
#include <string>

#include "generated/vxCrHook.h"
#include "harness/nativeobject/RendererThread.h"

namespace harness {

class PageSteering
{
public:
    virtual ~PageSteering() = default;
    virtual IvxCrNativeChromeObject* Native() = 0;
    virtual RendererThread& Renderer() = 0;
    virtual void SetBrowserWindow(LONG window) = 0;
    // Node handles the library holds, and of those the script objects'.
    virtual long LibraryHandles() = 0;
    virtual long ScriptObjectHandles() = 0;
    // The page went away under the process (a live page's renderer crashed,
    // or its browser): a renderer process does not outlive its page.
    virtual bool PageGone() = 0;
    // One command's answer ("ok ..." or "error ..."): remove, fire, type,
    // choose, toggle, listeners, crash (see RendererStandinMain.cpp).
    virtual std::string Steer(const std::string& verb, const std::string& id, const std::string& rest) = 0;
};

// The snapshot stand-in over a captured page; throws when it cannot load it.
std::unique_ptr<PageSteering> SteerSnapshot(const std::wstring& snapshotPath);
// The live stand-in over the page at `url`; throws when the sidecar cannot
// open it.
std::unique_ptr<PageSteering> SteerLivePage(const std::wstring& url);

} // namespace harness
