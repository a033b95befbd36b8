#!/bin/sh
# Re-captures every fixture page under tests/pages into committed snapshots.
# Run from anywhere; needs Node.js 20 and Debian's Chromium (installed here
# when missing). Pages are captured at 1024x768 unless noted.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
pages="$repo/tests/pages"
capture="node $here/capture.mjs --root $pages"

if [ ! -x /usr/lib/chromium/chromium-headless-shell ] && [ ! -x /usr/lib/chromium/chromium ]; then
  apt-get update
  apt-get install -y chromium-headless-shell || apt-get install -y chromium
fi

rm -rf "$pages/snapshots" "$pages/large/snapshots"

# Hand-written fixtures and the real pages, one browser for all of them.
$capture "$pages" "$pages/real" --out "$pages/snapshots"

# Variants: a scrolled page and pages with a focused element.
$capture "$pages/scrolling.html" --scroll 500,1100 --name scrolling-scrolled --out "$pages/snapshots"
$capture "$pages/forms.html" --focus '#loginPass' --name forms-focused --out "$pages/snapshots"
$capture "$pages/iframes.html" --width 800 --height 600 --name iframes-800x600 --out "$pages/snapshots"

# The large page for benchmarks is kept apart from the small snapshots.
$capture "$pages/large/capi3ref.html" --out "$pages/large/snapshots" --name capi3ref
