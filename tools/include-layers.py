#!/usr/bin/env python3
"""Checks that the library's folders form layers: no circle of includes
between them.

Each source or header of the library belongs to a layer, named by its
folder (webfw/chrome counts apart from the browser-independent webfw/, and
quickbrowser/accessor, the native DOM access below the Chrome adapters, apart
from the rest of quickbrowser/).
An include of "folder/..." from another layer is an edge; the edges must
form no circle.

  include-layers.py [ROOT]          lists every circle; exit 1 when there is one
  include-layers.py --graph [ROOT]  prints the edges with one example each
"""
import os
import re
import sys

LAYERS = ["platform", "comhelp", "openapphook", "module", "services", "testobjects", "quickbrowser/accessor", "quickbrowser",
          "webfw/chrome", "webfw", "recording", "typelib"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
SOURCE_ENDINGS = (".h", ".hpp", ".cpp", ".c")


def layer_of(path):
    path = path.replace(os.sep, "/")
    for layer in LAYERS:
        if path == layer or path.startswith(layer + "/"):
            return layer
    return None


def edges(root):
    found = {}
    for layer in LAYERS:
        top = os.path.join(root, layer)
        for folder, _, files in os.walk(top):
            for name in files:
                if not name.endswith(SOURCE_ENDINGS):
                    continue
                path = os.path.join(folder, name)
                rel = os.path.relpath(path, root).replace(os.sep, "/")
                source = layer_of(rel)
                if source != layer:
                    continue  # a nested layer (webfw/chrome) is walked on its own
                with open(path, encoding="utf-8", errors="replace") as f:
                    text = f.read()
                for target in INCLUDE.findall(text):
                    dest = layer_of(target)
                    if dest and dest != source:
                        found.setdefault((source, dest), f"{rel} includes {target}")
    return found


def circles(found):
    graph = {}
    for a, b in found:
        graph.setdefault(a, set()).add(b)
    result, seen = [], set()

    def walk(node, path):
        for nxt in sorted(graph.get(node, ())):
            if nxt in path:
                cycle = path[path.index(nxt):] + [nxt]
                key = frozenset(cycle)
                if key not in seen:
                    seen.add(key)
                    result.append(cycle)
            else:
                walk(nxt, path + [nxt])

    for start in sorted(graph):
        walk(start, [start])
    return result


def main(argv):
    graph_only = "--graph" in argv
    args = [a for a in argv if not a.startswith("--")]
    root = args[0] if args else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    found = edges(root)
    if graph_only:
        for (a, b), example in sorted(found.items()):
            print(f"{a} -> {b}   ({example})")
        return 0
    cycles = circles(found)
    for cycle in cycles:
        print("circle: " + " -> ".join(cycle))
        for a, b in zip(cycle, cycle[1:]):
            print(f"    {found[(a, b)]}")
    print(f"{len(found)} include edges between layers; {len(cycles)} circles")
    return 1 if cycles else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
