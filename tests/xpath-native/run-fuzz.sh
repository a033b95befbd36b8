#!/usr/bin/env bash
# Builds the XPath engine fuzz target with clang (libFuzzer, ASan, UBSan) and
# runs it for SECONDS (default 60). Usage: run-fuzz.sh [SECONDS] [BUILD_DIR]
set -euo pipefail

seconds="${1:-60}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${2:-$root/build/xpath-fuzz}"

need=()
command -v clang++ >/dev/null || need+=(clang)
[ -f /usr/include/libxml2/libxml/parser.h ] || need+=(libxml2-dev)
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need+=(libclang-rt-dev)
if [ "${#need[@]}" -gt 0 ]; then
    apt-get update -qq && apt-get install -y -qq "${need[@]}"
fi

mkdir -p "$build/corpus" "$build/artifacts"
engine="$root/webfw/XPath/engine"
support="$here/support"
clang++ -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$engine" -I"$support" $(xml2-config --cflags) \
    "$engine"/*.cpp "$support"/LibxmlDocument.cpp "$support"/LibxmlNavigator.cpp "$support"/Utf8.cpp \
    "$here/fuzz/XPathFuzzer.cpp" $(xml2-config --libs) -o "$build/xpath_fuzzer"

# Seed corpus: the expressions of the conformance data, one per file.
if [ -z "$(ls -A "$build/corpus")" ]; then
    n=0
    grep -hv -e '^#' -e '^[a-z]*: ' -e '^$' "$here"/data/conformance/*.xpath | while IFS= read -r line; do
        n=$((n + 1))
        printf '%s' "$line" > "$build/corpus/seed-$n"
    done
fi

# Inputs that once failed (crash or timeout) are rerun first.
"$build/xpath_fuzzer" -timeout=10 "$here"/fuzz/regressions/* >/dev/null 2>&1 ||
    { echo "a regression input fails again:"; "$build/xpath_fuzzer" -timeout=10 "$here"/fuzz/regressions/* 2>&1 | tail -20; exit 1; }

"$build/xpath_fuzzer" "$build/corpus" -dict="$here/fuzz/xpath.dict" -max_len=256 -timeout=10 \
    -rss_limit_mb=2048 -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/" 2>&1 | tee "$build/last-run.log" | grep -E '^(#[0-9]+.*(DONE|pulse|INITED)|stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY)' || true
status=${PIPESTATUS[0]}
echo "fuzz exit status: $status; log: $build/last-run.log"
exit "$status"
