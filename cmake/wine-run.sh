#!/usr/bin/env bash
# Runs a Windows program under wine64 with the project's prefix. Used as the
# cross-compiling emulator by CMake/ctest and by the vxcr script.
#
# Wine itself can, rarely and only under load, fail to start a process: the
# loader exits with an error status before the program's main runs, so the
# program writes nothing at all. Such a start is retried once (and said so on
# standard error); a program that wrote anything, or that failed after a
# moment, keeps its own result.
set -u
: "${VXCR_WINEPREFIX:=$(cd "$(dirname "$0")/.." && pwd)/build/wineprefix}"
export WINEPREFIX="$VXCR_WINEPREFIX" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
WINE=/usr/lib/wine/wine64

# The script's own output streams, for the copies of the program's output.
exec 3>&1 4>&2
marker=$(mktemp)
trap 'rm -f "$marker"' EXIT

# Runs the program once with its output passed through; `marker` becomes
# non-empty as soon as the program writes a byte to either stream.
run_once() {
    : >"$marker"
    local started status
    started=$(date +%s%N)
    "$WINE" "$@" \
        > >(tee -a -p /dev/fd/3 | head -c1 >>"$marker") \
        2> >(tee -a -p /dev/fd/4 | head -c1 >>"$marker") 3>&- 4>&-
    status=$?
    wait
    elapsed_ms=$((($(date +%s%N) - started) / 1000000))
    return "$status"
}

run_once "$@"
status=$?
if [ "$status" -ne 0 ] && [ ! -s "$marker" ] && [ "$elapsed_ms" -lt 1000 ]; then
    echo "[wine-run] $1 ended with status $status after ${elapsed_ms} ms without any output; starting it again" >&2
    run_once "$@"
    status=$?
fi
exit "$status"
