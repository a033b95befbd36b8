#pragma once
// One walk over the page (one request from the browser side): a provider
// may keep what it reads while a walk is open and must drop all of it when
// the walk ends, because the page changes between requests. Walks may nest;
// what is kept goes when the outermost one ends.

namespace vxWebFw::NativeModel {

class IWalkScope
{
public:
    virtual void BeginWalk() = 0;
    virtual void EndWalk() = 0;

protected:
    ~IWalkScope() = default;
};

// Opens a walk for its own lifetime (nothing when there is no scope).
class WalkScopeGuard
{
public:
    explicit WalkScopeGuard(IWalkScope* scope) : scope_(scope)
    {
        if (scope_)
            scope_->BeginWalk();
    }
    ~WalkScopeGuard()
    {
        if (scope_)
            scope_->EndWalk();
    }
    WalkScopeGuard(const WalkScopeGuard&) = delete;
    WalkScopeGuard& operator=(const WalkScopeGuard&) = delete;

private:
    IWalkScope* scope_;
};

} // namespace vxWebFw::NativeModel
