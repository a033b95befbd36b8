#pragma once
// A captured page (page-snapshot/1, see tools/capture/FORMAT.md) held in
// memory: documents, windows and nodes with their script members. Test
// equipment: the stand-in native object answers DOM reads from it and applies
// the few mutations the library causes (scrolling, focus) or a test asks for
// (removing nodes).
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace harness {

// One script value as the snapshot stores it.
struct SnapValue
{
    enum class Kind { Undefined, Null, Bool, Number, String, Node, Window, List, Object, Error };
    Kind kind = Kind::Undefined;
    bool boolean = false;
    double number = 0;
    std::wstring text;                         // String; class name of an Object; exception name of an Error
                                               // (Undefined: a member that exists with the value undefined)
    long ref = 0;                              // Node id or Window (document index)
    std::vector<long> list;                    // List members (0 for a member outside the snapshot)
    std::map<std::wstring, SnapValue> members; // Object members (e.g. baseVal)
};

struct SnapRect
{
    double x = 0, y = 0, width = 0, height = 0;
};

struct SnapNode
{
    long id = 0;
    long parent = 0; // 0: none
    int doc = 0;
    long nodeType = 0;
    std::unordered_map<std::wstring, SnapValue> props;
    std::vector<std::pair<std::wstring, std::wstring>> attrs;
    std::vector<bool> attrSpecified; // per attribute; captured pages always say true
    bool hasRect = false;
    SnapRect rect;
    std::map<std::wstring, std::wstring> style;
    std::vector<long> children; // in DOM order
    long indexInParent = -1;    // position among the parent's children
    bool removed = false;       // detached by RemoveNode (itself or an ancestor)
};

struct SnapWindow
{
    bool present = false;
    double innerWidth = 0, innerHeight = 0, devicePixelRatio = 1;
    double scrollX = 0, scrollY = 0;                 // current
    double capturedScrollX = 0, capturedScrollY = 0; // when the rectangles were taken
};

struct SnapHitGrid
{
    bool present = false;
    int step = 0, offset = 0, columns = 0, rows = 0;
    std::vector<long> ids; // 0: nothing hit
};

struct SnapDocument
{
    long node = 0;
    long frameElement = 0;
    SnapWindow window;
    SnapHitGrid hitGrid;
    // Members that the page's own scripts defined on the window (objects
    // with their members to the captured depth, functions as Objects of
    // class "Function").
    std::map<std::wstring, SnapValue> globals;
    // What the page's global functions answered: function name -> argument
    // -> result.
    std::map<std::wstring, std::map<std::wstring, SnapValue>> calls;
};

class SnapshotPage
{
public:
    // Throws std::runtime_error when the file cannot be read or parsed.
    static SnapshotPage Load(const std::wstring& path);
    static SnapshotPage Parse(const std::string& jsonText);

    std::wstring url;
    std::wstring exclusionAttributeName;
    std::vector<SnapDocument> documents;

    bool HasNode(long id) const { return id >= 1 && id <= static_cast<long>(nodes_.size()); }
    SnapNode& Node(long id) { return nodes_.at(static_cast<size_t>(id - 1)); }
    const SnapNode& Node(long id) const { return nodes_.at(static_cast<size_t>(id - 1)); }
    long NodeCount() const { return static_cast<long>(nodes_.size()); }

    // Member value of a node by its script name; nullptr when it has none.
    const SnapValue* Prop(long id, const std::wstring& name) const;
    std::wstring StringProp(long id, const std::wstring& name) const;

    // First node (in DOM order) whose property "id" equals `elementId`; 0 when none.
    long FindById(const std::wstring& elementId) const;

    // Every member name used by any node (for the member-identifier table).
    std::vector<std::wstring> MemberNames() const;

private:
    std::vector<SnapNode> nodes_;
};

std::wstring Utf8ToWide(const std::string& text);

} // namespace harness
