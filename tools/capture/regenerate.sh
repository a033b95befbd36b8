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
rm -f "$pages/expected/"*.geometry.json

# Hand-written fixtures, each with its element boxes on the top-level
# viewport and its hit tests (expected/<name>.geometry.json); then the real
# pages.
$capture "$pages" --out "$pages/snapshots" --geometry "$pages/expected"
$capture "$pages/real" --out "$pages/snapshots"

# Pages with vendor-like web controls, with their script globals and the
# answers of the controls' look-up functions (ig..._get...ById).
$capture "$pages/detection" --out "$pages/snapshots" --call-globals '^ig[a-z]+_get[A-Za-z]+ById$'

# Variants: scrolled pages, a page with a focused element, a smaller viewport.
$capture "$pages/scrolling.html" --scroll 500,1100 --name scrolling-scrolled --out "$pages/snapshots" --geometry "$pages/expected"
$capture "$pages/viewport.html" --scroll 200,100 --name viewport-scrolled --out "$pages/snapshots" --geometry "$pages/expected"
$capture "$pages/forms.html" --focus '#loginPass' --name forms-focused --out "$pages/snapshots"
$capture "$pages/iframes.html" --width 800 --height 600 --name iframes-800x600 --out "$pages/snapshots" --geometry "$pages/expected"

# The large page for benchmarks is kept apart from the small snapshots.
$capture "$pages/large/capi3ref.html" --out "$pages/large/snapshots" --name capi3ref
$capture "$pages/large/thousand.html" --out "$pages/large/snapshots" --name thousand
