#!/usr/bin/env bash
# What authenticating the payload costs a whole patch run (figures, not a
# test). The sample game (1.00, Gold) is patched to 1.02 by the native
# patcher, with 1 GiB of whole files in the payload (64 items of 16 MiB; SIZE_MIB
# sets another size), twice over: by a patcher whose signed manifest lists
# every payload item with its SHA-256 (as `patchbuild make` and `sign
# --payload` write it: the run checks every byte before it changes anything)
# and by one whose manifest does not (the run trusts what it finds). Each run
# starts from a fresh copy of the installation; prints the median of RUNS runs
# of each and the share the check adds, for two installations:
#   - the bare sample game: the run does little but bring the whole files, the
#     least a run with such a payload can do;
#   - the sample game with INSTALLED_MIB (1024) more of data files that the
#     patch leaves as they are but checks, as a game this patch is for would
#     have: the digests are made while the installation is checked.
# In both, the listed run writes its whole files to their work files while
# the digests are made and renames them in their passes; the unlisted run
# extracts, proves and renames each in turn, as patches always did. The
# share can come out below zero: writing ahead is the cheaper pattern here.
#
#   bench/payload_auth_run.sh [BUILD_DIR]      default build/native
#   SIZE_MIB=1024 INSTALLED_MIB=1024 RUNS=5 bench/payload_auth_run.sh
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/native}"
size_mib="${SIZE_MIB:-1024}"
installed_mib="${INSTALLED_MIB:-1024}"
runs="${RUNS:-5}"
patchbuild="$build/apps/patchbuild/patchbuild"
source "$root/bench/sample_patch.sh"
sample_work payload-auth-run
payload="$sample/payload"
step_updates "$sample" "$payload"
# The whole files of every run: SIZE_MIB of incompressible data.
mkdir -p "$payload/ALL/BIG"
for i in $(seq 1 $((size_mib / 16))); do
  head -c $((16 << 20)) /dev/urandom >"$payload/ALL/BIG/ITEM$i.BIN"
done
# The data files of the larger installation, the same in every version.
big="$work/big"
mkdir -p "$big/DATA/BIG"
for i in $(seq 1 $((installed_mib / 16))); do
  head -c $((16 << 20)) /dev/urandom >"$big/DATA/BIG/PACK$i.DAT"
done

# lists NAME WITH_BIG: the payload's checksum lists, with the data files or not.
lists() {
  local with_big=$1 v
  for v in 1.00 1.01 1.02; do
    local tree="$work/list-tree"
    rm -rf "$tree"
    cp -r "$sample/trees/$v" "$tree"
    if [ "$v" = 1.02 ]; then
      cp -r "$payload/ALL/." "$tree/"
      cp -r "$payload/ADD/." "$tree/"
    fi
    [ "$with_big" = 1 ] && cp -al "$big/." "$tree/"
    mkdir -p "$payload/crc/$v"
    "$patchbuild" crc "$tree" >"$payload/crc/$v/crc.crc"
    rm -rf "$tree"
  done
}

# patcher NAME [SIGN-OPTIONS...]: the native patcher of the payload, its
# manifest signed with SIGN-OPTIONS.
make_patcher() {
  local name=$1
  shift
  "$patchbuild" param compile "$sample/version.cfg.txt" "$payload/version.cfg" >/dev/null
  "$patchbuild" sign "$payload/version.cfg" "$root/tests/keys/test.key.pem" "$@" >/dev/null
  "$patchbuild" pack "$payload" "$work/$name" --stub "$build/apps/patcher/patcher" \
    --pubkey "$root/tests/keys/test.pubkey" >/dev/null
  chmod +x "$work/$name"
}
lists 0
make_patcher listed --payload "$payload"
make_patcher unlisted
lists 1
make_patcher listed-big --payload "$payload"
make_patcher unlisted-big
rm -rf "$payload"

# run PATCHER: seconds of one run on a fresh copy of the 1.00 installation
# (with the data files when PATCHER ends in -big; they are never written).
run() {
  rm -rf "$work/prefix"
  cp -r "$sample/prefix" "$work/prefix"
  [[ $1 == *-big ]] && cp -al "$big/." "$work/prefix/drive_c/Games/Game/"
  timed_run "$1"
}

# measure SUFFIX TITLE: the medians of both patchers and the share.
measure() {
  local listed=() unlisted=() i
  for i in $(seq 1 "$runs"); do
    # Interleaved, so that a change in the machine's load touches both alike.
    unlisted+=("$(run "unlisted$1")")
    listed+=("$(run "listed$1")")
  done
  local without with
  without=$(printf '%s\n' "${unlisted[@]}" | median)
  with=$(printf '%s\n' "${listed[@]}" | median)
  echo "$2"
  printf '  manifest without the item list: %6.3f s\n' "$without"
  printf '  manifest with the item list:    %6.3f s  (every item checked against its SHA-256)\n' "$with"
  awk -v a="$without" -v b="$with" 'BEGIN { printf "  the check adds %.1f%% to the run\n", (b - a) * 100 / a }'
}

echo "patch run 1.00 -> 1.02 with ${size_mib} MiB of whole files in the payload, medians of $runs runs, $(nproc) processors:"
measure "" "- the bare sample game"
measure -big "- the sample game with ${installed_mib} MiB more of data files, checked by the run"
