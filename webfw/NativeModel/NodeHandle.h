#pragma once
// The one owner of a node handle: it gives the handle back, through the
// lifetime that issued it, when it goes. Movable, not copyable, so a handle
// has exactly one owner wherever it is stored (a vector of owners releases
// what it holds when an insertion throws or the vector goes).
#include <type_traits>
#include <utility>

#include "webfw/NativeModel/NodeImpl.h"
#include "webfw/NativeModel/ObjectLifetime.h"

namespace vxWebFw {

class NodeHandle
{
public:
    using Lifetime = IObjectLifetime<NodeImpl*>;

    NodeHandle() noexcept = default;
    explicit NodeHandle(Lifetime* lifetime, NodeImpl* node = nullptr) noexcept : lifetime_(lifetime), node_(node) {}
    // Anything that names the lifetime of its handles (the accessor).
    template <class Source, std::enable_if_t<!std::is_convertible_v<Source*, Lifetime*>, int> = 0>
    explicit NodeHandle(Source* source, NodeImpl* node = nullptr) noexcept
        : NodeHandle(source ? source->NodeLifetime() : nullptr, node)
    {
    }
    ~NodeHandle() { Reset(); }
    NodeHandle(const NodeHandle&) = delete;
    NodeHandle& operator=(const NodeHandle&) = delete;
    NodeHandle(NodeHandle&& other) noexcept : lifetime_(other.lifetime_), node_(other.Detach()) {}
    NodeHandle& operator=(NodeHandle&& other) noexcept
    {
        if (this != &other) {
            Reset();
            lifetime_ = other.lifetime_;
            node_ = other.Detach();
        }
        return *this;
    }

    NodeImpl* Get() const noexcept { return node_; }
    explicit operator bool() const noexcept { return node_ != nullptr; }
    // Gives back the held handle and returns the slot for an out parameter.
    NodeImpl** Out() noexcept
    {
        Reset();
        return &node_;
    }
    // Hands the handle over to the caller, who gives it back.
    NodeImpl* Detach() noexcept { return std::exchange(node_, nullptr); }
    void Reset(NodeImpl* node = nullptr) noexcept
    {
        if (NodeImpl* held = std::exchange(node_, node); held && lifetime_)
            lifetime_->Release(held);
    }
    Lifetime* GetLifetime() const noexcept { return lifetime_; }

private:
    Lifetime* lifetime_ = nullptr;
    NodeImpl* node_ = nullptr;
};

} // namespace vxWebFw
