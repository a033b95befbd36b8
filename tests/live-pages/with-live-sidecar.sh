#!/usr/bin/env bash
# Runs a Windows test program under wine64 with a live-page sidecar beside
# it: starts harness/livepage/sidecar.mjs on tests/pages (and on
# tests/live-pages/site, the pages only live tests use), passes its port
# in VXCR_LIVE_PORT and ends it (and its Chromium) when the program ends.
# Listing the tests needs no browser.
set -u
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
wine_run="$repo/cmake/wine-run.sh"

for argument in "$@"; do
    if [ "$argument" = "--gtest_list_tests" ]; then
        exec "$wine_run" "$@"
    fi
done

# The sidecar ends when its standard input closes: it is a pipe this script
# holds, so it goes with the script whatever ends it.
coproc SIDECAR { exec node "$repo/harness/livepage/sidecar.mjs" --root "$repo/tests/pages" \
    --root "$repo/tests/live-pages/site" 2>&2; }
port=""
while read -r -t 60 word value <&"${SIDECAR[0]}"; do
    if [ "$word" = "listening" ]; then
        port=$value
        break
    fi
done
if [ -z "$port" ]; then
    echo "[with-live-sidecar] the live-page sidecar did not start" >&2
    exit 1
fi
VXCR_LIVE_PORT=$port "$wine_run" "$@"
status=$?
exec {SIDECAR[1]}>&-
wait "$SIDECAR_PID" 2>/dev/null
exit "$status"
