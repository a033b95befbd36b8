// The class-information object: made for element test objects only, the
// detection run once (on the page window's thread, or on the calling
// thread when that thread does not take the run), the element let go after
// it, and the answers of its other slots.
#include <atomic>
#include <thread>
#include <vector>

#include "DetectionFixture.h"
#include "platform/com/BStr.h"
#include "platform/com/ComObject.h"
#include "recording/WebObjectClassInfo.h"

using Microsoft::WRL::ComPtr;
using vx::com::BStr;
using vxCrRecording::CreateWebObjectClassInfo;
using vxCrRecording::CvxWebObjectClassInfo;

namespace web_control_tests {
namespace {

// An element object that passes every read on to a real one, counting the
// reads and noting the threads they came from.
class CountingWebObject : public vx::com::ComObject<CountingWebObject, IvxWebObject>
{
public:
    CountingWebObject(IvxWebObject* inner, std::atomic<bool>* destroyed) : inner_(inner), destroyed_(destroyed) {}
    ~CountingWebObject() override { *destroyed_ = true; }

    STDMETHODIMP GetTagName(BSTR* tagName) noexcept override
    {
        Count();
        return inner_->GetTagName(tagName);
    }
    STDMETHODIMP GetClassNameAndId(BSTR* className, BSTR* id) noexcept override
    {
        Count();
        ++classNameReads;
        return inner_->GetClassNameAndId(className, id);
    }
    STDMETHODIMP GetParentNodeId(BSTR* parentId) noexcept override
    {
        Count();
        return inner_->GetParentNodeId(parentId);
    }
    STDMETHODIMP HasChildNodeContainingText(BSTR text, BSTR tagName, VARIANT_BOOL searchSiblings,
                                            BSTR* value) noexcept override
    {
        Count();
        return inner_->HasChildNodeContainingText(text, tagName, searchSiblings, value);
    }
    STDMETHODIMP GetScriptObject(IDispatch** scriptObject) noexcept override
    {
        Count();
        return inner_->GetScriptObject(scriptObject);
    }

    std::atomic<long> reads{0};
    std::atomic<long> classNameReads{0};
    std::atomic<DWORD> lastThread{0};

private:
    void Count()
    {
        ++reads;
        lastThread = GetCurrentThreadId();
    }

    ComPtr<IvxWebObject> inner_;
    std::atomic<bool>* destroyed_;
};

// A window whose thread takes no messages while the test runs.
class StuckWindowThread
{
public:
    StuckWindowThread()
    {
        release_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE made = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this, made] {
            window_ = CreateWindowExW(0, L"STATIC", L"stuck", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                      nullptr);
            threadId_ = GetCurrentThreadId();
            SetEvent(made);
            WaitForSingleObject(release_, INFINITE);
            DestroyWindow(window_);
        });
        WaitForSingleObject(made, INFINITE);
        CloseHandle(made);
    }
    ~StuckWindowThread()
    {
        SetEvent(release_);
        thread_.join();
        CloseHandle(release_);
    }
    HWND Window() const { return window_; }
    DWORD ThreadId() const { return threadId_; }

private:
    HANDLE release_ = nullptr;
    HWND window_ = nullptr;
    DWORD threadId_ = 0;
    std::thread thread_;
};

class WebObjectClassInfo : public DetectionTest
{
protected:
    // A class-information object over a counting wrapper of the element.
    ComPtr<IvxCtrlClassInfo> CountedClassInfo(const wchar_t* id, HWND window, ComPtr<CountingWebObject>& counting,
                                              std::atomic<bool>& destroyed)
    {
        ComPtr<IvxWebObject> web = WebObject(id);
        if (!web)
            return nullptr;
        EXPECT_EQ(S_OK, vx::com::CreateComObject(counting, web.Get(), &destroyed));
        ComPtr<CvxWebObjectClassInfo> info;
        EXPECT_EQ(S_OK, vx::com::CreateComObject(info, counting.Get(), window));
        return info;
    }

    static std::wstring ClassName(IvxCtrlClassInfo* info, HRESULT expected = S_OK)
    {
        BStr name;
        EXPECT_EQ(expected, info->GetClassName(name.Out()));
        return name.Str();
    }
};

TEST_F(WebObjectClassInfo, OnlyElementTestObjectsGetOne)
{
    StartRenderer("snapshots/detection/telerik.json");
    const long scriptObjectsBefore = ScriptObjects();
    ComPtr<IUnknown> info;
    EXPECT_EQ(E_INVALIDARG, CreateWebObjectClassInfo(nullptr, &info));
    EXPECT_FALSE(info);
    // The page's script window answers IDispatch but is no test object.
    ComPtr<IvxWebObject> element = WebObject(L"tabs1");
    ASSERT_TRUE(element);
    ComPtr<IDispatch> window;
    ASSERT_EQ(S_OK, element->GetScriptObject(&window));
    element.Reset();
    ASSERT_TRUE(window);
    EXPECT_EQ(E_INVALIDARG, CreateWebObjectClassInfo(window.Get(), &info));
    window.Reset();
    // The page test object is a test object but no web element.
    EXPECT_EQ(E_NOTIMPL, CreateWebObjectClassInfo(PageObject().Get(), &info));
    EXPECT_FALSE(info);
    EXPECT_EQ(E_POINTER, CreateWebObjectClassInfo(Element(L"tabs1").Get(), nullptr));

    ASSERT_EQ(S_OK, CreateWebObjectClassInfo(Element(L"combo1").Get(), &info));
    ComPtr<IvxCtrlClassInfo> classInfo;
    ASSERT_EQ(S_OK, info.As(&classInfo));
    GUID id = {};
    EXPECT_EQ(S_OK, classInfo->GetClassInfoId(&id));
    EXPECT_TRUE(IsEqualGUID(id, CvxWebObjectClassInfo::ClassInfoId));
    EXPECT_EQ(L"Telerik.Web.UI.RadComboBox", ClassName(classInfo.Get()));
    EXPECT_EQ(L"Telerik.Web.UI.RadComboBox", ClassName(classInfo.Get()));
    LONG flags = 7;
    EXPECT_EQ(E_NOTIMPL, classInfo->GetClassFlags(&flags));
    EXPECT_EQ(0, flags);
    EXPECT_EQ(E_NOTIMPL, classInfo->GetClassDetails());

    ComPtr<IUnknown> plain;
    ASSERT_EQ(S_OK, CreateWebObjectClassInfo(Element(L"combo3").Get(), &plain));
    ASSERT_EQ(S_OK, plain.As(&classInfo));
    EXPECT_EQ(L"", ClassName(classInfo.Get(), E_FAIL)) << "no known control";

    classInfo.Reset();
    info.Reset();
    plain.Reset();
    EXPECT_EQ(scriptObjectsBefore, ScriptObjectsAfterRelease(scriptObjectsBefore));
    EXPECT_EQ(0u, HandlesAfterRelease().rfind("ok 0 ", 0));
}

TEST_F(WebObjectClassInfo, DetectsOnceOnThePageWindowsThreadAndLetsTheElementGo)
{
    StartRenderer("snapshots/detection/infragistics.json");
    const long scriptObjectsBefore = ScriptObjects();
    const HWND tabWindow = TabWindow();
    ASSERT_TRUE(IsWindow(tabWindow));
    const DWORD windowThread = GetWindowThreadProcessId(tabWindow, nullptr);
    ASSERT_NE(windowThread, GetCurrentThreadId());

    std::atomic<bool> destroyed{false};
    ComPtr<CountingWebObject> counting;
    ComPtr<IvxCtrlClassInfo> info = CountedClassInfo(L"igtxtPrice", tabWindow, counting, destroyed);
    ASSERT_TRUE(info);
    EXPECT_EQ(0, counting->reads.load()) << "nothing is read before the class name is asked for";
    EXPECT_EQ(L"Infragistics.WebUI.WebDataInput.WebNumericEdit", ClassName(info.Get()));
    EXPECT_EQ(windowThread, counting->lastThread.load());
    const long reads = counting->reads;
    EXPECT_GE(reads, 2);
    EXPECT_EQ(1, counting->classNameReads.load());

    counting.Reset();
    EXPECT_TRUE(destroyed) << "the element goes once the class is known";
    EXPECT_EQ(L"Infragistics.WebUI.WebDataInput.WebNumericEdit", ClassName(info.Get()));
    info.Reset();
    EXPECT_EQ(scriptObjectsBefore, ScriptObjectsAfterRelease(scriptObjectsBefore));
}

TEST_F(WebObjectClassInfo, RunsOnTheCallingThreadWhenTheWindowThreadDoesNotTakeTheRun)
{
    StartRenderer("snapshots/detection/devexpress.json");
    StuckWindowThread stuck;
    std::atomic<bool> destroyed{false};
    ComPtr<CountingWebObject> counting;
    ComPtr<IvxCtrlClassInfo> info = CountedClassInfo(L"button1", stuck.Window(), counting, destroyed);
    ASSERT_TRUE(info);
    EXPECT_EQ(L"DevExpress.Web.ASPxButton", ClassName(info.Get()));
    EXPECT_EQ(GetCurrentThreadId(), counting->lastThread.load());
    EXPECT_EQ(1, counting->classNameReads.load()) << "the run that did not start never runs later";

    // Without a window, on the calling thread at once.
    std::atomic<bool> alsoDestroyed{false};
    ComPtr<CountingWebObject> direct;
    ComPtr<IvxCtrlClassInfo> windowless = CountedClassInfo(L"text2", nullptr, direct, alsoDestroyed);
    ASSERT_TRUE(windowless);
    EXPECT_EQ(L"", ClassName(windowless.Get(), E_FAIL));
    EXPECT_EQ(GetCurrentThreadId(), direct->lastThread.load());
    EXPECT_EQ(1, direct->classNameReads.load());
    EXPECT_EQ(L"", ClassName(windowless.Get(), E_FAIL));
    EXPECT_EQ(1, direct->classNameReads.load()) << "a class found to be unknown is not looked for again";
}

} // namespace
} // namespace web_control_tests
