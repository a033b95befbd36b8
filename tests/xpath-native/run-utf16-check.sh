#!/usr/bin/env bash
# Builds the engine with mingw-w64 (16-bit wchar_t, as on Windows) into a
# small check program and runs it under wine64. Skips (exit 0) when the
# cross compiler or wine64 is missing. Usage: run-utf16-check.sh [BUILD_DIR]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${1:-$root/build/xpath-utf16}"
compiler=x86_64-w64-mingw32-g++-posix
wine=/usr/lib/wine/wine64

if ! command -v "$compiler" >/dev/null || [ ! -x "$wine" ]; then
    echo "skipped: $compiler or $wine not installed"
    exit 0
fi
mkdir -p "$build"
engine="$root/webfw/XPath/engine"
"$compiler" -std=c++17 -O2 -Wall -Wextra -I"$engine" "$here/utf16/Utf16Check.cpp" "$engine"/*.cpp \
    -static -o "$build/utf16-check.exe"
export WINEPREFIX="${WINEPREFIX:-$build/wineprefix}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
"$wine" "$build/utf16-check.exe" </dev/null
