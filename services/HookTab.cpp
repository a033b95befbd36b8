#include "services/HookTab.h"

#include <cwchar>
#include <utility>

#include "comhelp/SynchronousInvoker.h"
#include "openapphook/InvokeException.h"
#include "quickbrowser/InformationRecords.h"
#include "services/BrowserServiceRemote.h"
#include "services/HookTabInstance.h"
#include "services/QuickBrowserRemote.h"
#include "services/TabOptionPush.h"
#include "services/TabWindowLookup.h"
#include "services/TabsServiceRemote.h"
#include "testobjects/LightTestObject.h"
#include "testobjects/PageTestObject.h"

using Microsoft::WRL::ComPtr;
using vx::com::BStr;
using vx::com::CriticalSectionLock;
using vx::com::Variant;
using vxOpenAppHook::CStubManager;

// What a successful connection to the renderer brings; the members release
// themselves when the connection is given up half-way.
struct CCrHookTab::RendererConnection
{
    BStr browserKey;
    ComPtr<CCrQuickBrowserRemote> quickBrowser;
    HWND tabWindow = nullptr;
    GlobalInterfaceCookie pageScriptCookie;
    GlobalInterfaceCookie pageObjectCookie;
};

namespace {

BStr FormatPrefix(LONG tabId, const wchar_t* suffix)
{
    wchar_t text[64] = {};
    std::swprintf(text, 64, L"Cr%d%ls", static_cast<int>(tabId), suffix);
    return BStr(text);
}

} // namespace

CCrHookTab::CCrHookTab() = default;

CCrHookTab::~CCrHookTab()
{
    // A tab released without Close still frees its remote resources.
    Close();
}

HRESULT CCrHookTab::ClosedTabError()
{
    return vxOpenAppHook::ReportInvokeException(vxOpenAppHook::CvxInvokeException(
        vxOpenAppHook::CvxInvokeException::LevelError, L"The page is no longer available.",
        L"The browser tab that showed this page has been closed."));
}

HRESULT CCrHookTab::Initialize(CStubManager* stubManager, LONG tabId, IvxCrRemoteServicesSync* invoker,
                               CCrTabsServiceRemote* tabsService, CCrBrowserServiceRemote* browserService)
{
    ComPtr<CStubManager> ownStubManager;
    HRESULT hr = vx::com::CreateComObject(ownStubManager);
    if (FAILED(hr))
        return hr;
    ComPtr<CCrHookTabInstance> instance;
    hr = vx::com::CreateComObject(instance);
    if (FAILED(hr))
        return hr;
    hr = instance->Initialize(this, ownStubManager.Get());
    if (FAILED(hr))
        return hr;
    // The page objects hold the tab until the close releases them.
    ComPtr<vxCrTestObjects::CCrHookObject_Page> treePage;
    ComPtr<vxCrTestObjects::CCrHookObject_Page> domPage;
    hr = vxCrTestObjects::CCrHookObject_Page::Create(stubManager, this, true, treePage);
    if (SUCCEEDED(hr))
        hr = vxCrTestObjects::CCrHookObject_Page::Create(stubManager, this, false, domPage);
    if (FAILED(hr))
        return hr;

    {
        CriticalSectionLock guard(objectLock_);
        stubManager_ = stubManager;
        tabId_ = tabId;
        invoker_ = invoker;
        tabsService_ = tabsService;
        browserService_ = browserService;
        alive_ = true;
        instance_ = std::move(instance);
        treePage_ = std::move(treePage);
        domPage_ = std::move(domPage);
        treePrefix_ = FormatPrefix(tabId, L"!");
        domPrefix_ = FormatPrefix(tabId, L"Wnd!");
        ownStubManager_ = std::move(ownStubManager);
    }
    CriticalSectionLock options(optionLock_);
    options_ = ProcessOptions().Snapshot();
    return S_OK;
}

void CCrHookTab::Close()
{
    ComPtr<CCrTabsServiceRemote> tabsService;
    ComPtr<CCrBrowserServiceRemote> browserService;
    ComPtr<CCrHookTabInstance> instance;
    ComPtr<CStubManager> ownStubManager;
    ComPtr<vxCrTestObjects::CCrHookObject_Page> treePage;
    ComPtr<vxCrTestObjects::CCrHookObject_Page> domPage;
    std::shared_ptr<const RendererConnection> connection;
    {
        CriticalSectionLock guard(objectLock_);
        if (alive_) {
            ++treeChangeCounter_;
            ++domChangeCounter_;
        }
        ++resetGeneration_;
        alive_ = false;
        stubManager_.Reset();
        invoker_.Reset();
        tabsService.Swap(tabsService_);
        browserService.Swap(browserService_);
        instance.Swap(instance_);
        treePage.Swap(treePage_);
        domPage.Swap(domPage_);
        ownStubManager.Swap(ownStubManager_);
        connection = std::move(connection_);
    }
    // Everything below calls out (disconnecting pumps COM calls and may take
    // up to a second): done after leaving the lock so that calls arriving
    // meanwhile are not blocked.
    if (instance)
        instance->DetachTab();
    // Released first: an instance nobody else holds leaves the stub manager
    // now instead of keeping the shutdown below waiting for it.
    instance.Reset();
    treePage.Reset();
    domPage.Reset();
    GiveUp(std::move(connection));
    if (ownStubManager)
        ownStubManager->DisconnectAll();
}

bool CCrHookTab::IsAlive()
{
    CriticalSectionLock guard(objectLock_);
    return alive_;
}

BStr CCrHookTab::Url()
{
    CriticalSectionLock guard(objectLock_);
    return url_;
}

void CCrHookTab::SetUrl(BSTR url)
{
    BStr copy(url ? BStr(std::wstring_view(url, SysStringLen(url))) : BStr());
    CriticalSectionLock guard(objectLock_);
    url_ = std::move(copy);
}

bool CCrHookTab::IsLoading()
{
    CriticalSectionLock guard(objectLock_);
    return loading_;
}

void CCrHookTab::SetLoading(bool loading)
{
    CriticalSectionLock guard(objectLock_);
    if (loading_ == loading)
        return;
    loading_ = loading;
    (loading ? startedEvents_ : stoppedEvents_).SignalAll();
}

LONG CCrHookTab::GroupIndex()
{
    CriticalSectionLock guard(objectLock_);
    return groupIndex_;
}

bool CCrHookTab::HasGroup()
{
    CriticalSectionLock guard(objectLock_);
    return grouped_;
}

void CCrHookTab::SetGroup(LONG index, bool grouped)
{
    CriticalSectionLock guard(objectLock_);
    groupIndex_ = index;
    grouped_ = grouped;
}

// ------------------------------------------------------------ renderer

HRESULT CCrHookTab::ConnectRenderer()
{
    std::shared_ptr<const RendererConnection> connection;
    return ConnectedRenderer(connection);
}

HRESULT CCrHookTab::ConnectedRenderer(std::shared_ptr<const RendererConnection>& connection)
{
    // A reset between the lookup and the install makes the new connection
    // stale; one more attempt then reads the renderer again.
    for (int attempt = 0;; ++attempt) {
        bool superseded = false;
        HRESULT hr = TryConnectRenderer(connection, superseded);
        if (!superseded || attempt == 1)
            return hr;
    }
}

HRESULT CCrHookTab::TryConnectRenderer(std::shared_ptr<const RendererConnection>& connection, bool& superseded)
{
    connection.reset();
    superseded = false;
    ComPtr<CCrBrowserServiceRemote> browserService;
    ComPtr<IvxCrRemoteServicesSync> invoker;
    unsigned long generation = 0;
    LONG tabId = 0;
    {
        CriticalSectionLock guard(objectLock_);
        if (!alive_)
            return ClosedTabError();
        if (connection_) {
            connection = connection_;
            return S_OK;
        }
        if (!browserService_)
            return E_FAIL;
        browserService = browserService_;
        invoker = invoker_;
        generation = resetGeneration_;
        tabId = tabId_;
    }
    ProcessOptionValues options;
    {
        CriticalSectionLock optionGuard(optionLock_);
        options = options_;
    }

    auto made = std::make_shared<RendererConnection>();
    HRESULT hr = browserService->GetBrowserKey(tabId, made->browserKey);
    if (FAILED(hr))
        return hr;
    auto work = [&]() -> HRESULT {
        ComPtr<IDispatch> quickBrowser;
        HRESULT result = browserService->GetRendererQuickBrowser(made->browserKey.Get(), quickBrowser);
        if (FAILED(result))
            return result;
        if (!quickBrowser)
            return E_UNEXPECTED;
        return PrepareConnection(quickBrowser.Get(), options, *made);
    };
    hr = RunOnInvoker(invoker.Get(), work);

    std::shared_ptr<const RendererConnection> givenUp;
    {
        CriticalSectionLock guard(objectLock_);
        if (!alive_) {
            hr = ClosedTabError();
        } else if (generation != resetGeneration_) {
            // Reset or closed while connecting: what was made is stale.
            superseded = true;
            if (SUCCEEDED(hr))
                hr = E_FAIL;
        } else if (connection_) {
            // Another thread connected meanwhile: its connection is kept.
            connection = connection_;
            hr = S_OK;
        } else if (FAILED(hr)) {
            givenUp = TakeRendererLocked();
        } else {
            connection_ = made;
            connection = std::move(made);
        }
    }
    GiveUp(std::move(givenUp));
    if (made)
        GiveUp(std::move(made));
    return hr;
}

HRESULT CCrHookTab::PrepareConnection(IDispatch* quickBrowser, const ProcessOptionValues& options,
                                      RendererConnection& connection)
{
    ComPtr<CCrQuickBrowserRemote> remote;
    HRESULT hr = vx::com::CreateComObject(remote);
    if (FAILED(hr))
        return hr;
    hr = remote->Initialize(quickBrowser);
    if (FAILED(hr))
        return hr;
    // The remote wrapper revokes its table entry when it is released, so a
    // connection given up below leaves nothing behind.
    connection.quickBrowser = remote;

    HWND inBrowserWindow = nullptr;
    hr = remote->GetInBrowserWindow(inBrowserWindow);
    if (FAILED(hr))
        return hr;
    connection.tabWindow = FindRenderWidgetAncestor(inBrowserWindow);
    if (!connection.tabWindow)
        return E_FAIL;

    Variant record;
    hr = remote->GetPageObjectInformation(record.Get());
    if (FAILED(hr))
        return hr;
    ObjectThisInformation page;
    hr = ReadThisInformation(*record, page);
    if (FAILED(hr))
        return hr;
    hr = connection.pageScriptCookie.Register(page.scriptObject.Get(), IID_IDispatch);
    if (FAILED(hr))
        return hr;
    hr = connection.pageObjectCookie.Register(page.object.Get(), IID_IDispatch);
    if (FAILED(hr))
        return hr;
    return PushOptions(*remote.Get(), RendererOptionKeys(), options);
}

void CCrHookTab::ResetRenderer()
{
    std::shared_ptr<const RendererConnection> connection;
    {
        CriticalSectionLock guard(objectLock_);
        connection = TakeRendererLocked();
    }
    GiveUp(std::move(connection));
}

std::shared_ptr<const CCrHookTab::RendererConnection> CCrHookTab::TakeRendererLocked()
{
    ++resetGeneration_;
    ++treeChangeCounter_;
    ++domChangeCounter_;
    return std::move(connection_);
}

void CCrHookTab::GiveUp(std::shared_ptr<const RendererConnection> connection)
{
    // The quick browser is cut off now, even if some caller still uses this
    // connection; the page objects' table entries go with the last user.
    if (connection && connection->quickBrowser)
        connection->quickBrowser->Disconnect();
}

bool CCrHookTab::HoldsBrowserKey(BSTR key)
{
    if (!key)
        return false;
    CriticalSectionLock guard(objectLock_);
    return connection_ && connection_->browserKey.Get() &&
           connection_->browserKey.View() == std::wstring_view(key, SysStringLen(key));
}

bool CCrHookTab::IsRendererConnected()
{
    CriticalSectionLock guard(objectLock_);
    return connection_ != nullptr;
}

HRESULT CCrHookTab::FetchPageObject(bool scriptObject, bool connectFirst, ComPtr<IDispatch>& object)
{
    object.Reset();
    std::shared_ptr<const RendererConnection> connection;
    if (connectFirst) {
        HRESULT hr = ConnectedRenderer(connection);
        if (FAILED(hr))
            return hr;
    } else {
        CriticalSectionLock guard(objectLock_);
        connection = connection_;
    }
    if (!connection)
        return S_OK;
    const GlobalInterfaceCookie& cookie = scriptObject ? connection->pageScriptCookie : connection->pageObjectCookie;
    if (cookie.Empty())
        return S_OK;
    return cookie.Fetch(object);
}

HRESULT CCrHookTab::GetPageScriptObject(ComPtr<IDispatch>& scriptObject)
{
    return FetchPageObject(true, true, scriptObject);
}

HRESULT CCrHookTab::GetPageQuickBrowserObject(ComPtr<IDispatch>& pageObject)
{
    return FetchPageObject(false, true, pageObject);
}

HRESULT CCrHookTab::GetPageQuickBrowserObject(ComPtr<IDispatch>& pageObject, bool connectFirst)
{
    return FetchPageObject(false, connectFirst, pageObject);
}

HRESULT CCrHookTab::GetPageTestObject(bool treeModel, ComPtr<IvxObject>& page)
{
    page.Reset();
    ComPtr<vxCrTestObjects::CCrHookObject_Page> held;
    {
        CriticalSectionLock guard(objectLock_);
        held = treeModel ? treePage_ : domPage_;
    }
    if (!held)
        return E_FAIL;
    return vx::com::QueryTo(held.Get(), page);
}

HRESULT CCrHookTab::MakeLightObject(const VARIANT& information, ComPtr<IvxObject>& object)
{
    ObjectLightInformation light;
    HRESULT hr = ReadLightInformation(information, light);
    if (FAILED(hr))
        return hr;
    std::wstring moniker(ObjectNamePrefix(true).View());
    moniker.append(light.identityPath.View());
    const BStr monikerText(moniker);
    if (!monikerText.Get())
        return E_OUTOFMEMORY;
    return vxCrTestObjects::CCrHookObjectLight::Create(ObjectStubManager().Get(), monikerText.Get(), object);
}

HRESULT CCrHookTab::GetObjectAtPoint(LONG x, LONG y, ComPtr<IvxObject>& object)
{
    object.Reset();
    std::shared_ptr<const RendererConnection> connection;
    HRESULT hr = ConnectedRenderer(connection);
    if (FAILED(hr))
        return hr;
    Variant information;
    hr = connection->quickBrowser->GetObjectInformationFromPointOnTopViewport(x, y, information.Get());
    if (FAILED(hr))
        return hr;
    return MakeLightObject(*information, object);
}

HRESULT CCrHookTab::GetFocusedObject(ComPtr<IvxObject>& object)
{
    object.Reset();
    std::shared_ptr<const RendererConnection> connection;
    HRESULT hr = ConnectedRenderer(connection);
    if (FAILED(hr))
        return hr;
    Variant information;
    hr = connection->quickBrowser->GetFocusedObjectInformation(information.Get());
    if (FAILED(hr))
        return hr;
    return MakeLightObject(*information, object);
}

void CCrHookTab::PageState(BStr& url, LONG& groupIndex, bool& grouped)
{
    CriticalSectionLock guard(objectLock_);
    url = url_;
    groupIndex = groupIndex_;
    grouped = grouped_;
}

// ------------------------------------------------------------ window

HRESULT CCrHookTab::TabWindow(HWND& window)
{
    window = nullptr;
    {
        CriticalSectionLock guard(objectLock_);
        if (!alive_)
            return E_FAIL;
        if (connection_)
            window = connection_->tabWindow;
    }
    if (window && IsWindow(window))
        return S_OK;
    window = nullptr;
    return FindTabWindowByRectangle(window);
}

HRESULT CCrHookTab::FindTabWindowByRectangle(HWND& window)
{
    window = nullptr;
    ComPtr<CCrTabsServiceRemote> tabsService;
    LONG tabId = 0;
    {
        CriticalSectionLock guard(objectLock_);
        tabsService = tabsService_;
        tabId = tabId_;
    }
    if (!tabsService)
        return E_FAIL;
    RECT content = {};
    if (FAILED(tabsService->GetTabRectangle(tabId, content)))
        return E_FAIL;
    window = FindTabWindowByContentRect(content);
    return window ? S_OK : E_FAIL;
}

HRESULT CCrHookTab::Geometry(LONG& left, LONG& top, LONG& width, LONG& height)
{
    left = top = width = height = 0;
    HWND window = nullptr;
    HRESULT hr = TabWindow(window);
    if (FAILED(hr))
        return hr;
    RECT rect = {};
    if (!GetWindowRect(window, &rect))
        return E_FAIL;
    left = rect.left;
    top = rect.top;
    width = rect.right - rect.left;
    height = rect.bottom - rect.top;
    return S_OK;
}

HRESULT CCrHookTab::IsVisible(bool& visible)
{
    visible = false;
    HWND window = nullptr;
    HRESULT hr = TabWindow(window);
    if (FAILED(hr))
        return hr;
    visible = IsWindowVisible(window) != FALSE;
    return S_OK;
}

HRESULT CCrHookTab::IsFocused(bool& focused)
{
    focused = false;
    HWND window = nullptr;
    HRESULT hr = TabWindow(window);
    if (FAILED(hr))
        return hr;
    // GetFocus answers only for the calling thread's input queue; the focus
    // of the window's own thread is what counts when asked from elsewhere.
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    const DWORD windowThread = GetWindowThreadProcessId(window, nullptr);
    if (windowThread != GetCurrentThreadId() && GetGUIThreadInfo(windowThread, &info))
        focused = info.hwndFocus == window;
    else
        focused = GetFocus() == window;
    return S_OK;
}

HRESULT CCrHookTab::Activate()
{
    ComPtr<CCrTabsServiceRemote> tabsService;
    {
        CriticalSectionLock guard(objectLock_);
        if (!alive_)
            return ClosedTabError();
        tabsService = tabsService_;
    }
    if (!tabsService)
        return E_FAIL;
    return tabsService->Activate(tabId_);
}

HRESULT CCrHookTab::SetFocused(bool focused)
{
    if (!focused)
        return S_OK;
    HRESULT hr = Activate();
    if (FAILED(hr))
        return hr;
    HWND window = nullptr;
    hr = TabWindow(window);
    if (FAILED(hr))
        return hr;
    // SetFocus works on the calling thread's input queue: join the window's
    // thread's queue for the call when it is another thread.
    const DWORD windowThread = GetWindowThreadProcessId(window, nullptr);
    const DWORD thisThread = GetCurrentThreadId();
    const bool attached = windowThread != thisThread && AttachThreadInput(thisThread, windowThread, TRUE);
    SetFocus(window);
    if (attached)
        AttachThreadInput(thisThread, windowThread, FALSE);
    return S_OK;
}

// ------------------------------------------------------------ waiting and navigation

bool CCrHookTab::WaitStartThenStop(const LoadWaitEvents::Waiter& started, const LoadWaitEvents::Waiter& stopped,
                                   bool alreadyLoading, DWORD startLimitMs, DWORD stopLimitMs)
{
    if (!alreadyLoading && !started.Wait(startLimitMs))
        return false;
    return stopped.Wait(stopLimitMs);
}

HRESULT CCrHookTab::WaitForLoad(BStr& url)
{
    url.Reset();
    if (!IsAlive())
        return ClosedTabError();
    const Timing timing = CurrentTiming();
    {
        LoadWaitEvents::Waiter started(startedEvents_);
        LoadWaitEvents::Waiter stopped(stoppedEvents_);
        Sleep(0);
        WaitStartThenStop(started, stopped, IsLoading(), timing.waitStartMs, timing.waitStopMs);
    }
    url = Url();
    return S_OK;
}

HRESULT CCrHookTab::Navigate(BSTR url)
{
    ComPtr<CCrTabsServiceRemote> tabsService;
    {
        CriticalSectionLock guard(objectLock_);
        if (!alive_)
            return ClosedTabError();
        tabsService = tabsService_;
    }
    if (!tabsService)
        return E_FAIL;
    const Timing timing = CurrentTiming();
    bool finished = false;
    {
        LoadWaitEvents::Waiter started(startedEvents_);
        LoadWaitEvents::Waiter stopped(stoppedEvents_);
        HRESULT hr = tabsService->Navigate(tabId_, url);
        if (FAILED(hr))
            return hr;
        Sleep(0);
        finished = WaitStartThenStop(started, stopped, false, timing.navigateStartMs, timing.navigateStopMs);
    }
    if (!finished)
        return S_FALSE;
    for (int attempt = 0; attempt < timing.reconnectTries; ++attempt) {
        if (attempt > 0)
            Sleep(timing.reconnectIntervalMs);
        if (SUCCEEDED(ConnectRenderer()))
            break;
    }
    return S_OK;
}

// ------------------------------------------------------------ options

HRESULT CCrHookTab::PushOptions(CCrQuickBrowserRemote& quickBrowser, const std::vector<GUID>& keys,
                                const ProcessOptionValues& options)
{
    HRESULT first = S_OK;
    for (const GUID& key : keys) {
        Variant value;
        HRESULT hr = MakeRendererOptionValue(key, options, value.Get());
        if (SUCCEEDED(hr)) {
            BStr keyText = OptionKeyString(key);
            hr = keyText.Get() ? quickBrowser.UpdateOption(keyText.Get(), *value) : E_OUTOFMEMORY;
        }
        if (FAILED(hr) && SUCCEEDED(first))
            first = hr;
    }
    return first;
}

void CCrHookTab::PushChangedOptions()
{
    {
        CriticalSectionLock optionGuard(optionLock_);
        if (pushing_) {
            // The thread pushing now takes another round with the newest
            // values, so pushes reach the renderer in order.
            pushAgain_ = true;
            return;
        }
        pushing_ = true;
    }
    try {
        PushRounds();
    } catch (...) {
        CriticalSectionLock optionGuard(optionLock_);
        pushing_ = false;
        throw;
    }
}

void CCrHookTab::PushRounds()
{
    for (;;) {
        ComPtr<CCrQuickBrowserRemote> quickBrowser;
        {
            CriticalSectionLock guard(objectLock_);
            if (alive_ && connection_)
                quickBrowser = connection_->quickBrowser;
        }
        std::vector<GUID> changed;
        ProcessOptionValues current;
        {
            CriticalSectionLock optionGuard(optionLock_);
            pushAgain_ = false;
            current = ProcessOptions().Snapshot();
            changed = ChangedRendererOptionKeys(options_, current);
            options_ = current;
        }
        if (quickBrowser && !changed.empty())
            PushOptions(*quickBrowser.Get(), changed, current);
        CriticalSectionLock optionGuard(optionLock_);
        if (!pushAgain_) {
            pushing_ = false;
            return;
        }
    }
}

// ------------------------------------------------------------ accessors

HRESULT CCrHookTab::GetTabInstance(ComPtr<IDispatch>& instance)
{
    instance.Reset();
    ComPtr<CCrHookTabInstance> held;
    {
        CriticalSectionLock guard(objectLock_);
        held = instance_;
    }
    if (!held)
        return E_FAIL;
    return vx::com::QueryTo(held.Get(), instance);
}

BStr CCrHookTab::ObjectNamePrefix(bool treeModel)
{
    CriticalSectionLock guard(objectLock_);
    return treeModel ? treePrefix_ : domPrefix_;
}

LONG CCrHookTab::ChangeCounter(bool treeModel)
{
    CriticalSectionLock guard(objectLock_);
    return treeModel ? treeChangeCounter_ : domChangeCounter_;
}

ComPtr<CStubManager> CCrHookTab::ObjectStubManager()
{
    CriticalSectionLock guard(objectLock_);
    return ownStubManager_;
}

ComPtr<IvxCrRemoteServicesSync> CCrHookTab::Invoker()
{
    CriticalSectionLock guard(objectLock_);
    return invoker_;
}

void CCrHookTab::SetTiming(const Timing& timing)
{
    CriticalSectionLock guard(objectLock_);
    timing_ = timing;
}

CCrHookTab::Timing CCrHookTab::CurrentTiming()
{
    CriticalSectionLock guard(objectLock_);
    return timing_;
}
