// The navigator itself: stable node handles, reads cached per evaluation,
// every native handle given back.
#include "XPathPageFixture.h"

#include "webfw/NativeModel/NodeHandle.h"
#include "webfw/XPath/XPathDomNavigator.h"
#include "webfw/XPath/engine/XPathExpression.h"
#include "webfw/chrome/CrFwAdapters.h"

using vxWebFw::XPath::CXPathDomNavigator;
using vxWebFw::XPath::Engine::Node;
using vxWebFw::XPath::Engine::NodeKind;

class NavigatorOnInputs : public XPathPageFixture
{
protected:
    void SetUp() override
    {
        Load("snapshots/inputs.json");
        chrome_ = std::make_unique<xpathtests::ChromeProviders>(helper_.Get());
        providers_ = {helper_->Adapters()->recognizerSet.get(),
                      &chrome_->nodeData,
                      &chrome_->attributes,
                      &chrome_->attributeData,
                      &chrome_->frames,
                      &chrome_->iframes};
    }

    long NativeCalls()
    {
        long calls = native_->TotalMemberCalls();
        for (int slot = 0; slot < static_cast<int>(harness::NativeSlot::Count); ++slot)
            calls += native_->SlotCalls(static_cast<harness::NativeSlot>(slot));
        return calls;
    }

    // Every node and attribute in document order.
    static size_t WalkAll(const CXPathDomNavigator& navigator)
    {
        size_t count = 0;
        Node root = navigator.Root();
        for (Node node = root; node; node = navigator.nextInSubtree(node, root)) {
            ++count;
            for (Node a = navigator.firstAttribute(node); a; a = navigator.nextAttribute(a))
                ++count;
            navigator.localName(node);
        }
        return count;
    }

    std::unique_ptr<xpathtests::ChromeProviders> chrome_;
    vxWebFw::XPath::XPathDomProviders providers_;
};

TEST_F(NavigatorOnInputs, SecondWalkIsServedFromTheRecordsAndHandlesComeBack)
{
    vxWebFw::NodeHandle document = Document();
    long before = native_->LiveHandles();
    {
        CXPathDomNavigator navigator(providers_, document.Get());
        ASSERT_TRUE(navigator.Root());
        size_t first = WalkAll(navigator);
        EXPECT_EQ(first, navigator.InternedCount());
        EXPECT_GT(native_->LiveHandles(), before);
        long calls = NativeCalls();
        EXPECT_EQ(first, WalkAll(navigator));
        EXPECT_EQ(calls, NativeCalls()) << "a second walk read the DOM again";
        EXPECT_EQ(first, navigator.InternedCount());
    }
    EXPECT_EQ(before, native_->LiveHandles());
}

TEST_F(NavigatorOnInputs, OneNodeHasOneHandleWhicheverWayItIsReached)
{
    vxWebFw::NodeHandle document = Document();
    CXPathDomNavigator navigator(providers_, document.Get());
    auto evaluate = [&](const wchar_t* text) {
        return vxWebFw::XPath::Engine::Expression::compile(text).evaluate(navigator, navigator.Root()).nodes();
    };
    std::vector<Node> forward = evaluate(L"//INPUT[@id='bogusType']/following-sibling::INPUT[1]");
    std::vector<Node> direct = evaluate(L"//INPUT[@id='pass1']");
    std::vector<Node> backward = evaluate(L"//INPUT[@id='check1']/preceding-sibling::*[1]");
    ASSERT_EQ(1u, direct.size());
    ASSERT_EQ(1u, forward.size());
    ASSERT_EQ(1u, backward.size());
    EXPECT_EQ(direct[0], forward[0]);
    EXPECT_EQ(direct[0], backward[0]);
    EXPECT_EQ(direct[0], navigator.parent(navigator.firstAttribute(direct[0])));
    // The union of the three paths is one node.
    EXPECT_EQ(1u, evaluate(L"//INPUT[@id='pass1'] | //INPUT[@id='bogusType']/following-sibling::INPUT[1]").size());
}

TEST_F(NavigatorOnInputs, DocumentTypeIsNotAChild)
{
    vxWebFw::NodeHandle document = Document();
    CXPathDomNavigator navigator(providers_, document.Get());
    Node first = navigator.firstChild(navigator.Root());
    ASSERT_TRUE(first);
    EXPECT_EQ(NodeKind::Element, first.kind);
    EXPECT_EQ(L"HTML", navigator.localName(first));
    EXPECT_FALSE(navigator.previousSibling(first));
}

TEST_F(NavigatorOnInputs, NoRootWithoutContextOrProviders)
{
    CXPathDomNavigator noContext(providers_, nullptr);
    EXPECT_FALSE(noContext.Root());
    vxWebFw::NodeHandle document = Document();
    vxWebFw::XPath::XPathDomProviders incomplete = providers_;
    incomplete.attributeData = nullptr;
    CXPathDomNavigator noProviders(incomplete, document.Get());
    EXPECT_FALSE(noProviders.Root());
}
