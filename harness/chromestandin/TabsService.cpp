// The tabs service and its notifier registration.
#include "TabsService.h"

#include "StandinRecords.h"

using Microsoft::WRL::ComPtr;

namespace chrome_standin {

STDMETHODIMP TabsService::Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO*,
                                 UINT*)
{
    if (result)
        VariantInit(result);
    HRESULT hr = link_->Rules(StandinService::Tabs).Admit(member);
    if (FAILED(hr))
        return hr;
    StandinLink::Pass pass(*link_);
    if (!pass.Host())
        return kServerGone;
    return Answer(*pass.Host(), member, DispatchArgs(parameters), result);
}

HRESULT TabsService::Answer(StandinServiceHost& host, DISPID member, const DispatchArgs& args, VARIANT* result)
{
    HRESULT hr = S_OK;
    LONG tabId = 0;
    switch (member) {
    case 32: {
        ComPtr<IDispatch> notifier;
        LONG registrationId = 0;
        if (FAILED(hr = args.Expect(1)) || FAILED(hr = args.Dispatch(0, notifier)) ||
            FAILED(hr = host.RegisterTabsNotifier(notifier.Get(), registrationId)))
            return hr;
        ComPtr<TabsRegistration> registration;
        hr = CreateDispatchObject(registration, link_, registrationId);
        if (FAILED(hr)) {
            host.UnregisterTabsNotifier(registrationId);
            return hr;
        }
        ReturnDispatch(result, registration.Get());
        return S_OK;
    }
    case 1:
        if (FAILED(hr = args.Expect(0)))
            return hr;
        if (!result)
            return S_OK;
        return host.TabList(result);
    case 2:
    case 3: {
        bool value = false;
        if (FAILED(hr = args.Expect(1)) || FAILED(hr = args.Long(0, tabId)))
            return hr;
        hr = member == 2 ? host.TabIsActive(tabId, value) : host.TabIsLoading(tabId, value);
        if (SUCCEEDED(hr))
            ReturnBool(result, value);
        return hr;
    }
    case 4: {
        std::wstring url;
        if (FAILED(hr = args.Expect(1)) || FAILED(hr = args.Long(0, tabId)) || FAILED(hr = host.TabUrl(tabId, url)))
            return hr;
        return ReturnString(result, url);
    }
    case 5: {
        std::wstring url;
        if (FAILED(hr = args.Expect(2)) || FAILED(hr = args.Long(0, tabId)) || FAILED(hr = args.String(1, url)))
            return hr;
        return host.NavigateTab(tabId, url);
    }
    case 6:
        if (FAILED(hr = args.Expect(1)) || FAILED(hr = args.Long(0, tabId)))
            return hr;
        return host.ActivateTab(tabId);
    case 7: {
        LONG windowSelector = 0;
        RECT rectangle = {};
        if (FAILED(hr = args.Expect(2)) || FAILED(hr = args.Long(0, tabId)) ||
            FAILED(hr = args.Long(1, windowSelector)) || FAILED(hr = host.TabRectangle(tabId, rectangle)))
            return hr;
        if (!result)
            return S_OK;
        return MakeRectangleRecord(rectangle, result);
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

STDMETHODIMP TabsRegistration::Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT* result,
                                      EXCEPINFO*, UINT*)
{
    if (result)
        VariantInit(result);
    HRESULT hr = link_->Rules(StandinService::TabsRegistration).Admit(member);
    if (FAILED(hr))
        return hr;
    if (member != 1)
        return DISP_E_MEMBERNOTFOUND;
    if (FAILED(hr = DispatchArgs(parameters).Expect(0)))
        return hr;
    StandinLink::Pass pass(*link_);
    if (!pass.Host())
        return kServerGone;
    pass.Host()->UnregisterTabsNotifier(registrationId_);
    return S_OK;
}

} // namespace chrome_standin
