#include "module/CrHookModuleAsync.h"

#include <objbase.h>

#include "module/CrHookModule.h"
#include "openapphook/ExceptionGuard.h"
#include "platform/com/BStr.h"
#include "services/TabRecords.h"

namespace {

// Faults inside a notification handler are reported under this operation.
constexpr wchar_t kWorkItemOperation[] = L"E9BEE157-7EB0-444C-BA71-6483184095FD";

// The handlers talk to the services through the multithreaded apartment;
// each item enters it for its own duration.
class MtaScope
{
public:
    MtaScope() noexcept : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~MtaScope()
    {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    MtaScope(const MtaScope&) = delete;
    MtaScope& operator=(const MtaScope&) = delete;

private:
    HRESULT result_;
};

} // namespace

CCrHookModuleAsync::CCrHookModuleAsync(CCrHookModule& module) : module_(module)
{
    Start();
}

CCrHookModuleAsync::~CCrHookModuleAsync()
{
    Stop();
}

void CCrHookModuleAsync::Execute(int32_t kind, void* data)
{
    MtaScope apartment;
    vxOpenAppHook::RunGuarded(kWorkItemOperation, [&] {
        switch (kind) {
        case TabCreated:
            module_.HandleTabCreated(*static_cast<TabInfoRecord*>(data));
            break;
        case TabRemoved:
            module_.HandleTabRemoved(TabIdFromData(data));
            break;
        case TabUpdated:
            module_.HandleTabUpdated(*static_cast<TabInfoRecord*>(data));
            break;
        case BrowserRemoved:
            module_.HandleBrowserRemoved(static_cast<vx::com::BStr*>(data)->Get());
            break;
        default:
            break;
        }
    });
}

void CCrHookModuleAsync::FreeItem(int32_t kind, void* data)
{
    FreeData(kind, data);
}

void CCrHookModuleAsync::FreeData(int32_t kind, void* data) noexcept
{
    switch (kind) {
    case TabCreated:
    case TabUpdated:
        delete static_cast<TabInfoRecord*>(data);
        break;
    case BrowserRemoved:
        delete static_cast<vx::com::BStr*>(data);
        break;
    default:
        break;
    }
}
