# Shared by the bench scripts (sourced, not run): their scratch folders and
# tools, and for the benches that patch the sample game with the native
# patcher, the game and its runs (these expect $build and $patchbuild to be
# set).

# require_tools TOOL...: exits 1, naming the first one missing, unless every
# TOOL is there to be run.
require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
  done
}

# scratch_work NAME: a new scratch folder $work under $TMPDIR (or /tmp),
# removed on exit.
scratch_work() {
  work="$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")"
  trap 'rm -rf "$work"' EXIT
}

# given_or_scratch_work NAME: $work is $WORK when it is set (made when
# missing, kept afterwards), else a scratch folder as scratch_work NAME makes.
given_or_scratch_work() {
  if [ -n "${WORK:-}" ]; then
    work=$WORK
    mkdir -p "$work"
  else
    scratch_work "$1"
  fi
}

# sample_work NAME: a scratch folder $work (removed on exit) holding the sample
# game, its trees and prefix, in $sample.
sample_work() {
  scratch_work "$1"
  sample="$work/sample"
  "$build/tests/e2e/corvane_sample_game" "$sample" >/dev/null
}

# step_updates SAMPLE PAYLOAD: the update of every file that differs between
# the sample's version trees 1.00 and 1.01, and 1.01 and 1.02.
step_updates() {
  local sample=$1 payload=$2 step file
  for step in "1.00 1.01" "1.01 1.02"; do
    set -- $step
    while read -r file; do
      if ! cmp -s "$sample/trees/$1/$file" "$sample/trees/$2/$file"; then
        mkdir -p "$(dirname "$payload/$1-$2/$file.upd")"
        "$patchbuild" diff "$sample/trees/$1/$file" "$sample/trees/$2/$file" \
          "$payload/$1-$2/$file.upd" >/dev/null
      fi
    done < <(cd "$sample/trees/$2" && find . -type f | sed 's|^\./||')
  done
}

# timed_run PATCHER: seconds of one run of $work/PATCHER on the installation in
# $work/prefix (prepared by the caller); the run must end in success.
timed_run() {
  sync
  local start end
  start=$(date +%s.%N)
  (cd "$work" && WINEPREFIX="$work/prefix" "$work/$1" </dev/null >"$work/run.out" 2>&1) ||
    { echo "the run of $1 failed:"; tail -n 5 "$work/run.out"; exit 1; }
  end=$(date +%s.%N)
  grep -q "has been applied successfully" "$work/run.out" || { echo "$1: no success line"; exit 1; }
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }'
}

# median: of the numbers on standard input, one a line.
median() {
  sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
