#pragma once

#include <cstdint>

#include "foundation/auto_array.h"
#include "foundation/r_string.h"

namespace corvane {

class ParamEntry;

// One distribution (edition) of the game, from a class of "Distributions".
struct DistributionRow {
  RString name;         // the class's own name: the ".#" suffix of payload variants
  RString title;        // "name", read only for scope > 0: what the choice shows
  int32_t scope = 0;    // > 0: a candidate; otherwise only a parent of others
  int32_t parent = -1;  // index of the parent row, -1 for none
};

// Its members are RStrings and integers.
template <>
inline constexpr bool kBitwiseMovable<DistributionRow> = true;

using DistributionTable = AutoArray<DistributionRow>;
using NameList = AutoArray<RString>;

// Reads the class "Distributions" of the manifest root (quiet; absent leaves
// both outputs empty). Every class entry is a row, in order; rows with scope
// above 0 are candidates. "parent" names an earlier row (ASCII case ignored);
// anything else gives no parent. Missing keys are reported by the
// configuration language and read as 0 or empty.
void ReadDistributions(const ParamEntry& manifest, DistributionTable* table, NameList* candidates);

// Narrows the candidates by the rules of "WhatDistribution": a rule whose
// file (below installation_directory, which ends in a backslash) has the
// rule's CRC-32/BZIP2 keeps only the candidates its "distributions" lists.
// A rule whose file cannot be read is skipped; an emptied list ends the rules.
void DetectDistribution(const ParamEntry& manifest, const RString& installation_directory,
                        NameList* candidates);

// How the user picks one of several titles: the titles come sorted (ASCII
// case ignored) with the first preselected; answers the index of the chosen
// title or -1 for Cancel / no selection. On Win32 this is dialog 126; the
// native build asks on the terminal and cancels when there is none.
class IDistributionChooser {
 public:
  virtual ~IDistributionChooser() = default;
  virtual int Choose(const NameList& sorted_titles) = 0;
};

// The chosen candidate's name, or the empty text when the user cancelled.
// Each candidate is shown by the title of the first row of that name, or by
// its own name when no row has it.
RString SelectDistribution(IDistributionChooser& chooser, const DistributionTable& table,
                           const NameList& candidates);

// The chain of the selected distribution: the first candidate followed by
// its parent, that one's parent and so on. Empty when there is no candidate.
// A parent loop cannot occur (parents are earlier rows), but the walk is
// bounded by the table size all the same.
NameList BuildDistributionChain(const DistributionTable& table, const NameList& candidates);

// Reduces every group of payload names that differ only by a ".#<name>"
// suffix to one name at the position of its first member: the variant of the
// earliest distribution of the chain (as "<base>.#<CHAIN NAME>"), else the
// plain name, else nothing.
void PickDistributionFiles(NameList* names, const NameList& chain);

// Splits a name at a distribution suffix: when the last "." is followed by
// "#", *base_length is the length before it and the answer is the text after
// "#"; otherwise null and *base_length is the whole length.
const char* DistributionSuffix(const char* name, int* base_length);

}  // namespace corvane
