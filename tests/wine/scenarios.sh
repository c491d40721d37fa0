# The Windows patcher's end-to-end scenarios under Wine, sourced by
# run_all.sh. Each runs in a fresh prefix, drives the real windows with real
# clicks and checks what the user sees, the exit code, the files and the
# registry. A scenario calls fail for every broken expectation.

fail() {
  echo "    FAIL: $*"
  TEST_FAILED=1
}

expect_eq() {  # expect_eq ACTUAL EXPECTED WHAT
  [ "$1" = "$2" ] || fail "$3: got '$1', expected '$2'"
}

expect_contains() {  # expect_contains TEXT PART WHAT
  [[ $1 == *"$2"* ]] || fail "$3: '$2' not in '$1'"
}

# wait_window ARGS...: probe wait; the window's records in DUMP. Fails the
# scenario (and answers non-zero) when the window does not come. Not to be
# run in a subshell: the failure must reach the scenario.
DUMP=""
wait_window() {
  # A loaded machine can take a while to show a window; a later --timeout wins.
  # A probe that ends at once without an answer did not get to look (Wine
  # starting it can fail while the prefix is busy): ask again, a few times.
  local tries=0 started
  while :; do
    started=$SECONDS
    if DUMP=$(probe wait --timeout 45 "$@"); then
      return 0
    fi
    tries=$((tries + 1))
    if [ -n "$DUMP" ] || [ $((SECONDS - started)) -ge 10 ] || [ "$tries" -ge 3 ]; then
      break
    fi
    sleep 1
  done
  fail "no window ($*)"
  echo "$DUMP" | sed 's/^/      /'
  # What Wine said about the program that should have shown it.
  if [ -n "${LAST_RUN_DIR:-}" ] && [ -s "$LAST_RUN_DIR/wine.out" ]; then
    echo "      $LAST_RUN_DIR/wine.out:"
    tail -n 5 "$LAST_RUN_DIR/wine.out" | sed 's/^/        /'
  fi
  return 1
}

expect_exit() {  # expect_exit RUN_DIR CODE
  expect_eq "$(wait_exit "$1" 30)" "$2" "exit code"
}

expect_no_window() {
  local left
  left=$(probe list)
  [ -z "$left" ] || fail "windows left open: $left"
}

# A message box of the catalogue: titled with the patch title, its text in control 65535.
wait_box() {  # wait_box TEXT [--not-hwnd H]
  local text=$1
  shift
  wait_window --class '#32770' --has-id 65535 --id 65535 --text "$text" "$@"
}

# The progress window once the run is over (OK enabled), waited for up to
# SECONDS (60).
wait_finished_window() {  # wait_finished_window [SECONDS]
  wait_window --has-id 1003 --id 1 --enabled 1 --timeout "${1:-60}"
}

game_dir() { echo "$WINEPREFIX/drive_c/Games/Game"; }

TEXT_STOPPED="The patch was stopped before it was finished."
TEXT_IN_USE="is in use."

# hold_file WINDOWS_PATH SHARE NAME: another program opens the file for
# reading and writing, sharing SHARE ("none" or "read"), and holds it until
# release_file NAME. Fails the scenario when it could not open it.
hold_file() {
  local path=$1 share=$2 name=$3
  local release="$WORK/runs/$name.release"
  mkdir -p "$WORK/runs"
  rm -f "$release"
  timeout 600 wine "$PROBE" hold "$path" "$share" "Z:$(sed 's|/|\\|g' <<<"$release")" \
    >"$WORK/runs/$name.hold" 2>/dev/null &
  BACKGROUND_PIDS+=($!)
  echo $! >"$WORK/runs/$name.pid"
  local waited=0
  until grep -q HELD "$WORK/runs/$name.hold" 2>/dev/null; do
    sleep 0.1
    waited=$((waited + 1))
    [ $waited -le 600 ] || { fail "the holder did not open $path"; return 1; }
  done
}
# release_file NAME: the holder of hold_file NAME closes the file; returns
# once it has.
release_file() {
  touch "$WORK/runs/$1.release"
  local pid waited=0
  pid=$(cat "$WORK/runs/$1.pid" 2>/dev/null) || return 0
  while kill -0 "$pid" 2>/dev/null; do
    sleep 0.1
    waited=$((waited + 1))
    [ $waited -le 300 ] || { fail "the holder of $1 did not let go"; return 1; }
  done
}

# (1) A whole patch run: title, log, success line, OK ends it with 0; the
# registry values and the patched files.
scenario_patch_run() {
  new_prefix patch-run
  install_sample "$SAMPLE"
  start_patcher "$PATCH" "$WORK/runs/patch-run"
  local dump
  wait_finished_window || return
  dump=$DUMP
  expect_eq "$(field "$(head -n1 <<<"$dump")" title)" \
    "Sample Game: Updating version 1.00 to version 1.02..." "window title"
  local log
  log=$(control_text "$dump" 1003)
  expect_eq "$log" "Verifying Sample Game, version 1.00...\\r\\nSample Game: Updating version 1.00 to version 1.02...\\r\\nSample Game patch 1.02 has been applied successfully.\\r\\n" "log"
  expect_eq "$(control_text "$dump" 1005)" "" "progress line at the end"
  screenshot "$dump" "$ARTIFACTS/wine-progress-window.png"
  # A stopped animation leaves its area blank.
  screenshot_rect "$(field "$(control "$dump" 1002)" rect)" "$WORK/stopped-animation.png"
  expect_eq "$(colour_count "$WORK/stopped-animation.png")" 1 "colours in the stopped animation"
  click_control "$dump" 1
  expect_exit "$WORK/runs/patch-run" 0
  expect_no_window
  expect_eq "$(reg_value "$SAMPLE_GAME_KEY" VERSION)" "1.02" "HKLM VERSION"
  expect_eq "$(reg_value "$SAMPLE_SETTINGS_KEY" BonusMaps)" "enabled" "HKCU BonusMaps"
  local game
  game=$(game_dir)
  cmp -s "$game/DATA/LEVELS.DAT" "$SAMPLE/trees/1.02/DATA/LEVELS.DAT" || fail "LEVELS.DAT not at 1.02"
  cmp -s "$game/README.TXT" "$SAMPLE/payload/ALL/README.TXT" || fail "README.TXT not copied"
  [ -f "$game/MAPS/BONUS.MAP" ] || fail "the Gold variant BONUS.MAP was not installed"
  [ -f "$game/TOOLS/EDITOR.TXT" ] || fail "the Add\\ file was not installed"
}

# (2) The distribution dialog: titles sorted, the first selected; Cancel ends
# with 1 and no message, touching nothing; choosing the second title installs
# that distribution's variants. The manifest lists Gold before Classic, so
# the chosen title's position in the sorted list is not its manifest position.
scenario_distribution_dialog() {
  new_prefix distribution
  install_sample "$SAMPLE"
  local game
  game=$(game_dir)
  rm -f "$game/EDITION.TXT"  # nothing tells the edition: the user must choose
  local before
  before=$(tree_digest "$game")

  start_patcher "$PATCH_GOLD_FIRST" "$WORK/runs/distribution-cancel"
  local dump
  wait_window --title "Select the distribution" --has-id 1007 || return
  dump=$DUMP
  local items
  items=$(grep '^ITEM' <<<"$dump" | sed 's/ rect=[-0-9,]*//')
  expect_eq "$items" 'ITEM id=1007 index=0 selected=1 text="Sample Game Classic"
ITEM id=1007 index=1 selected=0 text="Sample Game Gold Edition"' "list items"
  expect_contains "$(control_text "$dump" 65535)" "Your distribution was not recognized." "prompt"
  screenshot "$dump" "$ARTIFACTS/wine-distribution-dialog.png"
  click_control "$dump" 2
  expect_exit "$WORK/runs/distribution-cancel" 1
  expect_no_window
  expect_eq "$(tree_digest "$game")" "$before" "installation after Cancel"

  start_patcher "$PATCH_GOLD_FIRST" "$WORK/runs/distribution-choose"
  wait_window --title "Select the distribution" --has-id 1007 || return
  dump=$DUMP
  click_rect "$(field "$(grep '^ITEM id=1007 index=1 ' <<<"$dump")" rect)"
  dump=$(probe wait --title "Select the distribution" --has-id 1007)
  grep -q '^ITEM id=1007 index=1 selected=1 ' <<<"$dump" || fail "the click did not select the second title"
  click_control "$dump" 1
  wait_finished_window || return
  dump=$DUMP
  expect_contains "$(control_text "$dump" 1003)" "Sample Game patch 1.02 has been applied successfully." "log"
  click_control "$dump" 1
  expect_exit "$WORK/runs/distribution-choose" 0
  cmp -s "$game/MAPS/BONUS.MAP" "$SAMPLE/payload/ALL/MAPS/BONUS.MAP.#GOLD" || fail "Gold's BONUS.MAP missing"
  expect_eq "$(reg_value "$SAMPLE_SETTINGS_KEY" BonusMaps)" "enabled" "Gold's registry value"
}

# (3) A damaged update file: the Abort/Retry/Ignore box; Retry applies it
# again (the box comes back); Abort ends with log line 9, phase 1, exit 1.
scenario_damaged_update() {
  new_prefix damaged
  install_sample "$SAMPLE"
  start_patcher "$PATCH_DAMAGED" "$WORK/runs/damaged"
  local box
  wait_box "Error found in file" --timeout 60 || return
  box=$DUMP
  expect_eq "$(field "$(head -n1 <<<"$box")" title)" "Sample Game Patch" "box title"
  for id in 3 4 5; do
    [ -n "$(control "$box" $id)" ] || fail "box without button $id"
  done
  local progress
  progress=$(probe wait --has-id 1003)
  screenshot "$progress" "$ARTIFACTS/wine-retry-question.png"
  expect_eq "$(field "$(control "$progress" 1)" enabled)" 0 "OK while the run works"
  # The animation loops while the run waits for the answer: its top half
  # (above the box) changes between two looks.
  local l t r b
  IFS=, read -r l t r b <<<"$(field "$(control "$progress" 1002)" rect)"
  screenshot_rect "$l,$t,$r,$(((t + b) / 2))" "$WORK/animation-1.png"
  sleep 0.35
  screenshot_rect "$l,$t,$r,$(((t + b) / 2))" "$WORK/animation-2.png"
  cmp -s "$WORK/animation-1.png" "$WORK/animation-2.png" && fail "the animation does not move"
  click_control "$box" 4  # Retry
  local again
  wait_box "Error found in file" --not-hwnd "$(field "$(head -n1 <<<"$box")" hwnd)" || return
  again=$DUMP
  expect_eq "$(control_text "$again" 65535)" "$(control_text "$box" 65535)" "question asked again"
  click_control "$again" 3  # Abort
  local dump
  wait_finished_window || return
  dump=$DUMP
  local log
  log=$(control_text "$dump" 1003)
  expect_contains "$log" "Some error occurred during patch installation.\\r\\nPatch file is probably dammaged." "log line 9"
  expect_contains "$log" ", phase 1.\\r\\n" "phase"
  click_control "$dump" 1
  expect_exit "$WORK/runs/damaged" 1
  expect_no_window
}

# (4) Error boxes before the window: "not installed" when the game is missing,
# "more recent" when the installed version is newer than the patch.
scenario_error_boxes() {
  new_prefix errors
  start_patcher "$PATCH" "$WORK/runs/not-installed"
  local box
  wait_box "is not installed" || return
  box=$DUMP
  expect_eq "$(control_text "$box" 65535)" \
    "Sample Game is not installed on your computer or installation is corrupted." "not-installed box"
  expect_eq "$(field "$(head -n1 <<<"$box")" title)" "Sample Game Patch" "box title"
  click_control "$box" 1
  expect_exit "$WORK/runs/not-installed" 1
  expect_no_window

  install_sample "$SAMPLE" 1.02
  start_patcher "$PATCH_101" "$WORK/runs/newer"
  wait_box "more recent" || return
  box=$DUMP
  expect_eq "$(control_text "$box" 65535)" \
    "The version of Sample Game (1.02) \\nis more recent than this patch version (1.01)." "more-recent box"
  click_control "$box" 1
  expect_exit "$WORK/runs/newer" 1
  expect_no_window
}

# (5) Under a German locale the boxes and the window speak German.
scenario_german() {
  if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    fail "the de_DE.UTF-8 locale is not available"
    return
  fi
  new_prefix german
  local saved_lang=${LANG:-} saved_all=${LC_ALL:-}
  export LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8
  start_patcher "$PATCH" "$WORK/runs/german-box"
  local box
  # The first start under another locale makes Wine rework the prefix's
  # settings first, which takes long on a busy machine.
  if wait_box "nicht installiert" --timeout 150; then
    box=$DUMP
    expect_eq "$(control_text "$box" 65535)" \
      "Sample Game ist auf Ihrem Computer nicht installiert, oder die Installation ist beschädigt." "not-installed box"
    click_control "$box" 1
    expect_exit "$WORK/runs/german-box" 1
  fi

  install_sample "$SAMPLE"
  start_patcher "$PATCH" "$WORK/runs/german-run"
  local dump
  if wait_finished_window; then
    dump=$DUMP
    expect_eq "$(field "$(head -n1 <<<"$dump")" title)" \
      "Sample Game: Version 1.00 wird auf Version 1.02 aktualisiert..." "window title"
    local log
    log=$(control_text "$dump" 1003)
    expect_contains "$log" "Sample Game, Version 1.00, wird überprüft..." "log line 11"
    expect_contains "$log" "Der Sample Game-Patch 1.02 wurde erfolgreich installiert." "log line 6"
    screenshot "$dump" "$ARTIFACTS/wine-progress-window-german.png"
    click_control "$dump" 1
    expect_exit "$WORK/runs/german-run" 0
  fi
  stop_prefix
  export LANG=$saved_lang LC_ALL=$saved_all
  [ -n "$saved_lang" ] || unset LANG
  [ -n "$saved_all" ] || unset LC_ALL
}

# (6) The same patch applied by the native patcher and by the Windows patcher
# to two copies of one installation: identical trees, identical registry.
scenario_native_matches_windows() {
  new_prefix same-windows
  local windows_prefix=$WINEPREFIX
  install_sample "$SAMPLE"
  start_patcher "$PATCH" "$WORK/runs/same-windows"
  local dump
  wait_finished_window || return
  dump=$DUMP
  click_control "$dump" 1
  expect_exit "$WORK/runs/same-windows" 0
  stop_prefix

  new_prefix same-native
  local native_prefix=$WINEPREFIX
  # The native patcher stands for the 32-bit program: in a 64-bit prefix it
  # works in the 32-bit registry view.
  local REG_VIEW=$NATIVE_REG_VIEW
  install_sample "$SAMPLE"
  stop_prefix  # the native patcher reads and writes the registry files itself
  mkdir -p "$WORK/runs/same-native"
  local status=0
  (cd "$WORK/runs/same-native" &&
    timeout 120 "$NATIVE/apps/patcher/patcher" "$PATCH" </dev/null >native.out 2>&1) || status=$?
  expect_eq "$status" 0 "native exit code"

  local windows_tree native_tree
  windows_tree=$(WINEPREFIX=$windows_prefix; tree_digest "$(game_dir)")
  native_tree=$(tree_digest "$native_prefix/drive_c/Games/Game")
  [ -n "$windows_tree" ] || fail "no Windows tree"
  expect_eq "$native_tree" "$windows_tree" "installed trees"
  local key name windows_value native_value
  for key in "$SAMPLE_GAME_KEY VERSION" "$SAMPLE_SETTINGS_KEY BonusMaps" "$SAMPLE_GAME_KEY MAIN"; do
    name=${key##* }
    key=${key% *}
    windows_value=$(WINEPREFIX=$windows_prefix REG_VIEW= reg_value "$key" "$name")
    native_value=$(WINEPREFIX=$native_prefix reg_value "$key" "$name")
    [ -n "$windows_value" ] || fail "no value $key\\$name"
    expect_eq "$native_value" "$windows_value" "$key\\$name"
  done
  WINEPREFIX=$windows_prefix stop_prefix
}
