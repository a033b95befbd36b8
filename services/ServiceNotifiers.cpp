#include "services/ServiceNotifiers.h"

#include <oleauto.h>

#include <iterator>

#include "openapphook/ExceptionGuard.h"
#include "platform/com/ComBoundary.h"
#include "platform/com/Variant.h"
#include "services/BrowserServiceRemote.h"
#include "services/TabRecords.h"
#include "services/TabsServiceRemote.h"

using Microsoft::WRL::ComPtr;
using service_notifier_detail::Argument;
using service_notifier_detail::NotifierMember;
using vx::com::CriticalSectionLock;

namespace {

// Operation identifiers under which faults inside the notifiers are reported.
constexpr wchar_t kBrowserEventsOperation[] = L"754F5964-CA5D-4EDF-AEF3-41E8B36E2854";
constexpr wchar_t kTabsEventsOperation[] = L"70FBFECF-F6A2-4479-B86B-BE312F6D438B";

const NotifierMember kBrowserEventsMembers[] = {
    {CCrBrowserEventsNotifier::kOnRemoveBrowser, L"OnRemoveBrowser"},
};

const NotifierMember kTabsMembers[] = {
    {CCrTabsNotifierRemote::kOnTabCreated, L"OnTabCreated"},
    {CCrTabsNotifierRemote::kOnTabRemoved, L"OnTabRemoved"},
    {CCrTabsNotifierRemote::kOnTabUpdated, L"OnTabUpdated"},
};

bool IsMember(const NotifierMember* members, size_t count, DISPID id)
{
    for (size_t i = 0; i < count; ++i)
        if (members[i].id == id)
            return true;
    return false;
}

// Coerces an argument the way DispInvoke would for a typed parameter.
bool CoerceArgument(const VARIANT* argument, VARTYPE type, vx::com::Variant& value)
{
    if (!argument)
        return false;
    return SUCCEEDED(VariantChangeType(value.Get(), const_cast<VARIANT*>(argument), 0, type)) && value.Type() == type;
}

// Refuses calls that are not one of the notifier's methods; a method call
// goes on (missing arguments included: the method then does nothing).
HRESULT CheckInvoke(const NotifierMember* members, size_t count, DISPID member, REFIID riid, WORD flags,
                    VARIANT* result)
{
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (!IsMember(members, count, member))
        return DISP_E_MEMBERNOTFOUND;
    if (!(flags & DISPATCH_METHOD))
        return DISP_E_MEMBERNOTFOUND;
    if (result)
        VariantInit(result);
    return S_OK;
}

} // namespace

namespace service_notifier_detail {

HRESULT FindMemberIds(const NotifierMember* members, size_t count, LPOLESTR* names, UINT nameCount, DISPID* ids)
{
    if (!names || !ids)
        return E_POINTER;
    if (nameCount == 0)
        return S_OK;
    HRESULT hr = S_OK;
    ids[0] = DISPID_UNKNOWN;
    for (size_t i = 0; i < count; ++i)
        if (names[0] && lstrcmpiW(names[0], members[i].name) == 0)
            ids[0] = members[i].id;
    if (ids[0] == DISPID_UNKNOWN)
        hr = DISP_E_UNKNOWNNAME;
    // The methods have no named arguments.
    for (UINT i = 1; i < nameCount; ++i) {
        ids[i] = DISPID_UNKNOWN;
        hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

const VARIANT* Argument(const DISPPARAMS* parameters, UINT index)
{
    if (!parameters || !parameters->rgvarg || index >= parameters->cArgs)
        return nullptr;
    const VARIANT* argument = &parameters->rgvarg[parameters->cArgs - 1 - index];
    if (V_VT(argument) == (VT_BYREF | VT_VARIANT))
        argument = V_VARIANTREF(argument);
    return argument;
}

} // namespace service_notifier_detail

// ---------------------------------------------------------------------------
// CCrBrowserEventsNotifier

CCrBrowserEventsNotifier::~CCrBrowserEventsNotifier() = default;

STDMETHODIMP CCrBrowserEventsNotifier::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept
try {
    return service_notifier_detail::FindMemberIds(kBrowserEventsMembers, std::size(kBrowserEventsMembers), names, count,
                                                  ids);
}
VX_COM_CATCH

STDMETHODIMP CCrBrowserEventsNotifier::Invoke(DISPID member, REFIID riid, LCID, WORD flags, DISPPARAMS* parameters,
                                              VARIANT* result, EXCEPINFO*, UINT*) noexcept
try {
    HRESULT hr = CheckInvoke(kBrowserEventsMembers, std::size(kBrowserEventsMembers), member, riid, flags, result);
    if (FAILED(hr))
        return hr;
    vxOpenAppHook::RunGuarded(kBrowserEventsOperation, [&] {
        vx::com::Variant key;
        if (!CoerceArgument(Argument(parameters, 0), VT_BSTR, key))
            return;
        if (ComPtr<CCrBrowserServiceRemote> service = AttachedService())
            service->OnRemoveBrowser(V_BSTR(key.Get()));
    });
    return S_OK;
}
VX_COM_CATCH

// ---------------------------------------------------------------------------
// CCrTabsNotifierRemote

CCrTabsNotifierRemote::~CCrTabsNotifierRemote() = default;

STDMETHODIMP CCrTabsNotifierRemote::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept
try {
    return service_notifier_detail::FindMemberIds(kTabsMembers, std::size(kTabsMembers), names, count, ids);
}
VX_COM_CATCH

STDMETHODIMP CCrTabsNotifierRemote::Invoke(DISPID member, REFIID riid, LCID, WORD flags, DISPPARAMS* parameters,
                                           VARIANT* result, EXCEPINFO*, UINT*) noexcept
try {
    HRESULT hr = CheckInvoke(kTabsMembers, std::size(kTabsMembers), member, riid, flags, result);
    if (FAILED(hr))
        return hr;
    vxOpenAppHook::RunGuarded(kTabsEventsOperation, [&] {
        ComPtr<CCrTabsServiceRemote> service = AttachedService();
        if (!service)
            return;
        if (member == kOnTabRemoved) {
            vx::com::Variant tabId;
            if (CoerceArgument(Argument(parameters, 0), VT_I4, tabId))
                service->OnTabRemoved(V_I4(tabId.Get()));
            return;
        }
        const VARIANT* record = Argument(parameters, 0);
        TabInfoRecord parsed;
        if (!record || FAILED(ParseTabInfoRecord(*record, parsed)))
            return; // a malformed record changes nothing
        if (member == kOnTabCreated)
            service->OnTabCreated(parsed);
        else
            service->OnTabUpdated(parsed);
    });
    return S_OK;
}
VX_COM_CATCH
