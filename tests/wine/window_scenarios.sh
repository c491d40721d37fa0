# Scenarios of the Windows program in a player's hands, sourced by run_all.sh
# after scenarios.sh (they use its helpers): the keyboard on the finished
# window, an expandable MAIN value, a long installation folder, the
# distribution dialog in German, and the probe of how long the window leaves
# messages unanswered while a step updates 3,000 files.

# run_to_finished_window RUN_NAME: the sample patch run on a fresh 1.00 Gold
# installation up to its finished window; the dump in DUMP.
run_to_finished_window() {
  install_sample "$SAMPLE"
  start_patcher "$PATCH" "$WORK/runs/$1"
  wait_finished_window
}

# (7) The finished window is acknowledged from the keyboard: OK has the focus
# and is the default button, so Enter, Space and Escape each end it with the
# run's exit code. Before: the keys did nothing and the run waited forever.
scenario_finished_window_keys() {
  new_prefix keys
  local key
  for key in Return space Escape; do
    run_to_finished_window "keys-$key" || return
    expect_eq "$(field "$(control "$DUMP" 1)" focused)" 1 "OK has the focus ($key)"
    # The key goes to the window X has focused: the patcher's, brought to
    # the front when OK was enabled.
    xdotool key "$key"
    expect_exit "$WORK/runs/keys-$key" 0
    expect_no_window
  done
}

# (8) MAIN written by an installer as an expandable string
# ("%SystemDrive%\Games\Game"): the game is found. Before: "not installed".
scenario_expandable_main() {
  new_prefix expand
  install_sample "$SAMPLE"
  timeout 60 wine reg add "$SAMPLE_GAME_KEY" /v MAIN /t REG_EXPAND_SZ /d '%SystemDrive%\Games\Game' /f \
    >/dev/null 2>&1 || { fail "wine reg add REG_EXPAND_SZ"; return; }
  start_patcher "$PATCH" "$WORK/runs/expand"
  wait_finished_window || return
  expect_contains "$(control_text "$DUMP" 1003)" "Sample Game patch 1.02 has been applied successfully." "log"
  click_control "$DUMP" 1
  expect_exit "$WORK/runs/expand" 0
  cmp -s "$(game_dir)/DATA/LEVELS.DAT" "$SAMPLE/trees/1.02/DATA/LEVELS.DAT" || fail "LEVELS.DAT not at 1.02"
}

# long_folder_run LENGTH NAME: the sample installed in a folder of exactly
# LENGTH characters (C:\ and levels of at most 63), patched: checked,
# updated, whole files copied into new folders, registry written.
long_folder_run() {
  local length=$1 name=$2
  new_prefix "$name"
  local windows='C:' unix="$WINEPREFIX/drive_c" remaining=$(($1 - 2)) n level=0
  while [ $remaining -gt 0 ]; do
    n=$((remaining < 64 ? remaining : 64))
    # Never leave one character: a level needs a backslash and a name.
    [ $((remaining - n)) -eq 1 ] && n=$((n - 1))
    level=$((level + 1))
    local part
    part=$(printf 'L%0*d' $((n - 2)) "$level")
    [ $n -eq 2 ] && part=L
    windows="$windows\\$part"
    unix="$unix/$part"
    remaining=$((remaining - n))
  done
  expect_eq "${#windows}" "$length" "folder length"
  mkdir -p "$unix"
  cp -r "$SAMPLE/prefix/drive_c/Games/Game/." "$unix/"
  timeout 60 wine reg add "$SAMPLE_GAME_KEY" /v MAIN /d "$windows" /f >/dev/null 2>&1 ||
    { fail "wine reg add MAIN"; return; }
  start_patcher "$PATCH" "$WORK/runs/$name"
  wait_finished_window || return
  expect_contains "$(control_text "$DUMP" 1003)" "Sample Game patch 1.02 has been applied successfully." "log"
  click_control "$DUMP" 1
  expect_exit "$WORK/runs/$name" 0
  cmp -s "$unix/DATA/LEVELS.DAT" "$SAMPLE/trees/1.02/DATA/LEVELS.DAT" || fail "LEVELS.DAT not at 1.02"
  [ -f "$unix/TOOLS/EDITOR.TXT" ] || fail "the Add\\ file was not installed in a new folder"
  expect_eq "$(reg_value "$SAMPLE_GAME_KEY" VERSION)" "1.02" "HKLM VERSION"
}

# (9) An installation folder of 255 characters, the longest MAIN value the
# run takes today: its files' paths pass 260 characters. Before: "damaged",
# "missing" or "not installed" (the ANSI file calls stop at 260).
scenario_long_installation_folder() { long_folder_run 255 long-folder; }

# (10) Under a German user language the distribution dialog is German, as
# the message texts are. Before: always English.
scenario_german_distribution_dialog() {
  if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    fail "the de_DE.UTF-8 locale is not available"
    return
  fi
  new_prefix german-dialog
  local saved_lang=${LANG:-} saved_all=${LC_ALL:-}
  export LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8
  install_sample "$SAMPLE"
  rm -f "$(game_dir)/EDITION.TXT"
  start_patcher "$PATCH_GOLD_FIRST" "$WORK/runs/german-dialog"
  # The first start under another locale reworks the prefix's settings first.
  if wait_window --title "Ausgabe w" --has-id 1007 --timeout 150; then
    expect_eq "$(field "$(head -n1 <<<"$DUMP")" title)" "Ausgabe wählen" "dialog title"
    expect_contains "$(control_text "$DUMP" 65535)" "Ihre Ausgabe des Spiels wurde nicht erkannt." "prompt"
    expect_eq "$(control_text "$DUMP" 2)" "Abbrechen" "Cancel button"
    screenshot "$DUMP" "$ARTIFACTS/wine-distribution-dialog-german.png"
    click_control "$DUMP" 2
    expect_exit "$WORK/runs/german-dialog" 1
  fi
  stop_prefix
  export LANG=$saved_lang LC_ALL=$saved_all
  [ -n "$saved_lang" ] || unset LANG
  [ -n "$saved_all" ] || unset LC_ALL
}

# (11) Not a pass/fail test: how long the window leaves a message unanswered
# while a version step updates 3,000 files (Windows calls a window "Not
# Responding" after 5 s). Prints the figure; fails only when the run fails.
scenario_window_gap_probe() {
  local project="$WORK/gap/project" out="$WORK/gap/patch"
  if [ ! -f "$out.exe" ]; then
    rm -rf "$WORK/gap"
    mkdir -p "$WORK/gap"
    cp -r "$EXAMPLE_PROJECT" "$project"
    rm -rf "$project/.cache"
    # 3,000 small files that change from 1.01 to 1.02.
    local version n
    for version in 1.00 1.01 1.02; do
      mkdir -p "$project/versions/$version/MANY"
    done
    for n in $(seq -w 0 2999); do
      printf 'file %s of version one, some text to diff %s\n' "$n" "$n" >"$project/versions/1.00/MANY/F$n.DAT"
      cp "$project/versions/1.00/MANY/F$n.DAT" "$project/versions/1.01/MANY/F$n.DAT"
      printf 'file %s of version two, other text to diff %s\n' "$n" "$n" >"$project/versions/1.02/MANY/F$n.DAT"
    done
    if ! timeout 900 "$NATIVE/apps/patchbuild/patchbuild" make "$project" "$out" \
         --stub "$WIN32_BUILD/apps/patcher/patcher.exe" --key "$ROOT/tests/keys/test.key.pem" -j 2 \
         >"$WORK/gap/make.out" 2>&1; then
      fail "patchbuild make: $(tail -n 5 "$WORK/gap/make.out")"
      return
    fi
  fi
  new_prefix gap
  install_edition "$project/versions/1.01" CLASSIC
  local game
  game=$(game_dir)
  # Checking and updating 3,000 files takes minutes on a loaded machine.
  PATCHER_TIMEOUT=900 start_patcher "$out.exe" "$WORK/runs/gap"
  local gap
  # From the window's first appearance until OK is enabled (the run is over).
  gap=$(probe gap --has-id 1003 --id 1 --enabled 1 --timeout 120)
  echo "    window answer gaps during a 3,000-file step: $gap (target: longest under 1000 ms)"
  wait_finished_window || return
  expect_contains "$(control_text "$DUMP" 1003)" "has been applied successfully." "log"
  click_control "$DUMP" 1
  expect_exit "$WORK/runs/gap" 0
  cmp -s "$game/MANY/F2999.DAT" "$project/versions/1.02/MANY/F2999.DAT" || fail "MANY\\F2999.DAT not at 1.02"
}
