// Converting a node-set result: the node type the navigator read on reaching
// a node goes with it to the node handler, so the conversion does not read
// it again; a node whose type was never read (an attribute, a frame's
// document) is read as before.
#include "XPathPageFixture.h"

#include "webfw/XPath/XPathEvaluator.h"

using vxWebFw::Recognizing::RecognizedNode;

namespace {

// Answers each element's element type; other nodes give no value.
class TypeReadingHandler : public vxWebFw::XPath::CWebFwXPathEvaluatedNodeHandlerImpl
{
public:
    HRESULT HandleNode(RecognizedNode& node, const std::vector<RecognizedNode>&, VARIANT* value) override
    {
        VariantInit(value);
        types.push_back(node.GetNodeType());
        if (types.back() != vxWebFw::Recognizing::ntElement)
            return S_FALSE;
        V_VT(value) = VT_I4;
        V_I4(value) = node.GetElementType();
        return S_OK;
    }
    std::vector<long> types;
};

class XPathResultReads : public XPathPageFixture
{
protected:
    void SetUp() override
    {
        Load("snapshots/text-blocks.json");
        chrome_ = std::make_unique<xpathtests::ChromeProviders>(helper_.Get());
        evaluator_ = std::make_unique<vxWebFw::XPath::CXPathEvaluator>(
            helper_->Adapters()->recognizerSet.get(), &chrome_->nodeData, &chrome_->attributes, &chrome_->attributeData,
            &chrome_->frames, &chrome_->iframes, &handler_);
    }

    // Node-type reads of one evaluation.
    long NodeTypeReads(const wchar_t* expression, vx::com::Variant& result)
    {
        vxWebFw::NodeHandle document = Document();
        native_->ResetCounters();
        EXPECT_EQ(S_OK, evaluator_->Evaluate(expression, document.Get(), result.Out()));
        return native_->MemberCalls(L"nodeType");
    }

    TypeReadingHandler handler_;
    std::unique_ptr<xpathtests::ChromeProviders> chrome_;
    std::unique_ptr<vxWebFw::XPath::CXPathEvaluator> evaluator_;
};

} // namespace

TEST_F(XPathResultReads, ElementResultsAreNotAskedForTheirTypeAgain)
{
    vx::com::Variant counted, divs;
    const long walk = NodeTypeReads(L"count(//DIV)", counted);
    ASSERT_EQ(VT_R8, counted.Type());
    const long divCount = static_cast<long>(V_R8(counted.Get()));
    ASSERT_GT(divCount, 0);
    EXPECT_EQ(walk, NodeTypeReads(L"//DIV", divs));
    ASSERT_EQ(static_cast<size_t>(divCount), handler_.types.size());
    for (long type : handler_.types)
        EXPECT_EQ(vxWebFw::Recognizing::ntElement, type);
    ASSERT_EQ(VT_ARRAY | VT_VARIANT, divs.Type());
    VARIANT* values = static_cast<VARIANT*>(V_ARRAY(divs.Get())->pvData);
    for (long i = 0; i < divCount; ++i) {
        EXPECT_EQ(VT_I4, V_VT(&values[i]));
        EXPECT_EQ(vxWebFw::Recognizing::etDIV, V_I4(&values[i]));
    }
}

TEST_F(XPathResultReads, AttributeResultsAreReadAsBefore)
{
    vx::com::Variant counted, ids;
    const long walk = NodeTypeReads(L"count(//@id)", counted);
    ASSERT_EQ(VT_R8, counted.Type());
    const long idCount = static_cast<long>(V_R8(counted.Get()));
    ASSERT_GT(idCount, 0);
    EXPECT_EQ(walk + idCount, NodeTypeReads(L"//@id", ids)) << "one read per attribute result";
    ASSERT_EQ(static_cast<size_t>(idCount), handler_.types.size());
    for (long type : handler_.types)
        EXPECT_EQ(vxWebFw::Recognizing::ntAttribute, type);
}
