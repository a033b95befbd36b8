// The node-handle owner: exactly one owner per handle, given back once,
// through the lifetime that issued it, also when storing it throws.
#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <set>
#include <vector>

#include "webfw/NativeModel/NodeHandle.h"

using vxWebFw::NodeHandle;

namespace {

// Issues fake handles and counts the live ones; a handle given back twice
// or never issued is an error.
class CountingLifetime : public vxWebFw::IObjectLifetime<NodeImpl*>
{
public:
    NodeImpl* Issue()
    {
        NodeImpl* handle = reinterpret_cast<NodeImpl*>(static_cast<uintptr_t>(++issued_ * 16));
        live_.insert(handle);
        return handle;
    }
    HRESULT AddRef(NodeImpl* node, NodeImpl** copy) override
    {
        if (!live_.count(node))
            return E_INVALIDARG;
        *copy = Issue();
        return S_OK;
    }
    HRESULT Release(NodeImpl* node) override
    {
        if (live_.erase(node) == 0)
            ++badReleases;
        return S_OK;
    }
    size_t Live() const { return live_.size(); }
    int badReleases = 0;

private:
    std::set<NodeImpl*> live_;
    uintptr_t issued_ = 0;
};

TEST(NodeHandle, GivesItsHandleBackOnceWhateverPathItTakes)
{
    CountingLifetime lifetime;
    {
        NodeHandle a(&lifetime, lifetime.Issue());
        NodeHandle b(std::move(a));
        EXPECT_EQ(a.Get(), nullptr);
        EXPECT_TRUE(b);
        NodeHandle c(&lifetime, lifetime.Issue());
        c = std::move(b); // c's own handle is given back, b's taken over
        EXPECT_EQ(lifetime.Live(), 1u);
        // Out gives the held handle back before the slot is written.
        *c.Out() = lifetime.Issue();
        EXPECT_EQ(lifetime.Live(), 1u);
        NodeImpl* detached = c.Detach();
        EXPECT_FALSE(c);
        lifetime.Release(detached);
        c.Reset(lifetime.Issue());
        c = std::move(c); // self-move keeps the handle
        EXPECT_TRUE(c);
    }
    EXPECT_EQ(lifetime.Live(), 0u);
    EXPECT_EQ(lifetime.badReleases, 0);
}

// An allocator that refuses once `refuse` is set.
template <class T>
struct RefusingAllocator
{
    using value_type = T;
    bool* refuse;
    explicit RefusingAllocator(bool* flag) : refuse(flag) {}
    template <class U>
    RefusingAllocator(const RefusingAllocator<U>& other) : refuse(other.refuse)
    {
    }
    T* allocate(std::size_t n)
    {
        if (*refuse)
            throw std::bad_alloc();
        return std::allocator<T>().allocate(n);
    }
    void deallocate(T* p, std::size_t n) { std::allocator<T>().deallocate(p, n); }
    template <class U>
    bool operator==(const RefusingAllocator<U>& other) const
    {
        return refuse == other.refuse;
    }
    template <class U>
    bool operator!=(const RefusingAllocator<U>& other) const
    {
        return refuse != other.refuse;
    }
};

TEST(NodeHandle, AVectorOfOwnersLeavesNoHandleBehindWhenGrowingThrows)
{
    CountingLifetime lifetime;
    bool refuse = false;
    {
        std::vector<NodeHandle, RefusingAllocator<NodeHandle>> held{RefusingAllocator<NodeHandle>(&refuse)};
        held.reserve(2);
        for (int i = 0; i < 2; ++i)
            held.emplace_back(&lifetime, lifetime.Issue());
        NodeHandle next(&lifetime, lifetime.Issue());
        refuse = true;
        EXPECT_THROW(held.push_back(std::move(next)), std::bad_alloc);
        // The vector is as it was and the handle is still owned here.
        EXPECT_EQ(held.size(), 2u);
        EXPECT_TRUE(next);
        EXPECT_TRUE(held[0] && held[1]);
        EXPECT_EQ(lifetime.Live(), 3u);
    }
    EXPECT_EQ(lifetime.Live(), 0u);
    EXPECT_EQ(lifetime.badReleases, 0);
}

TEST(NodeHandle, AnOwnerWithoutLifetimeOrHandleDoesNothing)
{
    NodeHandle empty;
    EXPECT_FALSE(empty);
    empty.Reset();
    NodeHandle orphan(static_cast<vxWebFw::IObjectLifetime<NodeImpl*>*>(nullptr),
                      reinterpret_cast<NodeImpl*>(static_cast<uintptr_t>(16)));
    EXPECT_TRUE(orphan);
    orphan.Detach();
}

} // namespace
