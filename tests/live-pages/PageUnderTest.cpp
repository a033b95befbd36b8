#include "PageUnderTest.h"

#include <gtest/gtest.h>

#include "platform/com/BStr.h"
#include "platform/com/SafeArray.h"
#include "platform/com/Variant.h"
#include "platform/process/ProcessOptions.h"
#include "tests/support/LibraryTypeInfo.h"
#include "tests/support/PagePath.h"

namespace livetests {

std::unique_ptr<PageUnderTest> PageUnderTest::Snapshot(const std::string& snapshot)
{
    std::unique_ptr<PageUnderTest> page(new PageUnderTest());
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(S_OK, vx::com::CreateComObject(page->snapshot_,
                                             harness::SnapshotPage::Load(testsupport::PagePath(snapshot))));
    page->Attach(page->snapshot_.Get());
    return page;
}

std::unique_ptr<PageUnderTest> PageUnderTest::Live(const std::wstring& url, bool fetchAhead, int subtreeNodes)
{
    std::unique_ptr<PageUnderTest> page(new PageUnderTest());
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    harness::LivePageOptions options;
    options.port = harness::LiveSidecarPortFromEnvironment();
    options.url = url;
    options.fetchAhead = fetchAhead;
    if (subtreeNodes > 0)
        options.subtreeNodes = subtreeNodes;
    if (!options.port) {
        ADD_FAILURE() << "VXCR_LIVE_PORT is not set: run this program through tests/live-pages/with-live-sidecar.sh";
        return nullptr;
    }
    try {
        EXPECT_EQ(S_OK, vx::com::CreateComObject(page->live_, options));
    } catch (const std::exception& e) {
        ADD_FAILURE() << "live page: " << e.what();
        return nullptr;
    }
    page->Attach(page->live_.Get());
    return page;
}

void PageUnderTest::Attach(IvxCrNativeChromeObject* native)
{
    ASSERT_TRUE(testsupport::LoadLibraryTypeInfo());
    ASSERT_EQ(S_OK, vx::com::CreateComObject(extender_));
    ASSERT_EQ(S_OK, extender_->Initialize(native));
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, extender_->GetQuickBrowser(dispatch.GetAddressOf()));
    ASSERT_EQ(S_OK, dispatch.As(&quickBrowser_));
}

void PageUnderTest::Close()
{
    quickBrowser_.Reset();
    if (extender_) {
        EXPECT_EQ(S_OK, extender_->Shutdown());
    }
    extender_.Reset();
}

PageUnderTest::~PageUnderTest()
{
    Close();
}

void PageUnderTest::UseObjectModel(LONG model)
{
    wchar_t key[64] = {};
    StringFromGUID2(ProcessOptionKeys::ObjectModel, key, 64);
    vx::com::Variant value;
    V_VT(value.Get()) = VT_I4;
    V_I4(value.Get()) = model;
    vx::com::BStr keyText(key);
    ASSERT_EQ(S_OK, quickBrowser_->UpdateOption(keyText.Get(), *value));
}

ObjectThisInformation PageUnderTest::PageInformation()
{
    ObjectThisInformation page;
    vx::com::Variant record;
    EXPECT_EQ(S_OK, quickBrowser_->GetPageObjectInformation(record.Out()));
    EXPECT_EQ(S_OK, ReadThisInformation(*record, page));
    return page;
}

HRESULT PageUnderTest::ChildrenOf(IDispatch* object, std::vector<ObjectThisInformation>& children)
{
    children.clear();
    ComPtr<IvxCrQuickBrowserObject> parent;
    if (!object)
        return E_POINTER;
    HRESULT hr = object->QueryInterface(__uuidof(IvxCrQuickBrowserObject),
                                        reinterpret_cast<void**>(parent.GetAddressOf()));
    if (FAILED(hr))
        return hr;
    vx::com::Variant record;
    hr = parent->GetChildrenInformation(record.Out());
    if (FAILED(hr) || record.Type() != (VT_ARRAY | VT_VARIANT))
        return hr;
    SAFEARRAY* array = V_ARRAY(record.Get());
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    for (LONG index = lower; index <= upper; ++index) {
        vx::com::Variant element;
        SafeArrayGetElement(array, &index, element.Get());
        ObjectThisInformation child;
        hr = ReadThisInformation(*element, child);
        if (FAILED(hr))
            return hr;
        children.push_back(std::move(child));
    }
    return S_OK;
}

std::vector<ObjectThisInformation> PageUnderTest::Children(IDispatch* object)
{
    std::vector<ObjectThisInformation> children;
    EXPECT_EQ(S_OK, ChildrenOf(object, children));
    return children;
}

ObjectThisInformation PageUnderTest::Child(IDispatch* parent, const std::wstring& identifier)
{
    for (ObjectThisInformation& child : Children(parent))
        if (ValueText(*child.identifier) == identifier)
            return std::move(child);
    return {};
}

ObjectThisInformation PageUnderTest::DomElement(const std::wstring& elementId)
{
    ObjectThisInformation document = Child(PageInformation().object.Get(), L"document");
    if (!document.object)
        return {};
    ObjectThisInformation all = Child(document.object.Get(), L"all");
    if (!all.object)
        return {};
    for (ObjectThisInformation& element : Children(all.object.Get())) {
        ComPtr<IvxCrQuickBrowserObject_RecognizingService> recognizing;
        vx::com::BStr className, id;
        if (SUCCEEDED(element.object.As(&recognizing)) &&
            SUCCEEDED(recognizing->GetElementClassNameAndID(className.Out(), id.Out())) && id.Str() == elementId)
            return std::move(element);
    }
    return {};
}

std::wstring ValueText(const VARIANT& value)
{
    if (V_VT(&value) & VT_ARRAY) {
        std::wstring text = L"[";
        SAFEARRAY* array = V_ARRAY(&value);
        LONG lower = 0, upper = -1;
        SafeArrayGetLBound(array, 1, &lower);
        SafeArrayGetUBound(array, 1, &upper);
        for (LONG index = lower; index <= upper; ++index) {
            vx::com::Variant element;
            SafeArrayGetElement(array, &index, element.Get());
            text += (index > lower ? L", " : L"") + ValueText(*element);
        }
        return text + L"]";
    }
    vx::com::Variant text;
    if (V_VT(&value) == VT_EMPTY)
        return L"(empty)";
    if (FAILED(VariantChangeType(text.Get(), const_cast<VARIANT*>(&value), VARIANT_ALPHABOOL, VT_BSTR)))
        return L"(type " + std::to_wstring(V_VT(&value)) + L")";
    return std::wstring(V_BSTR(text.Get()), SysStringLen(V_BSTR(text.Get())));
}

void PageUnderTest::WriteObject(const ObjectThisInformation& object, int depth, std::wstring& out)
{
    out += std::wstring(static_cast<size_t>(depth) * 2, L' ') + std::to_wstring(object.kind) + L" " +
           ValueText(*object.identifier) + (object.expandable ? L" +" : L"");
    ComPtr<IvxCrQuickBrowserObject_Control> control;
    if (object.object && SUCCEEDED(object.object.As(&control))) {
        VARIANT_BOOL visible = VARIANT_FALSE, enabled = VARIANT_FALSE;
        ULONG width = 0, height = 0;
        LONG left = 0, top = 0;
        vx::com::BStr tag;
        ComPtr<IvxCrQuickBrowserObject_RecognizingService> recognizing;
        if (SUCCEEDED(object.object.As(&recognizing)))
            recognizing->GetElementTagName(tag.Out());
        control->GetVisible(&visible);
        control->GetEnabled(&enabled);
        control->GetWidth(&width);
        control->GetHeight(&height);
        control->GetOnTopViewportLeft(&left);
        control->GetOnTopViewportTop(&top);
        out += L" <" + tag.Str() + L"> " + (visible ? L"visible " : L"hidden ") +
               (enabled ? L"enabled " : L"disabled ") + std::to_wstring(width) + L"x" + std::to_wstring(height) +
               L"@" + std::to_wstring(left) + L"," + std::to_wstring(top);
    }
    out += L"\n";
    if (!object.expandable)
        return;
    std::vector<ObjectThisInformation> children;
    if (HRESULT hr = ChildrenOf(object.object.Get(), children); FAILED(hr)) {
        wchar_t text[32];
        swprintf(text, 32, L"0x%08lX", static_cast<unsigned long>(hr));
        out += std::wstring(static_cast<size_t>(depth + 1) * 2, L' ') + L"(children failed: " + text + L")\n";
    }
    for (const ObjectThisInformation& child : children)
        WriteObject(child, depth + 1, out);
}

std::wstring PageUnderTest::Listing()
{
    std::wstring out;
    WriteObject(PageInformation(), 0, out);
    return out;
}

std::wstring PageUnderTest::XPathAnswers(const std::vector<std::wstring>& expressions)
{
    std::wstring out;
    ComPtr<IvxCrQuickBrowserObject_Page> page;
    ObjectThisInformation information = PageInformation();
    if (!information.object || FAILED(information.object.As(&page)))
        return L"no page object";
    auto evaluate = [&](const std::wstring& expression) {
        vx::com::BStr text(expression.c_str()), prefix(L"");
        vx::com::Variant value;
        HRESULT hr = page->EvaluateXPath(text.Get(), prefix.Get(), value.Out());
        return SUCCEEDED(hr) ? ValueText(*value) : L"error";
    };
    for (const std::wstring& expression : expressions) {
        out += expression + L" = ";
        const bool valueExpression = expression.rfind(L"count(", 0) == 0 || expression.rfind(L"string(", 0) == 0 ||
                                     expression.rfind(L"boolean(", 0) == 0 || expression.rfind(L"sum(", 0) == 0;
        if (valueExpression)
            out += evaluate(expression);
        else
            out += evaluate(L"count(" + expression + L")") + L" " + evaluate(L"string((" + expression + L")[1])");
        out += L"\n";
    }
    return out;
}

} // namespace livetests
