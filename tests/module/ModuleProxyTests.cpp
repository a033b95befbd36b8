// Loading a sibling product module through the proxies, against the
// vxTestModule.dll stand-in placed in a product folder of the test's own.
#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "generated/vxOpenAppServices.h"
#include "platform/ModuleProxy.h"

using Microsoft::WRL::ComPtr;
using namespace testsupport;

namespace {

std::wstring ReadErrorDescription()
{
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info)
        return L"<none>";
    BSTR description = nullptr;
    info->GetDescription(&description);
    std::wstring text = description ? description : L"";
    SysFreeString(description);
    return text;
}

// Points the product path variable at a fresh folder for one test.
class ProductFolder
{
public:
    ProductFolder() { SetEnvironmentVariableW(L"Vantorix8_Product_Path", folder.Path().c_str()); }
    ~ProductFolder() { SetEnvironmentVariableW(L"Vantorix8_Product_Path", nullptr); }
    void Install(const std::wstring& subfolder)
    {
        std::wstring target = folder.Path();
        if (!subfolder.empty()) {
            target += L"\\" + subfolder;
            MakeDirectory(target);
        }
        ASSERT_TRUE(CopyFileTo(ExecutableDirectory() + L"\\vxTestModule.dll", target + L"\\vxTestModule.dll"));
    }
    TempDirectory folder;
};

using NotifierCount = int(WINAPI*)(int proxies);
using Broadcast = void(WINAPI*)();

template <class F>
F Export(const char* name)
{
    HMODULE module = GetModuleHandleW(L"vxTestModule.dll");
    return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

TEST(ModuleProxy, LoadsFromTheProductFolderAndSubscribesAsProxyNotifier)
{
    ProductFolder product;
    product.Install(L"");
    auto* proxy = new BaseOV::ModuleProxy<IvxModuleHidden>("vxTestModule.dll");
    proxy->Load();
    ASSERT_TRUE(proxy->IsLoaded());
    EXPECT_NE(proxy->Get(), nullptr);
    EXPECT_EQ(Export<NotifierCount>("TestModuleNotifierCount")(1), 1);
    proxy->Unload();
    EXPECT_FALSE(proxy->IsLoaded());
    EXPECT_EQ(GetModuleHandleW(L"vxTestModule.dll"), nullptr) << "the module stays loaded after Unload";
    proxy->Release();
}

TEST(ModuleProxy, FallsBackToTheExtensionsFolder)
{
    ProductFolder product;
    product.Install(L"extensions");
    auto* proxy = new BaseOV::ModuleProxy<IvxModuleHidden>("vxTestModule.dll");
    proxy->Load();
    EXPECT_TRUE(proxy->IsLoaded());
    proxy->Unload();
    proxy->Release();
    EXPECT_EQ(GetModuleHandleW(L"vxTestModule.dll"), nullptr);
}

TEST(ModuleProxy, MissingModuleLeavesErrorInformation)
{
    ProductFolder product;
    auto* proxy = new BaseOV::ModuleProxy<IvxModuleHidden>("vxTestModule.dll");
    SetErrorInfo(0, nullptr);
    proxy->Load();
    EXPECT_FALSE(proxy->IsLoaded());
    EXPECT_EQ(ReadErrorDescription(),
              L"File vxTestModule.dll not found.\nProduct located at : " + product.folder.Path());
    proxy->Release();
}

TEST(ModuleProxy, ModuleWithoutTheInterfaceIsUnloadedAgain)
{
    ProductFolder product;
    product.Install(L"");
    auto* proxy = new BaseOV::ModuleProxy<IvxModule>("vxTestModule.dll");
    proxy->Load();
    EXPECT_FALSE(proxy->IsLoaded());
    EXPECT_EQ(GetModuleHandleW(L"vxTestModule.dll"), nullptr);
    proxy->Release();
}

TEST(ModuleProxy, UnloadNoticeFromTheModuleCutsTheProxyOff)
{
    ProductFolder product;
    product.Install(L"");
    // Keep the module in memory ourselves so that its broadcast can be
    // triggered while the proxy holds it.
    HMODULE pin = LoadLibraryW((product.folder.Path() + L"\\vxTestModule.dll").c_str());
    ASSERT_NE(pin, nullptr);
    auto* proxy = new BaseOV::ModuleProxy<IvxModuleHidden>("vxTestModule.dll");
    proxy->Load();
    ASSERT_TRUE(proxy->IsLoaded());
    Export<Broadcast>("TestModuleBroadcastUnload")();
    EXPECT_FALSE(proxy->IsLoaded());
    EXPECT_EQ(proxy->Get(), nullptr);
    EXPECT_EQ(Export<NotifierCount>("TestModuleNotifierCount")(1), 0);
    proxy->Release();
    FreeLibrary(pin);
}

class ClientNotifier : public vx::com::ComObject<ClientNotifier, IovModuleIntfNotifier>
{
public:
    HRESULT STDMETHODCALLTYPE OnModuleUnload(BSTR, IovModuleIntf*) override
    {
        ++notices;
        return S_OK;
    }
    int notices = 0;
};

TEST(ModuleProxy2, ClientNotifiersFollowTheModule)
{
    ProductFolder product;
    product.Install(L"");
    HMODULE pin = LoadLibraryW((product.folder.Path() + L"\\vxTestModule.dll").c_str());
    ASSERT_NE(pin, nullptr);
    ComPtr<ClientNotifier> early, late;
    vx::com::CreateComObject(early);
    vx::com::CreateComObject(late);
    {
        BaseOV::ModuleProxy2<IvxModuleHidden> proxy("vxTestModule.dll");
        EXPECT_EQ(proxy.AddClientNotifier(early.Get()), S_OK); // stored until the load
        ASSERT_EQ(proxy.Load(), S_OK);
        EXPECT_EQ(proxy.AddClientNotifier(late.Get()), S_OK); // registered at once
        EXPECT_EQ(Export<NotifierCount>("TestModuleNotifierCount")(0), 2);
        EXPECT_EQ(Export<NotifierCount>("TestModuleNotifierCount")(1), 1);
        // The module's notice reaches the clients and unloads the proxy.
        Export<Broadcast>("TestModuleBroadcastUnload")();
        EXPECT_EQ(early->notices, 1);
        EXPECT_EQ(late->notices, 1);
        EXPECT_FALSE(proxy.IsLoaded());
        EXPECT_EQ(Export<NotifierCount>("TestModuleNotifierCount")(0), 0);
        EXPECT_EQ(Export<NotifierCount>("TestModuleNotifierCount")(1), 0);
    }
    FreeLibrary(pin);
}

TEST(ModuleProxy2, MissingModuleIsOutOfMemory)
{
    ProductFolder product;
    BaseOV::ModuleProxy2<IvxModuleHidden> proxy("vxTestModule.dll");
    EXPECT_EQ(proxy.Load(), E_OUTOFMEMORY);
    EXPECT_FALSE(proxy.IsLoaded());
}

} // namespace
