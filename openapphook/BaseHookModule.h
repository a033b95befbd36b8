#pragma once
#include <windows.h>

#include "generated/vxOpenAppServices.h"
#include "openapphook/HookModuleEventRecorder.h"
#include "openapphook/HookModuleSupports.h"
#include "platform/com/ComBoundary.h"
#include "platform/com/ComObject.h"

namespace vxOpenAppHook {

// Base of the hook modules registered with the host. The module answers the
// host's module interfaces by asking the support objects registered with
// AddSupport (in registration order, by the rule of each operation); it
// carries the module's identity (a GUID made at registration), its
// registration with the host's module registry and the recording state.
// IvxScriptEventRecorder is answered by the inner CHookModuleEventRecorder.
// Derived classes list further interfaces in MoreInterfaces; when they
// override QueryExtraInterface they pass unknown IIDs on to this class.
template <class Derived, class... MoreInterfaces>
class CBaseHookModule
    : public vx::com::ComObject<Derived, IvxModule, IvxModuleObjects, IvxModuleExtendedObjects2, IvxModuleWindows2,
                                IvxModuleControls, IvxModuleTestFixtures, IvxModuleOptions, IvxModuleSyncInvoker,
                                IvxModuleObjectRecognizer, IvxCustomControlOpenAppSupport2,
                                IvxScriptRecorderEventSource, MoreInterfaces...>
{
public:
    // IvxModule
    HRESULT STDMETHODCALLTYPE GetModuleGuid(GUID* moduleGuid) noexcept override
    try {
        if (!moduleGuid)
            return E_POINTER;
        vx::com::CriticalSectionLock guard(this->objectLock_);
        *moduleGuid = moduleGuid_;
        return S_OK;
    }
    VX_COM_CATCH

    // IvxModuleObjects
    VARIANT_BOOL STDMETHODCALLTYPE HandlesObject(VARIANT object) noexcept override
    try {
        return supports_.HandlesObject(object);
    }
    VX_COM_CATCH_RETURN(VARIANT_FALSE)
    VARIANT_BOOL STDMETHODCALLTYPE GetObjects(VARIANT parent, VARIANT* objects) noexcept override
    try {
        return supports_.GetObjects(parent, objects);
    }
    VX_COM_CATCH_RETURN(VARIANT_FALSE)
    // IvxModuleExtendedObjects2
    HRESULT STDMETHODCALLTYPE GetExtendedObject(IDispatch* object, IDispatch** extension,
                                                VARIANT_BOOL* handled) noexcept override
    try {
        return supports_.GetExtendedObject(object, extension, handled);
    }
    VX_COM_CATCH
    // IvxModuleWindows2
    VARIANT_BOOL STDMETHODCALLTYPE GetObjectFromWindow(LONG_PTR window, IDispatch** object) noexcept override
    try {
        return supports_.GetObjectFromWindow(window, object);
    }
    VX_COM_CATCH_RETURN(VARIANT_FALSE)
    VARIANT_BOOL STDMETHODCALLTYPE GetWindowFromObject(IDispatch* object, LONG_PTR* window) noexcept override
    try {
        return supports_.GetWindowFromObject(object, window);
    }
    VX_COM_CATCH_RETURN(VARIANT_FALSE)
    // IvxModuleControls
    VARIANT_BOOL STDMETHODCALLTYPE IsControl(IDispatch* object) noexcept override
    try {
        return supports_.IsControl(object);
    }
    VX_COM_CATCH_RETURN(VARIANT_FALSE)
    VARIANT_BOOL STDMETHODCALLTYPE GetObjectFromPoint(IDispatch* windowObject, LONG x, LONG y, LONG_PTR* window,
                                                      IDispatch** object) noexcept override
    try {
        return supports_.GetObjectFromPoint(windowObject, x, y, window, object);
    }
    VX_COM_CATCH_RETURN(VARIANT_FALSE)
    VARIANT_BOOL STDMETHODCALLTYPE GetFocusedObject(IDispatch* windowObject, LONG_PTR* window,
                                                    IDispatch** object) noexcept override
    try {
        return supports_.GetFocusedObject(windowObject, window, object);
    }
    VX_COM_CATCH_RETURN(VARIANT_FALSE)
    // IvxModuleTestFixtures
    LONG STDMETHODCALLTYPE GetFixtureCount() noexcept override
    try {
        return supports_.GetFixtureCount();
    }
    VX_COM_CATCH_RETURN(0)
    HRESULT STDMETHODCALLTYPE RunFixture(LONG index, VARIANT argument) noexcept override
    try {
        return supports_.RunFixture(index, argument);
    }
    VX_COM_CATCH
    // IvxModuleOptions
    HRESULT STDMETHODCALLTYPE SetOption(const GUID* key, VARIANT value) noexcept override
    try {
        return supports_.SetOption(key, value);
    }
    VX_COM_CATCH
    // IvxModuleSyncInvoker
    HRESULT STDMETHODCALLTYPE InvokeSynchronized(IDispatch* target, LONG operation, VARIANT* data) noexcept override
    try {
        return supports_.InvokeSynchronized(target, operation, data);
    }
    VX_COM_CATCH
    // IvxModuleObjectRecognizer
    HRESULT STDMETHODCALLTYPE RecognizeObject(IDispatch* object, VARIANT* recognized) noexcept override
    try {
        return supports_.RecognizeObject(object, recognized);
    }
    VX_COM_CATCH
    // IvxCustomControlOpenAppSupport2 (also answered as IvxCustomControlOpenAppSupport)
    HRESULT STDMETHODCALLTYPE GetCustomObject(IDispatch* object, IUnknown** result) noexcept override
    try {
        return supports_.GetCustomObject(object, result);
    }
    VX_COM_CATCH
    HRESULT STDMETHODCALLTYPE GetClassInfo(IDispatch* element, IUnknown** classInfo) noexcept override
    try {
        return supports_.GetClassInfo(element, classInfo);
    }
    VX_COM_CATCH
    HRESULT STDMETHODCALLTYPE GetItemObject(IDispatch* object, VARIANT item, IUnknown** result) noexcept override
    try {
        return supports_.GetItemObject(object, item, result);
    }
    VX_COM_CATCH
    HRESULT STDMETHODCALLTYPE GetWindowObject(LONG_PTR window, IUnknown** result) noexcept override
    try {
        return supports_.GetWindowObject(window, result);
    }
    VX_COM_CATCH
    HRESULT STDMETHODCALLTYPE CreateCustomControl(IDispatch* parent, BSTR className, VARIANT data, LONG_PTR window,
                                                  IUnknown* context, IDispatch** result) noexcept override
    try {
        return supports_.CreateCustomControl(parent, className, data, window, context, result);
    }
    VX_COM_CATCH
    // IvxScriptRecorderEventSource
    HRESULT STDMETHODCALLTYPE SetRecorderSink(IUnknown* sink) noexcept override
    try {
        return supports_.SetRecorderSink(sink);
    }
    VX_COM_CATCH
    HRESULT STDMETHODCALLTYPE ReleaseRecorderSink() noexcept override
    try {
        return supports_.ReleaseRecorderSink();
    }
    VX_COM_CATCH
    HRESULT STDMETHODCALLTYPE ProcessRecordedEvent(IUnknown* eventRecord, IUnknown* recorder) noexcept override
    try {
        return supports_.ProcessRecordedEvent(eventRecord, recorder);
    }
    VX_COM_CATCH

    // Unregisters from the host and releases every support.
    virtual void Shutdown() { UnregisterFromHost(); }

    // Registers a support object with every host interface it answers.
    // Derived modules extend it with lists of their own after this succeeds.
    virtual HRESULT AddSupport(IUnknown* support) { return supports_.AddSupport(support); }

    bool IsRecording() { return supports_.IsRecording(); }

protected:
    CBaseHookModule() noexcept : recorder_(*this->Identity(), supports_) {}

    void* QueryExtraInterface(REFIID riid) override
    {
        if (IsEqualIID(riid, __uuidof(IvxCustomControlOpenAppSupport)))
            return static_cast<IvxCustomControlOpenAppSupport*>(static_cast<IvxCustomControlOpenAppSupport2*>(this));
        if (IsEqualIID(riid, __uuidof(IvxScriptEventRecorder)))
            return static_cast<IvxScriptEventRecorder*>(&recorder_);
        return nullptr;
    }

    // Makes the module GUID, keeps the registry and registers the module;
    // E_FAIL when the registry refuses it.
    HRESULT RegisterWithHost(IvxModuleRegistry* registry)
    {
        if (!registry)
            return E_POINTER;
        GUID guid;
        HRESULT hr = CoCreateGuid(&guid);
        if (FAILED(hr))
            return hr;
        {
            vx::com::CriticalSectionLock guard(this->objectLock_);
            moduleGuid_ = guid;
            registry_ = registry;
        }
        if (registry->RegisterModule(static_cast<IvxModule*>(this)) == VARIANT_FALSE)
            return E_FAIL;
        return S_OK;
    }

    // Takes the registry reference out under the lock and unregisters the
    // module with it (nothing when it was never registered), then releases
    // every support and the recorder sink.
    void UnregisterFromHost()
    {
        Microsoft::WRL::ComPtr<IvxModuleRegistry> registry;
        GUID guid;
        {
            vx::com::CriticalSectionLock guard(this->objectLock_);
            registry = std::move(registry_);
            guid = moduleGuid_;
        }
        if (registry)
            registry->UnregisterModule(&guid);
        supports_.Clear();
    }

    HookModuleSupports& Supports() noexcept { return supports_; }

private:
    GUID moduleGuid_ = GUID_NULL;
    Microsoft::WRL::ComPtr<IvxModuleRegistry> registry_;
    HookModuleSupports supports_;
    CHookModuleEventRecorder recorder_;
};

} // namespace vxOpenAppHook
