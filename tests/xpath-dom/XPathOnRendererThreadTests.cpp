// The page object's XPath entry: evaluation on the stand-in's renderer
// thread (a thread of its own), results back on the calling thread, the
// error description moved across, and every handle given back.
#include "XPathPageFixture.h"

#include "platform/process/ProcessOptions.h"
#include "quickbrowser/XPathOnRendererThread.h"

using vx::com::Variant;
using xpathtests::ThreadErrorDescription;

namespace {

void SetStaleErrorInfo()
{
    Microsoft::WRL::ComPtr<ICreateErrorInfo> create;
    ASSERT_EQ(S_OK, CreateErrorInfo(&create));
    create->SetDescription(const_cast<LPOLESTR>(L"stale"));
    Microsoft::WRL::ComPtr<IErrorInfo> info;
    ASSERT_EQ(S_OK, create.As(&info));
    SetErrorInfo(0, info.Get());
}

} // namespace

class XPathOnRendererThread : public XPathPageFixture
{
protected:
    void SetUp() override
    {
        Load("snapshots/links-images.json");
        native_->ResetCounters();
    }

    HRESULT EvaluateThere(const wchar_t* expression, Variant& result, const wchar_t* prefix = L"Pfx;")
    {
        vx::com::BStr text(expression);
        vx::com::BStr monikerPrefix(prefix);
        return EvaluateXPathOnRendererThread(helper_.Get(), text.Get(), monikerPrefix.Get(), result.Out());
    }
};

TEST_F(XPathOnRendererThread, ValuesComeBackAndTheDomIsReadOnlyThere)
{
    ASSERT_NE(GetCurrentThreadId(), native_->Renderer().ThreadId());
    long links = CountNodes([&](const harness::SnapNode& n) { return n.nodeType == 1 && NodeName(n) == L"A"; });
    // Results are kept until the end: releasing the script objects in them
    // gives their handles back on this thread, which is not a DOM read.
    Variant count, nodes, text, nothing;
    ASSERT_EQ(S_OK, EvaluateThere(L"count(//A)", count));
    ASSERT_EQ(VT_R8, count.Type());
    EXPECT_EQ(static_cast<double>(links), V_R8(count.Get()));

    UseObjectModel(0);
    ASSERT_EQ(S_OK, EvaluateThere(L"//A[@id='spaceLink'] | (//IMG)[1]/@src", nodes));
    std::vector<VARIANT*> elements = Elements(nodes);
    ASSERT_EQ(2u, elements.size());
    EXPECT_EQ(L"Pfx;" + IdOf(L"spaceLink"), Moniker(elements[0]));
    EXPECT_EQ(L"", Moniker(elements[1]));
    EXPECT_TRUE(Instance(elements[1]));
    elements.clear();

    ASSERT_EQ(S_OK, EvaluateThere(L"string(//TITLE)", text));
    EXPECT_EQ(VT_BSTR, text.Type());
    ASSERT_EQ(S_OK, EvaluateThere(L"//NOTHING", nothing));
    EXPECT_EQ(VT_EMPTY, nothing.Type());

    EXPECT_GT(native_->SlotCalls(harness::NativeSlot::RunOnRendererThread), 0);
    EXPECT_EQ(0, native_->OffRendererThreadCalls()) << "DOM read off the renderer thread";
    count.Out();
    text.Out();
    nothing.Out();
    ExpectHandlesBackAfter(nodes);
}

TEST_F(XPathOnRendererThread, ErrorDescriptionReachesTheCallingThread)
{
    // The native object loses the renderer thread's error information; the
    // entry must carry it across itself.
    native_->DropRendererErrorInfo(true);
    SetStaleErrorInfo();
    Variant result;
    EXPECT_EQ(DISP_E_EXCEPTION, EvaluateThere(L"//A[@href", result));
    EXPECT_EQ(VT_EMPTY, result.Type());
    EXPECT_EQ(L"Invalid syntax of the XPath expression:\n //A[@href \n\n"
              L"Check the expression syntax and correct it, if needed.\n"
              L"Pay attention to missing parentheses, brackets and quotes.",
              ThreadErrorDescription());

    // An unbound variable is refused with the same message.
    EXPECT_EQ(DISP_E_EXCEPTION, EvaluateThere(L"count($links)", result));
    EXPECT_NE(std::wstring::npos, ThreadErrorDescription().find(L"\n count($links) \n"));

    // Success leaves no error information behind from the renderer thread.
    ASSERT_EQ(S_OK, EvaluateThere(L"1 + 1", result));
    EXPECT_EQ(2.0, V_R8(result.Get()));
    ExpectHandlesBackAfter(result);
}

TEST_F(XPathOnRendererThread, ABusyRendererTimesOutWithoutAValue)
{
    wchar_t key[40];
    StringFromGUID2(ProcessOptionKeys::RendererCallTimeout, key, 40);
    VARIANT timeout;
    VariantInit(&timeout);
    V_VT(&timeout) = VT_I4;
    V_I4(&timeout) = 50;
    ASSERT_EQ(S_OK, helper_->Options().UpdateOption(key, timeout));

    SetStaleErrorInfo();
    Variant result;
    {
        harness::RendererThread::Block busy(native_->Renderer());
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_TIMEOUT), EvaluateThere(L"count(//A)", result));
    }
    EXPECT_EQ(VT_EMPTY, result.Type());
    EXPECT_EQ(L"<no error info>", ThreadErrorDescription());
    ExpectHandlesBackAfter(result);
}

TEST_F(XPathOnRendererThread, MissingArguments)
{
    Variant result;
    vx::com::BStr prefix(L"p");
    EXPECT_EQ(E_INVALIDARG, EvaluateXPathOnRendererThread(helper_.Get(), nullptr, prefix.Get(), result.Out()));
    EXPECT_EQ(E_POINTER, EvaluateXPathOnRendererThread(nullptr, prefix.Get(), prefix.Get(), result.Out()));
    EXPECT_EQ(E_POINTER, EvaluateXPathOnRendererThread(helper_.Get(), prefix.Get(), prefix.Get(), nullptr));
    EXPECT_EQ(0, native_->SlotCalls(harness::NativeSlot::RunOnRendererThread));
}
