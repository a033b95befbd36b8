#pragma once
#include <windows.h>

namespace vxWebFw {

// Reference management for node handles: AddRef yields a second owned handle
// of the same node, Release gives one handle back.
template <class T>
class IObjectLifetime
{
public:
    virtual HRESULT AddRef(T node, T* copy) = 0;
    virtual HRESULT Release(T node) = 0;

protected:
    ~IObjectLifetime() = default;
};

// Walks a sequence of nodes. Next answers S_OK with an owned node (which may
// be null: callers skip it), S_FALSE at the end, or a failure. Every node it
// returns is released through the enumerator's own Release. Enumerators are
// owned by whoever asked for them and deleted through this interface.
template <class T>
class IObjectEnumerator : public IObjectLifetime<T>
{
public:
    virtual HRESULT Reset() = 0;
    virtual HRESULT Next(T* node) = 0;
    virtual ~IObjectEnumerator() = default;
};

} // namespace vxWebFw
