#pragma once
// The tabs service as the product's Chrome component offers it to the hook,
// called by DISPID (DISPATCH_METHOD):
//   32 (notifier)      -> registration (VT_DISPATCH); its DISPID 1 unregisters
//    1 ()              -> tab list: one tab information record per tab
//    2 (tab id)        -> VT_BOOL: the tab is the active one
//    3 (tab id)        -> VT_BOOL: the tab is loading
//    4 (tab id)        -> VT_BSTR: the tab's URL
//    5 (tab id, URL)   -> navigates the tab (loading follows its behaviour)
//    6 (tab id)        -> activates the tab
//    7 (tab id, -1)    -> tab rectangle record (left, top, width, height)
// Unknown tab ids fail with E_INVALIDARG, unknown DISPIDs with
// DISP_E_MEMBERNOTFOUND.
#include "DispatchBase.h"
#include "StandinLink.h"

namespace chrome_standin {

class TabsService : public DispatchObject<TabsService>
{
public:
    explicit TabsService(LinkPtr link) : link_(std::move(link)) {}

    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO*,
                        UINT*) override;

private:
    HRESULT Answer(StandinServiceHost& host, DISPID member, const DispatchArgs& args, VARIANT* result);

    LinkPtr link_;
};

// The registration handed out for a tabs notifier.
class TabsRegistration : public DispatchObject<TabsRegistration>
{
public:
    TabsRegistration(LinkPtr link, LONG registrationId) : link_(std::move(link)), registrationId_(registrationId) {}

    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO*,
                        UINT*) override;

private:
    LinkPtr link_;
    LONG registrationId_;
};

} // namespace chrome_standin
