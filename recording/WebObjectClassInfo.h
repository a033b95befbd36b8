#pragma once
// The class information the engine asks for about a page element: the
// vendor web-control class that the element belongs to, detected once.
#include <windows.h>
#include <wrl/client.h>

#include "generated/vxOpenAppServices.h"
#include "platform/com/BStr.h"
#include "platform/com/ComBoundary.h"
#include "platform/com/ComObject.h"

namespace vxCrRecording {

class CvxWebObjectClassInfo : public vx::com::ComObject<CvxWebObjectClassInfo, IvxCtrlClassInfo>
{
public:
    // {5487350F-6929-48D4-9F03-37C6DA71CFBC}
    static const GUID ClassInfoId;

    // `pageWindow` is the window that shows the element's page (may be
    // null): the detection runs on its thread.
    CvxWebObjectClassInfo(IvxWebObject* webObject, HWND pageWindow) noexcept
        : webObject_(webObject), pageWindow_(pageWindow)
    {
    }

    // IvxCtrlClassInfo
    STDMETHODIMP GetClassInfoId(GUID* id) noexcept override;
    // The detected class; E_FAIL when the element is no known control. The
    // first call runs the detection, later calls answer what it found.
    STDMETHODIMP GetClassName(BSTR* className) noexcept override;
    STDMETHODIMP GetClassFlags(LONG* flags) noexcept override;
    STDMETHODIMP GetClassDetails() noexcept override;

private:
    // Runs the detection unless it ran already: on the page window's thread
    // when that window belongs to another thread of this process, on the
    // calling thread when there is none or that run does not complete. No
    // lock is held while it runs; two first calls at the same moment may
    // both detect, and the first to finish is kept.
    void DetectOnce();

    Microsoft::WRL::ComPtr<IvxWebObject> webObject_; // released once detected
    HWND pageWindow_;
    vx::com::BStr className_;
    bool computed_ = false;
};

// A new class-information object for the element test object `element`.
// E_INVALIDARG when the element does not answer IvxObject, E_NOTIMPL when it
// does not answer IvxWebObject. The page's window is the one the element is
// measured against (IvxObjectWithPivotWindow, the tab's render widget
// window for the library's element objects); without it the detection runs
// on the thread that asks for the class name.
HRESULT CreateWebObjectClassInfo(IDispatch* element, IUnknown** classInfo) noexcept;

} // namespace vxCrRecording
