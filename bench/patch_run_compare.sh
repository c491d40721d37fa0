#!/usr/bin/env bash
# Speed of two native patcher programs on one patch (figures, not a test):
# the same payload packed behind each, run on fresh copies of the same
# installation, interleaved so that a change in the machine's load touches
# both alike. Compares a build of today's tree with one of an older commit
# (the payload format is the same), e.g.
#
#   git worktree add /tmp/before <commit>
#   cmake -S /tmp/before -B /tmp/before/build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
#     -DCORVANE_TESTS=OFF && cmake --build /tmp/before/build --target patcher
#   bench/patch_run_compare.sh /tmp/before/build/apps/patcher/patcher
#
#   bench/patch_run_compare.sh OTHER_PATCHER [BUILD_DIR]   default build/native
#   ARCHIVE_MIB=256 RUNS=5 bench/patch_run_compare.sh ...
#
# The patch takes the sample game from 1.00 to 1.02; besides its small files
# the game holds an archive of ARCHIVE_MIB that changes in both steps (edits,
# inserted, deleted and moved blocks), so that the run is dominated by what a
# real patch spends its time on: checking the installation, applying updates
# to large files through work files, and checking the result.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
other="${1:?usage: bench/patch_run_compare.sh OTHER_PATCHER [BUILD_DIR]}"
build="${2:-$root/build/native}"
archive_mib="${ARCHIVE_MIB:-256}"
runs="${RUNS:-5}"
patchbuild="$build/apps/patchbuild/patchbuild"
this="$build/apps/patcher/patcher"
source "$root/bench/sample_patch.sh"
sample_work patch-run-compare
game="$sample/prefix/drive_c/Games/Game"
# The archive in its three versions: each step edits the one before (the
# second with small edits and one inserted block).
python3 "$root/bench/make_archive_pair.py" "$work/a100" "$work/a101" "$archive_mib"
python3 - "$work/a101" "$work/a102" <<'PY'
import random, sys
data = bytearray(open(sys.argv[1], "rb").read())
rng = random.Random(102)
for _ in range(2000):
    at = rng.randrange(len(data) - 16)
    data[at:at + 4] = rng.randbytes(4)
at = rng.randrange(len(data))
data[at:at] = rng.randbytes(1 << 20)
open(sys.argv[2], "wb").write(data)
PY
mkdir -p "$sample/trees/1.00/DATA" "$sample/trees/1.01/DATA" "$sample/trees/1.02/DATA"
cp "$work/a100" "$sample/trees/1.00/DATA/ARCHIVE.PBO"
cp "$work/a101" "$sample/trees/1.01/DATA/ARCHIVE.PBO"
cp "$work/a102" "$sample/trees/1.02/DATA/ARCHIVE.PBO"
mkdir -p "$game/DATA"
cp "$work/a100" "$game/DATA/ARCHIVE.PBO"
rm -f "$work/a100" "$work/a101" "$work/a102"

payload="$sample/payload"
step_updates "$sample" "$payload"
# The lists of what each version holds; 1.02's with the whole files it brings.
for v in 1.00 1.01 1.02; do
  tree="$work/list-tree"
  rm -rf "$tree"
  cp -r "$sample/trees/$v" "$tree"
  if [ "$v" = 1.02 ]; then
    cp -r "$payload/ALL/." "$tree/"
    cp -r "$payload/ADD/." "$tree/"
  fi
  mkdir -p "$payload/crc/$v"
  "$patchbuild" crc "$tree" >"$payload/crc/$v/crc.crc"
  rm -rf "$tree"
done
"$patchbuild" param compile "$sample/version.cfg.txt" "$payload/version.cfg" >/dev/null
"$patchbuild" sign "$payload/version.cfg" "$root/tests/keys/test.key.pem" --payload "$payload" \
  >/dev/null
for name in this other; do
  stub=$this
  [ "$name" = other ] && stub=$other
  "$patchbuild" pack "$payload" "$work/$name" --stub "$stub" \
    --pubkey "$root/tests/keys/test.pubkey" >/dev/null
  chmod +x "$work/$name"
done
update_bytes=$(du -cb "$payload"/1.0*-1.0* | tail -n1 | cut -f1)

# run NAME: seconds of one run on a fresh copy of the 1.00 installation.
run() {
  rm -rf "$work/prefix"
  cp -r "$sample/prefix" "$work/prefix"
  timed_run "$1"
  cmp -s "$work/prefix/drive_c/Games/Game/DATA/ARCHIVE.PBO" "$sample/trees/1.02/DATA/ARCHIVE.PBO" ||
    { echo "$1: the archive is not 1.02's"; exit 1; }
}

run other >/dev/null  # the first runs read the payload from the disk
run this >/dev/null
mine=() theirs=()
for i in $(seq 1 "$runs"); do
  theirs+=("$(run other)")
  mine+=("$(run this)")
done
a=$(printf '%s\n' "${theirs[@]}" | median)
b=$(printf '%s\n' "${mine[@]}" | median)
echo "patch run 1.00 -> 1.02 with a ${archive_mib} MiB archive changed in both steps" \
  "($((update_bytes / 1024)) KiB of updates), medians of $runs runs, $(nproc) processors:"
printf '  %-40s %7.3f s  (%s bytes)\n' "$other" "$a" "$(stat -c %s "$other")"
printf '  %-40s %7.3f s  (%s bytes)\n' "$this" "$b" "$(stat -c %s "$this")"
awk -v a="$a" -v b="$b" 'BEGIN { printf "  this build takes %.3f times the other'"'"'s time\n", b / a }'
