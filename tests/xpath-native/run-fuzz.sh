#!/usr/bin/env bash
# Builds the XPath engine fuzz target with clang (libFuzzer, ASan, UBSan) and
# runs it for SECONDS (default 60). Usage: run-fuzz.sh [SECONDS] [BUILD_DIR]
# The target evaluates every input on a small document and on a deep and
# wide one (support/DeepDocument.h); the corpus is kept in BUILD_DIR between
# runs.
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

mkdir -p "$build/corpus" "$build/artifacts" "$build/support" "$build/deep-seeds"
engine="$root/webfw/XPath/engine"
support="$here/support"
flags=(-std=c++17 -O1 -g -fno-sanitize-recover=undefined -I"$engine" -I"$support" $(xml2-config --cflags))
# The test support (documents, navigators) is built with the sanitizers but
# without the fuzzer's coverage tracing: its branches tell nothing about the
# engine, and tracing them would slow down every navigator call.
objects=()
for name in BudgetNavigator DeepDocument LibxmlDocument LibxmlNavigator Utf8; do
    clang++ "${flags[@]}" -fsanitize=address,undefined -c "$support/$name.cpp" -o "$build/support/$name.o"
    objects+=("$build/support/$name.o")
done
clang++ "${flags[@]}" -fsanitize=fuzzer,address,undefined "$engine"/*.cpp "$here/fuzz/XPathFuzzer.cpp" \
    "${objects[@]}" $(xml2-config --libs) -o "$build/xpath_fuzzer"

# Inputs that once failed (crash or timeout) are rerun first.
"$build/xpath_fuzzer" -timeout=10 "$here"/fuzz/regressions/* >/dev/null 2>&1 ||
    { echo "a regression input fails again:"; "$build/xpath_fuzzer" -timeout=10 "$here"/fuzz/regressions/* 2>&1 | tail -20; exit 1; }

# Seed corpus: the expressions of the conformance data, one per file, when
# the corpus is new.
if [ -z "$(ls -A "$build/corpus")" ]; then
    n=0
    grep -hv -e '^#' -e '^[a-z]*: ' -e '^$' "$here"/data/conformance/*.xpath | while IFS= read -r line; do
        n=$((n + 1))
        printf '%s' "$line" > "$build/corpus/seed-$n"
    done
fi
# The seeds over the deep document, one per file named by the SHA-1 of its
# text, as libFuzzer names the inputs it keeps: added to a kept corpus too
# when it lacks them, and first run on their own, where each must stay
# within the evaluation budget (VX_XPATH_FUZZ_CHEAP): a walk grown quadratic
# in the depth or the width of the document fails here.
rm -f "$build/deep-seeds"/*
grep -hv -e '^#' -e '^$' "$here/fuzz/deep-seeds.xpath" | while IFS= read -r line; do
    name="$(printf '%s' "$line" | sha1sum | cut -d' ' -f1)"
    printf '%s' "$line" > "$build/deep-seeds/$name"
    [ -e "$build/corpus/$name" ] || cp "$build/deep-seeds/$name" "$build/corpus/$name"
done
VX_XPATH_FUZZ_CHEAP=1 "$build/xpath_fuzzer" -timeout=10 "$build/deep-seeds"/* >"$build/deep-seeds.log" 2>&1 ||
    { echo "a deep-document seed fails or spends the evaluation budget (log: $build/deep-seeds.log):"
      grep -E '^Running:|spends|==ERROR|runtime error|^SUMMARY' "$build/deep-seeds.log" | tail -6; exit 1; }

"$build/xpath_fuzzer" "$build/corpus" -dict="$here/fuzz/xpath.dict" -max_len=256 -timeout=10 \
    -rss_limit_mb=2048 -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/" 2>&1 | tee "$build/last-run.log" | grep -E '^(#[0-9]+.*(DONE|pulse|INITED)|stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY)' || true
status=${PIPESTATUS[0]}
echo "fuzz exit status: $status; log: $build/last-run.log"
exit "$status"
