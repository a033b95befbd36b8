// The library's entry points: the loader notification and GetModuleIntf.
#include <windows.h>

#include "module/ModuleIntf.h"
#include "module/ModuleServices.h"
#include "openapphook/TypeLibraryRegistry.h"
#include "platform/ProductPath.h"

using Microsoft::WRL::ComPtr;

namespace {

// Created with the library's static objects, before the loader notification:
// the module lock and the stub manager exist from the start.
ModuleServicesHolder& moduleServices = ModuleServicesHolder::Instance();

BOOL OnProcessAttach(HINSTANCE instance)
{
    BaseOV::SetLibraryModule(instance);
    BaseOV::EnsureProductPathVariable();

    auto& typeLibraries = vxOpenAppHook::TypeLibraries();
    if (FAILED(typeLibraries.LoadTypeLibrary(BaseOV::GetLibraryDirectory() + L"\\vxCrHook.dll")))
        return FALSE;
    if (FAILED(typeLibraries.LoadTypeLibrary(BaseOV::GetProductDirectory() + L"\\Extensions\\vxOpenAppServices.tlb"))) {
        typeLibraries.ReleaseAll();
        return FALSE;
    }
    return TRUE;
}

void OnProcessDetach()
{
    if (ComPtr<CModuleIntf> module = PeekModuleSingleton())
        module->BroadcastUnload();

    ComPtr<CModuleIntf> module;
    if (SUCCEEDED(GetModuleSingleton(module)))
        module->Detach();
    module.Reset();

    vxOpenAppHook::TypeLibraries().ReleaseAll();
    ReleaseModuleSingleton();
    moduleServices.ReleaseSynchronousInvoker();
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        (void)moduleServices;
        return OnProcessAttach(instance);
    case DLL_PROCESS_DETACH:
        OnProcessDetach();
        return TRUE;
    default:
        return TRUE;
    }
}

extern "C" HRESULT WINAPI GetModuleIntf(IUnknown** result)
{
    if (!result)
        return E_POINTER;
    *result = nullptr;
    ComPtr<CModuleIntf> module;
    HRESULT hr = GetModuleSingleton(module);
    if (FAILED(hr))
        return hr;
    return module->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(result));
}
