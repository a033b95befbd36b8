#pragma once
// The notifiers registered with one stand-in service. Each is kept in the
// process's global interface table, so it can be called from the stand-in's
// own thread whatever apartment registered it. A notifier whose process is
// gone (RPC_S_SERVER_UNAVAILABLE, RPC_E_DISCONNECTED) is dropped.
#include <windows.h>
#include <objidl.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <mutex>
#include <string>
#include <vector>

namespace chrome_standin {

class NotifierRegistry
{
public:
    NotifierRegistry() = default;
    ~NotifierRegistry() { RevokeAll(); }
    NotifierRegistry(const NotifierRegistry&) = delete;
    NotifierRegistry& operator=(const NotifierRegistry&) = delete;

    HRESULT Add(IDispatch* notifier, const std::wstring& detail, LONG& registrationId);
    void Remove(LONG registrationId);
    void Enable(LONG registrationId, bool enable);
    // The enabled registrations now (whom a change happening now concerns).
    std::vector<LONG> Enabled() const;
    // Calls `member` with one argument on each of `registrations` still
    // registered and enabled; failures other than a vanished process are
    // ignored.
    void Deliver(const std::vector<LONG>& registrations, DISPID member, const VARIANT& argument);
    void RevokeAll();

    size_t Count() const;
    // The detail strings given at registration (the library path, for the
    // browser events), in registration order.
    std::vector<std::wstring> Details() const;

private:
    struct Entry
    {
        LONG id = 0;
        DWORD cookie = 0;
        bool enabled = true;
        std::wstring detail;
    };
    HRESULT Table(Microsoft::WRL::ComPtr<IGlobalInterfaceTable>& table) const;

    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
    LONG nextId_ = 0;
};

} // namespace chrome_standin
