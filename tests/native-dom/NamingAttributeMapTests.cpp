// The id and name fallbacks of one naming share the element's attribute map
// (CCrElementAttributes, CCrFwEvaluationAttributes): one map read per
// element and evaluation, the same answers as reading each attribute on its
// own, nothing kept for another element or the next evaluation.
#include "PageFixture.h"
#include "quickbrowser/accessor/ElementAttributes.h"
#include "webfw/chrome/CrFwEvaluationAttributes.h"

using vxWebFw::Recognizing::RecognizedNode;

namespace {

// Elements whose id and name come from properties, attributes or nowhere.
const char* kNamingPage = R"({
 "format": "page-snapshot/1", "url": "http://fixtures.test/naming-map.html",
 "native": {"exclusionAttributeName": "data-vxcr-exclude"},
 "documents": [{"index":0,"node":1,"frameElement":null,"parentDocument":null,
   "window":{"innerWidth":800,"innerHeight":600,"scrollX":0,"scrollY":0,"devicePixelRatio":1},"hitGrid":null}],
 "frames": [],
 "nodes": [
  {"id":1,"parent":null,"doc":0,"props":{"nodeType":9,"nodeName":"#document","nodeValue":null,"body":{"$node":3},
    "activeElement":{"$node":3},"defaultView":{"$window":0},"all":{"$list":[2,3,4,5,6,7]}}},
  {"id":2,"parent":1,"doc":0,"props":{"nodeType":1,"nodeName":"HTML","tagName":"HTML","id":""},"attrs":[]},
  {"id":3,"parent":2,"doc":0,"props":{"nodeType":1,"nodeName":"BODY","tagName":"BODY","id":""},"attrs":[]},
  {"id":4,"parent":3,"doc":0,"props":{"nodeType":1,"nodeName":"DIV","tagName":"DIV","id":""},
    "attrs":[["class","c"],["name","nameAttribute"]]},
  {"id":5,"parent":3,"doc":0,"props":{"nodeType":1,"nodeName":"DIV","tagName":"DIV","id":""},
    "attrs":[["id","idAttribute"],["name","alsoNamed"]]},
  {"id":6,"parent":3,"doc":0,"props":{"nodeType":1,"nodeName":"SPAN","tagName":"SPAN","id":""},"attrs":[]},
  {"id":7,"parent":3,"doc":0,"props":{"nodeType":1,"nodeName":"INPUT","tagName":"INPUT","id":"inputId",
    "type":"text","name":"inputName"},"attrs":[["id","inputId"],["name","inputName"]]}
 ]})";

class NamingAttributeMap : public PageFixture
{
protected:
    void SetUp() override { LoadJson(kNamingPage); }


    // What the two fallbacks give when each reads the attributes on its own,
    // in the order the option says.
    std::wstring Separately(NodeImpl* node)
    {
        vx::com::BStr first, second;
        const bool preferName = helper_->Options().PreferName();
        preferName ? helper_->GetNameWithFallback(node, first.Out()) : helper_->GetIdWithFallback(node, first.Out());
        if (!first.Empty())
            return first.Str();
        preferName ? helper_->GetIdWithFallback(node, second.Out()) : helper_->GetNameWithFallback(node, second.Out());
        return second.Str();
    }

    std::wstring DomName(NodeImpl* node)
    {
        RecognizedNode recognized(node, Adapters().recognizerSet.get());
        vx::com::BStr name;
        EXPECT_EQ(S_OK, Adapters().domNodeStringIdEvaluator->Evaluate(recognized, name.Out()));
        return name.Str();
    }

    std::wstring TreeName(NodeImpl* node)
    {
        RecognizedNode recognized(node, Adapters().recognizerSet.get());
        vx::com::BStr name;
        bool keepRaw = true;
        EXPECT_EQ(S_OK, Adapters().treeItemStringIdEvaluator->Evaluate(recognized, name.Out(), &keepRaw));
        EXPECT_FALSE(keepRaw);
        return name.Str();
    }

    // Each element through both evaluators: the answer read separately, and
    // at most one attribute map per evaluation.
    void CheckEveryElement(const std::vector<std::pair<long, std::wstring>>& expected)
    {
        for (const auto& [nodeId, name] : expected) {
            vxWebFw::NodeHandle node = NodeById(nodeId);
            EXPECT_EQ(name, Separately(node.Get())) << "node " << nodeId;
            native_->ResetCounters();
            EXPECT_EQ(name, DomName(node.Get())) << "node " << nodeId;
            EXPECT_LE(native_->MemberCalls(L"attributes"), 1) << "node " << nodeId;
            native_->ResetCounters();
            EXPECT_EQ(name, TreeName(node.Get())) << "node " << nodeId;
            EXPECT_LE(native_->MemberCalls(L"attributes"), 1) << "node " << nodeId;
        }
    }
};

} // namespace

TEST_F(NamingAttributeMap, BothFallbacksShareOneMapAndAnswerAsBefore)
{
    CheckEveryElement({{4, L"nameAttribute"}, {5, L"idAttribute"}, {6, L""}, {7, L"inputId"}});

    // No id, name from the attribute: one map, both attributes looked up in it.
    vxWebFw::NodeHandle div = NodeById(4);
    native_->ResetCounters();
    EXPECT_EQ(L"nameAttribute", DomName(div.Get()));
    EXPECT_EQ(1, native_->MemberCalls(L"attributes"));
    EXPECT_EQ(2, native_->MemberCalls(L"getNamedItem"));
    // The properties win without any map read.
    vxWebFw::NodeHandle input = NodeById(7);
    native_->ResetCounters();
    EXPECT_EQ(L"inputId", DomName(input.Get()));
    EXPECT_EQ(0, native_->MemberCalls(L"attributes"));
}

TEST_F(NamingAttributeMap, TheNamePreferenceSharesTheMapTheOtherWayRound)
{
    PreferNames();
    CheckEveryElement({{4, L"nameAttribute"}, {5, L"alsoNamed"}, {6, L""}, {7, L"inputName"}});
}

TEST_F(NamingAttributeMap, EachEvaluationReadsTheMapAfresh)
{
    vxWebFw::NodeHandle div = NodeById(5);
    native_->ResetCounters();
    EXPECT_EQ(L"idAttribute", DomName(div.Get()));
    EXPECT_EQ(L"idAttribute", DomName(div.Get()));
    EXPECT_EQ(2, native_->MemberCalls(L"attributes")) << "nothing is kept from one evaluation to the next";
}

TEST_F(NamingAttributeMap, OpenAttributesAnswerOnlyForTheirElement)
{
    vxWebFw::NodeHandle named = NodeById(4), idOnly = NodeById(5);
    CCrFwEvaluationAttributes attributes;
    EXPECT_EQ(nullptr, attributes.For(named.Get()));
    HRESULT hr = attributes.With(helper_.Get(), named.Get(), [&]() -> HRESULT {
        EXPECT_NE(nullptr, attributes.For(named.Get()));
        EXPECT_EQ(nullptr, attributes.For(idOnly.Get()));
        vx::com::BStr own, other;
        EXPECT_EQ(S_OK, attributes.NameWithFallback(helper_.Get(), named.Get(), own.Out()));
        EXPECT_EQ(S_OK, attributes.NameWithFallback(helper_.Get(), idOnly.Get(), other.Out()));
        EXPECT_EQ(L"nameAttribute", own.Str());
        EXPECT_EQ(L"alsoNamed", other.Str()) << "another element's attributes come from its own map";
        return S_FALSE;
    });
    EXPECT_EQ(S_FALSE, hr);
    EXPECT_EQ(nullptr, attributes.For(named.Get())) << "closed when the evaluation ends";
}

TEST_F(NamingAttributeMap, AMapThatCannotBeReadIsAskedForOnce)
{
    vxWebFw::NodeHandle text = NodeById(1); // the document has no attribute map
    CCrElementAttributes attributes(helper_.Get(), text.Get());
    native_->ResetCounters();
    vx::com::BStr value;
    EXPECT_EQ(S_OK, attributes.Get(L"id", value.Out()));
    EXPECT_EQ(nullptr, value.Get());
    EXPECT_EQ(S_OK, attributes.Get(L"name", value.Out()));
    EXPECT_EQ(nullptr, value.Get());
    EXPECT_EQ(1, native_->MemberCalls(L"attributes"));
    EXPECT_EQ(E_POINTER, attributes.Get(L"id", nullptr));
}
