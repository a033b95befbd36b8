#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>

#include "harness/enginetree/EngineTree.h"
#include "openapphook/DispDriver.h"
#include "tests/openapphook-errors/ScriptObject.h"

using Microsoft::WRL::ComPtr;
using vxOpenAppHook::CvxInvokeException;
using vxOpenAppHook::FindNodeByNativeObject;
using vxOpenAppHook::FindNodeOrAncestorByNativeObject;
using vxOpenAppHook::NativeObjectEquals;
using vxtest::BoolValue;
using vxtest::CScriptObject;
using vxtest::CTestTreeNode;
using vxtest::CTestTreeObject;
using vxtest::IntValue;

namespace {

// A DOM node of the product's Chrome side: isEqualNode compares identity.
ComPtr<CScriptObject> ChromeNode()
{
    ComPtr<CScriptObject> node = CScriptObject::Create();
    IDispatch* self = node.Get();
    node->AddMember(L"isEqualNode", [self](WORD, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO*) {
        const VARIANT& other = parameters->rgvarg[0];
        *result = BoolValue(V_VT(&other) == VT_DISPATCH && V_DISPATCH(&other) == self);
        return S_OK;
    });
    return node;
}

ComPtr<CTestTreeNode> NodeStandingFor(CTestTreeNode* parent, IDispatch* native, const wchar_t* kind)
{
    ComPtr<CTestTreeNode> node = parent->AddChild();
    node->AddEntry(CTestTreeObject::Create(native, kind).Get());
    return node;
}

} // namespace

TEST(NativeObjectEquality, DecidedByTheKindOfNativeObject)
{
    ComPtr<CTestTreeNode> root = CTestTreeNode::Create();
    ComPtr<CScriptObject> element = ChromeNode();
    ComPtr<CScriptObject> other = ChromeNode();

    // Chrome: the native object's isEqualNode decides.
    ComPtr<CTestTreeNode> chrome = NodeStandingFor(root.Get(), element.Get(), L"NativeChromeObject");
    EXPECT_TRUE(NativeObjectEquals(chrome.Get(), element.Get()));
    EXPECT_FALSE(NativeObjectEquals(chrome.Get(), other.Get()));

    // CLR: ReferenceEquals(native, given), except for an application domain.
    ComPtr<CScriptObject> clr = CScriptObject::Create();
    VARIANT className;
    V_VT(&className) = VT_BSTR;
    V_BSTR(&className) = SysAllocString(L"System.Windows.Forms.Button");
    clr->AddProperty(L"ClrFullClassName", className);
    VariantClear(&className);
    IDispatch* clrSelf = clr.Get();
    clr->AddMember(L"ReferenceEquals", [clrSelf](WORD, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO*) {
        // Arguments last to first: the given object, then the native one.
        *result = BoolValue(parameters->cArgs == 2 && V_DISPATCH(&parameters->rgvarg[1]) == clrSelf &&
                            V_DISPATCH(&parameters->rgvarg[0]) == clrSelf);
        return S_OK;
    });
    ComPtr<CTestTreeNode> clrNode = NodeStandingFor(root.Get(), clr.Get(), L"NativeClrObject");
    EXPECT_TRUE(NativeObjectEquals(clrNode.Get(), clr.Get()));
    EXPECT_FALSE(NativeObjectEquals(clrNode.Get(), other.Get()));

    ComPtr<CScriptObject> domain = CScriptObject::Create();
    V_VT(&className) = VT_BSTR;
    V_BSTR(&className) = SysAllocString(L"System.AppDomain");
    domain->AddProperty(L"ClrFullClassName", className);
    VariantClear(&className);
    domain->AddMember(L"ReferenceEquals", [](WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*) {
        *result = BoolValue(true);
        return S_OK;
    });
    ComPtr<CTestTreeNode> domainNode = NodeStandingFor(root.Get(), domain.Get(), L"NativeClrObject");
    EXPECT_FALSE(NativeObjectEquals(domainNode.Get(), domain.Get()));

    // Java: equals, and a failing equals counts as false.
    ComPtr<CScriptObject> java = CScriptObject::Create();
    java->AddMember(L"equals", [](WORD, DISPPARAMS* parameters, VARIANT*, EXCEPINFO* exception) {
        exception->bstrDescription = SysAllocString(L"java.lang.NullPointerException");
        return DISP_E_EXCEPTION;
    });
    ComPtr<CTestTreeNode> javaNode = NodeStandingFor(root.Get(), java.Get(), L"NativeJavaObject");
    EXPECT_FALSE(NativeObjectEquals(javaNode.Get(), java.Get()));

    // Delphi and C++: equal instance pointers.
    ComPtr<CScriptObject> delphi = CScriptObject::Create();
    delphi->AddProperty(L"InstancePtr", IntValue(0x1234));
    ComPtr<CScriptObject> sameInstance = CScriptObject::Create();
    sameInstance->AddProperty(L"InstancePtr", IntValue(0x1234));
    ComPtr<CScriptObject> otherInstance = CScriptObject::Create();
    otherInstance->AddProperty(L"InstancePtr", IntValue(0x9999));
    for (const wchar_t* kind : {L"NativeDelphiObject", L"NativeCPPObject"}) {
        ComPtr<CTestTreeNode> node = NodeStandingFor(root.Get(), delphi.Get(), kind);
        EXPECT_TRUE(NativeObjectEquals(node.Get(), sameInstance.Get())) << kind;
        EXPECT_FALSE(NativeObjectEquals(node.Get(), otherInstance.Get())) << kind;
    }

    // Qt: the given object's IsEqual decides; without it, false.
    ComPtr<CScriptObject> qt = CScriptObject::Create();
    ComPtr<CScriptObject> qtGiven = CScriptObject::Create();
    IDispatch* qtNative = qt.Get();
    qtGiven->AddMember(L"IsEqual", [qtNative](WORD, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO*) {
        *result = BoolValue(V_DISPATCH(&parameters->rgvarg[0]) == qtNative);
        return S_OK;
    });
    ComPtr<CTestTreeNode> qtNode = NodeStandingFor(root.Get(), qt.Get(), L"NativeQtObject");
    EXPECT_TRUE(NativeObjectEquals(qtNode.Get(), qtGiven.Get()));
    EXPECT_FALSE(NativeObjectEquals(qtNode.Get(), otherInstance.Get()));
}

TEST(NativeObjectEquality, EntriesAreAskedInOrderUntilOneDecides)
{
    ComPtr<CScriptObject> element = ChromeNode();
    ComPtr<CTestTreeNode> node = CTestTreeNode::Create();
    EXPECT_FALSE(NativeObjectEquals(node.Get(), element.Get())); // no entries

    // An entry that is no test object and one of an unknown kind are passed
    // over; the Chrome entry after them decides.
    ComPtr<CScriptObject> unrelated = CScriptObject::Create();
    node->AddEntry(unrelated.Get());
    node->AddEntry(CTestTreeObject::Create(unrelated.Get(), L"NativeSomethingElse").Get());
    node->AddEntry(CTestTreeObject::Create(element.Get(), L"NativeChromeObject").Get());
    EXPECT_TRUE(NativeObjectEquals(node.Get(), element.Get()));
    EXPECT_EQ(0, unrelated->Calls());

    try {
        NativeObjectEquals(nullptr, element.Get());
        ADD_FAILURE() << "a null node must throw";
    } catch (const CvxInvokeException& failure) {
        EXPECT_EQ(3, failure.Level());
        EXPECT_EQ(L"An error occurred.", std::wstring(failure.MessageText()));
        EXPECT_EQ(0u, std::wstring(failure.DetailsText()).find(L"Possible reasons:\r\n"));
    }
}

TEST(NativeObjectEquality, TreeSearchesGoDepthFirstAndUpTheParents)
{
    //  root
    //  ├── a (x)        ├── a1 (target)
    //  └── b (target)
    ComPtr<CScriptObject> x = ChromeNode();
    ComPtr<CScriptObject> target = ChromeNode();
    ComPtr<CTestTreeNode> root = CTestTreeNode::Create();
    ComPtr<CTestTreeNode> a = NodeStandingFor(root.Get(), x.Get(), L"NativeChromeObject");
    ComPtr<CTestTreeNode> b = NodeStandingFor(root.Get(), target.Get(), L"NativeChromeObject");
    ComPtr<CTestTreeNode> a1 = NodeStandingFor(a.Get(), target.Get(), L"NativeChromeObject");

    // a's subtree comes before its later sibling.
    EXPECT_EQ(static_cast<IvxObjectTreeNode*>(a1.Get()), FindNodeByNativeObject(root.Get(), target.Get(), false).Get());
    EXPECT_EQ(0, root->RefreshCount());
    EXPECT_EQ(static_cast<IvxObjectTreeNode*>(a.Get()), FindNodeByNativeObject(root.Get(), x.Get(), true).Get());
    EXPECT_EQ(1, root->RefreshCount());
    // Only the children are searched, not the node itself.
    EXPECT_EQ(nullptr, FindNodeByNativeObject(a1.Get(), target.Get(), false).Get());

    // Up: the node itself first, then its parents.
    EXPECT_EQ(static_cast<IvxObjectTreeNode*>(a1.Get()),
              FindNodeOrAncestorByNativeObject(a1.Get(), target.Get()).Get());
    EXPECT_EQ(static_cast<IvxObjectTreeNode*>(a.Get()), FindNodeOrAncestorByNativeObject(a1.Get(), x.Get()).Get());
    ComPtr<CScriptObject> nowhere = ChromeNode();
    EXPECT_EQ(nullptr, FindNodeOrAncestorByNativeObject(a1.Get(), nowhere.Get()).Get());
}

TEST(NativeObjectEquality, RefreshBeforeTheSearchCanBringTheObject)
{
    static ComPtr<CScriptObject> late;
    late = ChromeNode();
    ComPtr<CTestTreeNode> root = CTestTreeNode::Create();
    root->SetRefreshAction([](CTestTreeNode& node) {
        if (node.RefreshCount() == 1)
            NodeStandingFor(&node, late.Get(), L"NativeChromeObject");
    });
    EXPECT_EQ(nullptr, FindNodeByNativeObject(root.Get(), late.Get(), false).Get());
    EXPECT_NE(nullptr, FindNodeByNativeObject(root.Get(), late.Get(), true).Get());
    late.Reset();
}
