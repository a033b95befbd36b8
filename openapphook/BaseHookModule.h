#pragma once
#include <windows.h>

#include "generated/vxOpenAppServices.h"
#include "openapphook/HookModuleEventRecorder.h"
#include "openapphook/HookModuleSupports.h"
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
    HRESULT STDMETHODCALLTYPE GetModuleGuid(GUID* moduleGuid) override
    {
        if (!moduleGuid)
            return E_POINTER;
        vx::com::CriticalSectionLock guard(this->objectLock_);
        *moduleGuid = moduleGuid_;
        return S_OK;
    }

    // IvxModuleObjects
    VARIANT_BOOL STDMETHODCALLTYPE HandlesObject(VARIANT object) override { return supports_.HandlesObject(object); }
    VARIANT_BOOL STDMETHODCALLTYPE GetObjects(VARIANT parent, VARIANT* objects) override
    {
        return supports_.GetObjects(parent, objects);
    }
    // IvxModuleExtendedObjects2
    HRESULT STDMETHODCALLTYPE GetExtendedObject(IDispatch* object, IDispatch** extension,
                                                VARIANT_BOOL* handled) override
    {
        return supports_.GetExtendedObject(object, extension, handled);
    }
    // IvxModuleWindows2
    VARIANT_BOOL STDMETHODCALLTYPE GetObjectFromWindow(LONG_PTR window, IDispatch** object) override
    {
        return supports_.GetObjectFromWindow(window, object);
    }
    VARIANT_BOOL STDMETHODCALLTYPE GetWindowFromObject(IDispatch* object, LONG_PTR* window) override
    {
        return supports_.GetWindowFromObject(object, window);
    }
    // IvxModuleControls
    VARIANT_BOOL STDMETHODCALLTYPE IsControl(IDispatch* object) override { return supports_.IsControl(object); }
    VARIANT_BOOL STDMETHODCALLTYPE GetObjectFromPoint(IDispatch* windowObject, LONG x, LONG y, LONG_PTR* window,
                                                      IDispatch** object) override
    {
        return supports_.GetObjectFromPoint(windowObject, x, y, window, object);
    }
    VARIANT_BOOL STDMETHODCALLTYPE GetFocusedObject(IDispatch* windowObject, LONG_PTR* window,
                                                    IDispatch** object) override
    {
        return supports_.GetFocusedObject(windowObject, window, object);
    }
    // IvxModuleTestFixtures
    LONG STDMETHODCALLTYPE GetFixtureCount() override { return supports_.GetFixtureCount(); }
    HRESULT STDMETHODCALLTYPE RunFixture(LONG index, VARIANT argument) override
    {
        return supports_.RunFixture(index, argument);
    }
    // IvxModuleOptions
    HRESULT STDMETHODCALLTYPE SetOption(const GUID* key, VARIANT value) override
    {
        return supports_.SetOption(key, value);
    }
    // IvxModuleSyncInvoker
    HRESULT STDMETHODCALLTYPE InvokeSynchronized(IDispatch* target, LONG operation, VARIANT* data) override
    {
        return supports_.InvokeSynchronized(target, operation, data);
    }
    // IvxModuleObjectRecognizer
    HRESULT STDMETHODCALLTYPE RecognizeObject(IDispatch* object, VARIANT* recognized) override
    {
        return supports_.RecognizeObject(object, recognized);
    }
    // IvxCustomControlOpenAppSupport2 (also answered as IvxCustomControlOpenAppSupport)
    HRESULT STDMETHODCALLTYPE GetCustomObject(IDispatch* object, IUnknown** result) override
    {
        return supports_.GetCustomObject(object, result);
    }
    HRESULT STDMETHODCALLTYPE GetClassInfo(IDispatch* element, IUnknown** classInfo) override
    {
        return supports_.GetClassInfo(element, classInfo);
    }
    HRESULT STDMETHODCALLTYPE GetItemObject(IDispatch* object, VARIANT item, IUnknown** result) override
    {
        return supports_.GetItemObject(object, item, result);
    }
    HRESULT STDMETHODCALLTYPE GetWindowObject(LONG_PTR window, IUnknown** result) override
    {
        return supports_.GetWindowObject(window, result);
    }
    HRESULT STDMETHODCALLTYPE CreateCustomControl(IDispatch* parent, BSTR className, VARIANT data, LONG_PTR window,
                                                  IUnknown* context, IDispatch** result) override
    {
        return supports_.CreateCustomControl(parent, className, data, window, context, result);
    }
    // IvxScriptRecorderEventSource
    HRESULT STDMETHODCALLTYPE SetRecorderSink(IUnknown* sink) override { return supports_.SetRecorderSink(sink); }
    HRESULT STDMETHODCALLTYPE ReleaseRecorderSink() override { return supports_.ReleaseRecorderSink(); }
    HRESULT STDMETHODCALLTYPE ProcessRecordedEvent(IUnknown* eventRecord, IUnknown* recorder) override
    {
        return supports_.ProcessRecordedEvent(eventRecord, recorder);
    }

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
