#!/usr/bin/env bash
# The XPath adapter against libxml2, side by side on one large page.
#
# Both sides get the same tree: the captured page (default: the 17,866-node
# tests/pages/large/snapshots/capi3ref.json) is what the Wine side's stand-in
# native object answers from, and snapshot-to-xml.py writes exactly the tree
# the library's navigator shows of it (nodeName element names, specified
# attributes, text and comments, no document type) as XML for libxml2. Each
# expression's result summary (node count or scalar) must be equal on both
# sides, or the run fails.
#
# Prints per expression: the adapter's time under Wine (the page object's
# evaluation entry on the stand-in's renderer thread: total, and without the
# stand-in's own time answering native calls), libxml2's and the engine
# core's native time, and adapter/libxml2 ratios with their geometric means.
#
# Usage: run.sh [WINE_BUILD_DIR [NATIVE_BUILD_DIR [SNAPSHOT.json]]]
#   WINE_BUILD_DIR: a ./vxcr build folder (default build/); its x86_64 tree
#   must have xpath_dom_bench.exe built.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
wine_build="$(cd "${1:-$root/build}" && pwd)"
native_build="$(mkdir -p "${2:-$wine_build/xpath-native}" && cd "${2:-$wine_build/xpath-native}" && pwd)"
snapshot="${3:-$root/tests/pages/large/snapshots/capi3ref.json}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

echo "== inputs"
python3 "$here/snapshot-to-xml.py" "$snapshot" "$work/page.xml"
grep -v '^#' "$here/expressions.txt" | grep -v '^$' >"$work/expressions.txt"

echo "== native side (libxml2 and the engine core)"
cmake -S "$root/tests/xpath-native" -B "$native_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$native_build" --target xpath_adapter_libxml -j2 >/dev/null
"$native_build/bench-adapter/xpath_adapter_libxml" "$work/page.xml" "$work/expressions.txt" >"$work/native.tsv"

echo "== Wine side (the adapter over the stand-in)"
exe="$wine_build/x86_64/bin/xpath_dom_bench.exe"
[ -f "$exe" ] || exe="$(find "$wine_build/x86_64" -name xpath_dom_bench.exe | head -1)"
[ -n "$exe" ] || { echo "xpath_dom_bench.exe not built in $wine_build/x86_64" >&2; exit 2; }
export WINEPREFIX="$wine_build/wineprefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY || true
/usr/lib/wine/wine64 "$exe" "Z:$(echo "$snapshot" | tr / '\\')" "Z:$(echo "$work/expressions.txt" | tr / '\\')" \
    </dev/null >"$work/wine.txt" 2>&1 || { cat "$work/wine.txt" >&2; exit 1; }
grep '^RESULT' "$work/wine.txt" | tr -d '\r' >"$work/wine.tsv"
grep -E '^(page|nodes|live handles|calls per page node|    )' "$work/wine.txt" | tr -d '\r'

python3 - "$work/native.tsv" "$work/wine.tsv" <<'PY'
import math, sys
def rows(path):
    return [line.rstrip('\n').split('\t')[1:] for line in open(path, encoding='utf-8') if line.startswith('RESULT')]
native, wine = rows(sys.argv[1]), rows(sys.argv[2])
if [r[0] for r in native] != [r[0] for r in wine]:
    sys.exit('the two sides evaluated different expressions')
print(f"{'expression':<58} {'result':>12} {'calls':>7} {'adapter us':>11} {'own us':>9} {'libxml2 us':>11} {'core us':>9} {'ad/lx':>7} {'own/lx':>7}")
bad = 0
logs_total, logs_own = [], []
for (expr, n_sum, lx, core), (_, w_sum, total, own, calls) in zip(native, wine):
    lx, core, total, own = float(lx), float(core), float(total), float(own)
    same = n_sum == w_sum
    bad += not same
    r_total, r_own = total / max(lx, 0.05), own / max(lx, 0.05)
    logs_total.append(math.log(r_total)); logs_own.append(math.log(r_own))
    shown = n_sum if len(n_sum) <= 12 else n_sum[:11] + '~'
    print(f"{expr[:58]:<58} {shown:>12} {calls:>7} {total:>11.1f} {own:>9.1f} {lx:>11.1f} {core:>9.1f} {r_total:>7.2f} {r_own:>7.2f}"
          + ('' if same else f'  MISMATCH adapter {w_sum}'))
gm = lambda v: math.exp(sum(v) / len(v))
print(f"geometric mean adapter/libxml2: {gm(logs_total):.2f} (total), {gm(logs_own):.2f} (without the stand-in's time); goal: within 3")
sys.exit(1 if bad else 0)
PY
