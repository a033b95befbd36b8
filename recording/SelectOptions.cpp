#include "recording/SelectOptions.h"

#include <string>

using Microsoft::WRL::ComPtr;
using vxOpenAppHook::CvxDispDriver;

namespace vxCrRecording {
namespace {

// Bounds the walk up to the SELECT on a malformed or cyclic chain.
constexpr int kMaxAncestorSteps = 100000;

vx::com::Variant Long(long value)
{
    vx::com::Variant v;
    V_VT(v.Get()) = VT_I4;
    V_I4(v.Get()) = value;
    return v;
}

CvxDispDriver OptionAt(const CvxDispDriver& options, long index)
{
    return CvxDispDriver(*options.InvokeMethod(L"item", *Long(index)));
}

bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

} // namespace

CvxDispDriver AncestorSelect(const CvxDispDriver& element)
{
    CvxDispDriver current = element.GetPropertyDispatch(L"parentNode");
    for (int step = 0; current && step < kMaxAncestorSteps; ++step) {
        if (current.HasMember(L"tagName") && current.GetPropertyString(L"tagName") == L"SELECT")
            return current;
        current = current.GetPropertyDispatch(L"parentNode");
    }
    return CvxDispDriver();
}

vx::com::Variant OptionIdentifier(const CvxDispDriver& select, long index)
{
    const CvxDispDriver options = select.GetPropertyDispatch(L"options");
    const std::wstring text = OptionAt(options, index).GetPropertyString(L"text");
    bool byIndex = text.empty() || text.find(L'|') != std::wstring::npos;
    const long count = options.GetPropertyInt(L"length");
    for (long i = 0; !byIndex && i < count; ++i)
        byIndex = i != index && EqualIgnoringCase(OptionAt(options, i).GetPropertyString(L"text"), text);
    if (byIndex)
        return Long(index);
    vx::com::Variant identifier;
    V_VT(identifier.Get()) = VT_BSTR;
    V_BSTR(identifier.Get()) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!V_BSTR(identifier.Get()))
        throw std::bad_alloc();
    return identifier;
}

ComPtr<IvxObjectTreeNode> FindSelectNode(IvxObjectTreeNode* node, IDispatch* select)
{
    ComPtr<IvxObjectTreeNode> current(node);
    while (current) {
        if (ComPtr<IvxObjectTreeNode> found = vxOpenAppHook::FindNodeByNativeObject(current.Get(), select, false))
            return found;
        ComPtr<IvxObjectTreeNode> parent;
        if (FAILED(current->GetParent(&parent)))
            break;
        current = std::move(parent);
    }
    return nullptr;
}

} // namespace vxCrRecording
