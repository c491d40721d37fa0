# The Wine test environment, sourced by run_all.sh: a virtual X display, a
# template prefix copied fresh for every test, the window probe, real clicks
# with xdotool, screenshots, and cleanup that leaves no process behind.
#
# Needs: WORK (scratch directory), PROBE (corvane_wine_probe.exe), WINE_BITS
# (32: the product under 32-bit Wine in 32-bit prefixes; 64: the 64-bit test
# build under 64-bit Wine in 64-bit prefixes, where the program sees
# HKLM\Software itself and the native patcher the 32-bit view).

source "$(dirname "${BASH_SOURCE[0]}")/wine_select.sh"
corvane_use_wine "$WINE_BITS" || return 1
NATIVE_REG_VIEW=""
[ "$WINE_BITS" = 64 ] && NATIVE_REG_VIEW=/reg:32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

XVFB_PID=""
PREFIXES_USED=()
BACKGROUND_PIDS=()
LAST_RUN_DIR=""  # the run directory of the latest start_patcher

# Starts Xvfb on a free display and exports DISPLAY.
start_display() {
  local fd_file="$WORK/xvfb.display"
  : >"$fd_file"
  Xvfb -displayfd 9 -nolisten tcp -screen 0 1024x768x24 9>"$fd_file" >/dev/null 2>&1 &
  XVFB_PID=$!
  local waited=0
  while [ ! -s "$fd_file" ]; do
    sleep 0.1
    waited=$((waited + 1))
    if [ $waited -gt 100 ] || ! kill -0 "$XVFB_PID" 2>/dev/null; then
      echo "Xvfb did not start" >&2
      return 1
    fi
  done
  export DISPLAY=":$(head -n1 "$fd_file")"
}

# Ends every Wine server of the prefixes used, the background jobs and Xvfb.
cleanup_all() {
  local pid prefix
  for pid in "${BACKGROUND_PIDS[@]}"; do
    kill -- "$pid" 2>/dev/null
  done
  for prefix in "${PREFIXES_USED[@]}"; do
    WINEPREFIX="$prefix" timeout 20 wineserver -k 2>/dev/null
  done
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
  fi
  XVFB_PID=""
}

# The template prefix: booted once, Wine's fonts copied in (this Wine does not
# find them otherwise), unmanaged windows (no window manager on Xvfb). Kept in
# TEMPLATE_CACHE (when set) for the next run, since booting takes half a
# minute; the tests only ever use copies of it.
make_template_prefix() {
  local template="$WORK/template-prefix"
  if [ -n "${TEMPLATE_CACHE:-}" ] && [ -f "$TEMPLATE_CACHE/.corvane-template" ] &&
     [ "$(cat "$TEMPLATE_CACHE/.corvane-template")" = "$(wine --version)" ]; then
    cp -a "$TEMPLATE_CACHE" "$template"
    return 0
  fi
  PREFIXES_USED+=("$template")
  WINEPREFIX="$template" timeout 120 wineboot -i >/dev/null 2>&1 || return 1
  mkdir -p "$template/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/* "$template/drive_c/windows/Fonts/" 2>/dev/null
  WINEPREFIX="$template" timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' \
    /v Managed /d N /f >/dev/null 2>&1 || return 1
  WINEPREFIX="$template" timeout 60 wineserver -k
  WINEPREFIX="$template" timeout 60 wineserver -w
  [ -f "$template/system.reg" ] || return 1
  rm -f "$template/wineserver"
  wine --version >"$template/.corvane-template"
  if [ -n "${TEMPLATE_CACHE:-}" ]; then
    rm -rf "$TEMPLATE_CACHE"
    cp -a "$template" "$TEMPLATE_CACHE"
  fi
}

# new_prefix NAME: a fresh copy of the template; exports WINEPREFIX.
new_prefix() {
  local prefix="$WORK/prefixes/$1"
  rm -rf "$prefix"
  mkdir -p "$WORK/prefixes"
  cp -a "$WORK/template-prefix" "$prefix"
  # Wine notes a per-prefix server directory here; a copy must get its own.
  rm -f "$prefix/wineserver"
  PREFIXES_USED+=("$prefix")
  export WINEPREFIX="$prefix"
  # The first Wine program in a prefix picks the server directory and writes
  # its name into "wineserver". Two programs starting at once (a patcher and
  # the probe) race there, and the loser can be sent to a directory that
  # never comes ("chdir to ... No such file or directory"). So the server
  # starts alone, first; it stays until stop_prefix ends it.
  timeout 30 wineserver -p 2>/dev/null
}

# Ends the current prefix's Wine processes and writes its registry to disk.
stop_prefix() {
  timeout 30 wineserver -k 2>/dev/null
  timeout 30 wineserver -w 2>/dev/null
  return 0
}

# probe ARGS...: runs the window probe; its records on standard output.
probe() {
  timeout 200 wine "$PROBE" "$@" 2>/dev/null | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

# start_patcher EXE RUN_DIR [ARGS...]: starts the Windows patcher in the
# background (working directory RUN_DIR, where patch.log goes); its exit code
# lands in RUN_DIR/exit_code. It is ended after PATCHER_TIMEOUT seconds (120).
start_patcher() {
  local exe=$1 dir=$2
  shift 2
  mkdir -p "$dir"
  rm -f "$dir/exit_code"
  LAST_RUN_DIR=$dir
  (cd "$dir" && timeout "${PATCHER_TIMEOUT:-120}" wine "$exe" "$@" >"$dir/wine.out" 2>&1; echo $? >"$dir/exit_code") &
  BACKGROUND_PIDS+=($!)
}

# wait_exit RUN_DIR [SECONDS]: prints the patcher's exit code once it ended.
wait_exit() {
  local dir=$1 limit=$((${2:-30} * 10)) waited=0
  while [ ! -s "$dir/exit_code" ]; do
    sleep 0.1
    waited=$((waited + 1))
    [ $waited -le $limit ] || { echo "timeout"; return 1; }
  done
  cat "$dir/exit_code"
}

# field RECORD NAME: the value of NAME=... in one probe record. Texts are the
# last field of a record, titles come before the rectangle.
field() {
  local record=$1 name=$2
  case $name in
    text) sed -n 's/.* text="\(.*\)"$/\1/p' <<<"$record" ;;
    title) sed -n 's/.* title="\(.*\)" rect=[-0-9,]*$/\1/p' <<<"$record" ;;
    *) sed -n "s/.* $name=\([^ ]*\).*/\1/p" <<<"$record" ;;
  esac
}

# control DUMP ID: the CONTROL record of that id.
control() { grep "^CONTROL id=$2 " <<<"$1" | head -n1; }
# control_text DUMP ID: its text (escapes as the probe prints them).
control_text() { field "$(control "$1" "$2")" text; }

# click_rect L,T,R,B: a real click in the middle of the rectangle.
click_rect() {
  local l t r b
  IFS=, read -r l t r b <<<"$1"
  xdotool mousemove $(((l + r) / 2)) $(((t + b) / 2)) click 1
}

# click_control DUMP ID
click_control() { click_rect "$(field "$(control "$1" "$2")" rect)"; }

# screenshot_rect L,T,R,B FILE: that part of the screen.
screenshot_rect() {
  local l t r b
  IFS=, read -r l t r b <<<"$1"
  mkdir -p "$(dirname "$2")"
  import -display "$DISPLAY" -window root -crop "$((r - l))x$((b - t))+$l+$t" +repage "$2"
}

# screenshot DUMP FILE: the window of the dump, cut from the screen.
screenshot() { screenshot_rect "$(field "$(head -n1 <<<"$1")" rect)" "$2"; }

# colour_count FILE: how many different colours the picture holds.
colour_count() { identify -format %k "$1"; }
