#pragma once
#include <windows.h>
#include <wrl/client.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "generated/vxOpenAppServices.h"

namespace vxtest {

// Stand-in of a test object as the engine's tree holds it: answers IvxObject
// with a native object and the name of its kind. Its IDispatch part is not
// scriptable (the library calls IvxObject through the vtable).
class CTestTreeObject final : public IvxObject
{
public:
    static Microsoft::WRL::ComPtr<CTestTreeObject> Create(IDispatch* nativeObject, const wchar_t* nativeKind);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** object) noexcept override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                        EXCEPINFO* exception, UINT* argumentError) override;
    // IvxObject
    STDMETHODIMP GetIdentifierString(BSTR* identifier) override;
    STDMETHODIMP GetNativeObject(IDispatch** nativeObject) override;
    STDMETHODIMP GetNativePropertyName(BSTR* propertyName) override;
    STDMETHODIMP GetExists(VARIANT_BOOL* exists) override;
    STDMETHODIMP GetMoniker(BSTR* moniker) override;
    STDMETHODIMP GetCreationValue(LONG* creationValue) override;

private:
    CTestTreeObject(IDispatch* nativeObject, const wchar_t* nativeKind);
    ~CTestTreeObject() = default;

    std::atomic<ULONG> references_{1};
    Microsoft::WRL::ComPtr<IDispatch> nativeObject_;
    std::wstring nativeKind_;
};

// Stand-in of one node of the engine's object tree. Children hold their
// parent weakly (the parent owns its children). Refresh counts its calls
// and, when a refresh action is set, runs it (a test can grow the tree
// there).
//
// The node is also the engine's scripting object of its test object, as the
// engine hands it to recorder modules: its IDispatch answers one property,
// named as the first entry's native property name ("NativeChromeObject"),
// whose value is that entry's native object.
class CTestTreeNode final : public IvxObjectTreeNode, public IDispatch
{
public:
    static Microsoft::WRL::ComPtr<CTestTreeNode> Create();

    // Adds a new child node and returns it.
    Microsoft::WRL::ComPtr<CTestTreeNode> AddChild();
    void AddEntry(IUnknown* entry);
    // Called by the next Refresh calls.
    void SetRefreshAction(void (*action)(CTestTreeNode& node));
    int RefreshCount() const { return refreshCount_; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** object) noexcept override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                        EXCEPINFO* exception, UINT* argumentError) override;
    // IvxObjectTreeNode
    STDMETHODIMP GetChildCount(LONG* count) override;
    STDMETHODIMP GetChild(LONG index, IvxObjectTreeNode** child) override;
    STDMETHODIMP Refresh() override;
    STDMETHODIMP GetParent(IvxObjectTreeNode** parent) override;
    STDMETHODIMP GetEntryCount(LONG* count) override;
    STDMETHODIMP GetEntry(LONG index, IUnknown** entry) override;

    // The first entry that answers IvxObject (null when none does).
    Microsoft::WRL::ComPtr<IvxObject> FirstTestObject();

private:
    CTestTreeNode() = default;
    ~CTestTreeNode() = default;

    std::atomic<ULONG> references_{1};
    mutable std::mutex lock_;
    CTestTreeNode* parent_ = nullptr;
    std::vector<Microsoft::WRL::ComPtr<CTestTreeNode>> children_;
    std::vector<Microsoft::WRL::ComPtr<IUnknown>> entries_;
    void (*refreshAction_)(CTestTreeNode& node) = nullptr;
    std::atomic<int> refreshCount_{0};
};

} // namespace vxtest
