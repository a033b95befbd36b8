#!/usr/bin/env bash
# Runs a Windows test program under wine64 with a live-page sidecar beside
# it: starts harness/livepage/sidecar.mjs on tests/pages (and on
# tests/live-pages/site, the pages only live tests use), passes its port in
# VXCR_LIVE_PORT and ends it (and its Chromium) when the program ends.
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

. "$repo/harness/livepage/sidecar-control.sh"
start_live_sidecar "$repo/tests/pages" "$here/site" || exit 1
"$wine_run" "$@"
status=$?
stop_live_sidecar
exit "$status"
