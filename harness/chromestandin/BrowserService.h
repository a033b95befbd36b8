#pragma once
// The browser service as the product's Chrome component offers it to the
// hook, called by DISPID (DISPATCH_METHOD):
//   32 ()                      -> liveness, nothing returned
//   33 (library path, notifier) -> events registration (VT_DISPATCH)
//    5 (tab id)                -> VT_BSTR: the browser key of the renderer
//                                 connection serving the tab
// Events registration:
//    1 (browser key) -> the renderer's quick browser (VT_DISPATCH);
//                       E_INVALIDARG for a key no renderer holds
//    2 (enable)      -> switches the OnRemoveBrowser notifications on or off
#include "DispatchBase.h"
#include "StandinLink.h"

namespace chrome_standin {

class BrowserService : public DispatchObject<BrowserService>
{
public:
    explicit BrowserService(LinkPtr link) : link_(std::move(link)) {}

    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO*,
                        UINT*) override;

private:
    HRESULT Answer(StandinServiceHost& host, DISPID member, const DispatchArgs& args, VARIANT* result);

    LinkPtr link_;
};

class EventsRegistration : public DispatchObject<EventsRegistration>
{
public:
    EventsRegistration(LinkPtr link, LONG registrationId) : link_(std::move(link)), registrationId_(registrationId) {}

    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO*,
                        UINT*) override;

private:
    LinkPtr link_;
    LONG registrationId_;
};

} // namespace chrome_standin
