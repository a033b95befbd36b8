#include "DetectionFixture.h"

#include <cstdio>

#include "platform/com/BStr.h"
#include "platform/com/Variant.h"
#include "testobjects/ObjectNaming.h"
#include "testobjects/TestObjectList.h"
#include "tests/support/PagePath.h"

using Microsoft::WRL::ComPtr;
using vx::com::BStr;
using vx::com::Variant;

namespace web_control_tests {

namespace {

constexpr wchar_t kProductPathVariable[] = L"Vantorix8_Product_Path";

std::vector<ComPtr<IvxObject>> Children(IUnknown* object)
{
    VxCrTestObjectList list;
    ComPtr<IvxCrBrowserObject> browserObject;
    EXPECT_EQ(S_OK, object->QueryInterface(IID_PPV_ARGS(&browserObject)));
    if (browserObject)
        EXPECT_EQ(S_OK, browserObject->GetChildObjects(&list));
    return std::move(list.objects);
}

std::wstring Moniker(IvxObject* object)
{
    BStr moniker;
    EXPECT_EQ(S_OK, object->GetMoniker(moniker.Out()));
    return moniker.Str();
}

ComPtr<IvxObject> ChildNamed(IUnknown* parent, const std::wstring& monikerEnd)
{
    for (ComPtr<IvxObject>& child : Children(parent)) {
        const std::wstring moniker = Moniker(child.Get());
        if (moniker.size() >= monikerEnd.size() &&
            moniker.compare(moniker.size() - monikerEnd.size(), monikerEnd.size(), monikerEnd) == 0)
            return child;
    }
    ADD_FAILURE() << "no child " << std::string(monikerEnd.begin(), monikerEnd.end());
    return nullptr;
}

// The identifier the DOM model gives an item: its id when it has one.
std::wstring Identifier(IvxObject* object)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(vxCrTestObjects::kIdentifierParam)};
    DISPID id = DISPID_UNKNOWN;
    Variant value, text;
    DISPPARAMS none = {};
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id)) ||
        FAILED(object->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, value.Get(), nullptr, nullptr)) ||
        FAILED(VariantChangeType(text.Get(), value.Get(), 0, VT_BSTR)))
        return std::wstring();
    return std::wstring(V_BSTR(text.Get()), SysStringLen(V_BSTR(text.Get())));
}

} // namespace

ProductFolder::ProductFolder(const std::wstring& folder)
{
    wchar_t old[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(kProductPathVariable, old, MAX_PATH);
    hadOld_ = length > 0 && length < MAX_PATH;
    if (hadOld_)
        old_ = old;
    SetEnvironmentVariableW(kProductPathVariable, folder.c_str());
}

ProductFolder::~ProductFolder()
{
    SetEnvironmentVariableW(kProductPathVariable, hadOld_ ? old_.c_str() : nullptr);
}

void DetectionTest::SetUp()
{
    ASSERT_TRUE(hook_tab_tests::LoadLibraryTypeInfo());
    product_ = std::make_unique<ProductFolder>(LayoutDirectory());
    StandinTabTest::SetUp();
    // The DOM model, whose "all" collection lists every element.
    VARIANT model;
    V_VT(&model) = VT_I4;
    V_I4(&model) = 0;
    SetOption(ProcessOptionKeys::ObjectModel, model);
    Tab().PushChangedOptions();
}

void DetectionTest::TearDown()
{
    elements_.clear();
    StandinTabTest::TearDown();
    product_.reset();
}

void DetectionTest::StartRenderer(const char* snapshot)
{
    ASSERT_EQ(S_OK, Standin().StartRenderer(kTabId, testsupport::PagePath(snapshot)));
    elements_.clear();
    ComPtr<IvxObject> document = ChildNamed(PageObject().Get(), L"!document");
    ASSERT_TRUE(document);
    ComPtr<IvxObject> all = ChildNamed(document.Get(), L"!all");
    ASSERT_TRUE(all);
    for (ComPtr<IvxObject>& item : Children(all.Get())) {
        const std::wstring id = Identifier(item.Get());
        if (!id.empty() && !elements_.count(id))
            elements_[id] = item;
    }
}

ComPtr<IvxObject> DetectionTest::Element(const std::wstring& id)
{
    auto it = elements_.find(id);
    if (it == elements_.end()) {
        ADD_FAILURE() << "no element " << std::string(id.begin(), id.end());
        return nullptr;
    }
    return it->second;
}

ComPtr<IvxWebObject> DetectionTest::WebObject(const std::wstring& id)
{
    ComPtr<IvxWebObject> web;
    if (ComPtr<IvxObject> element = Element(id))
        EXPECT_EQ(S_OK, element.As(&web));
    return web;
}

ComPtr<IvxObject> DetectionTest::PageObject()
{
    ComPtr<IvxObject> page;
    EXPECT_EQ(S_OK, Tab().GetPageTestObject(false, page));
    return page;
}

HWND DetectionTest::TabWindow()
{
    HWND window = nullptr;
    EXPECT_EQ(S_OK, Tab().TabWindow(window));
    return window;
}

std::string DetectionTest::Renderer(const std::string& command)
{
    std::string answer;
    EXPECT_EQ(S_OK, Standin().RendererCommand(kTabId, command, answer));
    return answer;
}

long DetectionTest::ScriptObjects()
{
    long nodes = 0, scriptObjects = -1;
    const std::string answer = Renderer("handles");
    return sscanf(answer.c_str(), "ok %ld %ld", &nodes, &scriptObjects) == 2 ? scriptObjects : -1;
}

long DetectionTest::ScriptObjectsAfterRelease(long expected)
{
    // A script object goes when the browser side releases its last proxy,
    // which reaches the renderer a moment later.
    long now = ScriptObjects();
    for (int attempt = 0; attempt < 50 && now != expected; ++attempt) {
        Sleep(20);
        now = ScriptObjects();
    }
    return now;
}

std::string DetectionTest::HandlesAfterRelease()
{
    elements_.clear();
    // The renderer is cut off as the component does when it lets go (Wine
    // keeps table-held proxy references).
    Tab().ResetRenderer();
    EXPECT_EQ("ok 0x00000000", Renderer("shutdown"));
    std::string handles;
    for (int attempt = 0; attempt < 50 && (handles = Renderer("handles")) != "ok 0 0"; ++attempt)
        Sleep(20);
    return handles;
}

} // namespace web_control_tests
