#pragma once

// The checksum list of one version's tree as an installation of it should
// check it, for every edition at once: the one place where files become
// lines, used by patchbuild make and patchbuild crc alike.
//
// - The variants of a file ("X.#GOLD", "X.#CLASSIC") share one line "X" with
//   one value each: the patcher checks the installed X, whichever edition it
//   is. A file only some editions have is optional ("+").
// - A file that is empty (in any edition) is optional too: a patcher that
//   cannot map an empty file takes it for a missing one (CRC 0 is written).
// - A name the list cannot hold (a space ends a name) is left out with a
//   warning: the file still travels, but is not verified.

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "maker/file_digest.h"

namespace corvane::maker {

class VersionChecksumList {
 public:
  // Adds a file by its name below the installation (code page 1252,
  // backslashes, an edition suffix allowed). `replace` drops what the line
  // held before (a whole file that overwrites every edition's file).
  // `optional` marks the line optional whatever it holds.
  void Add(const std::string& relative, const FileDigest& digest, bool replace = false,
           bool optional = false);

  // The list text. Lines that cannot be written are told on `messages` once
  // per reason in *warned (shared between the lists of one make).
  std::string Text(std::FILE* messages, std::set<std::string>* warned) const;

 private:
  struct Line {
    std::string name;
    std::vector<uint32_t> values;
    bool plain = false;     // some source is not an edition variant
    bool optional = false;  // empty in some edition, or asked for
  };
  std::map<std::string, Line> lines_;  // by FoldName of the installed name
};

}  // namespace corvane::maker
