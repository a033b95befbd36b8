#include "comhelp/GlobalInterfaceCookie.h"

#include "comhelp/ComHelpProxy.h"

using Microsoft::WRL::ComPtr;

HRESULT GetGlobalInterfaceTable(ComPtr<IGlobalInterfaceTable>& table)
{
    table.Reset();
    ComPtr<IovComHelpProxyDisposable> comHelp;
    if (SUCCEEDED(ovComHelp_EXP::GetComHelpProxy(comHelp)) && SUCCEEDED(comHelp->GetGlobalInterfaceTable(&table)) &&
        table)
        return S_OK;
    return CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_IGlobalInterfaceTable,
                            reinterpret_cast<void**>(table.ReleaseAndGetAddressOf()));
}

HRESULT GlobalInterfaceCookie::Register(IUnknown* object, REFIID iid)
{
    Reset();
    if (!object)
        return S_OK;
    ComPtr<IGlobalInterfaceTable> table;
    HRESULT hr = GetGlobalInterfaceTable(table);
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
    HRESULT hr = GetGlobalInterfaceTable(table);
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
    if (SUCCEEDED(GetGlobalInterfaceTable(table)))
        table->RevokeInterfaceFromGlobal(cookie);
}
