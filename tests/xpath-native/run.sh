#!/usr/bin/env bash
# Configures, builds and tests the native XPath engine project (host
# compiler, libxml2 and GoogleTest), then prints the ctest summary.
# Usage: run.sh [BUILD_DIR]   (default: build/xpath-native under the project root)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${1:-$root/build/xpath-native}"

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
[ -f /usr/include/libxml2/libxml/xpath.h ] || need+=(libxml2-dev)
[ -d /usr/src/googletest ] || [ -f /usr/include/gtest/gtest.h ] || need+=(googletest libgtest-dev)
if [ "${#need[@]}" -gt 0 ]; then
    echo "installing: ${need[*]}"
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}"
fi

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
ctest --output-on-failure -j"$(nproc)"
