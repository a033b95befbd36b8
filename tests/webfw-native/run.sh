#!/usr/bin/env bash
# Configures, builds and tests the native web-framework project (host
# compiler, GoogleTest), then prints the ctest summary.
# Usage: run.sh [BUILD_DIR]   (default: build/webfw-native under the project root)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${1:-$root/build/webfw-native}"

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
[ -f /usr/include/nlohmann/json.hpp ] || need+=(nlohmann-json3-dev)
[ -d /usr/src/googletest ] || [ -f /usr/include/gtest/gtest.h ] || need+=(googletest libgtest-dev)
if [ "${#need[@]}" -gt 0 ]; then
    echo "installing: ${need[*]}"
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}"
fi

# At most two jobs: the Windows build may be running beside this one.
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$jobs"
cd "$build"
ctest --output-on-failure -j"$jobs"
