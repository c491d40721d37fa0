# Scenarios of a patch run that must not be fooled or broken, sourced by
# run_all.sh after make_scenario.sh (they use its helpers): a genuine signed
# patcher repacked with names that lead outside the game, and a run killed in
# the middle of its second version step, then run again.

# (12) The signature covers the manifest, not the rest of the payload: anyone
# can add resources to a genuine patcher. Names that lead out of the game
# folder end the run before anything is touched, anywhere. Before: the run
# wrote C:\EVIL.TXT, overwrote C:\VICTIM.TXT and reported success.
scenario_repacked_traversal() {
  new_prefix traversal
  install_sample "$SAMPLE"
  local game evil="$WORK/runs/traversal-evil.exe" drive_c="$WINEPREFIX/drive_c"
  game=$(game_dir)
  mkdir -p "$WORK/runs"
  cp "$PATCH" "$evil"
  printf 'evil\n' >"$WORK/runs/evil.txt"
  printf 'victim\n' >"$drive_c/VICTIM.TXT"
  local before
  before=$(tree_digest "$game")
  local name
  for name in 'ALL\..\..\..\..\EVIL.TXT' '1.00-1.01\..\..\..\..\VICTIM.TXT.UPD'; do
    probe add-resource "Z:$(sed 's|/|\\|g' <<<"$evil")" "$name" \
      "Z:$(sed 's|/|\\|g' <<<"$WORK/runs/evil.txt")" >"$WORK/runs/traversal-add.out" ||
      { fail "could not add $name: $(cat "$WORK/runs/traversal-add.out")"; return; }
  done
  start_patcher "$evil" "$WORK/runs/traversal"
  wait_box "Patch file is corrupted, error 8." --timeout 90 || return
  click_control "$DUMP" 1
  expect_exit "$WORK/runs/traversal" 1
  expect_no_window
  [ ! -e "$drive_c/EVIL.TXT" ] || fail "C:\\EVIL.TXT was written"
  expect_eq "$(cat "$drive_c/VICTIM.TXT")" "victim" "C:\\VICTIM.TXT"
  expect_eq "$(tree_digest "$game")" "$before" "installation after the refused payload"
  expect_eq "$(reg_value "$SAMPLE_GAME_KEY" VERSION)" "" "VERSION after the refused payload"
}

# The example project with 1,000 more files that change in both steps, made
# once: each step lasts long enough to be killed in the middle.
KILLED_PROJECT=""
killed_run_patch() {
  [ -n "$KILLED_PROJECT" ] && return 0
  local project="$WORK/killed/project"
  rm -rf "$WORK/killed"
  mkdir -p "$WORK/killed"
  cp -r "$EXAMPLE_PROJECT" "$project"
  rm -rf "$project/.cache"
  local version n
  for version in 1.00 1.01 1.02; do
    mkdir -p "$project/versions/$version/MANY"
    for n in $(seq -w 0 999); do
      printf 'file %s at version %s, with some text to diff %s\n' "$n" "$version" "$n" \
        >"$project/versions/$version/MANY/F$n.DAT"
    done
  done
  if ! timeout 600 "$NATIVE/apps/patchbuild/patchbuild" make "$project" "$WORK/killed/patch" \
       --stub "$WIN32_BUILD/apps/patcher/patcher.exe" --key "$ROOT/tests/keys/test.key.pem" -j 2 \
       >"$WORK/killed/make.out" 2>&1; then
    fail "patchbuild make: $(tail -n 5 "$WORK/killed/make.out")"
    return 1
  fi
  KILLED_PROJECT=$project
}

# (13) Every process of the run is killed (as a power cut would end it) in
# the middle of the second step of a 1.00 installation; no file may be torn,
# and running the patch again must finish it: exit 0, the tree and registry
# of an uninterrupted run. Before: the game executable stayed at 1.01 while
# the files 1.01 gained were missing, and every later run refused the game.
# The rerun meets a file held by another program and asks Retry/Cancel.
scenario_killed_in_second_step() {
  killed_run_patch || return
  new_prefix killed
  install_edition "$KILLED_PROJECT/versions/1.00" GOLD
  local game
  game=$(game_dir)
  PATCHER_TIMEOUT=900 start_patcher "$WORK/killed/patch.exe" "$WORK/runs/killed"
  # The second step has begun once a MANY file holds its 1.02 text.
  local waited=0
  until grep -qls 'at version 1.02' "$game"/MANY/*.DAT 2>/dev/null; do
    sleep 0.1
    waited=$((waited + 1))
    [ $waited -le 3000 ] || { fail "the second step never began"; return; }
    [ ! -s "$WORK/runs/killed/exit_code" ] || { fail "the run ended before the second step"; return; }
  done
  timeout 30 wineserver -k 2>/dev/null
  timeout 30 wineserver -w 2>/dev/null
  local at_102
  at_102=$(grep -ls 'at version 1.02' "$game"/MANY/*.DAT | wc -l)
  echo "    killed with $at_102 of 1,000 files of the second step done"
  local file torn=0 missing=0 name
  for n in $(seq -w 0 999); do
    file="$game/MANY/F$n.DAT"
    [ -f "$file" ] || { missing=$((missing + 1)); continue; }
    cmp -s "$file" "$KILLED_PROJECT/versions/1.01/MANY/F$n.DAT" ||
      cmp -s "$file" "$KILLED_PROJECT/versions/1.02/MANY/F$n.DAT" || torn=$((torn + 1))
  done
  expect_eq "$torn" 0 "files neither at 1.01 nor at 1.02 after the kill"
  expect_eq "$missing" 0 "files missing after the kill"

  # The game is started again before the patch: the rerun meets one of the
  # step's files held open. Before: "modified or dammaged. Reinstall game".
  hold_file 'C:\Games\Game\MANY\F500.DAT' none killed || return
  PATCHER_TIMEOUT=900 start_patcher "$WORK/killed/patch.exe" "$WORK/runs/killed-again"
  wait_box "$TEXT_IN_USE" --timeout 300 || { release_file killed; return; }
  expect_contains "$(control_text "$DUMP" 65535)" 'F500.DAT' "the box names the held file"
  release_file killed
  click_control "$DUMP" 4
  wait_finished_window 600 || return
  expect_contains "$(control_text "$DUMP" 1003)" "Sample Game patch 1.02 has been applied successfully." "log"
  click_control "$DUMP" 1
  expect_exit "$WORK/runs/killed-again" 0
  expect_patched_tree "$KILLED_PROJECT" 1.00 GOLD "$game"
  expect_patched_registry GOLD
}
