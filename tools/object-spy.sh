#!/usr/bin/env bash
# ./vxcr inspect: shows pages through the whole hook. Each page is captured
# with headless Chromium (HTML files, folders of them) or taken as it is
# (snapshot files); then vxobjectspy runs the Chrome stand-in with one tab per
# page, a renderer stand-in process per tab, the hook attached as the host
# does, and the engine walker. Called by ./vxcr inspect with the build folder
# first; see `./vxcr inspect --help`.
set -euo pipefail
build=$1
shift
root=$(cd "$(dirname "$0")/.." && pwd)

usage() {
    cat <<'USAGE'
usage: ./vxcr inspect [PAGE...] [--live] [--model dom|tree] [--json] [--html OUT.html] [--xpath EXPR] [--at X,Y] [--focused]
       ./vxcr inspect --record SCRIPT [--live] [PAGE]
  PAGE      an HTML file, a folder of HTML files, an http(s) address or a snapshot
            (.json) written by tools/capture; without one, the bundled example
            tests/pages/naming.html
  --live    read the pages live in headless Chromium instead of from captures
            (HTML files and http(s) addresses; files are served from their folder
            as http://fixtures.test/NAME): geometry, scrolling, focus and script are
            the browser's own while the hook reads
  --model   walk one model only (default: both)
  --json    the tree as JSON: {"pages": [{"model", "tree": object}]}, each object
            {kind, method, parameters, identifier, alias, moniker, rectangle
            [left, top, width, height] on the screen, visible, enabled, children}
  --html    also write a self-contained report: the page's screenshot with every
            shown object's box over it and the tree beside it (hovering a line
            highlights its box and the other way round); one HTML page only
  --xpath   evaluate an XPath 1.0 expression on the first page: the monikers of
            the nodes found, or the value
  --at      the object at a screen point (Tree model), --focused the focused one
  --record  play a recording session (steps in SCRIPT; see tests/pages/recording.steps)
            on the page (default tests/pages/recording.html) and print every record
            the engine received
USAGE
}

fail() {
    echo "inspect: $*" >&2
    exit 1
}

pages=()
args=()
report=""
record=""
live=0
while [ $# -gt 0 ]; do
    case "$1" in
        --help|-h) usage; exit 0 ;;
        --live) live=1; shift ;;
        --model) [ $# -ge 2 ] || fail "--model needs dom or tree"
                 [ "$2" = dom ] || [ "$2" = tree ] || fail "--model needs dom or tree, not $2"
                 args+=("--model=$2"); shift 2 ;;
        --json|--focused) args+=("$1"); shift ;;
        --html) [ $# -ge 2 ] || fail "--html needs the report's file name"; report=$2; shift 2 ;;
        --record) [ $# -ge 2 ] || fail "--record needs a script (see tests/pages/recording.steps)"
                  [ -f "$2" ] || fail "$2: no such script"
                  record=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
                  args+=("--record=Z:$record"); shift 2 ;;
        --xpath|--at) [ $# -ge 2 ] || fail "$1 needs a value"; args+=("$1=$2"); shift 2 ;;
        --*) fail "unknown option $1 (see --help)" ;;
        *) pages+=("$1"); shift ;;
    esac
done
if [ -n "$record" ]; then
    [ ${#pages[@]} -le 1 ] || fail "--record plays on one page"
    [ ${#pages[@]} -eq 1 ] || pages=("$root/tests/pages/recording.html")
fi
[ ${#pages[@]} -gt 0 ] || pages=("$root/tests/pages/naming.html")
if [ -n "$report" ]; then
    [ ${#pages[@]} -eq 1 ] && [ -f "${pages[0]}" ] && [[ "${pages[0]}" != *.json ]] ||
        fail "--html needs exactly one HTML page (its screenshot is taken while capturing)"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Live pages: a sidecar with headless Chromium serves them while the hook
# reads; nothing is captured.
if [ $live -eq 1 ]; then
    [ -z "$report" ] || fail "--html shows a captured page's screenshot; it does not go with --live"
    . "$root/harness/livepage/sidecar-control.sh"
    roots=()
    page_args=()
    for page in "${pages[@]}"; do
        if [[ "$page" == http://* || "$page" == https://* ]]; then
            url=$page
        elif [ -f "$page" ] && [[ "$page" == *.htm || "$page" == *.html ]]; then
            roots+=("$(cd "$(dirname "$page")" && pwd)")
            url="http://fixtures.test/$(basename "$page")"
        else
            fail "$page: --live takes HTML files and http(s) addresses"
        fi
        page_args+=("--page=live:$url|$url")
    done
    [ ${#roots[@]} -gt 0 ] || roots=("$root/tests/pages")
    started=$SECONDS
    start_live_sidecar "${roots[@]}" 2>"$work/sidecar.log" || fail "the live-page sidecar did not start: $(tail -n 1 "$work/sidecar.log")"
    echo "inspect: headless Chromium ready in $((SECONDS - started)) s" >&2
    "$root/cmake/wine-run.sh" "$build/bin/vxobjectspy.exe" "${page_args[@]}" "${args[@]}" </dev/null | tr -d '\r'
    status=${PIPESTATUS[0]}
    stop_live_sidecar
    exit "$status"
fi

# Snapshots, one per page, in order.
snapshots=()
add_html() {
    local page=$1 name
    name=$(basename "${page%.*}")-$((${#snapshots[@]} + 1))
    echo "inspect: capturing $page with headless Chromium" >&2
    local extra=()
    [ -z "$report" ] || extra=(--screenshot "$work/screenshot.png")
    local started=$SECONDS
    node "$root/tools/capture/capture.mjs" "$page" --name "$name" --out "$work" --timeout 20000 "${extra[@]}" \
        >/dev/null 2>"$work/capture.log" ||
        fail "capturing $page failed: $(tail -n 1 "$work/capture.log")"
    echo "inspect: captured in $((SECONDS - started)) s" >&2
    snapshots+=("$work/$name.json")
}
for page in "${pages[@]}"; do
    if [[ "$page" == http://* || "$page" == https://* ]]; then
        add_html "$page"
    elif [ -d "$page" ]; then
        found=0
        for file in "$page"/*.html; do
            [ -f "$file" ] || continue
            add_html "$file"
            found=1
        done
        [ $found -eq 1 ] || fail "$page: no HTML files in this folder"
    elif [ ! -f "$page" ]; then
        fail "$page: no such file"
    elif [[ "$page" == *.json ]]; then
        python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); assert "documents" in d and "nodes" in d' "$page" \
            2>/dev/null || fail "$page: not a page snapshot"
        snapshots+=("$(cd "$(dirname "$page")" && pwd)/$(basename "$page")")
    else
        add_html "$(cd "$(dirname "$page")" && pwd)/$(basename "$page")"
    fi
done

page_args=()
for snapshot in "${snapshots[@]}"; do
    # The tab shows the address the page was captured from.
    url=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1])).get("url", ""))' "$snapshot")
    page_args+=("--page=Z:$snapshot|$url")
done
if [ -n "$report" ]; then
    "$root/cmake/wine-run.sh" "$build/bin/vxobjectspy.exe" "${page_args[@]}" --json </dev/null | tr -d '\r' >"$work/tree.json"
    [ "${PIPESTATUS[0]}" -eq 0 ] || exit 1
    python3 "$root/tools/object-spy-report.py" "$work/tree.json" "$work/screenshot.png" "$report"
    # The tree itself unless the only wish was the report.
    [ ${#args[@]} -eq 0 ] && exit 0
fi
"$root/cmake/wine-run.sh" "$build/bin/vxobjectspy.exe" "${page_args[@]}" "${args[@]}" </dev/null | tr -d '\r'
exit "${PIPESTATUS[0]}"
