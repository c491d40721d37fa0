#include "run/distributions.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "param/entry_handle.h"
#include "param/param_entry.h"
#include "run/patch_manifest.h"

namespace corvane {

namespace {

int FindRow(const DistributionTable& table, const char* name, int limit) {
  for (int i = 0; i < limit && i < table.Size(); ++i) {
    if (table[i].name.CompareNoCase(name) == 0) return i;
  }
  return -1;
}

// Rank of a name in the chain: its suffix's index, chain size + 1 for a
// suffix the chain lacks, chain size for a plain name.
int RankOf(const char* suffix, const NameList& chain) {
  if (suffix == nullptr) return chain.Size();
  for (int i = 0; i < chain.Size(); ++i) {
    if (chain[i].CompareNoCase(suffix) == 0) return i;
  }
  return chain.Size() + 1;
}

bool SameBase(const char* a, int a_length, const char* b, int b_length) {
  if (a_length != b_length) return false;
  RString left(a, a_length);
  RString right(b, b_length);
  return left.CompareNoCase(right.Data()) == 0;
}

RString UpperAscii(const RString& text) {
  int length = text.GetLength();
  if (length == 0) return text;
  RString result = RString::CreateBuffer(length);
  char* out = result.MutableData();
  const char* in = text.Data();
  for (int i = 0; i < length; ++i) {
    char c = in[i];
    out[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  out[length] = '\0';
  return result;
}

}  // namespace

const char* DistributionSuffix(const char* name, int* base_length) {
  const char* dot = std::strrchr(name, '.');
  if (dot != nullptr && dot[1] == '#') {
    *base_length = static_cast<int>(dot - name);
    return dot + 2;
  }
  *base_length = static_cast<int>(std::strlen(name));
  return nullptr;
}

void ReadDistributions(const ParamEntry& manifest, DistributionTable* table, NameList* candidates) {
  EntryHandle distributions = manifest.FindEntry("Distributions");
  if (!distributions) return;
  int count = distributions->GetEntryCount();
  for (int i = 0; i < count; ++i) {
    EntryHandle entry = distributions->GetEntry(i);
    if (!entry || !entry->IsClass()) continue;
    DistributionRow row;
    row.name = entry->GetName();
    row.scope = ReadManifestInt(*entry, "scope");
    if (row.scope > 0) {
      row.title = ReadManifestText(*entry, "name");
      candidates->Add(row.name);
    }
    RString parent = ReadManifestText(*entry, "parent");
    if (!parent.IsEmpty()) row.parent = FindRow(*table, parent.Data(), table->Size());
    table->Add(row);
  }
}

RString SelectDistribution(IDistributionChooser& chooser, const DistributionTable& table,
                           const NameList& candidates) {
  struct Item {
    RString title;
    int candidate;
  };
  std::vector<Item> items;
  for (int i = 0; i < candidates.Size(); ++i) {
    int row = FindRow(table, candidates[i].Data(), table.Size());
    RString title = row >= 0 ? table[row].title : candidates[i];
    items.push_back({title, i});
  }
  // A sorted list box keeps equal texts in the order they were added.
  std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
    return CompareNoCase(a.title.Data(), b.title.Data()) < 0;
  });
  NameList titles;
  for (const Item& item : items) titles.Add(item.title);
  int chosen = chooser.Choose(titles);
  if (chosen < 0 || chosen >= static_cast<int>(items.size())) return RString();
  return candidates[items[static_cast<size_t>(chosen)].candidate];
}

NameList BuildDistributionChain(const DistributionTable& table, const NameList& candidates) {
  NameList chain;
  if (candidates.IsEmpty()) return chain;
  chain.Add(candidates[0]);
  int row = FindRow(table, candidates[0].Data(), table.Size());
  for (int steps = 0; row >= 0 && steps < table.Size(); ++steps) {
    int parent = table[row].parent;
    if (parent < 0 || parent >= table.Size()) break;
    chain.Add(table[parent].name);
    row = parent;
  }
  return chain;
}

void PickDistributionFiles(NameList* names, const NameList& chain) {
  const int k = chain.Size();
  int i = 0;
  while (i < names->Size()) {
    RString name = (*names)[i];
    int base_length = 0;
    const char* suffix = DistributionSuffix(name.Data(), &base_length);
    int best = RankOf(suffix, chain);

    std::vector<int> marked;
    for (int j = i + 1; j < names->Size(); ++j) {
      const char* other = (*names)[j].Data();
      int other_base = 0;
      const char* other_suffix = DistributionSuffix(other, &other_base);
      if (!SameBase(name.Data(), base_length, other, other_base)) continue;
      marked.push_back(j);
      best = std::min(best, other_suffix != nullptr ? RankOf(other_suffix, chain) : k);
    }
    for (auto it = marked.rbegin(); it != marked.rend(); ++it) names->Delete(*it);

    if (best > k) {
      names->Delete(i);
      continue;
    }
    RString base(name.Data(), base_length);
    (*names)[i] = best < k ? base + ".#" + UpperAscii(chain[best]) : base;
    ++i;
  }
}

}  // namespace corvane
