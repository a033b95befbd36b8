// XPath over captured pages: result types, name rules, frames, errors and
// the return of every node handle.
#include "XPathPageFixture.h"

#include <oleauto.h>

#include "webfw/XPath/XPathEvaluator.h"

using vx::com::Variant;

namespace {

std::wstring ExpectedMessage(const std::wstring& expression)
{
    return L"Invalid syntax of the XPath expression:\n " + expression +
           L" \n\nCheck the expression syntax and correct it, if needed.\n"
           L"Pay attention to missing parentheses, brackets and quotes.";
}

} // namespace

class LinksPageXPath : public XPathPageFixture
{
protected:
    void SetUp() override { Load("snapshots/links-images.json"); }
};

TEST_F(LinksPageXPath, CountOfLinksIsANumber)
{
    long links = CountNodes([&](const harness::SnapNode& n) { return n.nodeType == 1 && NodeName(n) == L"A"; });
    ASSERT_GT(links, 5);
    Variant result;
    ASSERT_EQ(S_OK, Evaluate(L"count(//A)", result));
    ASSERT_EQ(VT_R8, result.Type());
    EXPECT_EQ(static_cast<double>(links), V_R8(result.Get()));
    ExpectHandlesBackAfter(result);

    // Names compare exactly with the native upper-case nodeName.
    ASSERT_EQ(S_OK, Evaluate(L"count(//a)", result));
    ASSERT_EQ(VT_R8, result.Type());
    EXPECT_EQ(0.0, V_R8(result.Get()));
    ExpectHandlesBackAfter(result);
}

TEST_F(LinksPageXPath, HrefAttributesBecomeObjectsWithoutInstancePath)
{
    UseObjectModel(0);
    long hrefs = CountNodes(
        [&](const harness::SnapNode& n) { return n.nodeType == 1 && NodeName(n) == L"A" && Attribute(n, L"href"); });
    ASSERT_GT(hrefs, 0);
    Variant result;
    ASSERT_EQ(S_OK, Evaluate(L"//A/@href", result));
    ASSERT_EQ(VT_ARRAY | VT_VARIANT, result.Type());
    std::vector<VARIANT*> elements = Elements(result);
    ASSERT_EQ(static_cast<size_t>(hrefs), elements.size());
    for (VARIANT* element : elements) {
        ASSERT_EQ(VT_DISPATCH, V_VT(element));
        EXPECT_EQ(L"", Moniker(element));
        EXPECT_TRUE(Instance(element));
    }
    // Document order: the first one is the first link's href.
    auto first = Instance(elements.front());
    ASSERT_TRUE(first);
    EXPECT_EQ(L"href", xpathtests::StringProperty(first.Get(), L"name"));
    EXPECT_EQ(L"docs/My%20File.pdf", xpathtests::StringProperty(first.Get(), L"value"));
    first.Reset();
    elements.clear();
    ExpectHandlesBackAfter(result);
}

TEST_F(LinksPageXPath, ElementsOfTheDomModelCarryTheirInstancePath)
{
    UseObjectModel(0);
    Variant result;
    ASSERT_EQ(S_OK, Evaluate(L"//A[@id='spaceLink']", result, L"Cr7;"));
    std::vector<VARIANT*> elements = Elements(result);
    ASSERT_EQ(1u, elements.size());
    EXPECT_EQ(L"Cr7;" + IdOf(L"spaceLink"), Moniker(elements[0]));
    auto instance = Instance(elements[0]);
    ASSERT_TRUE(instance);
    EXPECT_EQ(L"spaceLink", xpathtests::StringProperty(instance.Get(), L"id"));
    instance.Reset();
    elements.clear();
    ExpectHandlesBackAfter(result);

    // Under a model setting that is neither the DOM nor the Tree model no
    // element gets an instance path.
    UseObjectModel(1);
    ASSERT_EQ(S_OK, Evaluate(L"//A[@id='spaceLink']", result, L"Cr7;"));
    elements = Elements(result);
    ASSERT_EQ(1u, elements.size());
    EXPECT_EQ(L"", Moniker(elements[0]));
    EXPECT_TRUE(Instance(elements[0]));
    elements.clear();
    ExpectHandlesBackAfter(result);
}

TEST_F(LinksPageXPath, ScalarResults)
{
    Variant result;
    ASSERT_EQ(S_OK, Evaluate(L"string(//A[@id='fragmentLink']/@href)", result));
    ASSERT_EQ(VT_BSTR, result.Type());
    EXPECT_STREQ(L"#top", V_BSTR(result.Get()));

    ASSERT_EQ(S_OK, Evaluate(L"boolean(//A[@id='mailLink'])", result));
    ASSERT_EQ(VT_BOOL, result.Type());
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(result.Get()));
    ASSERT_EQ(S_OK, Evaluate(L"boolean(//A[@id='noSuchLink'])", result));
    ASSERT_EQ(VT_BOOL, result.Type());
    EXPECT_EQ(VARIANT_FALSE, V_BOOL(result.Get()));

    // An empty string comes back as a null BSTR.
    ASSERT_EQ(S_OK, Evaluate(L"string(//A[@id='noSuchLink'])", result));
    ASSERT_EQ(VT_BSTR, result.Type());
    EXPECT_EQ(nullptr, V_BSTR(result.Get()));
    ExpectHandlesBackAfter(result);
}

TEST_F(LinksPageXPath, NothingSelectedIsEmpty)
{
    Variant result;
    ASSERT_EQ(S_OK, Evaluate(L"//NOSUCHELEMENT", result));
    EXPECT_EQ(VT_EMPTY, result.Type());
    ASSERT_EQ(S_OK, Evaluate(L"//A[@id='spaceLink']/@nosuchattribute", result));
    EXPECT_EQ(VT_EMPTY, result.Type());
    ExpectHandlesBackAfter(result);
}

TEST_F(LinksPageXPath, RootIsOneStringValue)
{
    Variant result;
    ASSERT_EQ(S_OK, Evaluate(L"/", result));
    std::vector<VARIANT*> elements = Elements(result);
    ASSERT_EQ(1u, elements.size());
    ASSERT_EQ(VT_BSTR, V_VT(elements[0]));
    ASSERT_TRUE(V_BSTR(elements[0]));
    std::wstring text = V_BSTR(elements[0]);

    // The same string as the engine's string() of the root.
    Variant asString;
    ASSERT_EQ(S_OK, Evaluate(L"string(/)", asString));
    ASSERT_EQ(VT_BSTR, asString.Type());
    ASSERT_TRUE(V_BSTR(asString.Get()));
    EXPECT_EQ(text, std::wstring(V_BSTR(asString.Get())));
    EXPECT_NE(std::wstring::npos, text.find(L"Links")) << "the page's text is part of the root's value";
    elements.clear();
    ExpectHandlesBackAfter(result);
}

TEST_F(LinksPageXPath, SyntaxAndEvaluationErrorsGiveTheMessage)
{
    for (const wchar_t* expression : {L"//A[@href", L"count(//A", L"//A[@id='x]", L"$undefined", L""}) {
        SetErrorInfo(0, nullptr);
        Variant result;
        EXPECT_EQ(DISP_E_EXCEPTION, Evaluate(expression, result));
        EXPECT_EQ(VT_EMPTY, result.Type());
        EXPECT_EQ(ExpectedMessage(expression), xpathtests::ThreadErrorDescription());
        EXPECT_EQ(startHandles_, native_->LiveHandles());
    }
}

TEST_F(LinksPageXPath, NullExpressionIsInvalid)
{
    Variant result;
    EXPECT_EQ(E_INVALIDARG, vxWebFw::XPath::CrFwEvaluateXPath(helper_.Get(), nullptr, nullptr, result.Out()));
}

TEST_F(LinksPageXPath, TextNodesAreSelectableButHaveNoObject)
{
    Variant result;
    ASSERT_EQ(S_OK, Evaluate(L"count(//A[@id='spaceLink']/text())", result));
    ASSERT_EQ(VT_R8, result.Type());
    EXPECT_GE(V_R8(result.Get()), 1.0);

    ASSERT_EQ(S_OK, Evaluate(L"//A[@id='spaceLink']/text()", result));
    std::vector<VARIANT*> elements = Elements(result);
    ASSERT_FALSE(elements.empty());
    for (VARIANT* element : elements)
        EXPECT_EQ(VT_EMPTY, V_VT(element));
    elements.clear();
    ExpectHandlesBackAfter(result);
}

class InputsPageXPath : public XPathPageFixture
{
protected:
    void SetUp() override { Load("snapshots/inputs.json"); }
};

TEST_F(InputsPageXPath, AttributePredicatesUseNativeNamesAndValues)
{
    long textInputs = CountNodes([&](const harness::SnapNode& n) {
        const std::wstring* type = n.nodeType == 1 && NodeName(n) == L"INPUT" ? Attribute(n, L"type") : nullptr;
        return type && *type == L"text";
    });
    ASSERT_GT(textInputs, 0);
    Variant result;
    ASSERT_EQ(S_OK, Evaluate(L"count(//INPUT[@type='text'])", result));
    ASSERT_EQ(VT_R8, result.Type());
    EXPECT_EQ(static_cast<double>(textInputs), V_R8(result.Get()));

    ASSERT_EQ(S_OK, Evaluate(L"count(//input[@type='text'])", result));
    EXPECT_EQ(0.0, V_R8(result.Get()));

    ASSERT_EQ(S_OK, Evaluate(L"string(//INPUT[@id='number1']/@value)", result));
    ASSERT_EQ(VT_BSTR, result.Type());
    EXPECT_STREQ(L"42", V_BSTR(result.Get()));
    ExpectHandlesBackAfter(result);
}

TEST_F(InputsPageXPath, PositionalAndReverseAxes)
{
    Variant result;
    // preceding-sibling and following-sibling rely on stable sibling links.
    ASSERT_EQ(S_OK, Evaluate(L"string(//INPUT[@id='pass1']/preceding-sibling::INPUT[1]/@id)", result));
    ASSERT_EQ(VT_BSTR, result.Type());
    EXPECT_STREQ(L"bogusType", V_BSTR(result.Get()));
    ASSERT_EQ(S_OK, Evaluate(L"string(//INPUT[@id='pass1']/following-sibling::INPUT[1]/@id)", result));
    ASSERT_EQ(VT_BSTR, result.Type());
    EXPECT_STREQ(L"check1", V_BSTR(result.Get()));
    ASSERT_EQ(S_OK, Evaluate(L"count(//INPUT[@id='pass1']/ancestor::BODY)", result));
    EXPECT_EQ(1.0, V_R8(result.Get()));
    ExpectHandlesBackAfter(result);
}

class FramesPageXPath : public XPathPageFixture
{
protected:
    void SetUp() override { Load("snapshots/iframes.json"); }
};

TEST_F(FramesPageXPath, PathThroughAnIFrameReachesTheFrameDocument)
{
    UseObjectModel(0);
    Variant result;
    ASSERT_EQ(S_OK, Evaluate(L"//IFRAME[@id='outerFrame']//DIV[@id='outerBox']", result, L"Pfx;"));
    std::vector<VARIANT*> elements = Elements(result);
    ASSERT_EQ(1u, elements.size());
    EXPECT_EQ(L"Pfx;" + IdOf(L"outerFrame") + L"!" + IdOf(L"outerBox"), Moniker(elements[0]));
    elements.clear();
    ExpectHandlesBackAfter(result);

    // Two frames deep: both frames are in the path, outermost first.
    ASSERT_EQ(S_OK, Evaluate(L"//IFRAME[@id='innerFrame']/*/HTML/BODY/INPUT", result, L"Pfx;"));
    elements = Elements(result);
    ASSERT_EQ(1u, elements.size());
    EXPECT_EQ(L"Pfx;" + IdOf(L"outerFrame") + L"!" + IdOf(L"innerFrame") + L"!" + IdOf(L"innerInput"),
              Moniker(elements[0]));
    elements.clear();
    ExpectHandlesBackAfter(result);
}

TEST_F(FramesPageXPath, FrameDocumentIsTheOnlyChildOfTheFrame)
{
    Variant result;
    ASSERT_EQ(S_OK, Evaluate(L"count(//IFRAME[@id='borderFrame']/node())", result));
    EXPECT_EQ(1.0, V_R8(result.Get()));
    ASSERT_EQ(S_OK, Evaluate(L"name(//IFRAME[@id='borderFrame']/*)", result));
    ASSERT_EQ(VT_BSTR, result.Type());
    EXPECT_STREQ(L"#document", V_BSTR(result.Get()));
    // The frame's document selected as a node has no object.
    ASSERT_EQ(S_OK, Evaluate(L"//IFRAME[@id='borderFrame']/*", result));
    std::vector<VARIANT*> elements = Elements(result);
    ASSERT_EQ(1u, elements.size());
    EXPECT_EQ(VT_EMPTY, V_VT(elements[0]));
    elements.clear();
    // A frame whose document is out of reach has no children.
    ASSERT_EQ(S_OK, Evaluate(L"//IFRAME[@id='foreignFrame']/node()", result));
    EXPECT_EQ(VT_EMPTY, result.Type());
    ExpectHandlesBackAfter(result);
}

TEST_F(FramesPageXPath, CountsCoverEveryReachableDocument)
{
    // Frame documents the page can reach are part of the tree; the snapshot
    // tells how many DIV elements live in reachable documents.
    long divs = CountNodes([&](const harness::SnapNode& n) { return n.nodeType == 1 && NodeName(n) == L"DIV"; });
    Variant result;
    ASSERT_EQ(S_OK, Evaluate(L"count(//DIV)", result));
    ASSERT_EQ(VT_R8, result.Type());
    EXPECT_EQ(static_cast<double>(divs), V_R8(result.Get()));
    ExpectHandlesBackAfter(result);
}

class TextBlocksPageXPath : public XPathPageFixture
{
protected:
    void SetUp() override { Load("snapshots/text-blocks.json"); }

    // The moniker of the one element that `expression` selects.
    std::wstring MonikerOfOne(const wchar_t* expression)
    {
        Variant result;
        EXPECT_EQ(S_OK, Evaluate(expression, result, L"T;")) << expression;
        std::vector<VARIANT*> elements = Elements(result);
        EXPECT_EQ(1u, elements.size()) << expression;
        std::wstring moniker = elements.size() == 1 ? Moniker(elements[0]) : L"<not one>";
        if (elements.size() == 1) {
            EXPECT_TRUE(Instance(elements[0])) << expression;
        }
        elements.clear();
        ExpectHandlesBackAfter(result);
        return moniker;
    }
};

TEST_F(TextBlocksPageXPath, TreeModelGivesPathsToTreeItemsOnly)
{
    UseObjectModel(3);
    // Items: a link, a paragraph starting with text, one holding text after
    // an element, a SPAN starting with text, a DIV panel.
    EXPECT_EQ(L"T;" + IdOf(L"linkInP1"), MonikerOfOne(L"//A[@id='linkInP1']"));
    EXPECT_EQ(L"T;" + IdOf(L"startsWithText"), MonikerOfOne(L"//P[@id='startsWithText']"));
    EXPECT_EQ(L"T;" + IdOf(L"startsWithBold"), MonikerOfOne(L"//P[@id='startsWithBold']"));
    EXPECT_EQ(L"T;" + IdOf(L"spanAfterBlank"), MonikerOfOne(L"//SPAN[@id='spanAfterBlank']"));
    EXPECT_EQ(L"T;" + IdOf(L"onlyComment"), MonikerOfOne(L"//DIV[@id='onlyComment']"));
    // Not items: transparent wrappers (BODY, an empty paragraph, one holding
    // only blank text and an element) and an unrendered NOSCRIPT.
    EXPECT_EQ(L"", MonikerOfOne(L"//BODY"));
    EXPECT_EQ(L"", MonikerOfOne(L"//P[@id='emptyParagraph']"));
    EXPECT_EQ(L"", MonikerOfOne(L"//P[@id='blankThenSpan']"));
    EXPECT_EQ(L"", MonikerOfOne(L"//NOSCRIPT[@id='zeroNoscript']"));
}

TEST_F(TextBlocksPageXPath, DomModelMembershipDiffersFromTheTreeModel)
{
    // The same empty paragraph is an object of the DOM model.
    UseObjectModel(0);
    EXPECT_EQ(L"T;" + IdOf(L"emptyParagraph"), MonikerOfOne(L"//P[@id='emptyParagraph']"));
}
