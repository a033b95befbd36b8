#include "module/CrHookModule.h"

#include <new>
#include <utility>

#include "platform/process/CommandLine.h"
#include "module/CrHookModuleAsync.h"
#include "module/PageSupports.h"
#include "module/RecordingSupports.h"
#include "module/RemoteServicesSync.h"
#include "platform/com/ComBoundary.h"

using Microsoft::WRL::ComPtr;
using vx::com::CriticalSectionLock;

namespace {

bool HasConflictingSwitch(const CCommandLine& commandLine)
{
    for (const wchar_t* name :
         {L"--single-process", L"--in-process-plugins", L"--disable-plugins", L"--disable-extensions"})
        if (commandLine.HasSwitch(name, true))
            return true;
    return false;
}

// A copy of a borrowed string (embedded nulls kept); null stays null.
// `ok` turns false when the copy could not be allocated.
vx::com::BStr CopyString(BSTR text, bool& ok)
{
    ok = true;
    if (!text)
        return {};
    BSTR copy = SysAllocStringLen(text, SysStringLen(text));
    ok = copy != nullptr;
    return vx::com::BStr::Attach(copy);
}

// A tab information record for a work item, owned by the item.
TabInfoRecord* CopyRecord(LONG tabId, VARIANT_BOOL loading, BSTR url)
{
    bool copied = false;
    vx::com::BStr urlCopy = CopyString(url, copied);
    if (!copied)
        return nullptr;
    auto* record = new (std::nothrow) TabInfoRecord;
    if (!record)
        return nullptr;
    record->tabId = tabId;
    record->loading = loading != VARIANT_FALSE;
    record->url = std::move(urlCopy);
    return record;
}

// Disconnects the objects of the stub manager on the synchronous invoker:
// the notifiers were handed to the services from that thread's apartment,
// so their stubs live there. Directly when there is no invoker.
HRESULT __stdcall DisconnectStubsOnce(void* manager)
{
    static_cast<vxOpenAppHook::CStubManager*>(manager)->DisconnectPass();
    return S_OK;
}

HRESULT __stdcall DisconnectAllStubs(void* manager)
{
    static_cast<vxOpenAppHook::CStubManager*>(manager)->DisconnectAll();
    return S_OK;
}

// Disconnects the stub manager's objects on the synchronous invoker, whose
// apartment made the notifiers' stubs (here when there is no invoker): one
// pass, or passes until none is left (at most about a second) when
// `waitForAll`.
void DisconnectStubs(vxOpenAppHook::CStubManager& stubManager, bool waitForAll)
{
    VX_CR_REMOTE_SERVICES_CALLBACK disconnect = waitForAll ? DisconnectAllStubs : DisconnectStubsOnce;
    if (FAILED(RunOnSynchronousInvoker(disconnect, &stubManager)))
        disconnect(&stubManager);
}

} // namespace

CCrHookModule::CCrHookModule()
{
    CCommandLine commandLine;
    commandLineConflict_ = HasConflictingSwitch(commandLine);
    hangMonitorEnabled_ = !commandLine.HasSwitch(L"--disable-hang-monitor", true);
}

CCrHookModule::~CCrHookModule()
{
    Shutdown();
}

HRESULT CCrHookModule::Initialize(IvxModuleRegistry* registry, IUnknown* host)
{
    ComPtr<vxOpenAppHook::CStubManager> stubManager;
    HRESULT hr = vx::com::CreateComObject(stubManager);
    if (FAILED(hr))
        return hr;
    {
        CriticalSectionLock guard(objectLock_);
        stubManager_ = stubManager;
    }

    ComPtr<CCrBrowserServiceRemote> browserService;
    hr = vx::com::CreateComObject(browserService);
    if (SUCCEEDED(hr))
        hr = browserService->Initialize(stubManager.Get(), this, this);
    if (FAILED(hr))
        return hr;
    {
        CriticalSectionLock guard(objectLock_);
        browserService_ = browserService;
    }

    ComPtr<CCrTabsServiceRemote> tabsService;
    hr = vx::com::CreateComObject(tabsService);
    if (SUCCEEDED(hr))
        hr = tabsService->Initialize(stubManager.Get(), this, this);
    if (FAILED(hr))
        return hr;
    {
        CriticalSectionLock guard(objectLock_);
        tabsService_ = tabsService;
    }
    tabs_.Attach([this](LONG tabId, ComPtr<CCrHookTab>& tab) { return MakeTab(tabId, tab); },
                 [tabsService](std::vector<TabInfoRecord>& records) { return tabsService->GetTabList(records); });
    // The tabs of a browser that has ended are closed; the list is read
    // again from the browser that is published next.
    tabsService->SetPublisherGoneHandler([this] {
        for (const ComPtr<CCrHookTab>& tab : tabs_.TakeAll())
            tab->Close();
    });

    hr = AddSupports();
    if (FAILED(hr))
        return hr;

    hr = RegisterWithHost(registry);
    if (FAILED(hr))
        return hr;

    {
        CriticalSectionLock guard(objectLock_);
        host_ = host;
    }

    auto worker = std::make_unique<CCrHookModuleAsync>(*this);
    {
        CriticalSectionLock guard(asyncLock_);
        std::swap(async_, worker);
    }
    // `worker` now holds the worker of an earlier Initialize, if any: it is
    // stopped without the lock.
    worker.reset();
    return S_OK;
}

namespace {

// Creates a support of the module and registers it; a support that could not
// be registered gives the module back at once.
template <class Support>
HRESULT AddNewSupport(CCrHookModule* module)
{
    ComPtr<Support> support;
    HRESULT hr = vx::com::CreateComObject(support, module);
    if (FAILED(hr))
        return hr;
    hr = module->AddSupport(support->Identity());
    if (FAILED(hr))
        support->Shutdown();
    return hr;
}

} // namespace

HRESULT CCrHookModule::AddSupports()
{
    HRESULT hr = AddNewSupport<CCrRootSupport>(this);
    if (SUCCEEDED(hr))
        hr = AddNewSupport<CCrWindowSupport>(this);
    if (SUCCEEDED(hr))
        hr = AddNewSupport<CCrPageSupport>(this);
    if (SUCCEEDED(hr))
        hr = AddNewSupport<CCrRecordingSupport>(this);
    if (SUCCEEDED(hr))
        hr = AddNewSupport<CCrEventSource>(this);
    if (SUCCEEDED(hr))
        hr = AddNewSupport<CCrCustomControlsSupport>(this);
    return hr;
}

HRESULT CCrHookModule::RunSynchronously(VX_CR_REMOTE_SERVICES_CALLBACK callback, void* userData) noexcept
try {
    return RunOnSynchronousInvoker(callback, userData);
}
VX_COM_CATCH

void CCrHookModule::Shutdown()
{
    std::unique_ptr<CCrHookModuleAsync> worker;
    {
        // From here on service callbacks post nothing.
        CriticalSectionLock guard(asyncLock_);
        worker = std::move(async_);
    }
    // Stopping joins the worker thread, whose handlers take the module's
    // locks: done without holding any.
    worker.reset();
    // Everything is taken out under the object lock and let go after it, in
    // this order, so that no remote call runs while the lock is held.
    ComPtr<vxOpenAppHook::CStubManager> stubManager;
    ComPtr<IUnknown> host;
    std::vector<ComPtr<IvxCrExtender>> extenders;
    std::vector<ComPtr<IvxCrStartLoadingListener>> listeners;
    ComPtr<CCrBrowserServiceRemote> browserService;
    ComPtr<CCrTabsServiceRemote> tabsService;
    {
        CriticalSectionLock guard(objectLock_);
        stubManager = std::move(stubManager_);
        host = std::move(host_);
        extenders.swap(extenders_);
        listeners.swap(startLoadingListeners_);
        browserService = std::move(browserService_);
        tabsService = std::move(tabsService_);
    }
    // Remote clients are cut first; objects still held by someone go later.
    if (stubManager)
        DisconnectStubs(*stubManager.Get(), false);
    host.Reset();
    // Base shutdown: unregisters from the host and releases the supports.
    CBaseHookModule::Shutdown();
    listeners.clear();
    for (const ComPtr<IvxCrExtender>& extender : extenders)
        extender->Shutdown();
    extenders.clear();
    for (const ComPtr<CCrHookTab>& tab : tabs_.TakeAll())
        tab->Close();
    if (browserService)
        browserService->Uninitialize();
    browserService.Reset();
    if (tabsService)
        tabsService->Uninitialize();
    tabsService.Reset();
    if (stubManager)
        DisconnectStubs(*stubManager.Get(), true);
}

HRESULT CCrHookModule::AddSupport(IUnknown* support)
{
    HRESULT hr = CBaseHookModule::AddSupport(support);
    if (FAILED(hr) || !support)
        return hr;
    ComPtr<IvxCrExtender> extender;
    ComPtr<IvxCrStartLoadingListener> listener;
    support->QueryInterface(IID_PPV_ARGS(&extender));
    support->QueryInterface(IID_PPV_ARGS(&listener));
    CriticalSectionLock guard(objectLock_);
    if (extender)
        extenders_.push_back(std::move(extender));
    if (listener)
        startLoadingListeners_.push_back(std::move(listener));
    return hr;
}

// ---------------------------------------------------------------------------
// Service callbacks: post to the worker.

HRESULT CCrHookModule::PostWork(int32_t kind, void* data)
{
    {
        CriticalSectionLock guard(asyncLock_);
        if (async_) {
            async_->Post(kind, data);
            return S_OK;
        }
    }
    CCrHookModuleAsync::FreeData(kind, data);
    return S_OK;
}

HRESULT CCrHookModule::OnBrowserServiceEvent() noexcept
try {
    return S_OK;
}
VX_COM_CATCH

HRESULT CCrHookModule::OnRemoveBrowser(BSTR browserKey) noexcept
try {
    bool copied = false;
    vx::com::BStr key = CopyString(browserKey, copied);
    auto* data = copied ? new (std::nothrow) vx::com::BStr(std::move(key)) : nullptr;
    if (!data)
        return E_OUTOFMEMORY;
    return PostWork(CCrHookModuleAsync::BrowserRemoved, data);
}
VX_COM_CATCH

HRESULT CCrHookModule::OnTabCreated(LONG tabId, VARIANT_BOOL loading, BSTR url) noexcept
try {
    TabInfoRecord* record = CopyRecord(tabId, loading, url);
    if (!record)
        return E_OUTOFMEMORY;
    return PostWork(CCrHookModuleAsync::TabCreated, record);
}
VX_COM_CATCH

HRESULT CCrHookModule::OnTabRemoved(LONG tabId) noexcept
try {
    return PostWork(CCrHookModuleAsync::TabRemoved, CCrHookModuleAsync::TabIdAsData(tabId));
}
VX_COM_CATCH

HRESULT CCrHookModule::OnTabUpdated(LONG tabId, VARIANT_BOOL loading, BSTR url) noexcept
try {
    TabInfoRecord* record = CopyRecord(tabId, loading, url);
    if (!record)
        return E_OUTOFMEMORY;
    return PostWork(CCrHookModuleAsync::TabUpdated, record);
}
VX_COM_CATCH

// ---------------------------------------------------------------------------
// The tab list.

HRESULT CCrHookModule::MakeTab(LONG tabId, ComPtr<CCrHookTab>& tab)
{
    tab.Reset();
    ComPtr<vxOpenAppHook::CStubManager> stubManager;
    ComPtr<CCrTabsServiceRemote> tabsService;
    ComPtr<CCrBrowserServiceRemote> browserService;
    {
        CriticalSectionLock guard(objectLock_);
        stubManager = stubManager_;
        tabsService = tabsService_;
        browserService = browserService_;
    }
    if (!stubManager || !tabsService || !browserService)
        return E_UNEXPECTED; // shut down
    ComPtr<CCrHookTab> made;
    HRESULT hr = vx::com::CreateComObject(made);
    if (SUCCEEDED(hr))
        hr = made->Initialize(stubManager.Get(), tabId, this, tabsService.Get(), browserService.Get());
    if (FAILED(hr)) {
        if (made)
            made->Close();
        return hr;
    }
    tab = std::move(made);
    return S_OK;
}

void CCrHookModule::HandleTabCreated(const TabInfoRecord& record)
{
    tabs_.OnCreated(record);
}

void CCrHookModule::HandleTabRemoved(LONG tabId)
{
    tabs_.OnRemoved(tabId);
}

void CCrHookModule::HandleTabUpdated(const TabInfoRecord& record)
{
    if (ComPtr<CCrHookTab> startedLoading = tabs_.OnUpdated(record))
        NotifyStartLoading(startedLoading.Get());
}

void CCrHookModule::HandleBrowserRemoved(BSTR browserKey)
{
    tabs_.OnBrowserRemoved(browserKey);
}

void CCrHookModule::NotifyStartLoading(CCrHookTab* tab)
{
    std::vector<ComPtr<IvxCrStartLoadingListener>> listeners;
    {
        CriticalSectionLock guard(objectLock_);
        listeners = startLoadingListeners_;
    }
    for (const ComPtr<IvxCrStartLoadingListener>& listener : listeners)
        listener->OnStartLoading(tab->Identity());
}

ComPtr<CCrHookTab> CCrHookModule::FindTabByWindow(HWND window)
{
    CheckBrowserWarnings(window);
    return tabs_.FindByWindow(window);
}

ComPtr<CCrHookTab> CCrHookModule::FindTabById(LONG tabId)
{
    return tabs_.FindById(tabId);
}

std::vector<ComPtr<CCrHookTab>> CCrHookModule::CopyTabs()
{
    return tabs_.Copy();
}

void CCrHookModule::EnsureTabsLoaded()
{
    tabs_.EnsureLoaded();
}

bool CCrHookModule::TabsLoaded()
{
    return tabs_.IsLoaded();
}

void CCrHookModule::PushChangedOptionsToTabs()
{
    for (const ComPtr<CCrHookTab>& tab : tabs_.Copy())
        tab->PushChangedOptions();
}

ComPtr<CCrBrowserServiceRemote> CCrHookModule::BrowserService()
{
    CriticalSectionLock guard(objectLock_);
    return browserService_;
}

ComPtr<CCrTabsServiceRemote> CCrHookModule::TabsService()
{
    CriticalSectionLock guard(objectLock_);
    return tabsService_;
}

// ---------------------------------------------------------------------------
// Start-up warnings.

bool CCrHookModule::IsTabsServiceConnected()
{
    ComPtr<CCrTabsServiceRemote> tabsService = TabsService();
    return tabsService && tabsService->IsConnected();
}

StartupWarningKind CCrHookModule::CurrentStartupWarning()
{
    return SelectStartupWarning(commandLineConflict_, IsTabsServiceConnected(), hangMonitorEnabled_);
}

void CCrHookModule::CheckBrowserWarnings(HWND window)
{
    if (!window)
        return;
    ComPtr<IUnknown> host;
    {
        CriticalSectionLock guard(objectLock_);
        host = host_;
    }
    ShowStartupWarning(host.Get(), CurrentStartupWarning(), window);
}

ComPtr<vxOpenAppHook::CStubManager> CCrHookModule::StubManager()
{
    CriticalSectionLock guard(objectLock_);
    return stubManager_;
}

bool CCrHookModule::HasWorker()
{
    CriticalSectionLock guard(asyncLock_);
    return async_ != nullptr;
}
