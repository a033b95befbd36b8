// Registered notifiers and the delivery of notifications to them.
#include "NotifierRegistry.h"

#include <algorithm>

using Microsoft::WRL::ComPtr;

namespace chrome_standin {

HRESULT NotifierRegistry::Table(ComPtr<IGlobalInterfaceTable>& table) const
{
    return CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_IGlobalInterfaceTable,
                            reinterpret_cast<void**>(table.GetAddressOf()));
}

HRESULT NotifierRegistry::Add(IDispatch* notifier, const std::wstring& detail, LONG& registrationId)
{
    ComPtr<IGlobalInterfaceTable> table;
    HRESULT hr = Table(table);
    if (FAILED(hr))
        return hr;
    Entry entry;
    entry.detail = detail;
    hr = table->RegisterInterfaceInGlobal(notifier, IID_IDispatch, &entry.cookie);
    if (FAILED(hr))
        return hr;
    std::lock_guard<std::mutex> lock(mutex_);
    entry.id = registrationId = ++nextId_;
    entries_.push_back(std::move(entry));
    return S_OK;
}

void NotifierRegistry::Remove(LONG registrationId)
{
    DWORD cookie = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found =
            std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.id == registrationId; });
        if (found == entries_.end())
            return;
        cookie = found->cookie;
        entries_.erase(found);
    }
    ComPtr<IGlobalInterfaceTable> table;
    if (SUCCEEDED(Table(table)))
        table->RevokeInterfaceFromGlobal(cookie);
}

void NotifierRegistry::Enable(LONG registrationId, bool enable)
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (Entry& entry : entries_)
        if (entry.id == registrationId)
            entry.enabled = enable;
}

std::vector<LONG> NotifierRegistry::Enabled() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<LONG> ids;
    for (const Entry& entry : entries_)
        if (entry.enabled)
            ids.push_back(entry.id);
    return ids;
}

void NotifierRegistry::Deliver(const std::vector<LONG>& registrations, DISPID member, const VARIANT& argument)
{
    ComPtr<IGlobalInterfaceTable> table;
    if (FAILED(Table(table)))
        return;
    for (LONG id : registrations) {
        DWORD cookie = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto found =
                std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.id == id && e.enabled; });
            if (found == entries_.end())
                continue;
            cookie = found->cookie;
        }
        ComPtr<IDispatch> notifier;
        if (FAILED(table->GetInterfaceFromGlobal(cookie, IID_IDispatch,
                                                 reinterpret_cast<void**>(notifier.GetAddressOf()))))
            continue;
        VARIANT argumentCopy = argument; // [in]: the callee does not free it
        DISPPARAMS parameters = {&argumentCopy, nullptr, 1, 0};
        VARIANT result;
        VariantInit(&result);
        HRESULT hr = notifier->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, &result,
                                      nullptr, nullptr);
        VariantClear(&result);
        if (hr == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE) || hr == RPC_E_DISCONNECTED)
            Remove(id);
    }
}

void NotifierRegistry::RevokeAll()
{
    std::vector<Entry> entries;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        entries.swap(entries_);
    }
    if (entries.empty())
        return;
    ComPtr<IGlobalInterfaceTable> table;
    if (FAILED(Table(table)))
        return;
    for (const Entry& entry : entries)
        table->RevokeInterfaceFromGlobal(entry.cookie);
}

size_t NotifierRegistry::Count() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}

std::vector<std::wstring> NotifierRegistry::Details() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::wstring> details;
    for (const Entry& entry : entries_)
        details.push_back(entry.detail);
    return details;
}

} // namespace chrome_standin
