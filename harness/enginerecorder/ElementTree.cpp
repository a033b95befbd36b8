#include "harness/enginerecorder/ElementTree.h"

#include "generated/vxOpenAppServices.h"

using Microsoft::WRL::ComPtr;

namespace vxtest {

ElementTree::ElementTree(IDispatch* windowObject, const ChildrenOf& children, int depth)
    : root_(CTestTreeNode::Create())
{
    root_->AddEntry(windowObject);
    Expand(root_.Get(), children, depth);
}

CTestTreeNode* ElementTree::Page() const
{
    ComPtr<IvxObjectTreeNode> page;
    return SUCCEEDED(root_->GetChild(0, &page)) ? static_cast<CTestTreeNode*>(page.Get()) : nullptr;
}

CTestTreeNode* ElementTree::Element(const std::wstring& id) const
{
    auto it = elements_.find(id);
    return it == elements_.end() ? nullptr : it->second;
}

void ElementTree::Expand(CTestTreeNode* node, const ChildrenOf& children, int depth)
{
    ComPtr<IvxObject> object = node->FirstTestObject();
    ComPtr<IDispatch> dispatch;
    if (depth == 0 || !object || FAILED(object.As(&dispatch)))
        return;
    for (const ComPtr<IDispatch>& child : children(dispatch.Get())) {
        ComPtr<CTestTreeNode> childNode = node->AddChild();
        childNode->AddEntry(child.Get());
        ComPtr<IvxWebObject> element;
        BSTR className = nullptr, id = nullptr;
        if (SUCCEEDED(child.As(&element)) && SUCCEEDED(element->GetClassNameAndId(&className, &id)) && id &&
            SysStringLen(id))
            elements_.emplace(std::wstring(id, SysStringLen(id)), childNode.Get());
        SysFreeString(className);
        SysFreeString(id);
        Expand(childNode.Get(), children, depth - 1);
    }
}

} // namespace vxtest
