#!/usr/bin/env bash
# The page of `patchbuild make --report` in a real browser: headless
# Chromium loads it from disk with the network off, its script must run to
# its end (the page marks itself ready) with no error in the console, the
# totals it shows must equal those of `make --json`, and a screenshot of it
# is saved (docs/images/make-report.png is one).
#
#   report_in_browser.sh BUILD-DIR SOURCE-DIR [SCREENSHOT.png]
set -euo pipefail
build=$1
source_dir=$2
screenshot=${3:-}
patchbuild="$build/apps/patchbuild/patchbuild"
browser=$(command -v chromium || command -v chromium-browser || true)
[ -n "$browser" ] || { echo "no chromium (scripts/setup installs it)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cp -r "$source_dir/examples/sample-patch" "$work/project"
echo "$source_dir/tests/keys/test.key.pem" >"$work/project/signing-key.txt"
rm -rf "$work/project/.cache"
"$patchbuild" -q make "$work/project" "$work/out/patch" --native --json \
  --report "$work/report.html" >"$work/make.json"

# Nothing outside the page: no http(s) address, no link to another file.
if grep -Eiq '(src|href)=|https?://|@import|url\(' "$work/report.html"; then
  echo "the report refers to something outside itself"
  exit 1
fi

browse() {  # browse ARGS...: Chromium on the page, offline, as a throwaway profile
  "$browser" --headless=new --no-sandbox --disable-gpu --no-first-run --disable-extensions \
    --user-data-dir="$work/profile" --proxy-server='127.0.0.1:9' --proxy-bypass-list='<-loopback>' \
    --enable-logging=stderr --v=0 "$@" "file://$work/report.html"
}
browse --virtual-time-budget=5000 --dump-dom >"$work/dom.html" 2>"$work/console.txt"
status=0
grep -q 'data-ready="1"' "$work/dom.html" || { echo "the page's script did not run to its end"; status=1; }
if grep -E 'CONSOLE|Uncaught' "$work/console.txt" | grep -qiE 'error|uncaught'; then
  echo "script errors:"
  grep -E 'CONSOLE|Uncaught' "$work/console.txt"
  status=1
fi
grep -q 'id="check-total">agree<' "$work/dom.html" || { echo "the page's data and its table differ"; status=1; }

# Each total the page shows equals the make document's.
shown() { sed -n "s/.*id=\"$1\" data-v=\"\([0-9]*\)\".*/\1/p" "$work/dom.html" | head -n1; }
for pair in total-payload-bytes:.totals.payload_bytes total-payload-items:.totals.payload_items \
            total-updates-made:.totals.updates_made total-updates-reused:.totals.updates_reused \
            total-whole-files:.totals.whole_files; do
  id=${pair%%:*}
  expected=$(jq -r "${pair#*:}" "$work/make.json")
  [ "$(shown "$id")" = "$expected" ] || { echo "$id: page $(shown "$id"), JSON $expected"; status=1; }
done
# One bar per payload update and whole file.
bars=$(grep -o 'class="bar kind-' "$work/dom.html" | wc -l)
items=$(jq '([.steps[].updates[]] | length) + (.whole_files | length)' "$work/make.json")
[ "$bars" = "$items" ] || { echo "$bars bars for $items items"; status=1; }

if [ -n "$screenshot" ]; then
  browse --window-size=1000,1400 --screenshot="$screenshot" >/dev/null 2>&1
  [ -s "$screenshot" ] || { echo "no screenshot"; status=1; }
fi
[ $status = 0 ] && echo "report: renders, no script errors, totals agree with --json"
exit $status
