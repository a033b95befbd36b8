#include "recording/WebObjectClassInfo.h"

#include <oleauto.h>

#include <utility>

#include "comhelp/WindowThreadRunner.h"
#include "recording/WebControlDetection.h"

namespace vxCrRecording {

using Microsoft::WRL::ComPtr;

const GUID CvxWebObjectClassInfo::ClassInfoId = {
    0x5487350F, 0x6929, 0x48D4, {0x9F, 0x03, 0x37, 0xC6, 0xDA, 0x71, 0xCF, 0xBC}};

namespace {

struct DetectionCall
{
    IvxWebObject* webObject = nullptr;
    vx::com::BStr className;
};

void __stdcall RunDetection(void* value)
{
    auto* call = static_cast<DetectionCall*>(value);
    DetectWebControl(call->webObject, call->className.Out());
}

} // namespace

STDMETHODIMP CvxWebObjectClassInfo::GetClassInfoId(GUID* id) noexcept
try {
    if (!id)
        return E_POINTER;
    *id = ClassInfoId;
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CvxWebObjectClassInfo::GetClassName(BSTR* className) noexcept
try {
    if (!className)
        return E_POINTER;
    *className = nullptr;
    DetectOnce();
    vx::com::CriticalSectionLock guard(objectLock_);
    if (className_.Empty())
        return E_FAIL;
    *className = SysAllocStringLen(className_.Get(), className_.Length());
    return *className ? S_OK : E_OUTOFMEMORY;
}
VX_COM_CATCH

STDMETHODIMP CvxWebObjectClassInfo::GetClassFlags(LONG* flags) noexcept
try {
    if (flags)
        *flags = 0;
    return E_NOTIMPL;
}
VX_COM_CATCH

STDMETHODIMP CvxWebObjectClassInfo::GetClassDetails() noexcept
try {
    return E_NOTIMPL;
}
VX_COM_CATCH

void CvxWebObjectClassInfo::DetectOnce()
{
    DetectionCall call;
    ComPtr<IvxWebObject> webObject;
    {
        vx::com::CriticalSectionLock guard(objectLock_);
        if (computed_)
            return;
        webObject = webObject_;
    }
    call.webObject = webObject.Get();
    bool ran = false;
    if (pageWindow_ && IsWindow(pageWindow_) && GetWindowThreadProcessId(pageWindow_, nullptr) != GetCurrentThreadId())
        ran = ovComHelp_EXP::RunOnWindowThread(pageWindow_, &RunDetection, &call);
    if (!ran)
        RunDetection(&call);

    ComPtr<IvxWebObject> released; // let go of outside the lock
    vx::com::CriticalSectionLock guard(objectLock_);
    if (computed_)
        return;
    className_ = std::move(call.className);
    computed_ = true;
    released = std::move(webObject_);
}

HRESULT CreateWebObjectClassInfo(IDispatch* element, IUnknown** classInfo) noexcept
{
    if (!classInfo)
        return E_POINTER;
    *classInfo = nullptr;
    return vx::com::CallAsBoundary([&]() -> HRESULT {
        ComPtr<IvxObject> object;
        if (!element || FAILED(element->QueryInterface(IID_PPV_ARGS(&object))))
            return E_INVALIDARG;
        ComPtr<IvxWebObject> webObject;
        if (FAILED(element->QueryInterface(IID_PPV_ARGS(&webObject))))
            return E_NOTIMPL;
        HWND pageWindow = nullptr;
        ComPtr<IvxObjectWithPivotWindow> pivot;
        if (SUCCEEDED(element->QueryInterface(IID_PPV_ARGS(&pivot))) && FAILED(pivot->GetPivotWindow(&pageWindow)))
            pageWindow = nullptr;
        ComPtr<CvxWebObjectClassInfo> created;
        HRESULT hr = vx::com::CreateComObject(created, webObject.Get(), pageWindow);
        if (FAILED(hr))
            return hr;
        *classInfo = created->Identity();
        (*classInfo)->AddRef();
        return S_OK;
    });
}

} // namespace vxCrRecording
