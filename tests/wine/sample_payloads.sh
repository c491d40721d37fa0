# Sample game and signed patches for the Wine tests, sourced by run_all.sh.
# Made the way scripts/demo makes them: the sample game generator of the
# end-to-end tests, then the project's own patchbuild (diff, param compile,
# sign, pack --stub).
#
# Needs: NATIVE (native build dir), WIN32_BUILD (win32 build dir), ROOT.

SAMPLE_GAME_KEY='HKLM\Software\Corvane Samples\Sample Game'
SAMPLE_SETTINGS_KEY='HKCU\Software\Corvane Samples\Sample Game\Settings'

patchbuild() { "$NATIVE/apps/patchbuild/patchbuild" "$@"; }

# make_sample DIR: the sample's trees 1.00-1.02, its installation (1.00, Gold
# edition) and the whole files, checksum lists and update files of the patch
# 1.00 -> 1.02 in DIR/payload.
make_sample() {
  local dir=$1 step from to file out
  rm -rf "$dir"
  "$NATIVE/tests/e2e/corvane_sample_game" "$dir" --crc-lists >/dev/null || return 1
  for step in "1.00 1.01" "1.01 1.02"; do
    read -r from to <<<"$step"
    while read -r file; do
      if ! cmp -s "$dir/trees/$from/$file" "$dir/trees/$to/$file"; then
        out="$dir/payload/$from-$to/$file.upd"
        mkdir -p "$(dirname "$out")"
        patchbuild diff "$dir/trees/$from/$file" "$dir/trees/$to/$file" "$out" >/dev/null || return 1
      fi
    done < <(cd "$dir/trees/$to" && find . -type f | sed 's|^\./||')
  done
}

# make_patch SAMPLE MANIFEST_TEXT OUT_EXE [EDIT...]: a signed Windows patcher
# with SAMPLE's payload and the manifest MANIFEST_TEXT (text form). Each EDIT
# is a command run in the payload copy before packing (to damage a file).
make_patch() {
  local sample=$1 manifest=$2 out=$3
  shift 3
  local payload="$out.payload"
  rm -rf "$payload"
  cp -r "$sample/payload" "$payload"
  local edit
  for edit in "$@"; do
    (cd "$payload" && eval "$edit") || return 1
  done
  patchbuild param compile "$manifest" "$payload/version.cfg" >/dev/null || return 1
  patchbuild sign "$payload/version.cfg" "$ROOT/tests/keys/test.key.pem" >/dev/null || return 1
  patchbuild pack "$payload" "$out" --stub "$WIN32_BUILD/apps/patcher/patcher.exe" \
    --pubkey "$ROOT/tests/keys/test.pubkey" >/dev/null
}

# install_sample SAMPLE [VERSION_TREE]: the sample's installation (1.00, Gold)
# in the current prefix's C:\Games\Game, registered with Wine's own reg; with
# VERSION_TREE (e.g. 1.02) that tree instead.
install_sample() {
  local sample=$1 tree=${2:-}
  local game="$WINEPREFIX/drive_c/Games/Game"
  rm -rf "$game"
  mkdir -p "$game"
  if [ -n "$tree" ]; then
    cp -r "$sample/trees/$tree/." "$game/"
  else
    cp -r "$sample/prefix/drive_c/Games/Game/." "$game/"
  fi
  timeout 60 wine reg add "$SAMPLE_GAME_KEY" /v MAIN /d 'C:\Games\Game' ${REG_VIEW:-} /f >/dev/null 2>&1
}

# reg_value KEY NAME: the string value as Wine's reg reads it (empty if none).
# REG_VIEW (e.g. /reg:32) picks the registry view of a 64-bit prefix.
reg_value() {
  timeout 60 wine reg query "$1" /v "$2" ${REG_VIEW:-} 2>/dev/null | iconv -f CP850 -t UTF-8 | tr -d '\r' |
    sed -n "s/^ *$2 \+REG_SZ \+//p"
}

# tree_digest DIR: one line per file (relative name and md5), sorted.
tree_digest() {
  (cd "$1" && find . -type f -print0 | sort -z | xargs -0 md5sum)
}
