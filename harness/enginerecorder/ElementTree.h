#pragma once
// The engine's object tree below one window object, as the engine builds it
// while recording: a node per object the modules give as children, each
// holding that test object, with the elements found by their id. Test
// equipment.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "harness/enginetree/EngineTree.h"

namespace vxtest {

class ElementTree
{
public:
    using ChildrenOf = std::function<std::vector<Microsoft::WRL::ComPtr<IDispatch>>(IDispatch* parent)>;

    // Walks `depth` levels below the window object.
    ElementTree(IDispatch* windowObject, const ChildrenOf& children, int depth);

    CTestTreeNode* Root() const { return root_.Get(); }
    // The first page below the window; null when there is none.
    CTestTreeNode* Page() const;
    // The node of the first element with that id (its IvxWebObject's id);
    // null when there is none.
    CTestTreeNode* Element(const std::wstring& id) const;

private:
    void Expand(CTestTreeNode* node, const ChildrenOf& children, int depth);

    Microsoft::WRL::ComPtr<CTestTreeNode> root_;
    std::map<std::wstring, CTestTreeNode*> elements_; // owned by the tree
};

} // namespace vxtest
