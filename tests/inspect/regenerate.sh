#!/bin/sh
# Writes the expected answers of the inspect tests again (read the diff
# before committing it). Needs a built tree: regenerate.sh [BUILD_DIR].
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}/x86_64
pages=$here/../pages
python3 "$here/check_inspect.py" --regenerate "$build/bin/vxinspect.exe" "$pages/expected/tabs.inspect.json" \
    "$pages/snapshots/naming.json" "$pages/snapshots/tables.json" "$pages/snapshots/iframes.json"
