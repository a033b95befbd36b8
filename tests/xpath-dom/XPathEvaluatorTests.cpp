// The evaluator with a node handler written here: what reaches the handler,
// and how its answers shape the result.
#include "XPathPageFixture.h"

#include "webfw/NativeModel/NodeHandle.h"
#include "webfw/XPath/XPathEvaluator.h"
#include "webfw/chrome/CrFwAdapters.h"

using vxWebFw::Recognizing::RecognizedNode;

namespace {

// Answers VT_I4 with the native node type, or fails at the n-th call.
class ScriptedHandler : public vxWebFw::XPath::CWebFwXPathEvaluatedNodeHandlerImpl
{
public:
    HRESULT HandleNode(RecognizedNode& node, const std::vector<RecognizedNode>& frameChain, VARIANT* value) override
    {
        VariantInit(value);
        ++calls;
        chainLengths.push_back(frameChain.size());
        if (calls == failAt)
            return E_ACCESSDENIED;
        if (node.GetNodeType() != vxWebFw::Recognizing::ntElement)
            return S_FALSE;
        V_VT(value) = VT_I4;
        V_I4(value) = node.GetElementType();
        return S_OK;
    }
    int calls = 0;
    int failAt = 0;
    std::vector<size_t> chainLengths;
};

} // namespace

class EvaluatorOnFrames : public XPathPageFixture
{
protected:
    void SetUp() override
    {
        Load("snapshots/iframes.json");
        chrome_ = std::make_unique<xpathtests::ChromeProviders>(helper_.Get());
        evaluator_ = std::make_unique<vxWebFw::XPath::CXPathEvaluator>(
            helper_->Adapters()->recognizerSet.get(), &chrome_->nodeData, &chrome_->attributes, &chrome_->attributeData,
            &chrome_->frames, &chrome_->iframes, &handler_);
    }

    HRESULT Run(const wchar_t* expression, vx::com::Variant& result)
    {
        vxWebFw::NodeHandle document = Document();
        return evaluator_->Evaluate(expression, document.Get(), result.Out());
    }

    ScriptedHandler handler_;
    std::unique_ptr<xpathtests::ChromeProviders> chrome_;
    std::unique_ptr<vxWebFw::XPath::CXPathEvaluator> evaluator_;
};

TEST_F(EvaluatorOnFrames, HandlerSeesEachNodeWithItsFrameDepth)
{
    vx::com::Variant result;
    ASSERT_EQ(S_OK, Run(L"//DIV[@id='topBox'] | //DIV[@id='outerBox'] | //DIV[@id='innerBox']", result));
    std::vector<VARIANT*> elements = Elements(result);
    ASSERT_EQ(3u, elements.size());
    EXPECT_EQ((std::vector<size_t>{0, 1, 2}), handler_.chainLengths);
    for (VARIANT* element : elements) {
        ASSERT_EQ(VT_I4, V_VT(element));
        EXPECT_EQ(vxWebFw::Recognizing::etDIV, V_I4(element));
    }
    elements.clear();
    ExpectHandlesBackAfter(result);
}

TEST_F(EvaluatorOnFrames, HandlerFailureAbortsTheConversion)
{
    handler_.failAt = 2;
    vx::com::Variant result;
    EXPECT_EQ(E_ACCESSDENIED, Run(L"//DIV", result));
    EXPECT_EQ(VT_EMPTY, result.Type());
    EXPECT_EQ(2, handler_.calls);
    ExpectHandlesBackAfter(result);
}

TEST_F(EvaluatorOnFrames, NoValueLeavesTheArrayElementEmpty)
{
    vx::com::Variant result;
    ASSERT_EQ(S_OK, Run(L"//DIV[@id='topBox']/node() | //DIV[@id='topBox']", result));
    std::vector<VARIANT*> elements = Elements(result);
    ASSERT_EQ(2u, elements.size());
    EXPECT_EQ(VT_I4, V_VT(elements[0]));
    EXPECT_EQ(VT_EMPTY, V_VT(elements[1]));
    elements.clear();
    ExpectHandlesBackAfter(result);
}
