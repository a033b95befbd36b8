#pragma once
// A minimal renderer-side quick browser, one per renderer connection (browser
// key), standing in for the one the renderer process would offer. Called by
// DISPID:
//   1 UpdateOption (key, value)   records the option for the tab; the key must
//                                 be a GUID string in braces
//   2 GetInBrowserWindow          VT_UI4: a window inside the tab's
//                                 Chrome_RenderWidgetHostHWND
//   3 GetPageObjectInformation    this-information record of the page object
//   4 GetObjectInformationFromPointOnTopViewport (x, y), 5 GetFocusedObject-
//     Information                 light information record of the page
// The page object answers the quick-browser object DISPIDs: 1 this-information,
// 2 light information, 3 children (VT_EMPTY: the stand-in shows no DOM),
// 4 exists. Its script object has a "document" property whose object has a
// "URL" property (the tab's URL when the renderer connected).
// Once its renderer connection is removed, every call fails with
// RPC_S_SERVER_UNAVAILABLE, as calls into an ended renderer would.
#include <atomic>

#include "DispatchBase.h"
#include "StandinLink.h"

namespace chrome_standin {

class StandinPageObject;

class StandinQuickBrowser : public DispatchObject<StandinQuickBrowser>
{
public:
    StandinQuickBrowser(LinkPtr link, LONG tabId, ULONG window, std::wstring url)
        : link_(std::move(link)), tabId_(tabId), window_(window), url_(std::move(url))
    {
    }
    HRESULT FinalConstruct() override;

    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO*,
                        UINT*) override;

    // The renderer connection went away.
    void MarkGone();
    IDispatch* PageObject() const;

private:
    LinkPtr link_;
    LONG tabId_;
    ULONG window_;
    std::wstring url_;
    Microsoft::WRL::ComPtr<StandinPageObject> page_;
};

class StandinPageObject : public DispatchObject<StandinPageObject>
{
public:
    StandinPageObject(LinkPtr link, std::wstring url) : link_(std::move(link)), url_(std::move(url)) {}
    HRESULT FinalConstruct() override;

    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO*,
                        UINT*) override;

    void MarkGone() { gone_ = true; }
    bool Gone() const { return gone_; }
    // This-information: "Page", script object, kind 0, this object,
    // expandable, no identifier.
    HRESULT ThisInformation(VARIANT* result);
    // Light information: "Page", kind 0.
    static HRESULT LightInformation(VARIANT* result);

private:
    LinkPtr link_;
    std::wstring url_;
    Microsoft::WRL::ComPtr<IDispatch> script_;
    std::atomic<bool> gone_{false};
};

// An object with one named value, reached through GetIDsOfNames and Invoke
// (property get or method call); the value is fixed at construction.
class NamedValueObject : public DispatchObject<NamedValueObject>
{
public:
    NamedValueObject(std::wstring name, vx::com::Variant&& value) : name_(std::move(name)), value_(std::move(value)) {}

    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO*,
                        UINT*) override;

protected:
    bool FindName(const wchar_t* name, DISPID& id) override;

private:
    std::wstring name_;
    vx::com::Variant value_;
};

} // namespace chrome_standin
