#!/usr/bin/env bash
# Speed of "patchbuild make" (figures, not a test):
#   - a first make (empty cache) against a second make with nothing changed;
#   - a first make with -j 1 against -j 2,
# on a generated project of many files (two versions, every file changed a
# lot, as rebuilt data files do). Prints the median of RUNS runs of each.
#
#   bench/make_speed.sh [BUILD_DIR]    default build/native
#   FILES=400 SIZE=65536 RUNS=3 bench/make_speed.sh
set -euo pipefail
shopt -s inherit_errexit  # a failure inside $(...) stops the bench too

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/native}"
patchbuild="$build/apps/patchbuild/patchbuild"
patcher="$build/apps/patcher/patcher"
files="${FILES:-400}"
size="${SIZE:-65536}"
runs="${RUNS:-3}"
source "$root/bench/sample_patch.sh"
scratch_work make-speed

project="$work/project"
mkdir -p "$project/versions/1.00" "$project/versions/1.01"
sed -e 's/version = "1.02";/version = "1.01";/' "$root/examples/sample-patch/version.cfg.txt" \
  > "$project/version.cfg.txt"
echo "$root/tests/keys/test.key.pem" > "$project/signing-key.txt"
python3 - "$project" "$files" "$size" <<'PY'
import os, random, sys
project, files, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
for i in range(files):
    r = random.Random(i)
    old = bytearray(r.getrandbits(8) for _ in range(size))
    new = bytearray(old)
    # A rebuilt data file: a change every few hundred bytes, some runs moved.
    for at in range(0, size - 64, 384):
        new[at:at + 8] = bytes(r.getrandbits(8) for _ in range(8))
    new[size // 2:size // 2] = bytes(r.getrandbits(8) for _ in range(size // 8))
    rel = "DATA/%02d/FILE%04d.DAT" % (i % 16, i)
    for version, data in (("1.00", old), ("1.01", new)):
        path = os.path.join(project, "versions", version, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        open(path, "wb").write(data)
PY
# The game executable, with the FileVersion of its folder (make checks it).
for version in 1.00 1.01; do
  cp "$root/examples/sample-patch/versions/$version/GAME.EXE" "$project/versions/$version/GAME.EXE"
done

# Runs patchbuild make with the given options and prints its wall seconds; a
# make that fails stops the bench with its messages rather than being timed.
seconds() {
  local start end
  start=$(date +%s.%N)
  if ! "$patchbuild" make "$project" "$work/out" --native --native-stub "$patcher" "$@" \
    2>"$work/make.log"; then
    echo "make_speed: patchbuild make $* failed:" >&2
    cat "$work/make.log" >&2
    return 1
  fi
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}

first=(); second=(); j1=(); j2=()
for ((r = 0; r < runs; r++)); do
  rm -rf "$project/.cache"; first+=("$(seconds)")
  second+=("$(seconds)")
  rm -rf "$project/.cache"; j1+=("$(seconds -j 1)")
  rm -rf "$project/.cache"; j2+=("$(seconds -j 2)")
done
m_first=$(printf '%s\n' "${first[@]}" | median)
m_second=$(printf '%s\n' "${second[@]}" | median)
m_j1=$(printf '%s\n' "${j1[@]}" | median)
m_j2=$(printf '%s\n' "${j2[@]}" | median)
echo "project: $files files of $size bytes, two versions; medians of $runs runs"
printf 'first make (all cores):   %6.2f s\n' "$m_first"
printf 'second make (no change):  %6.2f s   (%.1fx faster)\n' "$m_second" "$(echo "$m_first / $m_second" | bc -l)"
printf 'first make -j 1:          %6.2f s\n' "$m_j1"
printf 'first make -j 2:          %6.2f s   (%.2fx faster)\n' "$m_j2" "$(echo "$m_j1 / $m_j2" | bc -l)"
