#!/usr/bin/env bash
# patchbuild make on real data: two consecutive versions of a Debian
# package's files (from the apt cache) as versions 1.00 and 1.01 of a patch
# project, then the native patcher it makes takes an installation of the old
# files (in a scratch Wine-style prefix) to the new ones, which are compared
# byte for byte. Prints sizes and times; exits 1 on any difference.
#
#   bench/make_real_data.sh [BUILD_DIR] [OLD.deb NEW.deb]
# Default: the two libmagickcore-6.q16-6 packages of the apt cache.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/native}"
archives=/var/cache/apt/archives
old_deb="${2:-$(ls "$archives"/libmagickcore-6.q16-6_*_amd64.deb 2>/dev/null | sort -V | tail -2 | head -1)}"
new_deb="${3:-$(ls "$archives"/libmagickcore-6.q16-6_*_amd64.deb 2>/dev/null | sort -V | tail -1)}"
if [ -z "$old_deb" ] || [ "$old_deb" = "$new_deb" ]; then
  echo "need two versions of one package (give OLD.deb NEW.deb)" >&2
  exit 2
fi
patchbuild="$build/apps/patchbuild/patchbuild"
patcher="$build/apps/patcher/patcher"
sample="$build/tests/e2e/corvane_sample_game"
source "$root/bench/sample_patch.sh"
scratch_work make-real

project="$work/project"
for v in 1.00 1.01; do mkdir -p "$project/versions/$v"; done
dpkg-deb -x "$old_deb" "$project/versions/1.00"
dpkg-deb -x "$new_deb" "$project/versions/1.01"
# Links are not files the patcher handles; the game executable tells the version.
find "$project/versions" -type l -delete
cp "$root/examples/sample-patch/versions/1.00/GAME.EXE" "$project/versions/1.00/"
cp "$root/examples/sample-patch/versions/1.01/GAME.EXE" "$project/versions/1.01/"
cat > "$project/version.cfg.txt" <<'CFG'
configApp = "Software\Corvane Samples\Sample Game";
displayName = "Real Data";
appName = "GAME.EXE";
version = "1.01";
isPatch = 1;
CFG
echo "$root/tests/keys/test.key.pem" > "$project/signing-key.txt"

echo "old: $(basename "$old_deb"): $(find "$project/versions/1.00" -type f | wc -l) files, $(du -sh "$project/versions/1.00" | cut -f1)"
echo "new: $(basename "$new_deb"): $(find "$project/versions/1.01" -type f | wc -l) files, $(du -sh "$project/versions/1.01" | cut -f1)"
for pass in first second; do
  start=$(date +%s.%N)
  "$patchbuild" make "$project" "$work/patch" --native --native-stub "$patcher" 2> "$work/make.log" ||
    { cat "$work/make.log"; exit 1; }
  end=$(date +%s.%N)
  printf '%s make: %.2f s\n' "$pass" "$(echo "$end - $start" | bc)"
done
grep -E '^(step|update files)' "$work/make.log"

# An installation of the old files, patched by the native patcher.
"$sample" "$work/sample" > /dev/null
game="$work/sample/prefix/drive_c/Games/Game"
rm -rf "$game"; mkdir -p "$game"
cp -r "$project/versions/1.00/." "$game/"
(cd "$work" && WINEPREFIX="$work/sample/prefix" "$work/patch" < /dev/null > "$work/run.log" 2>&1) ||
  { cat "$work/run.log"; echo "the patcher failed"; exit 1; }
bad=0
while IFS= read -r -d '' f; do
  rel="${f#"$project/versions/1.01/"}"
  cmp -s "$f" "$game/$rel" || { echo "differs: $rel"; bad=1; }
done < <(find "$project/versions/1.01" -type f -print0)
[ "$bad" = 0 ] && echo "patched installation: every file of the new version byte-identical"
exit "$bad"
