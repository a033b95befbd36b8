// The browser service and its events registration.
#include "BrowserService.h"

using Microsoft::WRL::ComPtr;

namespace chrome_standin {

STDMETHODIMP BrowserService::Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT* result,
                                    EXCEPINFO*, UINT*)
{
    if (result)
        VariantInit(result);
    HRESULT hr = link_->Rules(StandinService::Browser).Admit(member);
    if (FAILED(hr))
        return hr;
    StandinLink::Pass pass(*link_);
    if (!pass.Host())
        return kServerGone;
    return Answer(*pass.Host(), member, DispatchArgs(parameters), result);
}

HRESULT BrowserService::Answer(StandinServiceHost& host, DISPID member, const DispatchArgs& args, VARIANT* result)
{
    HRESULT hr = S_OK;
    switch (member) {
    case 32:
        return args.Expect(0);
    case 33: {
        std::wstring libraryPath;
        ComPtr<IDispatch> notifier;
        LONG registrationId = 0;
        if (FAILED(hr = args.Expect(2)) || FAILED(hr = args.String(0, libraryPath)) ||
            FAILED(hr = args.Dispatch(1, notifier)) ||
            FAILED(hr = host.RegisterBrowserEvents(libraryPath, notifier.Get(), registrationId)))
            return hr;
        ComPtr<EventsRegistration> registration;
        hr = CreateDispatchObject(registration, link_, registrationId);
        if (FAILED(hr)) {
            host.EnableBrowserEvents(registrationId, false);
            return hr;
        }
        ReturnDispatch(result, registration.Get());
        return S_OK;
    }
    case 5: {
        LONG tabId = 0;
        std::wstring key;
        if (FAILED(hr = args.Expect(1)) || FAILED(hr = args.Long(0, tabId)) || FAILED(hr = host.BrowserKey(tabId, key)))
            return hr;
        return ReturnString(result, key);
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

STDMETHODIMP EventsRegistration::Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT* result,
                                        EXCEPINFO*, UINT*)
{
    if (result)
        VariantInit(result);
    HRESULT hr = link_->Rules(StandinService::EventsRegistration).Admit(member);
    if (FAILED(hr))
        return hr;
    StandinLink::Pass pass(*link_);
    if (!pass.Host())
        return kServerGone;
    DispatchArgs args(parameters);
    switch (member) {
    case 1: {
        std::wstring key;
        ComPtr<IDispatch> quickBrowser;
        if (FAILED(hr = args.Expect(1)) || FAILED(hr = args.String(0, key)) ||
            FAILED(hr = pass.Host()->QuickBrowserForKey(key, quickBrowser)))
            return hr;
        ReturnDispatch(result, quickBrowser.Get());
        return S_OK;
    }
    case 2: {
        bool enable = false;
        if (FAILED(hr = args.Expect(1)) || FAILED(hr = args.Bool(0, enable)))
            return hr;
        pass.Host()->EnableBrowserEvents(registrationId_, enable);
        return S_OK;
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

} // namespace chrome_standin
