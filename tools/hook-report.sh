#!/usr/bin/env bash
# Inspects a page through the hook, as far as the library is built: loads
# vxCrHook.dll into the host stand-in in the roles of Chrome's browser and
# renderer processes and reports what attached. Called by ./vxcr inspect.
set -euo pipefail
build=$1
page=$2
root=$(cd "$(dirname "$0")/.." && pwd)

if [[ "$page" != http://* && "$page" != https://* && ! -f "$page" ]]; then
    echo "inspect: no such page: $page" >&2
    exit 2
fi

run_host() {
    "$root/cmake/wine-run.sh" "$build/bin/vxhookhost.exe" "$@" </dev/null 2>&1 | tr -d '\r'
}

report() {
    local role=$1
    shift
    local out
    out=$(run_host "$@")
    echo "== $role process (command line: ${*:-<none>})"
    echo "$out" | grep -E '^(load|attach|registered-count|registered:|unregistered:|registered-after-detach)' | sed 's/^/   /'
}

echo "page: $page"
report "browser" ""
report "renderer" --channel=4242.1.1 --type=renderer
report "GPU (left alone)" --channel=4242.1.1 --type=gpu-process
cat <<'MSG'

What this shows: the hook library loads with its type libraries, classifies
the Chrome process from its command line and registers its modules with the
host (process module, web-controls recorder and, in the browser process, the
browser module). The renderer side that reads a page is built (the tests run
it in renderer processes against the Chrome stand-in), but the engine reaches
a tab only through the window and support objects, which are not part of this
build yet: the page itself was not read.
MSG
