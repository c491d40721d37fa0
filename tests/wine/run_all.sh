#!/usr/bin/env bash
# The Windows patcher's end-to-end tests under Wine on a virtual X display:
#
#   tests/wine/run_all.sh WIN32_BUILD_DIR NATIVE_BUILD_DIR
#
# Builds what it needs in both trees (patcher.exe and the window probe; the
# native patchbuild, patcher and sample game generator), makes signed sample
# patches with the project's own tools, then runs every scenario of
# scenarios.sh, make_scenario.sh, window_scenarios.sh, trust_scenarios.sh and
# player_scenarios.sh, each in its own
# fresh prefix (32-bit; 64-bit for the 64-bit test build, see
# cmake/toolchain-mingw64.cmake). Screenshots go to build/test-artifacts/.
# Ends with the line "N passed, N failed" and a non-zero status when anything
# failed. KEEP_WORK=1 keeps the scratch files;
# ONLY=WORD runs only the scenarios whose function name holds WORD;
# EXTRA_SCENARIOS="FILE..." also runs the scenario files named.
set -u

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
if [ $# -ne 2 ]; then
  echo "usage: $0 WIN32_BUILD_DIR NATIVE_BUILD_DIR" >&2
  exit 2
fi
WIN32_BUILD=$(cd "$1" && pwd) || exit 2
NATIVE=$(cd "$2" && pwd) || exit 2
ARTIFACTS="$ROOT/build/test-artifacts"
PROBE="$WIN32_BUILD/tests/wine/corvane_wine_probe.exe"
WORK=$(mktemp -d /tmp/corvane-wine.XXXXXX)
# The 64-bit test build (cmake/toolchain-mingw64.cmake) runs under 64-bit Wine.
WINE_BITS=32
grep -q '^CMAKE_TOOLCHAIN_FILE:[A-Z]*=.*toolchain-mingw64' "$WIN32_BUILD/CMakeCache.txt" 2>/dev/null && WINE_BITS=64
TEMPLATE_CACHE="$ROOT/build/wine-test-template$([ $WINE_BITS = 64 ] && echo 64)"
echo "== Windows build $WIN32_BUILD: ${WINE_BITS}-bit, under ${WINE_BITS}-bit Wine"

source "$ROOT/tests/wine/wine_env.sh" || { echo "no usable Wine"; echo "0 passed, 1 failed"; exit 1; }
source "$ROOT/tests/wine/sample_payloads.sh"
source "$ROOT/tests/wine/scenarios.sh"
source "$ROOT/tests/wine/make_scenario.sh"
source "$ROOT/tests/wine/window_scenarios.sh"
source "$ROOT/tests/wine/trust_scenarios.sh"
source "$ROOT/tests/wine/player_scenarios.sh"

finish() {
  cleanup_all
  [ "${KEEP_WORK:-0}" = 1 ] && echo "scratch files kept in $WORK" || rm -rf "$WORK"
}
trap finish EXIT

setup_failed() {
  echo "setup failed: $*"
  echo "0 passed, 1 failed"
  exit 1
}

for tool in wine wineboot wineserver Xvfb xdotool import; do
  command -v "$tool" >/dev/null || setup_failed "$tool is not installed (scripts/setup installs it)"
done

# The German scenario needs the locale; generate it when we may.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && [ "$(id -u)" = 0 ] &&
   [ -f /etc/locale.gen ] && command -v locale-gen >/dev/null; then
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null 2>&1
fi

echo "== building"
cmake --build "$WIN32_BUILD" -j2 --target patcher corvane_wine_probe >"$WORK/build.log" 2>&1 ||
  { tail -n 30 "$WORK/build.log"; setup_failed "win32 build"; }
cmake --build "$NATIVE" -j2 --target patcher patchbuild corvane_sample_game >>"$WORK/build.log" 2>&1 ||
  { tail -n 30 "$WORK/build.log"; setup_failed "native build"; }

echo "== display, template prefix, sample patches"
mkdir -p "$ARTIFACTS"
start_display || setup_failed "Xvfb"
make_template_prefix || setup_failed "template prefix"
SAMPLE="$WORK/sample"
make_sample "$SAMPLE" || setup_failed "sample game"
manifest="$SAMPLE/version.cfg.txt"
PATCH="$WORK/sample-patch-1.02.exe"
make_patch "$SAMPLE" "$manifest" "$PATCH" || setup_failed "patch"
# Gold listed before Classic: manifest order differs from the sorted titles.
sed -e '/class CLASSIC/{h;d}' -e '/class GOLD/G' "$manifest" >"$WORK/gold-first.cfg.txt"
PATCH_GOLD_FIRST="$WORK/gold-first-patch.exe"
make_patch "$SAMPLE" "$WORK/gold-first.cfg.txt" "$PATCH_GOLD_FIRST" || setup_failed "gold-first patch"
sed 's/^version = "1.02";/version = "1.01";/' "$manifest" >"$WORK/patch-1.01.cfg.txt"
PATCH_101="$WORK/sample-patch-1.01.exe"
make_patch "$SAMPLE" "$WORK/patch-1.01.cfg.txt" "$PATCH_101" || setup_failed "1.01 patch"
PATCH_DAMAGED="$WORK/damaged-patch.exe"
damage='f=$(find 1.00-1.01 -name "*.upd" | sort | head -n1) &&
  printf "\377\377\377\377\377\377\377\377" |
  dd of="$f" bs=1 seek=$(( $(stat -c %s "$f") / 2 )) conv=notrunc status=none'
make_patch "$SAMPLE" "$manifest" "$PATCH_DAMAGED" "$damage" || setup_failed "damaged patch"

passed=0
failed=0
run_scenario() {  # run_scenario NAME FUNCTION
  # ONLY=WORD runs just the scenarios whose function name holds WORD.
  [[ $2 == *"${ONLY:-}"* ]] || return 0
  if ! declare -F "$2" >/dev/null; then
    failed=$((failed + 1))
    echo "   FAIL $1: no scenario function $2"
    return
  fi
  local start=$SECONDS
  TEST_FAILED=0
  LAST_RUN_DIR=""
  echo "-- $1"
  "$2"
  local pid
  for pid in "${BACKGROUND_PIDS[@]}"; do kill -- "$pid" 2>/dev/null; done
  BACKGROUND_PIDS=()
  stop_prefix
  if [ "$TEST_FAILED" = 0 ]; then
    passed=$((passed + 1))
    echo "   PASS $1 ($((SECONDS - start)) s)"
  else
    failed=$((failed + 1))
    echo "   FAIL $1 ($((SECONDS - start)) s)"
  fi
}

run_scenario "patch run: window, log, OK, exit 0, registry" scenario_patch_run
run_scenario "distribution dialog: sorted titles, Cancel, choose the second" scenario_distribution_dialog
run_scenario "damaged update: Retry asks again, Abort ends with line 9" scenario_damaged_update
run_scenario "error boxes 2 and 5" scenario_error_boxes
run_scenario "German texts" scenario_german
run_scenario "native and Windows patchers give the same result" scenario_native_matches_windows
run_scenario "patchbuild make's patcher: Gold 1.00 to 1.02" scenario_made_patch_gold_100
run_scenario "patchbuild make's patcher: Classic 1.01 to 1.02" scenario_made_patch_classic_101
run_scenario "finished window: Enter, Space and Escape end it" scenario_finished_window_keys
run_scenario "MAIN as an expandable string" scenario_expandable_main
run_scenario "a 255-character installation folder (paths past 260)" scenario_long_installation_folder
run_scenario "German distribution dialog" scenario_german_distribution_dialog
run_scenario "probe: the window's longest unanswered gap in a 3,000-file step" scenario_window_gap_probe
run_scenario "repacked signed patcher: names that lead outside the game" scenario_repacked_traversal
run_scenario "killed in the second step, then run again" scenario_killed_in_second_step
run_scenario "a 259-character installation folder" scenario_259_character_folder
run_scenario "close during the check" scenario_close_during_check
run_scenario "close during a step, then a rerun" scenario_close_during_step
run_scenario "file held open without sharing, Retry" scenario_in_use_no_sharing_retry
run_scenario "file held open with read sharing, Cancel" scenario_in_use_read_sharing_cancel
run_scenario "quoted payload path with spaces, missing payload" scenario_quoted_payload_path
run_scenario "accented names in the tree and a whole file" scenario_accented_names

# Scenario files not run by default (each runs its own run_scenario lines).
for extra in ${EXTRA_SCENARIOS:-}; do
  source "$extra"
done

echo "screenshots in $ARTIFACTS"
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
