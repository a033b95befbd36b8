#!/usr/bin/env python3
"""Writes the self-contained HTML report of ./vxcr inspect --html: the page's
screenshot with the box of every shown object drawn over it, the object tree
of each model beside it; hovering a tree line highlights its box and hovering
a box highlights its line.

  object-spy-report.py TREE.json SCREENSHOT.png OUT.html

TREE.json is vxobjectspy's --json answer for one page. Boxes are placed by the
objects' screen rectangles less the page's own (the tab window, whose client
area shows the viewport the screenshot was taken of).
"""
import base64
import html
import json
import sys

STYLE = """
body { margin: 0; font: 13px/1.35 "DejaVu Sans", sans-serif; display: flex; }
#view { position: relative; flex: none; }
#view img { display: block; }
.box { position: absolute; border: 1px solid rgba(0, 90, 200, .45); box-sizing: border-box; }
.box.hl { border: 2px solid #e0301e; background: rgba(224, 48, 30, .12); z-index: 2; }
#tree { flex: 1; overflow: auto; height: 100vh; padding: 6px 10px; box-sizing: border-box; }
#tree h2 { font-size: 14px; margin: 10px 0 4px; }
.line { white-space: pre; cursor: default; }
.line.hl { background: #ffe2dd; }
.moniker { color: #666; }
"""

SCRIPT = """
function pair(id) {
  return [document.getElementById('line-' + id), document.getElementById('box-' + id)];
}
function mark(id, on) {
  for (const element of pair(id)) if (element) element.classList.toggle('hl', on);
}
for (const element of document.querySelectorAll('[data-object]')) {
  element.addEventListener('mouseover', () => mark(element.dataset.object, true));
  element.addEventListener('mouseout', () => mark(element.dataset.object, false));
}
"""


def label(node):
    text = node["kind"]
    if node["method"] and node["method"] != node["kind"]:
        text += " " + node["method"]
    if node["parameters"]:
        text += "(" + ", ".join(node["parameters"].values()) + ")"
    if node["identifier"]:
        text += ' id="%s"' % node["identifier"]
    if node["alias"]:
        text += " alias=" + node["alias"]
    return text


def main(argv):
    tree_path, screenshot_path, out_path = argv
    with open(tree_path, encoding="utf-8") as f:
        answer = json.load(f)
    with open(screenshot_path, "rb") as f:
        image = base64.b64encode(f.read()).decode("ascii")
    boxes, sections = [], []
    counter = [0]

    def walk(node, depth, origin, lines):
        counter[0] += 1
        number = counter[0]
        rectangle = node.get("rectangle")
        if node["kind"] == "Page" and rectangle:
            origin = rectangle[:2]
        if rectangle and node.get("visible") and origin and rectangle[2] > 0 and rectangle[3] > 0:
            left, top = rectangle[0] - origin[0], rectangle[1] - origin[1]
            boxes.append('<div class="box" id="box-%d" data-object="%d" title="%s" style="left:%dpx;top:%dpx;'
                         'width:%dpx;height:%dpx"></div>' % (number, number, html.escape(node["moniker"]), left, top,
                                                            rectangle[2], rectangle[3]))
        lines.append('<div class="line" id="line-%d" data-object="%d">%s%s <span class="moniker">%s</span></div>'
                     % (number, number, "  " * depth, html.escape(label(node)), html.escape(node["moniker"])))
        for child in node["children"]:
            walk(child, depth + 1, origin, lines)

    for page in answer["pages"]:
        lines = []
        walk(page["tree"], 0, None, lines)
        sections.append("<h2>%s model</h2>%s" % ("Tree" if page["model"] == "tree" else "DOM", "".join(lines)))
    document = ("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>vxCrHook inspect</title><style>%s</style>"
                "</head><body><div id=\"view\"><img src=\"data:image/png;base64,%s\" alt=\"page\">%s</div>"
                "<div id=\"tree\">%s</div><script>%s</script></body></html>\n"
                % (STYLE, image, "".join(boxes), "".join(sections), SCRIPT))
    with open(out_path, "w", encoding="utf-8") as out:
        out.write(document)
    print("inspect: report with %d boxes written to %s" % (len(boxes), out_path), file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
