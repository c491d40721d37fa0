#include <cstdint>

#include "engine/crc32.h"
#include "param/entry_handle.h"
#include "param/param_array.h"
#include "param/param_entry.h"
#include "run/distributions.h"
#include "stream/qi_f_stream.h"

namespace corvane {

namespace {

// CRC-32/BZIP2 of a whole file read through the file server in 4 KiB blocks.
// False when the file cannot be opened.
bool FileCrc(const char* path, uint32_t* crc) {
  QIFStream in;
  in.open(path, 0, QIFStream::kWholeFile);
  if (in.fail()) return false;
  uint32_t state = kCrc32Initial;
  uint8_t block[4096];
  for (;;) {
    int64_t got = in.read(block, sizeof block);
    if (got > 0) state = Crc32Update(state, block, static_cast<size_t>(got));
    if (in.eof() || in.fail() || got <= 0) break;
  }
  *crc = Crc32Final(state);
  return true;
}

bool ArrayHolds(const ParamEntry& array, const RString& name) {
  int size = array.GetSize();
  for (int i = 0; i < size; ++i) {
    if (array.GetItem(i).GetText().CompareNoCase(name.Data()) == 0) return true;
  }
  return false;
}

}  // namespace

void DetectDistribution(const ParamEntry& manifest, const RString& installation_directory,
                        NameList* candidates) {
  EntryHandle rules = manifest.FindEntry("WhatDistribution");
  if (!rules) return;
  int count = rules->GetEntryCount();
  for (int i = 0; i < count; ++i) {
    EntryHandle rule = rules->GetEntry(i);
    if (!rule || !rule->IsClass()) continue;
    EntryHandle file = rule->GetEntryByName("file");
    RString path = installation_directory + (file ? file->GetText() : RString());
    uint32_t crc = 0;
    if (!FileCrc(path.Data(), &crc)) continue;
    EntryHandle expected = rule->GetEntryByName("crc");
    if (crc != static_cast<uint32_t>(expected ? expected->GetInt() : 0)) continue;
    EntryHandle listed = rule->GetEntryByName("distributions");
    for (int c = candidates->Size() - 1; c >= 0; --c) {
      if (!listed || !ArrayHolds(*listed, (*candidates)[c])) candidates->Delete(c);
    }
    if (candidates->IsEmpty()) break;
  }
}

}  // namespace corvane
