// XPath 1.0 over captured pages through the DOM navigator and the evaluator:
// result types, name rules, frames and their chains, id(), errors with their
// description, the navigator's interning, and every handle given back.
// Expected values come from the snapshot's own node table.
#include <functional>
#include <memory>

#include "NativePage.h"
#include "ThreadErrorInfo.h"
#include "platform/com/Variant.h"
#include "webfw/XPath/XPathEvaluator.h"
#include "webfw/XPath/engine/XPathExpression.h"

namespace webfwnative {
namespace {

using vx::com::Variant;
using vxWebFw::Recognizing::RecognizedNode;
using vxWebFw::XPath::CXPathDomNavigator;
using vxWebFw::XPath::Engine::Node;
using vxWebFw::XPath::Engine::NodeKind;

// Gives an element "<frame id>!...!<node id>" (the node ids of the frames
// crossed, outermost first, then its own) and an attribute "name=value";
// other nodes have no value. Can fail at a chosen call.
class PathHandler : public vxWebFw::XPath::CWebFwXPathEvaluatedNodeHandlerImpl
{
public:
    explicit PathHandler(PageModel& model) : model_(model) {}

    HRESULT HandleNode(RecognizedNode& node, const std::vector<RecognizedNode>& frameChain, VARIANT* value) override
    {
        VariantInit(value);
        ++calls;
        chainLengths.push_back(frameChain.size());
        if (calls == failAt)
            return E_ACCESSDENIED;
        std::wstring text;
        if (node.GetNodeType() == vxWebFw::Recognizing::ntElement) {
            for (const RecognizedNode& frame : frameChain)
                text += std::to_wstring(model_.NodeIdOf(frame.GetNode())) + L"!";
            text += std::to_wstring(model_.NodeIdOf(node.GetNode()));
        } else if (node.GetNodeType() == vxWebFw::Recognizing::ntAttribute) {
            vx::com::BStr name, attributeValue;
            model_.ReadString(node.GetNode(), L"name", name.Out());
            model_.ReadString(node.GetNode(), L"value", attributeValue.Out());
            text = name.Str() + L"=" + attributeValue.Str();
        } else {
            return S_FALSE;
        }
        V_VT(value) = VT_BSTR;
        V_BSTR(value) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return S_OK;
    }

    int calls = 0;
    int failAt = 0;
    std::vector<size_t> chainLengths;

private:
    PageModel& model_;
};

class XPathPage : public NativePage
{
protected:
    void Open(const std::string& snapshot, bool withElementsById = true)
    {
        Load(snapshot);
        handler_ = std::make_unique<PathHandler>(Model());
        PageAdapters& a = Adapters();
        evaluator_ = std::make_unique<vxWebFw::XPath::CXPathEvaluator>(
            &a.recognizers, &a.nodeData, &a.attributes, &a.attributeData, &a.frameDocuments, &a.iframeDocuments,
            handler_.get(), withElementsById ? &a.elementsById : nullptr);
    }

    vxWebFw::XPath::XPathDomProviders Providers()
    {
        PageAdapters& a = Adapters();
        return {&a.recognizers,    &a.nodeData,        &a.attributes,  &a.attributeData,
                &a.frameDocuments, &a.iframeDocuments, &a.elementsById};
    }

    HRESULT Evaluate(const wchar_t* expression, Variant& result)
    {
        vxWebFw::NodeHandle document = Document();
        return evaluator_->Evaluate(expression, document.Get(), result.Out());
    }

    double Number(const wchar_t* expression)
    {
        Variant result;
        EXPECT_EQ(S_OK, Evaluate(expression, result)) << expression;
        EXPECT_EQ(VT_R8, result.Type()) << expression;
        return result.Type() == VT_R8 ? V_R8(result.Get()) : -1;
    }

    std::wstring String(const wchar_t* expression)
    {
        Variant result;
        EXPECT_EQ(S_OK, Evaluate(expression, result)) << expression;
        EXPECT_EQ(VT_BSTR, result.Type()) << expression;
        return result.Type() == VT_BSTR && V_BSTR(result.Get()) ? V_BSTR(result.Get()) : L"<null>";
    }

    // The values of a node-set result, VT_EMPTY ones as "<none>".
    std::vector<std::wstring> Values(const wchar_t* expression)
    {
        Variant result;
        EXPECT_EQ(S_OK, Evaluate(expression, result)) << expression;
        std::vector<std::wstring> values;
        for (VARIANT* element : Elements(result))
            values.push_back(V_VT(element) == VT_BSTR ? std::wstring(V_BSTR(element)) : L"<none>");
        return values;
    }

    static std::vector<VARIANT*> Elements(Variant& result)
    {
        std::vector<VARIANT*> out;
        if (result.Type() != (VT_ARRAY | VT_VARIANT))
            return out;
        SAFEARRAY* array = V_ARRAY(result.Get());
        LONG lower = -1, upper = -2;
        EXPECT_EQ(S_OK, SafeArrayGetLBound(array, 1, &lower));
        EXPECT_EQ(S_OK, SafeArrayGetUBound(array, 1, &upper));
        EXPECT_EQ(0, lower);
        for (LONG i = lower; i <= upper; ++i)
            out.push_back(static_cast<VARIANT*>(array->pvData) + i);
        return out;
    }

    // Nodes of the snapshot (every document) that satisfy `test`.
    long CountNodes(const std::function<bool(const harness::SnapNode&)>& test)
    {
        long count = 0;
        for (long id = 1; id <= Page().NodeCount(); ++id)
            if (test(Page().Node(id)))
                ++count;
        return count;
    }
    std::wstring NodeName(const harness::SnapNode& node) { return Page().StringProp(node.id, L"nodeName"); }
    static const std::wstring* Attribute(const harness::SnapNode& node, const wchar_t* name)
    {
        for (const auto& attribute : node.attrs)
            if (attribute.first == name)
                return &attribute.second;
        return nullptr;
    }
    std::wstring Id(const wchar_t* elementId)
    {
        const long id = IdOf(elementId);
        EXPECT_NE(0, id) << std::wstring(elementId);
        return std::to_wstring(id);
    }

    void ExpectHandlesBack() { EXPECT_EQ(startHandles_, Model().LiveHandles()) << "node handles left behind"; }

    std::unique_ptr<PathHandler> handler_;
    std::unique_ptr<vxWebFw::XPath::CXPathEvaluator> evaluator_;
};

// ---------------------------------------------------------------- results

class LinksPage : public XPathPage
{
protected:
    void SetUp() override { Open("snapshots/links-images.json"); }
};

TEST_F(LinksPage, CountsAreNumbersAndNamesCompareExactly)
{
    const long links = CountNodes([&](const harness::SnapNode& n) { return n.nodeType == 1 && NodeName(n) == L"A"; });
    ASSERT_GT(links, 5);
    EXPECT_EQ(static_cast<double>(links), Number(L"count(//A)"));
    EXPECT_EQ(0.0, Number(L"count(//a)")) << "the native nodeName is upper case";
    ExpectHandlesBack();
}

TEST_F(LinksPage, AttributesComeInDocumentOrderThroughTheHandler)
{
    std::vector<std::wstring> expected;
    for (long id = 1; id <= Page().NodeCount(); ++id)
        if (const std::wstring* href = Page().Node(id).nodeType == 1 && NodeName(Page().Node(id)) == L"A"
                                           ? Attribute(Page().Node(id), L"href")
                                           : nullptr)
            expected.push_back(L"href=" + *href);
    ASSERT_GT(expected.size(), 1u);
    EXPECT_EQ(L"href=docs/My%20File.pdf", expected.front());
    EXPECT_EQ(expected, Values(L"//A/@href"));
    ExpectHandlesBack();
}

TEST_F(LinksPage, ScalarResults)
{
    EXPECT_EQ(L"#top", String(L"string(//A[@id='fragmentLink']/@href)"));
    Variant result;
    ASSERT_EQ(S_OK, Evaluate(L"boolean(//A[@id='mailLink'])", result));
    ASSERT_EQ(VT_BOOL, result.Type());
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(result.Get()));
    ASSERT_EQ(S_OK, Evaluate(L"boolean(//A[@id='noSuchLink'])", result));
    ASSERT_EQ(VT_BOOL, result.Type());
    EXPECT_EQ(VARIANT_FALSE, V_BOOL(result.Get()));
    EXPECT_EQ(L"<null>", String(L"string(//A[@id='noSuchLink'])")) << "an empty string is a null BSTR";
    ASSERT_EQ(S_OK, Evaluate(L"//NOSUCHELEMENT", result));
    EXPECT_EQ(VT_EMPTY, result.Type());
    ASSERT_EQ(S_OK, Evaluate(L"//A[@id='spaceLink']/@nosuchattribute", result));
    EXPECT_EQ(VT_EMPTY, result.Type());
    result.Out();
    ExpectHandlesBack();
}

TEST_F(LinksPage, RootIsItsStringValueAndTextNodesHaveNoValue)
{
    const std::vector<std::wstring> root = Values(L"/");
    ASSERT_EQ(1u, root.size());
    EXPECT_EQ(String(L"string(/)"), root[0]);
    EXPECT_NE(std::wstring::npos, root[0].find(L"Links")) << "the root's value holds the page's text";
    EXPECT_EQ(0, handler_->calls) << "the root is not handed to the handler";

    EXPECT_GE(Number(L"count(//A[@id='spaceLink']/text())"), 1.0);
    for (const std::wstring& value : Values(L"//A[@id='spaceLink']/text()"))
        EXPECT_EQ(L"<none>", value);
    ExpectHandlesBack();
}

TEST_F(LinksPage, ErrorsAnswerTheExceptionAndPublishTheDescription)
{
    for (const wchar_t* expression : {L"//A[@href", L"count(//A", L"//A[@id='x]", L"$undefined", L"", L"foo()"}) {
        vxcompat::ClearThreadErrorInfo();
        Variant result;
        EXPECT_EQ(DISP_E_EXCEPTION, Evaluate(expression, result)) << expression;
        EXPECT_EQ(VT_EMPTY, result.Type());
        vxcompat::ThreadErrorInfo info;
        ASSERT_EQ(S_OK, vxcompat::TakeThreadErrorInfo(info)) << expression;
        EXPECT_EQ(std::wstring(L"Invalid syntax of the XPath expression:\n ") + expression +
                      L" \n\nCheck the expression syntax and correct it, if needed.\n"
                      L"Pay attention to missing parentheses, brackets and quotes.",
                  info.description);
        ExpectHandlesBack();
    }
    Variant result;
    vxWebFw::NodeHandle document = Document();
    EXPECT_EQ(E_INVALIDARG, evaluator_->Evaluate(nullptr, document.Get(), result.Out()));
    EXPECT_EQ(E_INVALIDARG, evaluator_->Evaluate(L"1", nullptr, result.Out()));
    EXPECT_EQ(E_POINTER, evaluator_->Evaluate(L"1", document.Get(), nullptr));
    PageAdapters& a = Adapters();
    vxWebFw::XPath::CXPathEvaluator incomplete(&a.recognizers, &a.nodeData, nullptr, &a.attributeData,
                                               &a.frameDocuments, &a.iframeDocuments, handler_.get());
    EXPECT_EQ(E_POINTER, incomplete.Evaluate(L"1", document.Get(), result.Out()));
}

class InputsPage : public XPathPage
{
protected:
    void SetUp() override { Open("snapshots/inputs.json"); }
};

TEST_F(InputsPage, AttributePredicatesAndAxes)
{
    const long textInputs = CountNodes([&](const harness::SnapNode& n) {
        const std::wstring* type = n.nodeType == 1 && NodeName(n) == L"INPUT" ? Attribute(n, L"type") : nullptr;
        return type && *type == L"text";
    });
    ASSERT_GT(textInputs, 0);
    EXPECT_EQ(static_cast<double>(textInputs), Number(L"count(//INPUT[@type='text'])"));
    EXPECT_EQ(0.0, Number(L"count(//input[@type='text'])"));
    EXPECT_EQ(L"42", String(L"string(//INPUT[@id='number1']/@value)"));
    // preceding-sibling and following-sibling rely on stable sibling links.
    EXPECT_EQ(L"bogusType", String(L"string(//INPUT[@id='pass1']/preceding-sibling::INPUT[1]/@id)"));
    EXPECT_EQ(L"check1", String(L"string(//INPUT[@id='pass1']/following-sibling::INPUT[1]/@id)"));
    EXPECT_EQ(1.0, Number(L"count(//INPUT[@id='pass1']/ancestor::BODY)"));
    ExpectHandlesBack();
}

// ---------------------------------------------------------------- frames

class FramesPage : public XPathPage
{
protected:
    void SetUp() override { Open("snapshots/iframes.json"); }
};

TEST_F(FramesPage, FramesCrossedAreHandedOverOutermostFirst)
{
    EXPECT_EQ((std::vector<std::wstring>{Id(L"outerFrame") + L"!" + Id(L"outerBox")}),
              Values(L"//IFRAME[@id='outerFrame']//DIV[@id='outerBox']"));
    EXPECT_EQ((std::vector<std::wstring>{Id(L"outerFrame") + L"!" + Id(L"innerFrame") + L"!" + Id(L"innerInput")}),
              Values(L"//IFRAME[@id='innerFrame']/*/HTML/BODY/INPUT"));
    handler_->chainLengths.clear();
    EXPECT_EQ(3u, Values(L"//DIV[@id='topBox'] | //DIV[@id='outerBox'] | //DIV[@id='innerBox']").size());
    EXPECT_EQ((std::vector<size_t>{0, 1, 2}), handler_->chainLengths);
    ExpectHandlesBack();
}

TEST_F(FramesPage, FrameDocumentIsTheOnlyChildOfTheFrame)
{
    EXPECT_EQ(1.0, Number(L"count(//IFRAME[@id='borderFrame']/node())"));
    EXPECT_EQ(L"#document", String(L"name(//IFRAME[@id='borderFrame']/*)"));
    EXPECT_EQ((std::vector<std::wstring>{L"<none>"}), Values(L"//IFRAME[@id='borderFrame']/*"))
        << "a frame's document is not an element of the page";
    Variant result;
    ASSERT_EQ(S_OK, Evaluate(L"//IFRAME[@id='foreignFrame']/node()", result));
    EXPECT_EQ(VT_EMPTY, result.Type()) << "a frame whose document is out of reach has no children";
    result.Out();
    // Every reachable document belongs to the tree.
    const long divs = CountNodes([&](const harness::SnapNode& n) { return n.nodeType == 1 && NodeName(n) == L"DIV"; });
    EXPECT_EQ(static_cast<double>(divs), Number(L"count(//DIV)"));
    ExpectHandlesBack();
}

TEST_F(FramesPage, HandlerFailureAbortsTheConversionAndNoValueLeavesAnEmptySlot)
{
    handler_->failAt = 2;
    Variant result;
    EXPECT_EQ(E_ACCESSDENIED, Evaluate(L"//DIV", result));
    EXPECT_EQ(VT_EMPTY, result.Type());
    EXPECT_EQ(2, handler_->calls);
    ExpectHandlesBack();

    handler_->failAt = 0;
    const std::vector<std::wstring> values = Values(L"//DIV[@id='topBox']/node() | //DIV[@id='topBox']");
    ASSERT_EQ(2u, values.size());
    EXPECT_EQ(Id(L"topBox"), values[0]);
    EXPECT_EQ(L"<none>", values[1]);
    ExpectHandlesBack();
}

// ---------------------------------------------------------------- id()

class NamingPageIds : public XPathPage
{
protected:
    void SetUp() override { Open("snapshots/naming.json"); }
};

TEST_F(NamingPageIds, OneIdSelectsTheFirstElementCarryingIt)
{
    // Two DIVs share id x: the document answers the first in tree order, and
    // the union with the same node reached by navigation has one member.
    EXPECT_EQ(1.0, Number(L"count(id('x'))"));
    EXPECT_EQ(1.0, Number(L"count(id('x') | (//DIV[@id='x'])[1])"));
    EXPECT_EQ(2.0, Number(L"count(id('x') | (//DIV[@id='x'])[2])"));
    EXPECT_EQ(L"x one", String(L"string(id('x'))"));
    EXPECT_EQ(L"HTML", String(L"name(id('body-element')/..)"));
    EXPECT_GT(Model().Reads(L"getElementById"), 0);
    ExpectHandlesBack();
}

TEST_F(NamingPageIds, TokensAreLookedUpOneByOneAndCompareExactly)
{
    EXPECT_EQ(3.0, Number(L"count(id('Dup DUP dup'))"));
    EXPECT_EQ(2.0, Number(L"count(id(' dup\tDup dup '))"));
    EXPECT_EQ(1.0, Number(L"count(id('DUP'))"));
    EXPECT_EQ(0.0, Number(L"count(id('dUp'))"));
    EXPECT_EQ(L"Dup", String(L"string(id('dup DUP Dup')[1])")) << "document order whatever the token order";
    EXPECT_EQ(L"dup", String(L"string(id('dup DUP Dup')[last()])"));
    EXPECT_EQ(L"a-b", String(L"string(id(//INPUT[@name='b']/@id)/@value)"));
    EXPECT_EQ(4.0, Number(L"count(id(//DIV/@id))")) << "x twice, Dup, DUP, dup";
    ExpectHandlesBack();
}

TEST_F(NamingPageIds, UnknownEmptyAndOtherDocumentsIdsSelectNothing)
{
    Variant result;
    ASSERT_EQ(S_OK, Evaluate(L"id('no-such-id')", result));
    EXPECT_EQ(VT_EMPTY, result.Type());
    EXPECT_EQ(0.0, Number(L"count(id(''))"));
    EXPECT_EQ(0.0, Number(L"count(id('   '))"));
    EXPECT_EQ(0.0, Number(L"count(id('frameBox'))")) << "frame content is another document";
    EXPECT_EQ((std::vector<std::wstring>{Id(L"Dup"), Id(L"a")}), Values(L"id('a Dup')"));
    ExpectHandlesBack();
}

TEST_F(NamingPageIds, WithoutTheLookupIdSelectsNothing)
{
    Open("snapshots/naming.json", false);
    EXPECT_EQ(0.0, Number(L"count(id('x'))"));
    EXPECT_EQ(1.0, Number(L"count(//DIV[@id='x'][1])"));
    EXPECT_EQ(0, Model().Reads(L"getElementById"));
    ExpectHandlesBack();
}

class FramesPageIds : public XPathPage
{
protected:
    void SetUp() override { Open("snapshots/iframes.json"); }
};

TEST_F(FramesPageIds, IdIsAnsweredByTheContextNodesOwnDocument)
{
    EXPECT_EQ(1.0, Number(L"count(//BODY[id('outerBox')])"));
    EXPECT_EQ(1.0, Number(L"count(//BODY[id('topBox')])"));
    EXPECT_EQ(0.0, Number(L"count(//BODY[id('topBox')]/ancestor::IFRAME)"));
    EXPECT_EQ(1.0, Number(L"count(//IFRAME[@id='outerFrame']//BODY[id('innerBox')])"));
    EXPECT_EQ(0.0, Number(L"count(id('innerBox'))"));
    // The node id() finds in a nested frame is the node navigation reaches.
    EXPECT_EQ((std::vector<std::wstring>{Id(L"outerFrame") + L"!" + Id(L"innerFrame") + L"!" + Id(L"innerBox")}),
              Values(L"//*[id('innerBox') and count(. | id('innerBox')) = 1]"));
    EXPECT_EQ(1.0, Number(L"count(//*[id('fromSrcdoc') and count(. | id('fromSrcdoc')) = 1])"));
    ExpectHandlesBack();
}

// ---------------------------------------------------------------- the navigator

class Navigator : public XPathPage
{
protected:
    void SetUp() override { Open("snapshots/inputs.json"); }

    // Every node and attribute in document order, names read.
    static size_t WalkAll(const CXPathDomNavigator& navigator)
    {
        size_t count = 0;
        const Node root = navigator.Root();
        for (Node node = root; node; node = navigator.nextInSubtree(node, root)) {
            ++count;
            for (Node a = navigator.firstAttribute(node); a; a = navigator.nextAttribute(a))
                ++count;
            navigator.localName(node);
        }
        return count;
    }
};

TEST_F(Navigator, SecondWalkIsServedFromTheRecordsAndHandlesComeBack)
{
    vxWebFw::NodeHandle document = Document();
    const long before = Model().LiveHandles();
    {
        CXPathDomNavigator navigator(Providers(), document.Get());
        ASSERT_TRUE(navigator.Root());
        const size_t first = WalkAll(navigator);
        EXPECT_EQ(first, navigator.InternedCount());
        EXPECT_GT(Model().LiveHandles(), before);
        const long reads = Model().TotalReads();
        EXPECT_EQ(first, WalkAll(navigator));
        EXPECT_EQ(reads, Model().TotalReads()) << "a second walk read the DOM again";
        EXPECT_EQ(first, navigator.InternedCount());
    }
    EXPECT_EQ(before, Model().LiveHandles());
}

TEST_F(Navigator, OneNodeHasOneHandleWhicheverWayItIsReached)
{
    vxWebFw::NodeHandle document = Document();
    CXPathDomNavigator navigator(Providers(), document.Get());
    auto evaluate = [&](const wchar_t* text) {
        return vxWebFw::XPath::Engine::Expression::compile(text).evaluate(navigator, navigator.Root()).nodes();
    };
    const std::vector<Node> forward = evaluate(L"//INPUT[@id='bogusType']/following-sibling::INPUT[1]");
    const std::vector<Node> direct = evaluate(L"//INPUT[@id='pass1']");
    const std::vector<Node> backward = evaluate(L"//INPUT[@id='check1']/preceding-sibling::*[1]");
    ASSERT_EQ(1u, direct.size());
    ASSERT_EQ(1u, forward.size());
    ASSERT_EQ(1u, backward.size());
    EXPECT_EQ(direct[0], forward[0]);
    EXPECT_EQ(direct[0], backward[0]);
    EXPECT_EQ(direct[0], navigator.parent(navigator.firstAttribute(direct[0])));
    EXPECT_EQ(IdOf(L"pass1"), Model().NodeIdOf(navigator.NativeNode(direct[0])));
    EXPECT_EQ(1u, evaluate(L"//INPUT[@id='pass1'] | //INPUT[@id='bogusType']/following-sibling::INPUT[1]").size());
}

TEST_F(Navigator, DocumentTypeIsNotAChildAndNoRootWithoutContextOrProviders)
{
    vxWebFw::NodeHandle document = Document();
    {
        CXPathDomNavigator navigator(Providers(), document.Get());
        const Node first = navigator.firstChild(navigator.Root());
        ASSERT_TRUE(first);
        EXPECT_EQ(NodeKind::Element, first.kind);
        EXPECT_EQ(L"HTML", navigator.localName(first));
        EXPECT_FALSE(navigator.previousSibling(first));
    }
    CXPathDomNavigator noContext(Providers(), nullptr);
    EXPECT_FALSE(noContext.Root());
    vxWebFw::XPath::XPathDomProviders incomplete = Providers();
    incomplete.attributeData = nullptr;
    CXPathDomNavigator noProviders(incomplete, document.Get());
    EXPECT_FALSE(noProviders.Root());
}

TEST_F(Navigator, UnreadableSiblingsLookAbsent)
{
    EXPECT_EQ(1.0, Number(L"count(/node())"));
    EXPECT_EQ(1.0, Number(L"count(/HTML/BODY)"));
    Model().RefuseMember(L"nextSibling", E_ACCESSDENIED);
    // The document's first child is its document type, passed over by reading
    // its next sibling: nothing is left to see.
    EXPECT_EQ(0.0, Number(L"count(/node())"));
    ExpectHandlesBack();
}

} // namespace
} // namespace webfwnative
