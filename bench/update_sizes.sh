#!/usr/bin/env bash
# Update sizes, times and peak memory of patchbuild's two update writers
# (the exact one, `patchbuild diff`, and the compact one, `diff --compact`)
# beside xdelta3 (raw: no secondary compression, no small-string matching...
# -e -9 -S none -N) and bsdiff (size only, for reference). Pairs: the
# archive-like pair of compare_update_tools.sh, consecutive releases of two
# programs fetched from the npm registry and two Debian library updates
# (apt-get download of versions apt-cache madison lists). Prints figures; passes or fails
# nothing.
#
#   bench/update_sizes.sh [PATCHBUILD]
#
#   WORK=DIR        scratch and download directory (default: a new one under /tmp)
#   SIZE_MB=N       size of the archive-like pair (default 256; 0 leaves it out)
#   BSDIFF_MAX_MB   largest file bsdiff is asked to diff (default 64)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
patchbuild=${1:-$root/build/native/apps/patchbuild/patchbuild}
size_mb=${SIZE_MB:-256}
bsdiff_max_mb=${BSDIFF_MAX_MB:-64}
[ -x "$patchbuild" ] || { echo "no patchbuild at $patchbuild"; exit 1; }
source "$root/bench/sample_patch.sh"
require_tools xdelta3 bsdiff python3 curl tar apt-get dpkg-deb /usr/bin/time
given_or_scratch_work update-sizes

# fetch_npm PACKAGE VERSION FILE OUT: FILE of the package's tarball.
fetch_npm() {
  local package=$1 version=$2 file=$3 out=$4
  local base=${package##*/}
  local tgz=$work/$base-$version.tgz
  [ -s "$tgz" ] || curl -fsSL -o "$tgz" "https://registry.npmjs.org/$package/-/$base-$version.tgz"
  tar -xzf "$tgz" -O "package/$file" >"$out"
}

# measure LABEL COMMAND...: "seconds kilobytes" of one run into $work/m.
measure() {
  local label=$1; shift
  sync
  /usr/bin/time -f "%e %M" -o "$work/m.$label" "$@" >/dev/null 2>"$work/err" || {
    echo "$label failed:"; cat "$work/err"; return 1; }
}
field() { awk -v c="$2" '{ print $c }' "$work/m.$1"; }

totals=$work/totals
: >"$totals"
compare() {  # compare NAME OLD NEW
  local name=$1 old=$2 new=$3
  local mb=$(( $(stat -c %s "$new") >> 20 ))
  echo
  echo "== $name: old $(stat -c %s "$old") bytes, new $(stat -c %s "$new") bytes"
  rm -f "$work"/u.*
  (cd "$work" && measure exact-c "$patchbuild" diff "$old" "$new" "$work/u.exact")
  (cd "$work" && measure exact-a "$patchbuild" apply "$old" "$work/u.exact" "$work/out")
  cmp -s "$new" "$work/out" || { echo "exact: output differs"; return 1; }
  (cd "$work" && measure compact-c "$patchbuild" diff --compact "$old" "$new" "$work/u.compact")
  (cd "$work" && measure compact-a "$patchbuild" apply "$old" "$work/u.compact" "$work/out")
  cmp -s "$new" "$work/out" || { echo "compact: output differs"; return 1; }
  measure xd-c xdelta3 -e -9 -S none -N -f -s "$old" "$new" "$work/u.xd3"
  measure xd-a xdelta3 -d -f -s "$old" "$work/u.xd3" "$work/out"
  cmp -s "$new" "$work/out" || { echo "xdelta3: output differs"; return 1; }
  local bs=-
  if [ "$mb" -le "$bsdiff_max_mb" ]; then
    bsdiff "$old" "$new" "$work/u.bsd"
    bs=$(stat -c %s "$work/u.bsd")
  fi
  printf "%-9s %12s %9s %9s %10s %10s\n" writer "update B" "create s" "apply s" "create MiB" "apply MiB"
  local t file
  for t in exact compact xd; do
    case $t in exact) file=u.exact ;; compact) file=u.compact ;; xd) file=u.xd3 ;; esac
    printf "%-9s %12s %9s %9s %10.1f %10.1f\n" "$(case $t in xd) echo xdelta3 ;; *) echo $t ;; esac)" \
      "$(stat -c %s "$work/$file")" "$(field $t-c 1)" "$(field $t-a 1)" \
      "$(awk -v k="$(field $t-c 2)" 'BEGIN { print k / 1024 }')" \
      "$(awk -v k="$(field $t-a 2)" 'BEGIN { print k / 1024 }')"
  done
  printf "%-9s %12s\n" bsdiff "$bs"
  echo "$name $(stat -c %s "$work/u.exact") $(stat -c %s "$work/u.compact") $(stat -c %s "$work/u.xd3") $bs $(field compact-c 1) $(field xd-c 1)" >>"$totals"
}

if [ "$size_mb" -gt 0 ]; then
  python3 "$root/bench/make_archive_pair.py" "$work/archive.old" "$work/archive.new" "$size_mb"
  compare "archive-like ${size_mb} MiB" "$work/archive.old" "$work/archive.new"
  rm -f "$work/archive.old" "$work/archive.new" "$work/out"
fi
pair() {  # pair NAME PACKAGE FILE OLD_VERSION NEW_VERSION
  fetch_npm "$2" "$4" "$3" "$work/p.old"
  fetch_npm "$2" "$5" "$3" "$work/p.new"
  compare "$1 $4 -> $5" "$work/p.old" "$work/p.new"
}
# deb_pair NAME PACKAGE FILE OLD_VERSION NEW_VERSION: FILE (a path inside the
# package) of two versions `apt-cache madison` lists, by `apt-get download`.
deb_pair() {
  local v
  for v in "$4" "$5"; do
    local deb
    deb=$(ls "$work/$2_${v#*:}"_*.deb 2>/dev/null | head -n1 || true)
    if [ -z "$deb" ]; then
      (cd "$work" && apt-get download -qq "$2=$v" 2>/dev/null) || { echo "cannot download $2 $v"; return 0; }
      deb=$(ls "$work/$2_"*"${v#*:}"*.deb | head -n1)
    fi
    rm -rf "$work/deb" && mkdir -p "$work/deb" && dpkg-deb -x "$deb" "$work/deb"
    cp "$work/deb/$3" "$work/p.$([ "$v" = "$4" ] && echo old || echo new)"
  done
  compare "$1 $4 -> $5" "$work/p.old" "$work/p.new"
}

pair esbuild @esbuild/linux-x64 bin/esbuild 0.19.0 0.19.1
pair esbuild @esbuild/linux-x64 bin/esbuild 0.19.12 0.20.0
pair biome @biomejs/cli-linux-x64 biome 1.5.0 1.5.1
deb_pair libcrypto libssl3 usr/lib/x86_64-linux-gnu/libcrypto.so.3 3.0.20-1~deb12u2 3.0.22-1~deb12u2
deb_pair libcurl libcurl4 usr/lib/x86_64-linux-gnu/libcurl.so.4.8.0 7.88.1-10+deb12u5 7.88.1-10+deb12u15

echo
echo "== sizes (bytes) and compact writer / xdelta3"
awk '{ n = NF; name = ""; for (i = 1; i <= n - 6; i++) name = name $i " ";
       e = $(n-5); c = $(n-4); x = $(n-3); ce += e; cc += c; cx += x;
       printf "%-34s exact %11d compact %10d xdelta3 %10d bsdiff %10s  compact/xdelta3 %.3f  create %ss vs %ss\n",
              name, e, c, x, $(n-2), c / x, $(n-1), $n }
     END { printf "%-34s exact %11d compact %10d xdelta3 %10d  compact/xdelta3 %.3f\n", "total", ce, cc, cx, cc / cx }' "$totals"
