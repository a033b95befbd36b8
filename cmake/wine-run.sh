#!/usr/bin/env bash
# Runs a Windows program under wine64 with the project's prefix. Used as the
# cross-compiling emulator by CMake/ctest and by the vxcr script.
set -e
: "${VXCR_WINEPREFIX:=$(cd "$(dirname "$0")/.." && pwd)/build/wineprefix}"
export WINEPREFIX="$VXCR_WINEPREFIX" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
exec /usr/lib/wine/wine64 "$@"
