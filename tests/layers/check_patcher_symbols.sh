#!/usr/bin/env bash
# The patcher holds only what a patch run needs: none of the maker's code (the
# update writers, the configuration text parser) and none of the standard
# library's file system, which brings its streams and locales along (most of
# a megabyte in the Windows program). Reads the symbols of the built patcher.
#
#   check_patcher_symbols.sh PATCHER
set -u
patcher=$1
symbols=$(nm -C "$patcher") || { echo "cannot read the symbols of $patcher"; exit 2; }
status=0
for unwanted in 'std::filesystem::' 'corvane::CreatePatch::' 'corvane::CreateCompactPatch::' \
                'corvane::RunDifferenceSearch' 'corvane::ParamTextParser' 'corvane::ParamTextLexer'; do
  count=$(grep -cF "$unwanted" <<<"$symbols")
  if [ "$count" -gt 0 ]; then
    echo "$patcher holds $count symbols of $unwanted"
    status=1
  fi
done
[ $status -eq 0 ] && echo "patcher: no maker code, no standard file system"
exit $status
