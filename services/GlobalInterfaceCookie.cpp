#include "services/GlobalInterfaceCookie.h"

#include "services/ServiceConnection.h"

using Microsoft::WRL::ComPtr;

HRESULT GlobalInterfaceCookie::Register(IUnknown* object, REFIID iid)
{
    Reset();
    if (!object)
        return S_OK;
    ComPtr<IGlobalInterfaceTable> table;
    HRESULT hr = GetServiceInterfaceTable(table);
    if (FAILED(hr))
        return hr;
    DWORD cookie = 0;
    hr = table->RegisterInterfaceInGlobal(object, iid, &cookie);
    if (FAILED(hr))
        return hr;
    cookie_ = cookie;
    return S_OK;
}

HRESULT GlobalInterfaceCookie::Fetch(REFIID iid, void** object) const
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!cookie_)
        return E_FAIL;
    ComPtr<IGlobalInterfaceTable> table;
    HRESULT hr = GetServiceInterfaceTable(table);
    if (FAILED(hr))
        return hr;
    hr = table->GetInterfaceFromGlobal(cookie_, iid, object);
    if (SUCCEEDED(hr) && !*object)
        hr = E_FAIL;
    return hr;
}

void GlobalInterfaceCookie::Reset() noexcept
{
    DWORD cookie = std::exchange(cookie_, 0);
    if (!cookie)
        return;
    ComPtr<IGlobalInterfaceTable> table;
    if (SUCCEEDED(GetServiceInterfaceTable(table)))
        table->RevokeInterfaceFromGlobal(cookie);
}
