#!/usr/bin/env bash
# The object spy across processes (browser module, renderer process, hook
# attached as the host does) on naming.html twice: from its snapshot and
# live in headless Chromium (the renderer stand-in on the live native
# object). Both trees must be the same but for monikers, which carry each
# native object's own node numbers.
set -euo pipefail
build=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
spy="$root/tools/object-spy.sh"
"$spy" "$build" "$root/tests/pages/snapshots/naming.json" --json >"$work/snapshot.json" 2>"$work/snapshot.log" ||
    { cat "$work/snapshot.log" >&2; exit 1; }
"$spy" "$build" --live "$root/tests/pages/naming.html" --json >"$work/live.json" 2>"$work/live.log" ||
    { cat "$work/live.log" >&2; exit 1; }
python3 - "$work/snapshot.json" "$work/live.json" <<'PY'
import json, sys

def lines(path):
    out = []
    def walk(node, depth):
        fields = {k: v for k, v in node.items() if k not in ("children", "moniker")}
        out.append("  " * depth + json.dumps(fields, sort_keys=True))
        for child in node.get("children", []):
            walk(child, depth + 1)
    for page in json.load(open(path))["pages"]:
        out.append("== " + page["model"])
        walk(page["tree"], 0)
    return out

snapshot, live = lines(sys.argv[1]), lines(sys.argv[2])
if len(snapshot) < 40:
    sys.exit("the snapshot tree is too small to compare (%d lines)" % len(snapshot))
for number, (a, b) in enumerate(zip(snapshot, live), 1):
    if a != b:
        sys.exit("line %d differs:\n  snapshot: %s\n  live:     %s" % (number, a, b))
if len(snapshot) != len(live):
    sys.exit("the trees differ in length: %d against %d lines" % (len(snapshot), len(live)))
print("%d objects alike in both models" % len(snapshot))
PY
