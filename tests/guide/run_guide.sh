#!/usr/bin/env bash
# Follows docs/making-a-patch.md as a reader would, from an installed layout:
# installs the build tree into a scratch prefix (cmake --install), then, in
# the installed documentation folder (which holds the example project), starts
# a project as "Start a project" says, makes
# the example's patcher with the command of "Try the example" and runs the
# commands of "Try a patch on a test prefix" in order, with the installed
# programs first on PATH. Fails when a command fails or the run does not end
# as the guide says.
#
#   run_guide.sh BUILD-DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
docs="$work/prefix/share/doc/corvane-patcher"
guide="$docs/making-a-patch.md"
[ -f "$guide" ] || { echo "guide: not installed at $guide"; exit 1; }
[ -x "$work/prefix/bin/patchbuild" ] && [ -x "$work/prefix/bin/patcher" ] \
  || { echo "guide: patchbuild and patcher are not both in $work/prefix/bin"; exit 1; }
export PATH="$work/prefix/bin:$PATH"
cd "$docs"

# The commands in the first code block under a heading.
block() {
  awk -v heading="$1" '$0 == heading {found = 1; next}
                       found && /^```/ {if (inside) exit; inside = 1; next}
                       found && inside {print}' "$guide"
}

start=$(block "## Start a project")
[ -n "$start" ] || { echo "guide: no command under 'Start a project'"; exit 1; }
echo "+ $start"
(mkdir "$work/start" && cd "$work/start" && bash -euo pipefail -c "$start") \
  || { echo "guide: starting a project failed"; exit 1; }
[ -f "$work/start/my-patch/version.cfg.txt" ] && [ -f "$work/start/my-patch/my-patch.key.pem" ] \
  || { echo "guide: the project started has no manifest or key"; exit 1; }

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
