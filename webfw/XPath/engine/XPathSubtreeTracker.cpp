#include "XPathSubtreeTracker.h"

namespace vxWebFw {
namespace XPath {
namespace Engine {

void SubtreeTracker::setRoot(Node node) {
    // Up from the new root to the first node on the current path (their
    // lowest common ancestor): the path keeps everything above it.
    walked_.clear();
    Node meeting;
    for (Node p = node; p; p = nav_.parent(p)) {
        if (onPath_.count(p)) {
            meeting = p;
            break;
        }
        walked_.push_back(p);
    }
    const std::size_t keep = meeting ? onPath_[meeting] + 1 : 0;
    for (std::size_t i = keep; i < path_.size(); ++i)
        onPath_.erase(path_[i]);
    path_.resize(keep);
    for (auto it = walked_.rbegin(); it != walked_.rend(); ++it) {
        onPath_[*it] = path_.size();
        path_.push_back(*it);
    }
    inside_.clear();
}

bool SubtreeTracker::inside(Node node) {
    if (path_.empty()) return false;
    const Node& root = path_.back();
    walked_.clear();
    walked_.push_back(node);
    for (Node p = nav_.parent(node); p; p = nav_.parent(p)) {
        if (p == root || inside_.count(p)) {
            inside_.insert(walked_.begin(), walked_.end());
            return true;
        }
        // Any other node on the path is an ancestor of the root, so the
        // node lies outside the root's subtree.
        if (onPath_.count(p)) return false;
        walked_.push_back(p);
    }
    return false;
}

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
