#pragma once
// The process's global interface table, through which an interface
// registered on one thread is fetched as a proxy or direct pointer on any
// other: the COM utility module's, or the system's when that module gives
// none (there is one table per process either way).
//
// GlobalInterfaceCookie owns one registration in it: revoked when the owner
// is reset or destroyed.
#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

#include <utility>

HRESULT GetGlobalInterfaceTable(Microsoft::WRL::ComPtr<IGlobalInterfaceTable>& table);

class GlobalInterfaceCookie
{
public:
    GlobalInterfaceCookie() noexcept = default;
    ~GlobalInterfaceCookie() { Reset(); }
    GlobalInterfaceCookie(GlobalInterfaceCookie&& other) noexcept : cookie_(std::exchange(other.cookie_, 0)) {}
    GlobalInterfaceCookie& operator=(GlobalInterfaceCookie&& other) noexcept
    {
        if (this != &other) {
            Reset();
            cookie_ = std::exchange(other.cookie_, 0);
        }
        return *this;
    }
    GlobalInterfaceCookie(const GlobalInterfaceCookie&) = delete;
    GlobalInterfaceCookie& operator=(const GlobalInterfaceCookie&) = delete;

    // Registers `object` under `iid` (replacing what was held). A null object
    // leaves the owner empty and succeeds.
    HRESULT Register(IUnknown* object, REFIID iid);
    // The registered interface for the calling thread; E_FAIL when empty.
    HRESULT Fetch(REFIID iid, void** object) const;
    template <class I>
    HRESULT Fetch(Microsoft::WRL::ComPtr<I>& object) const
    {
        return Fetch(__uuidof(I), reinterpret_cast<void**>(object.ReleaseAndGetAddressOf()));
    }

    bool Empty() const noexcept { return cookie_ == 0; }
    void Reset() noexcept;

private:
    DWORD cookie_ = 0;
};
