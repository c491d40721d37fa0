#!/usr/bin/env bash
# patchbuild as scripts and CI pipelines use it, on a copy of the example
# project: --version; misused numbers are usage errors (exit 2); without a
# terminal the progress is plain lines on standard error; --quiet leaves only
# warnings and errors; --verbose names every update; `make --json` and
# `check --json` print documents whose counts agree with each other, with the
# files on disk and with docs/formats/patchbuild-json.md (read with jq);
# `init` starts a project that `make` turns into a patcher; a failed command
# says why in one line and exits 1, a verdict exits 1 without one.
#
#   patchbuild_conventions.sh BUILD-DIR SOURCE-DIR
set -euo pipefail
build=$1
source_dir=$2
patchbuild="$build/apps/patchbuild/patchbuild"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
expect_exit() {  # expect_exit CODE WHAT COMMAND...
  local code=$1 what=$2 got=0
  shift 2
  "$@" >"$work/out" 2>"$work/err" || got=$?
  [ "$got" = "$code" ] || fail "$what: exit $got, not $code ($(cat "$work/err"))"
}

cp -r "$source_dir/examples/sample-patch" "$work/project"
# The example names the repository's test key relative to itself.
echo "$source_dir/tests/keys/test.key.pem" >"$work/project/signing-key.txt"
rm -rf "$work/project/.cache"

expect_exit 0 "--version" "$patchbuild" --version
grep -qE '^patchbuild [0-9]+\.[0-9]+' "$work/out" || fail "--version printed '$(cat "$work/out")'"
expect_exit 2 "-j abc" "$patchbuild" make "$work/project" "$work/x" -j abc
grep -q -- '--jobs: "abc" is not a whole number from 0 to 1024' "$work/err" ||
  fail "-j abc said '$(cat "$work/err")'"
expect_exit 2 "-j 1.5" "$patchbuild" make "$work/project" "$work/x" -j 1.5
expect_exit 2 "-j 99999999999999999999" "$patchbuild" make "$work/project" "$work/x" -j 99999999999999999999
expect_exit 2 "--limit -1" "$patchbuild" upd show "$work/none.upd" --limit -1
expect_exit 2 "--quiet with --verbose" "$patchbuild" -q make "$work/project" "$work/x" -v
[ ! -e "$work/x" ] && [ ! -e "$work/x.exe" ] || fail "a usage error wrote an output"

# A make with the JSON document on standard output and the rest on standard
# error, which is a file here: plain lines, no terminal control.
mkdir -p "$work/out-dir"
expect_exit 0 "make --json" "$patchbuild" make "$work/project" "$work/out-dir/patch" --native --json
cp "$work/out" "$work/make.json"
cp "$work/err" "$work/make.err"
jq -e . "$work/make.json" >/dev/null || fail "make --json is not JSON"
if grep -q $'\r\|\x1b' "$work/make.err"; then fail "terminal control in redirected progress"; fi
grep -q '^updates \[' "$work/make.err" || fail "no progress lines on standard error"
grep -q '^wrote ' "$work/make.err" || fail "no summary on standard error"

json() { jq -r "$1" "$work/make.json"; }
[ "$(json .schema)" = "patchbuild-make/1" ] || fail "make schema is $(json .schema)"
[ "$(json .version)" = "1.02" ] || fail "version $(json .version)"
[ "$(json '.steps | map(.from + "-" + .to) | join(" ")')" = "1.00-1.01 1.01-1.02" ] ||
  fail "steps $(json '.steps | map(.from + "-" + .to) | join(" ")')"
# Per step: the updates add up to the step's counts and payload bytes.
json '.steps[] | [(.updates | map(select(.kind != "deletion")) | length) == .updated,
                  (.updates | map(select(.kind == "deletion")) | length) == .deleted,
                  (.updates | map(.payload_bytes) | add) == .payload_bytes,
                  (.updates | map(select(.kind == "whole")) | length) == .whole] | all' |
  grep -qvx true && fail "a step's updates do not add up to its counts"
[ "$(json '.totals.updates_made + .totals.updates_reused')" -ge 1 ] || fail "no updates counted"
[ "$(json '.whole_files | length')" = "$(json .totals.whole_files)" ] || fail "whole files miscounted"
[ "$(json '.totals.payload_bytes >= ([.steps[].payload_bytes, .whole_files[].size] | add)')" = true ] ||
  fail "payload bytes below what the items hold"
for output in "$(json .outputs.win32)" "$(json .outputs.native)"; do
  [ -z "$output" ] || [ -f "$output" ] || fail "output $output named but not written"
done
[ -x "$(json .outputs.native)" ] || fail "native output $(json .outputs.native) missing"

# Made again: everything comes from the cache and the outputs are up to date.
expect_exit 0 "make --json again" "$patchbuild" make "$work/project" "$work/out-dir/patch" --native --json
[ "$(jq -r '.up_to_date' "$work/out")" = true ] || fail "the second make was not up to date"

# Quiet: warnings and errors only. Verbose: one line per update and whole file.
rm -rf "$work/project/.cache" "$work/out-dir"
mkdir -p "$work/out-dir"
expect_exit 0 "make -q" "$patchbuild" make -q "$work/project" "$work/out-dir/patch" --native
if grep -vi 'warning' "$work/err" | grep -q .; then fail "-q said: $(grep -vi warning "$work/err")"; fi
[ ! -s "$work/out" ] || fail "-q wrote on standard output"
rm -rf "$work/out-dir" && mkdir -p "$work/out-dir"
expect_exit 0 "make -v" "$patchbuild" -v make "$work/project" "$work/out-dir/patch" --native
grep -q '^1.00-1.01 DATA\\LEVELS.DAT: difference, 3000 -> 3012 bytes' "$work/err" ||
  fail "-v did not name the update of DATA\\LEVELS.DAT"
grep -q '^All\\MANUAL.TXT: whole file' "$work/err" || fail "-v did not name a whole file"

# check --json on an installation of 1.00 (Gold) and of 1.02.
native="$work/out-dir/patch"
game="$work/game"
install() {  # install VERSION: the version's tree for the Gold edition
  rm -rf "$game"
  cp -r "$work/project/versions/$1" "$game"
  find "$game" -name '*.#CLASSIC' -delete
  find "$game" -name '*.#GOLD' | while read -r f; do mv "$f" "${f%.#GOLD}"; done
}
install 1.00
expect_exit 0 "check --json" "$patchbuild" check "$native" "$game" --json
jq -e . "$work/out" >/dev/null || fail "check --json is not JSON"
check() { jq -r "$1" "$work/out"; }
[ "$(check .schema)" = "patchbuild-check/1" ] || fail "check schema $(check .schema)"
[ "$(check .verdict)" = patchable ] || fail "1.00: verdict $(check .verdict)"
[ "$(check .installed)" = 1.00 ] || fail "1.00: installed $(check .installed)"
[ "$(check .signature)" = valid ] || fail "signature $(check .signature)"
[ "$(check '.steps | map(.step) | join(" ")')" = "1.00-1.01 1.01-1.02" ] ||
  fail "check steps $(check '.steps | map(.step) | join(" ")')"
# What check says a step changes is what make says it ships.
for i in 0 1; do
  made=$(jq -r ".steps[$i].updates | map(.file + \":\" + (.kind == \"deletion\" | tostring)) | sort | join(\" \")" "$work/make.json")
  seen=$(check ".steps[$i].files | map(.file + \":\" + (.kind == \"deletion\" | tostring)) | sort | join(\" \")")
  [ "$made" = "$seen" ] || fail "step $i: make shipped '$made', check sees '$seen'"
done
install 1.02
expect_exit 0 "check --json at 1.02" "$patchbuild" check "$native" "$game" --json
[ "$(check .verdict)" = up-to-date ] || fail "1.02: verdict $(check .verdict)"
rm -f "$game/GAME.EXE"
expect_exit 1 "check --json of a broken game" "$patchbuild" check "$native" "$game" --json
[ "$(check .verdict)" = refused ] || fail "broken game: verdict $(check .verdict)"

# init, the released trees dropped in, make: a patcher that check finds fit
# for the older tree. A second init over the project refuses.
expect_exit 0 "init" "$patchbuild" init "$work/fresh" --game "Fresh Game" --patch-version 1.01
for name in version.cfg.txt signing-key.txt .gitignore README.md fresh.key.pem fresh.pubkey; do
  [ -f "$work/fresh/$name" ] || fail "init wrote no $name"
done
[ "$(stat -c %a "$work/fresh/fresh.key.pem")" = 600 ] || fail "the private key is readable by others"
grep -qx '.cache/' "$work/fresh/.gitignore" || fail ".gitignore lacks .cache/"
for v in 1.00 1.01; do
  mkdir -p "$work/fresh/versions/$v"
  cp -r "$work/project/versions/$v/"{GAME.EXE,README.TXT,DATA} "$work/fresh/versions/$v/"
done
expect_exit 0 "make after init" "$patchbuild" make -q "$work/fresh" "$work/fresh-out/patch" --native
[ -x "$work/fresh-out/patch" ] || fail "make after init made no patcher"
expect_exit 0 "check after init" "$patchbuild" check "$work/fresh-out/patch" "$work/fresh/versions/1.00" --json
[ "$(check .verdict)" = patchable ] || fail "after init: verdict $(check .verdict)"
expect_exit 1 "init over a project" "$patchbuild" init "$work/fresh"
expect_exit 1 "init with a quote" "$patchbuild" init "$work/quoted" --game 'A "B"'
[ ! -e "$work/quoted" ] || fail "a refused init left a folder"

# How a command ends: a failure is one "patchbuild: MESSAGE" line on standard
# error and exit 1; a verdict (upd show finding problems, check refusing a
# game above) is exit 1 with its findings and no such line; success is 0.
expect_stderr() {  # expect_stderr WHAT LINE: standard error is exactly LINE
  [ "$(cat "$work/err")" = "$2" ] || fail "$1 said '$(cat "$work/err")', not '$2'"
}
printf 'the old contents of a file\n' >"$work/old.bin"
printf 'the new contents of the file, somewhat longer\n' >"$work/new.bin"
expect_exit 0 "diff" "$patchbuild" diff "$work/old.bin" "$work/new.bin" "$work/step.upd"
expect_exit 0 "upd show of a sound update" "$patchbuild" upd show "$work/step.upd"
[ ! -s "$work/err" ] || fail "upd show of a sound update said '$(cat "$work/err")'"
head -c -2 "$work/step.upd" >"$work/cut.upd"
expect_exit 1 "upd show of a cut update" "$patchbuild" upd show "$work/cut.upd"
grep -q '^problem:   checksum cut off' "$work/out" || fail "upd show did not name the cut checksum"
[ ! -s "$work/err" ] || fail "upd show's verdict came with '$(cat "$work/err")'"
expect_exit 1 "upd show of no file" "$patchbuild" upd show "$work/none.upd"
expect_stderr "upd show of no file" "patchbuild: cannot read $work/none.upd"
expect_exit 1 "diff without NEW" "$patchbuild" diff "$work/old.bin" "$work/gone.bin" "$work/x.upd"
expect_stderr "diff without NEW" \
  "patchbuild: NEW $work/gone.bin does not exist (give --delete for the update that deletes OLD)"
expect_exit 1 "lzss decode with a bad LENGTH" "$patchbuild" lzss decode "$work/old.bin" "$work/x" 12ab
expect_stderr "lzss decode with a bad LENGTH" "patchbuild: LENGTH must be a byte count, not '12ab'"
expect_exit 1 "keygen over a pair" "$patchbuild" keygen "$work/fresh/fresh"
expect_stderr "keygen over a pair" \
  "patchbuild: $work/fresh/fresh.key.pem exists; give --force to replace the key pair (patchers carrying the old public key then accept nothing signed with the new one)"
expect_exit 1 "param text of no file" "$patchbuild" param text "$work/none.bin"
expect_stderr "param text of no file" "patchbuild: cannot open $work/none.bin: no such file"
# A report that cannot be written (its folder is a file) fails the make after
# the patcher is made and the summary said.
rm -rf "$work/report-out" && mkdir -p "$work/report-out"
expect_exit 1 "make with an unwritable report" "$patchbuild" make "$work/project" \
  "$work/report-out/patch" --native --report "$work/old.bin/report.html"
[ -x "$work/report-out/patch" ] || fail "a make whose report failed made no patcher"
grep -q '^wrote ' "$work/err" || fail "a make whose report failed gave no summary"
[ "$(grep -c '^patchbuild: the patcher is made, but not its report: ' "$work/err")" = 1 ] ||
  fail "a make whose report failed said '$(cat "$work/err")'"

[ "$failures" = 0 ] || exit 1
echo "patchbuild conventions: all held"
