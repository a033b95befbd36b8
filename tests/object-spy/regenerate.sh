#!/bin/sh
# Writes the expected answers of the inspect tests again (read the diff
# before committing it). Needs a built tree: regenerate.sh [BUILD_DIR].
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}/x86_64
pages=$here/../pages
python3 "$here/check_object_spy.py" --regenerate "$build/bin/vxobjectspy.exe" "$pages/expected/tabs.objects.json" \
    "$pages/snapshots/naming.json" "$pages/snapshots/tables.json" "$pages/snapshots/iframes.json"
