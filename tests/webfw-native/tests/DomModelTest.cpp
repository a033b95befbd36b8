// Recognition and DOM-model naming over captured pages: node, element and
// input types with their caching, identifiers and unique names, the All and
// Frames walks, and names from link and image URLs.
#include <algorithm>
#include <map>
#include <set>
#include <variant>

#include "NativePage.h"
#include "tests/native-dom/InlinePage.h"
#include "platform/com/Variant.h"
#include "webfw/DOMModel/ObjectIdGenerator.h"
#include "webfw/DOMModel/UrlNameParts.h"

namespace webfwnative {
namespace {

using namespace vxWebFw;
using namespace vxWebFw::DOMModel;
using namespace vxWebFw::Recognizing;

// ---------------------------------------------------------------- recognition

class Recognition : public NativePage
{
protected:
    RecognizedNode Recognized(NodeImpl* node) { return RecognizedNode(node, &Adapters().recognizers); }
    long ElementTypeOf(long nodeId) { return Recognized(NodeById(nodeId).Get()).GetElementType(); }
    long InputTypeOf(const wchar_t* id) { return Recognized(Element(id).Get()).GetInputType(); }
};

TEST_F(Recognition, ElementTypesOfTheNamingPage)
{
    Load("snapshots/naming.json");
    EXPECT_EQ(etHTML, ElementTypeOf(IdOf(L"root-element")));
    EXPECT_EQ(etHEAD, ElementTypeOf(IdOf(L"head-element")));
    EXPECT_EQ(etTITLE, ElementTypeOf(IdOf(L"title-element")));
    EXPECT_EQ(etBODY, ElementTypeOf(IdOf(L"body-element")));
    EXPECT_EQ(etDIV, ElementTypeOf(IdOf(L"x")));
    EXPECT_EQ(etINPUT, ElementTypeOf(IdOf(L"a")));
    std::map<long, int> seen;
    for (long id : Page().Prop(1, L"all")->list)
        ++seen[ElementTypeOf(id)];
    EXPECT_EQ(3, seen[etIFRAME]);
    EXPECT_EQ(1, seen[etFORM]);
    EXPECT_EQ(1, seen[etA]);
    EXPECT_EQ(1, seen[etSTYLE]);
    EXPECT_EQ(0, seen[etNone]);
    EXPECT_EQ(2, seen[etOther]); // META and SPAN
}

TEST_F(Recognition, EachTypeIsReadAtMostOncePerRecognizedNodeAndOnlyWhenItApplies)
{
    Load("snapshots/inputs.json");
    vxWebFw::NodeHandle input = Element(L"pass1");
    Model().ResetCounters();
    RecognizedNode recognized = Recognized(input.Get());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(itPASSWORD, recognized.GetInputType());
        EXPECT_EQ(etINPUT, recognized.GetElementType());
        EXPECT_EQ(ntElement, recognized.GetNodeType());
    }
    RecognizedNode copy = recognized; // copies carry the cache
    EXPECT_EQ(itPASSWORD, copy.GetInputType());
    EXPECT_EQ(1, Model().Reads(L"nodeType"));
    EXPECT_EQ(1, Model().Reads(L"tagName"));
    EXPECT_EQ(1, Model().Reads(L"type"));
    EXPECT_EQ(3, Model().TotalReads());

    Model().ResetCounters();
    EXPECT_EQ(itNone, InputTypeOf(L"select1")); // not an INPUT: its type is never read
    EXPECT_EQ(0, Model().Reads(L"type"));
    long text = 0;
    for (long id = 1; id <= Page().NodeCount() && !text; ++id)
        if (Page().Node(id).nodeType == 3)
            text = id;
    ASSERT_NE(0, text);
    vxWebFw::NodeHandle textNode = NodeById(text);
    RecognizedNode recognizedText = Recognized(textNode.Get());
    EXPECT_EQ(ntText, recognizedText.GetNodeType());
    EXPECT_EQ(etNone, recognizedText.GetElementType());
    EXPECT_EQ(itNone, recognizedText.GetInputType());
    EXPECT_EQ(1, Model().Reads(L"tagName")) << "the SELECT's only";
}

TEST_F(Recognition, InputTypesByTheTypeProperty)
{
    Load("snapshots/inputs.json");
    EXPECT_EQ(itTEXT, InputTypeOf(L"text1"));
    EXPECT_EQ(itTEXT, InputTypeOf(L"textUpper"));
    EXPECT_EQ(itTEXT, InputTypeOf(L"noType"));
    EXPECT_EQ(itTEXT, InputTypeOf(L"bogusType"));
    EXPECT_EQ(itCHECKBOX, InputTypeOf(L"check1"));
    EXPECT_EQ(itRADIO, InputTypeOf(L"radioA"));
    EXPECT_EQ(itRESET, InputTypeOf(L"reset1"));
    EXPECT_EQ(itBUTTON, InputTypeOf(L"button1"));
    EXPECT_EQ(itFILE, InputTypeOf(L"file1"));
    EXPECT_EQ(itHIDDEN, InputTypeOf(L"hidden1"));
    EXPECT_EQ(itIMAGE, InputTypeOf(L"image1"));
    EXPECT_EQ(itOther, InputTypeOf(L"email1"));
    EXPECT_EQ(itOther, InputTypeOf(L"range1"));
}

TEST_F(Recognition, LowerCaseTagsOddNodeTypesAndUnreadableTags)
{
    LoadJson(kInlinePage);
    EXPECT_EQ(etDIV, ElementTypeOf(4));   // tag read as "div"
    EXPECT_EQ(etTABLE, ElementTypeOf(5)); // tag read as "table"
    EXPECT_EQ(etTD, ElementTypeOf(8));    // TH shares TD's value
    EXPECT_EQ(itTEXT, Recognized(NodeById(6).Get()).GetInputType());
    EXPECT_EQ(ntUnknown, Recognized(NodeById(7).Get()).GetNodeType());  // nodeType 13
    EXPECT_EQ(ntUnknown, Recognized(NodeById(11).Get()).GetNodeType()); // nodeType 0
    long type = -1;
    EXPECT_EQ(S_OK, Adapters().elementTypes.Recognize(NodeById(7).Get(), &type));
    EXPECT_EQ(etOther, type) << "a node whose tag cannot be read";
    EXPECT_EQ(E_POINTER, Adapters().elementTypes.Recognize(NodeById(4).Get(), nullptr));
}

// ---------------------------------------------------------------- identifiers

using Identifier = std::variant<std::wstring, long>;

Identifier ToIdentifier(const VARIANT& id)
{
    if (V_VT(&id) == VT_BSTR)
        return std::wstring(V_BSTR(&id), SysStringLen(V_BSTR(&id)));
    EXPECT_EQ(VT_I4, V_VT(&id));
    return static_cast<long>(V_I4(&id));
}

TEST(IdentifierRule, DropsLeadRunsOtherCharactersAndFallsBack)
{
    EXPECT_EQ(L"Save_changes_", ApplyIdentifierRule(L" 1. Save changes!", L""));
    EXPECT_EQ(L"", ApplyIdentifierRule(L"!!!", L""));
    EXPECT_EQ(L"Item", ApplyIdentifierRule(L"123", L"Item"));
    EXPECT_EQ(L"Item", ApplyIdentifierRule(L"", L"Item"));
    EXPECT_EQ(L"a_b2", ApplyIdentifierRule(L"a--  b2", L""));
    EXPECT_EQ(255u, ApplyIdentifierRule(std::wstring(300, L'q'), L"").size());
    EXPECT_EQ(L"Caf\u00E9_cr\u00E8me", ApplyIdentifierRule(L"\u20AC Caf\u00E9 cr\u00E8me", L""))
        << "letters beyond ASCII";
}

TEST(NameRegistry, SuffixesIgnoreLetterCaseAndSkipTakenForms)
{
    CNameRegistry names;
    EXPECT_EQ(L"Submit", names.MakeUnique(L"Submit"));
    EXPECT_EQ(L"submit_2", names.MakeUnique(L"submit"));
    EXPECT_EQ(L"Submit_3", names.MakeUnique(L"Submit"));
    EXPECT_EQ(L"caf\u00E9", names.MakeUnique(L"caf\u00E9"));
    EXPECT_EQ(L"CAF\u00C9_2", names.MakeUnique(L"CAF\u00C9")) << "letter case beyond ASCII";

    CNameRegistry taken;
    EXPECT_EQ(L"A", taken.MakeUnique(L"A"));
    EXPECT_EQ(L"a_2", taken.MakeUnique(L"a_2")); // a name that looks like a suffixed form
    EXPECT_EQ(L"a_3", taken.MakeUnique(L"a"));
    EXPECT_EQ(L"A_2_2", taken.MakeUnique(L"A_2"));
}

TEST(ObjectIdGenerators, CountingPoliciesKeysAndRawNames)
{
    const long strings = vxcompat::LiveStrings();
    auto generate = [](IObjectIdGenerator<long>& g, long key, const wchar_t* name, bool raw) {
        vx::com::BStr text(name);
        vx::com::Variant id;
        EXPECT_EQ(S_OK, g.Generate(key, name ? text.Get() : nullptr, raw, id.Get()));
        return ToIdentifier(*id);
    };
    CObjectIdGeneratorDefaultImpl<long> numbered;
    EXPECT_EQ(Identifier(0L), generate(numbered, 0, nullptr, false));
    EXPECT_EQ(Identifier(L"x"), generate(numbered, 0, L"x", false));
    EXPECT_EQ(Identifier(1L), generate(numbered, 0, L"!!!", false));
    EXPECT_EQ(Identifier(0L), generate(numbered, 7, nullptr, false)); // keys count separately
    numbered.Skip(0);
    EXPECT_EQ(Identifier(3L), generate(numbered, 0, nullptr, false));
    EXPECT_EQ(Identifier(L"x_2"), generate(numbered, 0, L"x", false));
    EXPECT_EQ(Identifier(L" x!"), generate(numbered, 0, L" x!", true)); // raw names keep their form
    numbered.Reset();
    EXPECT_EQ(Identifier(L"x"), generate(numbered, 0, L"x", false));

    CObjectIdGeneratorThroughImpl through;
    EXPECT_EQ(Identifier(L"a"), generate(through, 0, L"a", false));
    EXPECT_EQ(Identifier(1L), generate(through, 0, nullptr, false));
    through.Skip(0);
    EXPECT_EQ(Identifier(3L), generate(through, 0, L"", false));
    EXPECT_EQ(E_POINTER, through.Generate(0, nullptr, false, nullptr));

    // The id slot is cleared before it is written: a string held there is freed.
    vx::com::Variant slot;
    V_VT(slot.Get()) = VT_BSTR;
    V_BSTR(slot.Get()) = SysAllocString(L"previous");
    EXPECT_EQ(S_OK, through.Generate(0, nullptr, false, slot.Get()));
    EXPECT_EQ(VT_I4, slot.Type());
    EXPECT_EQ(strings, vxcompat::LiveStrings());
}

// ---------------------------------------------------------------- the All and Frames walks

// Records what a walk hands over: node id and identifier.
class RecordingBuilder : public IDOMAllBuilder, public IDOMFramesBuilder
{
public:
    explicit RecordingBuilder(PageModel& model) : model_(model) {}
    HRESULT Clear() override
    {
        ++clears;
        added.clear();
        return clearResult;
    }
    HRESULT Add(RecognizedNode& node, const VARIANT& id) override
    {
        added.emplace_back(model_.NodeIdOf(node.GetNode()), ToIdentifier(id));
        return E_FAIL; // a failing Add is ignored by the walks
    }
    std::vector<Identifier> Identifiers() const
    {
        std::vector<Identifier> out;
        for (const auto& entry : added)
            out.push_back(entry.second);
        return out;
    }

    int clears = 0;
    HRESULT clearResult = S_OK;
    std::vector<std::pair<long, Identifier>> added;

private:
    PageModel& model_;
};

class Naming : public NativePage
{
protected:
    void SetUp() override { Load("snapshots/naming.json"); }

    HRESULT BuildAll(RecordingBuilder& builder, INodeAcceptor* acceptor)
    {
        vxWebFw::NodeHandle document = Document();
        DocumentAll all(Model(), document.Get());
        return Adapters().allWalk.DomAllBuild(all, builder, acceptor);
    }
    HRESULT BuildAll(RecordingBuilder& builder) { return BuildAll(builder, &Adapters().acceptor); }
    HRESULT BuildFrames(RecordingBuilder& builder)
    {
        vxWebFw::NodeHandle document = Document();
        DocumentAll all(Model(), document.Get());
        return Adapters().framesWalk.DomFramesBuild(all, builder, &Adapters().acceptor);
    }
};

TEST_F(Naming, AllCollectionOfTheNamingPage)
{
    RecordingBuilder builder(Model());
    ASSERT_EQ(S_OK, BuildAll(builder));
    EXPECT_EQ(1, builder.clears);
    const std::vector<Identifier> expected = {
        L"HTML",     L"HEAD",     2L,
        L"TITLE",    4L,          L"BODY",     // fixed names win over ids; META and STYLE unnamed
        L"Submit",   L"submit_2", L"Submit_3", // names differing in case
        L"x",        L"x_2",      L"Dup",
        L"DUP_2",    L"dup_3", // repeated ids
        L"q",        L"a",        L"Save_changes_",
        17L,         18L, // empty id, id before name, reduced names
        19L,         20L, // unnamed DIV and SPAN
        24L,              // three IFRAMEs consumed 21-23
        L"mainForm", L"user",     L"anchor1"};
    EXPECT_EQ(expected, builder.Identifiers());
    for (const auto& entry : builder.added)
        EXPECT_NE(L"IFRAME", Page().StringProp(entry.first, L"tagName")) << "frames are not members";
}

TEST_F(Naming, PreferringNamesChangesOnlyElementsWithBoth)
{
    Adapters().options.preferName = true;
    RecordingBuilder builder(Model());
    ASSERT_EQ(S_OK, BuildAll(builder));
    std::vector<Identifier> ids = builder.Identifiers();
    ASSERT_EQ(25u, ids.size());
    EXPECT_EQ(Identifier(L"b"), ids[15]); // id a, name b
    EXPECT_EQ(Identifier(L"q"), ids[14]);
    EXPECT_EQ(Identifier(L"x"), ids[9]);
}

TEST_F(Naming, FramesCollectionNumbersUnnamedFramesAmongThemselves)
{
    RecordingBuilder builder(Model());
    ASSERT_EQ(S_OK, BuildFrames(builder));
    EXPECT_EQ((std::vector<Identifier>{0L, L"namedFrame", 1L}), builder.Identifiers());
    for (const auto& entry : builder.added)
        EXPECT_EQ(L"IFRAME", Page().StringProp(entry.first, L"tagName"));
}

TEST_F(Naming, WalkFailuresAndMissingAcceptor)
{
    RecordingBuilder refusing(Model());
    refusing.clearResult = E_ACCESSDENIED;
    EXPECT_EQ(E_ACCESSDENIED, BuildAll(refusing));
    EXPECT_TRUE(refusing.added.empty());

    RecordingBuilder noAcceptor(Model());
    EXPECT_EQ(S_OK, BuildAll(noAcceptor, nullptr));
    EXPECT_TRUE(noAcceptor.added.empty());

    vxWebFw::NodeHandle iframe = NodeById(Page().documents.at(1).frameElement);
    vxWebFw::NodeHandle div = Element(L"x");
    INodeAcceptor* acceptor = &Adapters().acceptor;
    EXPECT_TRUE(Adapters().framesWalk.IsFramesMember(iframe.Get(), acceptor));
    EXPECT_FALSE(Adapters().allWalk.IsAllMember(iframe.Get(), acceptor));
    EXPECT_TRUE(Adapters().allWalk.IsAllMember(div.Get(), acceptor));
    EXPECT_FALSE(Adapters().allWalk.IsAllMember(div.Get(), nullptr));

    Model().RefuseMember(L"all", E_ACCESSDENIED);
    RecordingBuilder unreadable(Model());
    EXPECT_EQ(E_ACCESSDENIED, BuildAll(unreadable));
    EXPECT_TRUE(unreadable.added.empty());
}

TEST_F(Naming, WalkReadsEachNodeTypeAndTagOnce)
{
    Model().ResetCounters();
    RecordingBuilder builder(Model());
    ASSERT_EQ(S_OK, BuildAll(builder));
    const long elements = static_cast<long>(Page().Prop(1, L"all")->list.size());
    EXPECT_EQ(elements, Model().Reads(L"nodeType"));
    EXPECT_EQ(elements, Model().Reads(L"tagName"));
}

TEST_F(Naming, RejectedElementsConsumePositionsButAreNotMembers)
{
    const std::vector<long>& all = Page().Prop(1, L"all")->list;
    // Reject two unnamed elements (META, STYLE) and two named ones (the first
    // DIV with id x, the INPUT named q).
    const std::set<long> rejected = {all.at(2), all.at(4), IdOf(L"x"), all.at(14)};
    Adapters().acceptor.rejected = rejected;
    RecordingBuilder builder(Model());
    ASSERT_EQ(S_OK, BuildAll(builder));
    EXPECT_EQ(all.size() - 3 - rejected.size(), builder.added.size()) << "three IFRAMEs and the rejected are left out";
    int numbered = 0;
    for (const auto& entry : builder.added) {
        EXPECT_EQ(0u, rejected.count(entry.first));
        if (const long* position = std::get_if<long>(&entry.second)) {
            ++numbered;
            ASSERT_LT(static_cast<size_t>(*position), all.size());
            EXPECT_EQ(all[static_cast<size_t>(*position)], entry.first) << "position of an unnamed element";
        }
    }
    EXPECT_GT(numbered, 0);
    // The second DIV with id x is now the first of that name.
    const std::vector<Identifier> ids = builder.Identifiers();
    EXPECT_EQ(1, std::count(ids.begin(), ids.end(), Identifier(L"x")));
    EXPECT_EQ(0, std::count(ids.begin(), ids.end(), Identifier(L"x_2")));
}

// ---------------------------------------------------------------- names from URLs

TEST(UrlNameParts, SchemeAndSegments)
{
    UrlNameParts parts = SplitUrlNameParts(L"http://h/docs/My%20File.pdf");
    EXPECT_EQ(L"http", parts.scheme);
    EXPECT_EQ((std::vector<std::wstring>{L"h", L"docs", L"My%20File.pdf"}), parts.segments);
    parts = SplitUrlNameParts(L"abc://"); // ends at the last character: no scheme
    EXPECT_EQ(L"", parts.scheme);
    EXPECT_EQ((std::vector<std::wstring>{L"abc:", L"", L""}), parts.segments);
    parts = SplitUrlNameParts(L"pixel.svg");
    EXPECT_EQ((std::vector<std::wstring>{L"pixel.svg"}), parts.segments);
    parts = SplitUrlNameParts(L"x://y");
    EXPECT_EQ(L"x", parts.scheme);
    EXPECT_EQ((std::vector<std::wstring>{L"y"}), parts.segments);
}

TEST(UrlNameParts, PercentDecoding)
{
    EXPECT_EQ(L"\u20AC", DecodePercentEscapes(L"%E2%82%AC"));
    EXPECT_EQ(L"My File.pdf", DecodePercentEscapes(L"My%20File.pdf"));
    EXPECT_EQ(L"caf\u00E9 \u20AC-1.html", DecodePercentEscapes(L"caf%C3%A9%20%E2%82%AC%2D1.html"));
    EXPECT_EQ(L".html", DecodePercentEscapes(L"%C3.html")); // broken UTF-8 vanishes
    EXPECT_EQ(L"%zz%4", DecodePercentEscapes(L"%zz%4"));
    EXPECT_EQ(L"100%.html", DecodePercentEscapes(L"100%.html"));
    EXPECT_EQ(L"a%2", DecodePercentEscapes(L"a%2"));
}

class LinksAndImages : public NativePage
{
protected:
    void SetUp() override { Load("snapshots/links-images.json"); }

    std::wstring NameOf(const wchar_t* id)
    {
        vxWebFw::NodeHandle node = Element(id);
        RecognizedNode recognized(node.Get(), &Adapters().recognizers);
        vx::com::BStr name;
        EXPECT_EQ(S_OK, Adapters().urlNames.EvaluateNamePropStr(recognized, name.Out()));
        return name.Get() ? name.Str() : L"<null>";
    }
};

TEST_F(LinksAndImages, NamesFromCapturedLinksAndImages)
{
    EXPECT_EQ(L"My File.pdf", NameOf(L"spaceLink"));
    EXPECT_EQ(L"\u20AC", NameOf(L"euroLink"));
    EXPECT_EQ(L"\u20ACuro.html", NameOf(L"rawEuroLink"));
    EXPECT_EQ(L"dir", NameOf(L"dirLink"));          // the empty last segment is blank
    EXPECT_EQ(L"  ", NameOf(L"blankSegmentsLink")); // last segment that is not blank before decoding
    EXPECT_EQ(L"a/b.html", NameOf(L"encodedSlashLink"));
    EXPECT_EQ(L".html", NameOf(L"brokenUtf8Link"));
    EXPECT_EQ(L"javascript:void(0)", NameOf(L"scriptLink")); // no "/" at all: the whole URL
    EXPECT_EQ(L"<null>", NameOf(L"noHrefLink"));
    EXPECT_EQ(L"pixel.svg", NameOf(L"noSchemeImage"));
    EXPECT_EQ(L"My Picture.svg", NameOf(L"spaceImage"));
    EXPECT_EQ(L"\u20AC.svg", NameOf(L"euroImage"));
    EXPECT_EQ(L"about:blank", NameOf(L"aboutImage"));
    EXPECT_EQ(L"<null>", NameOf(L"noSrcImage"));
    EXPECT_EQ(L"<null>", NameOf(L"links")); // a DIV: no URL is read
}

} // namespace
} // namespace webfwnative
