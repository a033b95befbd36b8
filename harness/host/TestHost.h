#pragma once
// The hook host stand-in: the objects the engine's hook host hands to a hook
// library (host object, module registry, message service). Each records what
// the library did to it, and can be told to refuse.
#include <windows.h>

#include <string>
#include <vector>

#include "generated/vxOpenAppServices.h"
#include "platform/com/ComObject.h"

namespace harness {

struct RegisteredModule
{
    GUID guid = GUID_NULL;
    Microsoft::WRL::ComPtr<IUnknown> module;
};

class TestModuleRegistry : public vx::com::ComObject<TestModuleRegistry, IvxModuleRegistry>
{
public:
    HRESULT STDMETHODCALLTYPE GetModuleCount(LONG* count) override;
    VARIANT_BOOL STDMETHODCALLTYPE RegisterModule(IUnknown* module) override;
    HRESULT STDMETHODCALLTYPE UnregisterModule(const GUID* moduleGuid) override;

    // Refuse the n-th registration from now on (1 = the next one); 0 accepts all.
    void RefuseRegistration(int n);

    std::vector<RegisteredModule> Registered();
    std::vector<GUID> Unregistered();
    int RegisterCalls();

private:
    std::vector<RegisteredModule> registered_;
    std::vector<GUID> unregistered_;
    int registerCalls_ = 0;
    int refuseAt_ = 0;
};

struct ShownMessage
{
    std::wstring identifier;
    LONG_PTR window = 0;
    LONG reserved = 0;
    std::wstring caption;
    std::wstring text;
    ULONG helpContext = 0;
    SHORT reserved2 = 0;
};

class TestHostMessages : public vx::com::ComObject<TestHostMessages, IvxHostMessages>
{
public:
    HRESULT STDMETHODCALLTYPE ShowMessage(BSTR messageId, LONG_PTR window, LONG reserved, BSTR caption, BSTR text,
                                          ULONG helpContext, SHORT reserved2) override;
    std::vector<ShownMessage> Shown();

private:
    std::vector<ShownMessage> shown_;
};

// An object offered as the message service that lacks IvxHostMessages.
class NotAMessageService : public vx::com::ComObject<NotAMessageService, IUnknown>
{
};

enum class MessageServiceMode {
    Offered,
    NotOffered,
    WithoutInterface,
};

class TestHookHost : public vx::com::ComObject<TestHookHost, IvxHookHost>
{
public:
    HRESULT FinalConstruct() override;

    HRESULT STDMETHODCALLTYPE GetModuleRegistry(IUnknown** registry) override;
    VARIANT_BOOL STDMETHODCALLTYPE GetHostService(const IID* service, IUnknown** result) override;

    TestModuleRegistry& Registry() { return *registry_.Get(); }
    TestHostMessages& Messages() { return *messages_.Get(); }
    void SetMessageServiceMode(MessageServiceMode mode) { messageMode_ = mode; }
    // When set, GetModuleRegistry hands out an object without IvxModuleRegistry.
    void OfferBrokenRegistry(bool broken) { brokenRegistry_ = broken; }

private:
    Microsoft::WRL::ComPtr<TestModuleRegistry> registry_;
    Microsoft::WRL::ComPtr<TestHostMessages> messages_;
    MessageServiceMode messageMode_ = MessageServiceMode::Offered;
    bool brokenRegistry_ = false;
};

std::wstring GuidText(const GUID& guid);

// The library of the test layout, seen from a program in the build's bin
// folder: ..\layout\vxCrHook.dll.
std::wstring DefaultLibraryPath();

} // namespace harness
