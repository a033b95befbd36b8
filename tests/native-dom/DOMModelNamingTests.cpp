// DOM-model naming through the Chrome adapters: the All and Frames walks over
// captured pages and names from link and image URLs. The naming rules on
// their own (identifiers, unique names, id generators, URL parts) are tested
// by the native build of the web framework (tests/webfw-native).
#include <set>
#include <variant>

#include "PageFixture.h"
#include "webfw/chrome/CrFwEnumerators.h"

using namespace vxWebFw;
using namespace vxWebFw::DOMModel;
using Recognizing::RecognizedNode;

namespace {

using Identifier = std::variant<std::wstring, long>;

Identifier ToIdentifier(const VARIANT& id)
{
    if (V_VT(&id) == VT_BSTR)
        return std::wstring(V_BSTR(&id), SysStringLen(V_BSTR(&id)));
    EXPECT_EQ(VT_I4, V_VT(&id));
    return static_cast<long>(V_I4(&id));
}

// Records what a walk hands over: node id and identifier.
class RecordingBuilder : public IDOMAllBuilder, public IDOMFramesBuilder
{
public:
    explicit RecordingBuilder(harness::SnapshotNativeObject* native) : native_(native) {}
    HRESULT Clear() override
    {
        ++clears;
        added.clear();
        return clearResult;
    }
    HRESULT Add(RecognizedNode& node, const VARIANT& id) override
    {
        added.emplace_back(native_->NodeIdOf(node.GetNode()), ToIdentifier(id));
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
    harness::SnapshotNativeObject* native_;
};

class NamingTest : public PageFixture
{
protected:
    void SetUp() override { Load("snapshots/naming.json"); }

    HRESULT BuildAll(RecordingBuilder& builder, bool withAcceptor = true)
    {
        vxWebFw::NodeHandle document = Document();
        CCrFwDocumentAllEnumerator all(helper_.Get(), Adapters().nodeLifetime.get(), document.Get());
        return Adapters().domAllWalk->DomAllBuild(all, builder, withAcceptor ? Adapters().nodeAcceptor.get() : nullptr);
    }
    HRESULT BuildFrames(RecordingBuilder& builder)
    {
        vxWebFw::NodeHandle document = Document();
        CCrFwDocumentAllEnumerator all(helper_.Get(), Adapters().nodeLifetime.get(), document.Get());
        return Adapters().domFramesWalk->DomFramesBuild(all, builder, Adapters().nodeAcceptor.get());
    }
};

class LinksImagesTest : public PageFixture
{
protected:
    void SetUp() override { Load("snapshots/links-images.json"); }

    std::wstring NameOf(const wchar_t* id)
    {
        vxWebFw::NodeHandle node = Element(id);
        RecognizedNode recognized(node.Get(), Adapters().recognizerSet.get());
        vx::com::BStr name;
        EXPECT_EQ(S_OK, Adapters().nodeNamePropStrEvaluator->EvaluateNamePropStr(recognized, name.Out()));
        return name.Get() ? name.Str() : L"<null>";
    }
};

} // namespace

TEST_F(NamingTest, AllCollectionOfTheNamingPage)
{
    RecordingBuilder builder(native_.Get());
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
    // The frames are not members, the rest are in document order.
    for (const auto& entry : builder.added)
        EXPECT_NE(L"IFRAME", native_->Page().StringProp(entry.first, L"tagName"));
}

TEST_F(NamingTest, PreferringNamesChangesOnlyElementsWithBoth)
{
    PreferNames();
    RecordingBuilder builder(native_.Get());
    ASSERT_EQ(S_OK, BuildAll(builder));
    std::vector<Identifier> ids = builder.Identifiers();
    ASSERT_EQ(25u, ids.size());
    EXPECT_EQ(Identifier(L"b"), ids[15]); // id a, name b
    EXPECT_EQ(Identifier(L"q"), ids[14]);
    EXPECT_EQ(Identifier(L"x"), ids[9]);
}

TEST_F(NamingTest, FramesCollectionNumbersUnnamedFramesAmongThemselves)
{
    RecordingBuilder builder(native_.Get());
    ASSERT_EQ(S_OK, BuildFrames(builder));
    EXPECT_EQ((std::vector<Identifier>{0L, L"namedFrame", 1L}), builder.Identifiers());
    for (const auto& entry : builder.added)
        EXPECT_EQ(L"IFRAME", native_->Page().StringProp(entry.first, L"tagName"));
}

TEST_F(NamingTest, WalkFailuresAndMissingAcceptor)
{
    RecordingBuilder refusing(native_.Get());
    refusing.clearResult = E_ACCESSDENIED;
    EXPECT_EQ(E_ACCESSDENIED, BuildAll(refusing));
    EXPECT_TRUE(refusing.added.empty());

    native_->RefuseMember(L"all", 1);
    RecordingBuilder unreadable(native_.Get());
    EXPECT_EQ(DISP_E_UNKNOWNNAME, BuildAll(unreadable));
    EXPECT_TRUE(unreadable.added.empty());

    RecordingBuilder noAcceptor(native_.Get());
    EXPECT_EQ(S_OK, BuildAll(noAcceptor, false));
    EXPECT_TRUE(noAcceptor.added.empty());

    vxWebFw::NodeHandle iframe = NodeById(native_->Page().documents.at(1).frameElement);
    vxWebFw::NodeHandle div = Element(L"x");
    auto* acceptor = Adapters().nodeAcceptor.get();
    EXPECT_TRUE(Adapters().domFramesWalk->IsFramesMember(iframe.Get(), acceptor));
    EXPECT_FALSE(Adapters().domAllWalk->IsAllMember(iframe.Get(), acceptor));
    EXPECT_TRUE(Adapters().domAllWalk->IsAllMember(div.Get(), acceptor));
    EXPECT_FALSE(Adapters().domAllWalk->IsAllMember(div.Get(), nullptr));
}

TEST_F(NamingTest, WalkReadsEachNodeTypeOnceAndLeavesNoHandle)
{
    native_->ResetCounters();
    RecordingBuilder builder(native_.Get());
    ASSERT_EQ(S_OK, BuildAll(builder));
    long elements = static_cast<long>(native_->Page().Prop(1, L"all")->list.size());
    EXPECT_EQ(elements, native_->MemberCalls(L"nodeType"));
    EXPECT_EQ(elements, native_->MemberCalls(L"tagName"));
}

namespace {
class ExclusionNamingTest : public NamingTest
{
protected:
    void SetUp() override { Load("snapshots/exclusion.json"); }
};
} // namespace

TEST_F(ExclusionNamingTest, RejectedElementsConsumePositionsButAreNotMembers)
{
    RecordingBuilder builder(native_.Get());
    ASSERT_EQ(S_OK, BuildAll(builder));
    const std::vector<long>& all = native_->Page().Prop(1, L"all")->list;
    std::set<long> members;
    int numbered = 0;
    for (const auto& entry : builder.added) {
        members.insert(entry.first);
        if (const long* position = std::get_if<long>(&entry.second)) {
            ++numbered;
            ASSERT_LT(static_cast<size_t>(*position), all.size());
            EXPECT_EQ(all[static_cast<size_t>(*position)], entry.first) << "position of an unnamed element";
        }
    }
    EXPECT_GT(numbered, 0);
    const harness::SnapshotPage& page = native_->Page();
    for (const wchar_t* id : {L"excludedScript", L"upperCaseAttrScript", L"excludedObject", L"excludedParam"})
        EXPECT_EQ(0u, members.count(page.FindById(id)));
    for (const wchar_t* id : {L"plainScript", L"emptyValueScript", L"plainObject", L"divWithAttribute",
                              L"embedWithAttribute", L"linkInExcludedObject"})
        EXPECT_EQ(1u, members.count(page.FindById(id)));
    EXPECT_EQ(all.size() - 5, builder.added.size()); // four excluded by id plus the excluded head script
}

TEST_F(LinksImagesTest, NamesFromCapturedLinksAndImages)
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

namespace {
// An evaluator answering fixed URLs, for addresses a browser would have resolved.
class FixedUrls : public CNodeNamePropStrEvaluator
{
public:
    HRESULT GetHref(NodeImpl*, BSTR* href) override { return Answer(href); }
    HRESULT GetSrc(NodeImpl*, BSTR* src) override { return Answer(src); }
    std::wstring url;

private:
    HRESULT Answer(BSTR* out)
    {
        *out = SysAllocString(url.c_str());
        return S_OK;
    }
};

} // namespace

TEST(NodeNamePropStr, ImageSourceWithoutSchemeOrSlashIsTakenWhole)
{
    // Each recognizer interface has one Recognize slot; answer 1 for the node
    // type and the element type afterwards.
    struct NodeTypes : Recognizing::INodeTypeRecognizer
    {
        HRESULT Recognize(NodeImpl*, long* t) override
        {
            *t = 1;
            return S_OK;
        }
    } nodeTypes;
    struct ElementTypes : Recognizing::IElementTypeRecognizer
    {
        long type = Recognizing::etIMG;
        HRESULT Recognize(NodeImpl*, long* t) override
        {
            *t = type;
            return S_OK;
        }
    } elementTypes;
    Recognizing::RecognizerSet set{&nodeTypes, &elementTypes, nullptr};
    FixedUrls urls;
    auto evaluate = [&](long elementType, const wchar_t* url) {
        elementTypes.type = elementType;
        urls.url = url;
        RecognizedNode node(nullptr, &set);
        vx::com::BStr name;
        EXPECT_EQ(S_OK, urls.EvaluateNamePropStr(node, name.Out()));
        return name.Get() ? name.Str() : L"<null>";
    };
    EXPECT_EQ(L"pixel.svg", evaluate(Recognizing::etIMG, L"pixel.svg"));
    EXPECT_EQ(L"<null>", evaluate(Recognizing::etIMG, L"images/")); // last segment empty
    EXPECT_EQ(L"images", evaluate(Recognizing::etA, L"images/"));
    EXPECT_EQ(L"<null>", evaluate(Recognizing::etA, L" / /"));
    EXPECT_EQ(L"<null>", evaluate(Recognizing::etA, L""));
}
