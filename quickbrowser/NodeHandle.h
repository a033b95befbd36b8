#pragma once
// Owner of one node handle issued through a CCrRawBrowserHelper: the handle
// is given back when the owner goes.
#include <utility>

#include "quickbrowser/RawBrowserHelper.h"

class CCrNodeHandle
{
public:
    explicit CCrNodeHandle(CCrRawBrowserHelper* helper, NodeImpl* node = nullptr) noexcept
        : helper_(helper), node_(node)
    {
    }
    ~CCrNodeHandle() { Reset(); }
    CCrNodeHandle(const CCrNodeHandle&) = delete;
    CCrNodeHandle& operator=(const CCrNodeHandle&) = delete;
    CCrNodeHandle(CCrNodeHandle&& other) noexcept : helper_(other.helper_), node_(other.Detach()) {}
    CCrNodeHandle& operator=(CCrNodeHandle&& other) noexcept
    {
        if (this != &other) {
            Reset();
            helper_ = other.helper_;
            node_ = other.Detach();
        }
        return *this;
    }

    NodeImpl* Get() const noexcept { return node_; }
    // Releases the held handle and returns the slot for an out parameter.
    NodeImpl** Out() noexcept
    {
        Reset();
        return &node_;
    }
    NodeImpl* Detach() noexcept { return std::exchange(node_, nullptr); }
    void Reset() noexcept
    {
        if (node_ && helper_)
            helper_->ReleaseNode(node_);
        node_ = nullptr;
    }

private:
    CCrRawBrowserHelper* helper_;
    NodeImpl* node_ = nullptr;
};
