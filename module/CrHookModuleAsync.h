#pragma once
#include <cstdint>

#include "module/Asynchronizer.h"

class CCrHookModule;

// The browser module's worker: tab and browser notifications are posted to
// it and handled on its thread, one at a time, in posting order. Starts in
// its constructor, stops in its destructor.
class CCrHookModuleAsync : public CAsynchronizer
{
public:
    // Work item kinds and their data.
    enum Kind : int32_t {
        TabCreated = 0,     // TabInfoRecord*, owned by the item
        TabRemoved = 1,     // the tab id itself (TabIdAsData)
        TabUpdated = 2,     // TabInfoRecord*, owned by the item
        BrowserRemoved = 3, // vx::com::BStr* (the browser key), owned by the item
    };

    explicit CCrHookModuleAsync(CCrHookModule& module);
    ~CCrHookModuleAsync() override;

    static void* TabIdAsData(long tabId) noexcept { return reinterpret_cast<void*>(static_cast<intptr_t>(tabId)); }
    static long TabIdFromData(void* data) noexcept { return static_cast<long>(reinterpret_cast<intptr_t>(data)); }
    // Frees the data of an item of `kind`.
    static void FreeData(int32_t kind, void* data) noexcept;

protected:
    void Execute(int32_t kind, void* data) override;
    void FreeItem(int32_t kind, void* data) override;

private:
    CCrHookModule& module_;
};
