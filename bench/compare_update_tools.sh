#!/usr/bin/env bash
# Compares patchbuild's update files with xdelta3 and bsdiff on the same file
# pairs: update size, create time, apply time and peak memory (median of
# REPEAT runs, /usr/bin/time). Prints figures; passes or fails nothing.
#
#   bench/compare_update_tools.sh [PATCHBUILD]
#
#   PATCHBUILD     patchbuild binary (default: build/engine-native-release/apps/patchbuild/patchbuild)
#   WORK=DIR       scratch directory (default: a new one under /tmp, removed afterwards)
#   SIZE_MB=N      size of the archive-like pair (default 256)
#   REPEAT=N       runs per measurement (default 3)
#   BSDIFF_MAX_MB  largest file bsdiff is asked to diff (default 512; it needs
#                  about 17 times the file size in memory); above 64 MiB it
#                  runs once, not REPEAT times (minutes per run)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
patchbuild=${1:-$root/build/engine-native-release/apps/patchbuild/patchbuild}
size_mb=${SIZE_MB:-256}
repeat=${REPEAT:-3}
bsdiff_max_mb=${BSDIFF_MAX_MB:-512}
[ -x "$patchbuild" ] || { echo "no patchbuild at $patchbuild (build it in Release first)"; exit 1; }
source "$root/bench/sample_patch.sh"
require_tools xdelta3 bsdiff bspatch python3 /usr/bin/time
given_or_scratch_work update-bench

# --- the archive-like pair ---------------------------------------------------
# Entries of compressed-looking (random), text-like, table-like and zero data,
# then a new version with scattered small edits and inserted, deleted and moved
# blocks, as a game archive changes between versions.
make_archive_pair() {
  python3 "$root/bench/make_archive_pair.py" "$1" "$2" "$size_mb"
}

# --- the program pair ----------------------------------------------------------
# Two consecutive cached versions of one Debian library package: its largest
# ELF file from each. Falls back to two builds of patchbuild found in WORK.
make_program_pair() {
  local debs=() package
  for package in libmagickcore-6.q16-6 libmagickwand-6.q16-6 imagemagick-6.q16; do
    mapfile -t debs < <(ls /var/cache/apt/archives/"${package}"_*_amd64.deb 2>/dev/null | sort -V | tail -2)
    [ "${#debs[@]}" -eq 2 ] && break
  done
  if [ "${#debs[@]}" -ne 2 ]; then
    echo "no two versions of a package in /var/cache/apt/archives" >&2
    return 1
  fi
  local i=0 deb dir file
  for deb in "${debs[@]}"; do
    dir=$work/deb$i
    mkdir -p "$dir"
    dpkg-deb -x "$deb" "$dir"
    file=$(find "$dir" -type f -size +64k -exec file {} + | grep ELF | cut -d: -f1 |
           xargs ls -S | head -1)
    cp "$file" "$work/program$i"
    echo "program $i: $(basename "$deb") $(basename "$file") $(stat -c %s "$file") bytes" >&2
    i=$((i + 1))
  done
  mv "$work/program0" "$1"
  mv "$work/program1" "$2"
}

# --- measuring ------------------------------------------------------------------
# run LABEL COMMAND...: appends "LABEL seconds kilobytes cpu-seconds" for each
# of REPEAT runs. CPU time (user + system) is kept beside the elapsed time: on a
# busy machine it is the steadier figure. Each run starts with its output
# removed and the disk synced, so no run pays for an earlier run's writeback
# (truncating a file whose pages are still being written waits for them).
run() {
  local label=$1; shift
  local i runs=${RUNS:-$repeat} output=${!#}
  for ((i = 0; i < runs; i++)); do
    case $label in *-create) rm -f "$output" ;; *) rm -f "$work"/*.out ;; esac
    sync
    /usr/bin/time -f "$label %e %M %U %S" -o "$work/time.out" "$@" >/dev/null 2>"$work/stderr.out" || {
      echo "$label failed:"; cat "$work/stderr.out"; return 1; }
    awk '{ printf "%s %s %s %.2f\n", $1, $2, $3, $4 + $5 }' "$work/time.out" >>"$work/times"
  done
}

measured() {  # measured LABEL COLUMN: the median of a column over the label's runs, or "-"
  local values
  values=$(awk -v l="$1" -v c="$2" '$1 == l { print $c }' "$work/times")
  if [ -z "$values" ]; then echo "-"; else printf '%s\n' "$values" | median; fi
}

compare_pair() {  # compare_pair NAME OLD NEW
  local name=$1 old=$2 new=$3
  : >"$work/times"
  local mb=$(( $(stat -c %s "$new") >> 20 ))
  echo
  echo "== $name: old $(stat -c %s "$old") bytes, new $(stat -c %s "$new") bytes"
  # The two tools take turns, run by run, so that whatever else the machine
  # does in the meantime falls on both alike.
  local r
  for ((r = 0; r < repeat; r++)); do
    (cd "$work" && RUNS=1 run pb-create "$patchbuild" diff "$old" "$new" "$work/u.upd") || return 1
    RUNS=1 run xd-create xdelta3 -e -9 -S none -f -s "$old" "$new" "$work/u.xd3" || return 1
  done
  for ((r = 0; r < repeat; r++)); do
    (cd "$work" && RUNS=1 run pb-apply "$patchbuild" apply "$old" "$work/u.upd" "$work/pb.out") || return 1
    cmp -s "$new" "$work/pb.out" || { echo "patchbuild apply: output differs"; return 1; }
    RUNS=1 run xd-apply xdelta3 -d -f -s "$old" "$work/u.xd3" "$work/xd.out" || return 1
    cmp -s "$new" "$work/xd.out" || { echo "xdelta3: output differs"; return 1; }
  done
  local bs=0
  if [ "$mb" -le "$bsdiff_max_mb" ]; then
    bs=1
    local bs_runs=$repeat
    [ "$mb" -gt 64 ] && bs_runs=1
    RUNS=$bs_runs run bs-create bsdiff "$old" "$new" "$work/u.bsd"
    RUNS=$bs_runs run bs-apply bspatch "$old" "$work/bs.out" "$work/u.bsd"
    cmp -s "$new" "$work/bs.out" || { echo "bsdiff: output differs"; return 1; }
  fi
  local pb_size xd_size bs_size=-
  pb_size=$(stat -c %s "$work/u.upd")
  xd_size=$(stat -c %s "$work/u.xd3")
  [ "$bs" = 1 ] && bs_size=$(stat -c %s "$work/u.bsd")
  printf "%-11s %12s %10s %10s %10s %10s %11s %10s\n" tool "update B" "create s" "(cpu s)" \
    "apply s" "(cpu s)" "create MiB" "apply MiB"
  local tool size
  for tool in pb xd bs; do
    case $tool in pb) size=$pb_size ;; xd) size=$xd_size ;; bs) size=$bs_size ;; esac
    [ "$tool" = bs ] && [ "$bs" = 0 ] && continue
    printf "%-11s %12s %10s %10s %10s %10s %11s %10s\n" \
      "$(case $tool in pb) echo patchbuild ;; xd) echo xdelta3 ;; bs) echo bsdiff ;; esac)" \
      "$size" "$(measured $tool-create 2)" "$(measured $tool-create 4)" \
      "$(measured $tool-apply 2)" "$(measured $tool-apply 4)" \
      "$(awk -v k="$(measured $tool-create 3)" 'BEGIN { printf "%.1f", k / 1024 }')" \
      "$(awk -v k="$(measured $tool-apply 3)" 'BEGIN { printf "%.1f", k / 1024 }')"
  done
  awk -v pc="$(measured pb-create 2)" -v xc="$(measured xd-create 2)" \
      -v pa="$(measured pb-apply 2)" -v xa="$(measured xd-apply 2)" \
      -v pcc="$(measured pb-create 4)" -v xcc="$(measured xd-create 4)" \
      -v pac="$(measured pb-apply 4)" -v xac="$(measured xd-apply 4)" \
      -v ps="$pb_size" -v xs="$xd_size" 'function r(a, b) { return b > 0 ? a / b : 0 } BEGIN {
    printf "patchbuild / xdelta3: size %.2f, create %.2f (cpu %.2f), apply %.2f (cpu %.2f); below 1: patchbuild better\n",
           r(ps, xs), r(pc, xc), r(pcc, xcc), r(pa, xa), r(pac, xac) }'
}

make_archive_pair "$work/archive.old" "$work/archive.new"
compare_pair "archive-like ${size_mb} MiB" "$work/archive.old" "$work/archive.new"
rm -f "$work/archive.old" "$work/archive.new" "$work"/*.out
if make_program_pair "$work/program.old" "$work/program.new"; then
  compare_pair "program binaries" "$work/program.old" "$work/program.new"
fi
