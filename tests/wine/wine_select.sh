# Which Wine runs the Windows builds on this machine, sourced by scripts/wine-run,
# scripts/test and the end-to-end harness. Some kernels cannot execute 32-bit
# i386 code at all; there 32-bit Wine does not start and the same Win32 code is
# run as the 64-bit build under 64-bit Wine instead.
#
#   corvane_i386_runs       true when this machine executes 32-bit i386 code
#   corvane_wine64_loader   prints the 64-bit Wine loader, fails when there is none
#   corvane_use_wine BITS   exports WINEARCH and, for 64, puts a directory first on
#                           PATH whose wine/wineboot run the 64-bit loader, so that
#                           every "wine ..." of the harness runs it

corvane_i386_runs() {
  # The 32-bit dynamic loader is what every 32-bit Wine process starts with.
  [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

corvane_wine64_loader() {
  local candidate
  for candidate in "$(command -v wine64 2>/dev/null)" /usr/lib/wine/wine64 /usr/lib64/wine/wine64 \
                   /opt/wine-stable/bin/wine64; do
    [ -n "$candidate" ] && [ -x "$candidate" ] && { echo "$candidate"; return 0; }
  done
  return 1
}

corvane_use_wine() {  # corvane_use_wine 32|64
  if [ "$1" = 64 ]; then
    local loader shim
    loader=$(corvane_wine64_loader) || { echo "no 64-bit Wine (wine64) is installed" >&2; return 1; }
    shim="${TMPDIR:-/tmp}/corvane-wine64-shim-$(id -u)"
    if [ ! -x "$shim/wineboot" ] || ! grep -qF "$loader" "$shim/wine" 2>/dev/null; then
      mkdir -p "$shim"
      printf '#!/bin/sh\nexport WINELOADER=%s\nexec %s "$@"\n' "$loader" "$loader" >"$shim/wine.$$"
      printf '#!/bin/sh\nexport WINELOADER=%s\nexec %s wineboot "$@"\n' "$loader" "$loader" >"$shim/wineboot.$$"
      chmod +x "$shim/wine.$$" "$shim/wineboot.$$"
      mv -f "$shim/wine.$$" "$shim/wine"
      mv -f "$shim/wineboot.$$" "$shim/wineboot"
    fi
    case ":$PATH:" in *":$shim:"*) ;; *) export PATH="$shim:$PATH" ;; esac
    export WINELOADER=$loader
    export WINEARCH=win64
  else
    export WINEARCH=win32
  fi
}
