#pragma once
// The two subscriber lists every product module keeps behind IovModuleIntf:
// clients and module proxies that want to hear of its unload. Shared by the
// product-module stand-ins (test equipment).
#include <windows.h>
#include <wrl/client.h>

#include <algorithm>
#include <vector>

#include "generated/ovModule.h"
#include "platform/com/CriticalSection.h"

namespace harness {

class ModuleNotifierLists
{
public:
    using List = std::vector<Microsoft::WRL::ComPtr<IovModuleIntfNotifier>>;

    // E_FAIL when the notifier is already in that list.
    HRESULT Add(bool proxy, IovModuleIntfNotifier* notifier)
    {
        if (!notifier)
            return E_POINTER;
        vx::com::CriticalSectionLock guard(lock_);
        List& list = proxy ? proxies_ : clients_;
        if (std::any_of(list.begin(), list.end(), [&](const auto& entry) { return entry.Get() == notifier; }))
            return E_FAIL;
        list.emplace_back(notifier);
        return S_OK;
    }

    // S_OK whether or not it was there; the reference goes outside the lock.
    HRESULT Remove(bool proxy, IovModuleIntfNotifier* notifier)
    {
        Microsoft::WRL::ComPtr<IovModuleIntfNotifier> removed;
        vx::com::CriticalSectionLock guard(lock_);
        List& list = proxy ? proxies_ : clients_;
        auto it = std::find_if(list.begin(), list.end(), [&](const auto& entry) { return entry.Get() == notifier; });
        if (it != list.end()) {
            removed.Swap(*it);
            list.erase(it);
        }
        return S_OK;
    }

    // Everyone to tell of the unload: clients first, then proxies.
    List Subscribers()
    {
        vx::com::CriticalSectionLock guard(lock_);
        List all = clients_;
        all.insert(all.end(), proxies_.begin(), proxies_.end());
        return all;
    }

    int Count(bool proxies)
    {
        vx::com::CriticalSectionLock guard(lock_);
        return static_cast<int>((proxies ? proxies_ : clients_).size());
    }

private:
    vx::com::CriticalSection lock_;
    List clients_;
    List proxies_;
};

} // namespace harness
