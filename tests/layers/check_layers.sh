#!/usr/bin/env bash
# Checks the layering that docs/architecture.md draws, from the includes:
#  - a file under src/<layer>/ includes project headers only of its own layer
#    and of the layers below it (never a sibling's, never one above);
#  - operating-system headers appear only in src/platform/, the Win32 dialogs
#    (src/ui/win32/), the Windows entry point and test fixtures;
#  - the patcher's layers (everything below src/maker) use no standard-library
#    file access (<filesystem>, <fstream>) outside their tests: files are
#    reached through src/platform/.
# Prints every offending line and exits 1 when there is one.
#
#   check_layers.sh [SOURCE-ROOT]
set -u
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
cd "$root" || exit 2

# Layer ranks, lowest first. Layers of one rank are siblings: neither may
# include the other.
declare -A rank=([base]=0 [text]=1 [pe]=2 [platform]=3 [foundation]=4 [stream]=5 [param]=6 [engine]=6
                 [ui]=6 [run]=7 [maker]=8)

status=0
complain() {  # complain FILE:LINE TEXT
  echo "$1: $2"
  status=1
}

is_test_file() {
  case $1 in
    *_test.cpp | *_fuzz.cpp | *test_support.h | *_test_files.h | */testdata/*) return 0 ;;
  esac
  return 1
}

layer_of() {  # layer_of PATH -> the layer under src/, or nothing
  local rest=${1#src/}
  echo "${rest%%/*}"
}

for layer in "${!rank[@]}"; do
  [ -d "src/$layer" ] || { complain "src/$layer" "layer folder missing"; continue; }
done

while IFS= read -r -d '' file; do
  own=$(layer_of "$file")
  [ -n "${rank[$own]+x}" ] || { complain "$file" "folder src/$own is no layer of docs/architecture.md"; continue; }
  while IFS=: read -r line target; do
    [ -n "${rank[$target]+x}" ] || continue
    [ "$target" = "$own" ] && continue
    if [ "${rank[$target]}" -ge "${rank[$own]}" ]; then
      complain "$file:$line" "$own includes $target, which is not below it"
    fi
  done < <(grep -nE '^#include "[a-z_]+/' "$file" | sed -E 's/^([0-9]+):#include "([a-z_]+)\/.*/\1:\2/')

  if ! is_test_file "$file" && [ "$own" != platform ]; then
    while IFS= read -r hit; do
      case $file in src/ui/win32/*) continue ;; esac
      complain "$file:${hit%%:*}" "operating-system header outside src/platform: ${hit#*:}"
    done < <(grep -nE '^#include <(windows|winbase|winreg|wincrypt|commctrl|shlobj|unistd|fcntl|dirent|dlfcn|signal|termios)\.h>|^#include <sys/' "$file")
    if [ "${rank[$own]}" -lt "${rank[maker]}" ]; then
      while IFS= read -r hit; do
        complain "$file:${hit%%:*}" "standard-library file access in the patcher: ${hit#*:}"
      done < <(grep -nE '^#include <(filesystem|fstream)>' "$file")
    fi
  fi
done < <(find src -type f \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z)

while IFS= read -r -d '' file; do
  case $file in apps/patcher/win32_main.cpp) continue ;; esac
  while IFS= read -r hit; do
    complain "$file:${hit%%:*}" "operating-system header outside src/platform: ${hit#*:}"
  done < <(grep -nE '^#include <(windows|wincrypt|commctrl|unistd|fcntl|dirent|dlfcn|termios)\.h>|^#include <sys/' "$file")
done < <(find apps -type f \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z)

[ $status -eq 0 ] && echo "layers: every include goes down"
exit $status
