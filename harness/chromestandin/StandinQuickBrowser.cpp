// The stand-in renderer's quick browser, its page object and the page's
// script object.
#include "StandinQuickBrowser.h"

#include "StandinRecords.h"

using Microsoft::WRL::ComPtr;
using vx::com::Variant;

namespace chrome_standin {
namespace {

constexpr DISPID kNamedValueId = 1;
constexpr ULONG kPageKind = 0; // crqbotPage

HRESULT MakeDocumentScriptObject(const std::wstring& url, ComPtr<IDispatch>& script)
{
    Variant urlValue;
    V_VT(urlValue.Get()) = VT_BSTR;
    V_BSTR(urlValue.Get()) = SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
    ComPtr<NamedValueObject> document;
    HRESULT hr = CreateDispatchObject(document, L"URL", std::move(urlValue));
    if (FAILED(hr))
        return hr;
    Variant documentValue;
    ReturnDispatch(documentValue.Get(), document.Get());
    ComPtr<NamedValueObject> window;
    hr = CreateDispatchObject(window, L"document", std::move(documentValue));
    if (FAILED(hr))
        return hr;
    script = window;
    return S_OK;
}

} // namespace

HRESULT StandinQuickBrowser::FinalConstruct()
{
    HRESULT hr = DispatchObject::FinalConstruct();
    if (FAILED(hr))
        return hr;
    return CreateDispatchObject(page_, link_, url_);
}

void StandinQuickBrowser::MarkGone()
{
    page_->MarkGone();
}

IDispatch* StandinQuickBrowser::PageObject() const
{
    return page_.Get();
}

STDMETHODIMP StandinQuickBrowser::Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT* result,
                                         EXCEPINFO*, UINT*)
{
    if (result)
        VariantInit(result);
    HRESULT hr = link_->Rules(StandinService::QuickBrowser).Admit(member);
    if (FAILED(hr))
        return hr;
    StandinLink::Pass pass(*link_);
    if (!pass.Host() || page_->Gone())
        return kServerGone;
    DispatchArgs args(parameters);
    switch (member) {
    case 1: {
        std::wstring key;
        Variant value;
        if (FAILED(hr = args.Expect(2)) || FAILED(hr = args.String(0, key)) || FAILED(hr = args.Copy(1, value)))
            return hr;
        CLSID parsed = {};
        hr = CLSIDFromString(key.c_str(), &parsed);
        if (FAILED(hr))
            return hr;
        pass.Host()->OptionReceived(tabId_, key, *value);
        return S_OK;
    }
    case 2:
        if (FAILED(hr = args.Expect(0)))
            return hr;
        ReturnULong(result, window_);
        return S_OK;
    case 3:
        if (FAILED(hr = args.Expect(0)))
            return hr;
        return result ? page_->ThisInformation(result) : S_OK;
    case 4:
    case 5: {
        LONG x = 0, y = 0;
        if (member == 4 &&
            (FAILED(hr = args.Expect(2)) || FAILED(hr = args.Long(0, x)) || FAILED(hr = args.Long(1, y))))
            return hr;
        if (member == 5 && FAILED(hr = args.Expect(0)))
            return hr;
        return result ? StandinPageObject::LightInformation(result) : S_OK;
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT StandinPageObject::FinalConstruct()
{
    HRESULT hr = DispatchObject::FinalConstruct();
    if (FAILED(hr))
        return hr;
    return MakeDocumentScriptObject(url_, script_);
}

HRESULT StandinPageObject::ThisInformation(VARIANT* result)
{
    return RecordBuilder()
        .String(L"Page")
        .Dispatch(script_.Get())
        .ULong(kPageKind)
        .Dispatch(this)
        .Bool(true)
        .Empty()
        .Detach(result);
}

HRESULT StandinPageObject::LightInformation(VARIANT* result)
{
    return RecordBuilder().String(L"Page").ULong(kPageKind).Detach(result);
}

STDMETHODIMP StandinPageObject::Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT* result,
                                       EXCEPINFO*, UINT*)
{
    if (result)
        VariantInit(result);
    HRESULT hr = link_->Rules(StandinService::PageObject).Admit(member);
    if (FAILED(hr))
        return hr;
    StandinLink::Pass pass(*link_);
    if (!pass.Host() || gone_)
        return kServerGone;
    if (FAILED(hr = DispatchArgs(parameters).Expect(0)))
        return member >= 1 && member <= 4 ? hr : DISP_E_MEMBERNOTFOUND;
    switch (member) {
    case 1:
        return result ? ThisInformation(result) : S_OK;
    case 2:
        return result ? LightInformation(result) : S_OK;
    case 3:
        return S_OK; // no children: VT_EMPTY
    case 4:
        ReturnBool(result, true);
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

bool NamedValueObject::FindName(const wchar_t* name, DISPID& id)
{
    if (!name || lstrcmpiW(name, name_.c_str()) != 0)
        return false;
    id = kNamedValueId;
    return true;
}

STDMETHODIMP NamedValueObject::Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                      UINT*)
{
    if (result)
        VariantInit(result);
    if (member != kNamedValueId)
        return DISP_E_MEMBERNOTFOUND;
    if (!(flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)))
        return DISP_E_MEMBERNOTFOUND;
    return result ? VariantCopy(result, value_.Get()) : S_OK;
}

} // namespace chrome_standin
