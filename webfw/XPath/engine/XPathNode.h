// Node handles seen by the XPath engine.
//
// The engine never owns or stores document nodes. It works on small,
// trivially copyable handles that a Navigator hands out and interprets:
// an opaque pointer-sized value, a 32-bit navigator-defined word (for
// example an attribute index) and the node kind. Two handles denote the
// same node exactly when all three are equal. The handle is kept to two
// machine words so that it travels in registers where the ABI allows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace vxWebFw {
namespace XPath {
namespace Engine {

// The seven node kinds of the XPath 1.0 data model, plus None for "no node".
// A full word, so that Node has no padding: with a one-byte kind, compilers
// copy a handle as its 13 meaningful bytes in two overlapping moves, and a
// handle just returned in registers is then read back through a stalled
// store forward on every step of an axis walk.
enum class NodeKind : std::uint32_t { None, Root, Element, Attribute, Namespace, ProcessingInstruction, Comment, Text };

struct Node {
    const void* handle = nullptr;
    std::uint32_t extra = 0;
    NodeKind kind = NodeKind::None;

    constexpr Node() = default;
    constexpr Node(NodeKind nodeKind, const void* nodeHandle, std::uint32_t nodeExtra = 0)
        : handle(nodeHandle), extra(nodeExtra), kind(nodeKind) {}

    constexpr bool isNull() const { return kind == NodeKind::None; }
    constexpr explicit operator bool() const { return kind != NodeKind::None; }

    friend constexpr bool operator==(const Node& a, const Node& b) {
        return a.handle == b.handle && a.extra == b.extra && a.kind == b.kind;
    }
    friend constexpr bool operator!=(const Node& a, const Node& b) { return !(a == b); }
};

struct NodeHash {
    std::size_t operator()(const Node& node) const noexcept {
        std::size_t h = std::hash<const void*>()(node.handle);
        h ^= std::hash<std::uint32_t>()(node.extra) + 0x9e3779b9u + (h << 6) + (h >> 2);
        return h ^ static_cast<std::size_t>(node.kind);
    }
};

static_assert(sizeof(Node) <= 2 * sizeof(void*) || sizeof(void*) < 8, "Node must stay two words");

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
