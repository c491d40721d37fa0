# Scenarios of the Windows program in a player's hands, sourced by run_all.sh
# after trust_scenarios.sh (they use the helpers of the files before): a
# closed window stops the run safely, a file held by another program is told
# as such with Retry and Cancel, the command line takes a quoted path, accented
# names survive from the maker to the installation, and an installation
# folder of 259 characters works. Each states what it expects and what
# happened before.

# The 3,000-file patch of the gap probe (window_scenarios.sh), made once: its
# check and its step last long enough to close the window in the middle.
many_files_patch() {
  [ -f "$WORK/gap/patch.exe" ] && return 0
  local saved=$TEST_FAILED
  scenario_window_gap_probe >/dev/null
  TEST_FAILED=$saved
  stop_prefix
  [ -f "$WORK/gap/patch.exe" ] || { fail "the 3,000-file patch could not be made"; return 1; }
}

# Expects: closing the window while the installation is checked ends the run
# with the "stopped" box and exit 1, and nothing in the installation or the
# registry changed. Before: the window vanished, the check was skipped, the
# patch went on unseen and ended with exit 0.
scenario_close_during_check() {
  many_files_patch || return
  new_prefix close-check
  install_edition "$WORK/gap/project/versions/1.01" CLASSIC
  local game before
  game=$(game_dir)
  before=$(tree_digest "$game")
  PATCHER_TIMEOUT=900 start_patcher "$WORK/gap/patch.exe" "$WORK/runs/close-check"
  wait_window --has-id 1003 --id 1005 --text "Checking" --timeout 120 || return
  probe close --has-id 1003 >/dev/null
  wait_box "$TEXT_STOPPED" --timeout 60 || return
  click_control "$DUMP" 1
  expect_exit "$WORK/runs/close-check" 1
  expect_no_window
  expect_eq "$(tree_digest "$game")" "$before" "installation after a close during the check"
  expect_eq "$(reg_value "$SAMPLE_GAME_KEY" VERSION)" "" "VERSION after a close during the check"
}

# Expects: closed during the step, the file in hand is finished (every file is
# whole, at 1.01 or at 1.02), the "stopped" box, exit 1; a second run finishes
# with exit 0 and every file at 1.02. Before: the close was seen only after
# the step, then a silent exit 0.
scenario_close_during_step() {
  many_files_patch || return
  new_prefix close-step
  install_edition "$WORK/gap/project/versions/1.01" CLASSIC
  PATCHER_TIMEOUT=900 start_patcher "$WORK/gap/patch.exe" "$WORK/runs/close-step"
  wait_window --has-id 1003 --id 1003 --text "Updating version" --timeout 180 || return
  probe close --has-id 1003 >/dev/null
  wait_box "$TEXT_STOPPED" --timeout 120 || return
  click_control "$DUMP" 1
  expect_exit "$WORK/runs/close-step" 1
  local game file name torn=0
  game=$(game_dir)
  for file in "$game"/MANY/*.DAT; do
    name=$(basename "$file")
    cmp -s "$file" "$WORK/gap/project/versions/1.01/MANY/$name" ||
      cmp -s "$file" "$WORK/gap/project/versions/1.02/MANY/$name" || torn=$((torn + 1))
  done
  expect_eq "$torn" 0 "files neither at 1.01 nor at 1.02 after the stop"
  PATCHER_TIMEOUT=900 start_patcher "$WORK/gap/patch.exe" "$WORK/runs/close-step-again"
  wait_finished_window 600 || return
  click_control "$DUMP" 1
  expect_exit "$WORK/runs/close-step-again" 0
  cmp -s "$game/MANY/F0000.DAT" "$WORK/gap/project/versions/1.02/MANY/F0000.DAT" || fail "rerun: F0000 not at 1.02"
  cmp -s "$game/MANY/F2999.DAT" "$WORK/gap/project/versions/1.02/MANY/F2999.DAT" || fail "rerun: F2999 not at 1.02"
}

# in_use_run SHARE ANSWER: DATA\LEVELS.DAT held open by another program
# (sharing SHARE) while the sample patch runs. Expects the in-use box with
# Retry (4) and Cancel (2) naming the file; ANSWER retry: the holder ends,
# Retry, the run finishes with exit 0; ANSWER cancel: exit 1, the file
# untouched, and a rerun finishes. Before: "Patch file is probably
# dammaged..." or "File ... is missing", with no retry.
in_use_run() {
  local share=$1 answer=$2 name="in-use-$1-$2"
  new_prefix "$name"
  install_sample "$SAMPLE"
  local game
  game=$(game_dir)
  hold_file 'C:\Games\Game\DATA\LEVELS.DAT' "$share" "$name" || return
  local before
  before=$(md5sum <"$game/DATA/LEVELS.DAT")
  start_patcher "$PATCH" "$WORK/runs/$name"
  wait_box "$TEXT_IN_USE" --timeout 90 || { release_file "$name"; return; }
  local box=$DUMP
  expect_contains "$(control_text "$box" 65535)" "LEVELS.DAT" "the box names the file"
  [ -n "$(control "$box" 4)" ] || fail "no Retry button"
  [ -n "$(control "$box" 2)" ] || fail "no Cancel button"
  [ "$share" = none ] && screenshot "$box" "$ARTIFACTS/wine-file-in-use.png"
  release_file "$name"
  if [ "$answer" = retry ]; then
    click_control "$box" 4
    wait_finished_window || return
    click_control "$DUMP" 1
    expect_exit "$WORK/runs/$name" 0
    cmp -s "$game/DATA/LEVELS.DAT" "$SAMPLE/trees/1.02/DATA/LEVELS.DAT" || fail "LEVELS.DAT not at 1.02"
  else
    click_control "$box" 2
    # Whatever the run says after Cancel (a box or the finished window), it ends with 1.
    if probe wait --has-id 1003 --id 1 --enabled 1 --timeout 20 >"$WORK/runs/$name.after"; then
      click_control "$(cat "$WORK/runs/$name.after")" 1
    elif probe wait --class '#32770' --has-id 65535 --timeout 5 >"$WORK/runs/$name.after"; then
      click_control "$(cat "$WORK/runs/$name.after")" 1
    fi
    expect_exit "$WORK/runs/$name" 1
    expect_eq "$(md5sum <"$game/DATA/LEVELS.DAT")" "$before" "LEVELS.DAT after Cancel"
    start_patcher "$PATCH" "$WORK/runs/$name-again"
    wait_finished_window || return
    click_control "$DUMP" 1
    expect_exit "$WORK/runs/$name-again" 0
  fi
}

scenario_in_use_no_sharing_retry() { in_use_run none retry; }
scenario_in_use_read_sharing_cancel() { in_use_run read cancel; }

# Expects: the payload named on the command line with a path holding spaces
# (Wine quotes it, as Windows shells do) is found: the run finishes with
# exit 0. A named payload that does not exist is an error box naming it and
# exit 1, never the built-in payload. Before: "Patch file is corrupted,
# error 1." and, for a missing file, the built-in payload silently.
scenario_quoted_payload_path() {
  new_prefix quoted
  install_sample "$SAMPLE"
  local dir="$WINEPREFIX/drive_c/Patch Files"
  mkdir -p "$dir"
  patchbuild pack "$PATCH.payload" "$dir/sample patch.dll" >/dev/null || { fail "pack a payload DLL"; return; }
  start_patcher "$PATCH" "$WORK/runs/quoted" 'C:\Patch Files\sample patch.dll'
  wait_finished_window || return
  click_control "$DUMP" 1
  expect_exit "$WORK/runs/quoted" 0

  start_patcher "$PATCH" "$WORK/runs/missing-payload" 'C:\Patch Files\no such patch.dll'
  wait_box "no such patch.dll" --timeout 60 || return
  click_control "$DUMP" 1
  expect_exit "$WORK/runs/missing-payload" 1
}

# Expects: a game with an accented file name in its tree (DATA\ÉPÉE.DAT,
# changed by the patch) and an accented whole file (Müll.txt) is patched by
# the patcher `patchbuild make` made: exit 0, ÉPÉE.DAT at 1.02, the whole
# file under its own name (no "MÃ¼LL.TXT"). Before: ÉPÉE.DAT "missing", the
# whole file installed under a mangled name.
scenario_accented_names() {
  local project="$WORK/accents/project" out="$WORK/accents/patch"
  rm -rf "$WORK/accents"
  mkdir -p "$WORK/accents"
  cp -r "$EXAMPLE_PROJECT" "$project"
  rm -rf "$project/.cache"
  local version
  for version in 1.00 1.01 1.02; do
    printf 'blade of version %s\n' "$version" >"$project/versions/$version/DATA/ÉPÉE.DAT"
  done
  printf 'rubbish to collect\n' >"$project/files/All/Müll.txt"
  if ! timeout 300 "$NATIVE/apps/patchbuild/patchbuild" make "$project" "$out" \
       --stub "$WIN32_BUILD/apps/patcher/patcher.exe" --key "$ROOT/tests/keys/test.key.pem" -j 2 \
       >"$WORK/accents/make.out" 2>&1; then
    fail "patchbuild make: $(tail -n 5 "$WORK/accents/make.out")"
    return
  fi
  new_prefix accents
  install_edition "$project/versions/1.00" GOLD
  local game
  game=$(game_dir)
  start_patcher "$out.exe" "$WORK/runs/accents"
  wait_finished_window || return
  click_control "$DUMP" 1
  expect_exit "$WORK/runs/accents" 0
  cmp -s "$game/DATA/ÉPÉE.DAT" "$project/versions/1.02/DATA/ÉPÉE.DAT" || fail "ÉPÉE.DAT not at 1.02"
  local whole
  whole=$(cd "$game" && find . -maxdepth 1 -iname 'müll.txt' | head -n1)
  [ -n "$whole" ] || fail "the whole file Müll.txt is not installed under its name: $(cd "$game" && ls)"
}

# Expects: an installation folder of 259 characters works as one of 255 does
# (window_scenarios.sh). Before: "not installed": the run takes the MAIN value
# into a 256-byte buffer and refuses anything longer than 255 characters.
scenario_259_character_folder() { long_folder_run 259 long-folder-259; }
