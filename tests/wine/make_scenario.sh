# The patcher made by `patchbuild make` from examples/sample-patch, run under
# Wine on installations of older versions: sourced by run_all.sh after
# scenarios.sh (it uses that file's helpers). The make runs once, on the
# first scenario that needs it, so ONLY= runs that leave these out pay
# nothing for it.
#
# Needs: ROOT, WORK, WIN32_BUILD, NATIVE.

EXAMPLE_PROJECT="$ROOT/examples/sample-patch"
MADE_PATCH=""

# made_patch: makes the example project's Windows patcher once; its path in
# MADE_PATCH. A copy of the project, so the make's .cache stays out of the
# source tree; the key by its absolute path since the copy lives elsewhere.
made_patch() {
  [ -z "$MADE_PATCH" ] || return 0
  local project="$WORK/made/project"
  rm -rf "$WORK/made"
  mkdir -p "$WORK/made"
  cp -r "$EXAMPLE_PROJECT" "$project"
  rm -rf "$project/.cache"
  if ! timeout 120 "$NATIVE/apps/patchbuild/patchbuild" make "$project" "$WORK/made/sample-patch" \
       --stub "$WIN32_BUILD/apps/patcher/patcher.exe" --key "$ROOT/tests/keys/test.key.pem" -j 2 \
       >"$WORK/made/make.out" 2>&1; then
    fail "patchbuild make: $(tail -n 5 "$WORK/made/make.out")"
    return 1
  fi
  [ -f "$WORK/made/sample-patch.exe" ] || { fail "patchbuild make wrote no sample-patch.exe"; return 1; }
  MADE_PATCH="$WORK/made/sample-patch.exe"
}

# edition_files SRC EDITION DEST: SRC's files as installed for EDITION: that
# edition's variants lose their ".#EDITION" suffix, other editions' variants
# are left out.
edition_files() {
  local src=$1 edition=$2 dest=$3 file
  mkdir -p "$dest"
  # One copy of the tree, then only the variants are looked at: a tree of
  # thousands of files is copied in a moment.
  cp -r "$src/." "$dest/"
  while IFS= read -r -d '' file; do
    if [ "${file##*.#}" = "$edition" ]; then
      mv -f "$file" "${file%.#*}"
    else
      rm -f "$file"
    fi
  done < <(find "$dest" -type f -name '*.#*' -print0)
}

# relative_files DIR: one relative file name a line, sorted.
relative_files() { (cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort); }

# expect_patched_tree PROJECT FROM EDITION GAME: GAME holds PROJECT's newest
# version (1.02) of EDITION plus the whole files a run from FROM brings; only
# files of FROM's tree that the patch removes may remain, as the patcher
# leaves deleted files on disk. Work files (.tmp, .part) left behind fail it.
expect_patched_tree() {
  local project=$1 from=$2 edition=$3 game=$4
  local scratch
  scratch=$(mktemp -d "$WORK/expected.XXXXXX")
  local expected="$scratch/expected" before="$scratch/before" whole
  edition_files "$project/versions/1.02" "$edition" "$expected"
  for whole in All Add "$from"; do
    [ -d "$project/files/$whole" ] && edition_files "$project/files/$whole" "$edition" "$expected"
  done
  edition_files "$project/versions/$from" "$edition" "$before"
  local leftovers actual_digest
  leftovers=$(LC_ALL=C comm -23 <(relative_files "$before") <(relative_files "$expected"))
  actual_digest=$(tree_digest "$game" |
    awk 'NR == FNR { if ($0 != "") may_remain["./" $0] = 1; next } !(substr($0, 35) in may_remain)' \
      <(echo "$leftovers") -)
  expect_eq "$actual_digest" "$(tree_digest "$expected")" "installed tree against 1.02 ($edition)"
  [ -n "$(tree_digest "$expected")" ] || fail "empty expected tree"
  rm -rf "$scratch"
}

# expect_patched_registry EDITION: the example manifest's registry values.
expect_patched_registry() {
  expect_eq "$(reg_value "$SAMPLE_GAME_KEY" VERSION)" "1.02" "HKLM VERSION"
  expect_eq "$(reg_value "$SAMPLE_GAME_KEY" MAIN)" 'C:\Games\Game' "HKLM MAIN"
  local bonus=""
  [ "$1" = GOLD ] && bonus=enabled
  expect_eq "$(reg_value "$SAMPLE_SETTINGS_KEY" BonusMaps)" "$bonus" "HKCU BonusMaps ($1)"
}

# install_edition TREE EDITION: TREE's files of EDITION as the prefix's
# installation in C:\Games\Game, registered.
install_edition() {
  local game
  game=$(game_dir)
  rm -rf "$game"
  edition_files "$1" "$2" "$game"
  timeout 60 wine reg add "$SAMPLE_GAME_KEY" /v MAIN /d 'C:\Games\Game' ${REG_VIEW:-} /f >/dev/null 2>&1 ||
    fail "wine reg add MAIN"
}

# check_made_run FROM EDITION: installs the example's FROM tree of EDITION in a
# fresh prefix, runs the made patcher, clicks OK and checks the exit code, the
# tree and the manifest's registry values.
check_made_run() {
  local from=$1 edition=$2
  local name="made-$from-$edition"
  made_patch || return
  new_prefix "$name"
  install_edition "$EXAMPLE_PROJECT/versions/$from" "$edition"
  start_patcher "$MADE_PATCH" "$WORK/runs/$name"
  wait_finished_window || return
  local dump=$DUMP
  expect_eq "$(field "$(head -n1 <<<"$dump")" title)" \
    "Sample Game: Updating version $from to version 1.02..." "window title"
  expect_contains "$(control_text "$dump" 1003)" \
    "Sample Game patch 1.02 has been applied successfully." "log"
  screenshot "$dump" "$ARTIFACTS/wine-made-patch-$from-$edition.png"
  click_control "$dump" 1
  expect_exit "$WORK/runs/$name" 0
  expect_no_window
  expect_patched_tree "$EXAMPLE_PROJECT" "$from" "$edition" "$(game_dir)"
  expect_patched_registry "$edition"
}

# (7) The made patcher takes a Gold installation of 1.00 to 1.02.
scenario_made_patch_gold_100() { check_made_run 1.00 GOLD; }

# (8) The made patcher takes a Classic installation of 1.01 to 1.02.
scenario_made_patch_classic_101() { check_made_run 1.01 CLASSIC; }
