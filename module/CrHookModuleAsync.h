#pragma once
#include "module/Asynchronizer.h"

class CCrHookModule;

// The browser module's worker: tab and browser notifications are posted to
// it and handled on its thread, one at a time, in posting order. Starts in
// its constructor, stops in its destructor.
class CCrHookModuleAsync : public CAsynchronizer
{
public:
    // Work item kinds.
    enum Kind : int32_t
    {
        TabCreated = 0,
        TabRemoved = 1,
        TabUpdated = 2,
        BrowserRemoved = 3,
    };

    explicit CCrHookModuleAsync(CCrHookModule& module);
    ~CCrHookModuleAsync() override;

protected:
    void Execute(int32_t kind, void* data) override;
    void FreeItem(int32_t kind, void* data) override;

private:
    CCrHookModule& module_;
};
