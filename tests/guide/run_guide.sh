#!/usr/bin/env bash
# Follows docs/making-a-patch.md as a reader would: makes the example's
# patcher with the command of "Try the example" and runs the commands of "Try
# a patch on a test prefix" in order, in a scratch folder that holds the
# repository's examples. Fails when a command fails or the run does not end
# as the guide says.
#
#   run_guide.sh SOURCE-ROOT BIN-DIR   (BIN-DIR holds patchbuild and the patchers)
set -euo pipefail
root=$1
bin=$2
guide="$root/docs/making-a-patch.md"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
ln -s "$root/examples" examples
export PATH="$bin:$PATH"

# The commands in the first code block under a heading.
block() {
  awk -v heading="$1" '$0 == heading {found = 1; next}
                       found && /^```/ {if (inside) exit; inside = 1; next}
                       found && inside {print}' "$guide"
}

make_command=$(block "## Try the example" | grep '^patchbuild make')
[ -n "$make_command" ] || { echo "guide: no patchbuild make under 'Try the example'"; exit 1; }
echo "+ $make_command"
bash -euo pipefail -c "$make_command"

steps=$(block "## Try a patch on a test prefix")
[ -n "$steps" ] || { echo "guide: no commands under 'Try a patch on a test prefix'"; exit 1; }
echo "$steps" | sed 's/^/+ /'
output=$(bash -euo pipefail -c "$steps" </dev/null 2>&1) || { echo "$output"; echo "guide: the steps failed"; exit 1; }
echo "$output"
grep -q "Sample Game patch 1.02 has been applied successfully." <<<"$output" \
  || { echo "guide: the patch did not end as the guide says"; exit 1; }
again=$(build/sample-patch --prefix test-prefix </dev/null 2>&1) || true
echo "$again"
grep -qi "1.02" <<<"$again" || { echo "guide: a second run does not tell the version"; exit 1; }
echo "guide: followed to the end"
