#include "foundation/r_string_bank.h"

#include <cstring>

namespace corvane {

RStringBank::RStringBank(bool case_insensitive) : case_insensitive_(case_insensitive) {}

RStringBank::~RStringBank() {
  ReportLog("RStringBank destruct");
  if (buckets_) {
    for (int b = 0; b < bucket_count_; ++b) {
      for (const Entry& entry : buckets_[b]) {
        if (entry.value.RefCounter() > 1) {
          ReportLog("Error: String %s late release (%d)", entry.value.Data(),
                    entry.value.RefCounter());
        }
      }
    }
  }
  FreeBuckets();
}

uint32_t RStringBank::HashText(const char* text, size_t* length) const {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  uint32_t hash = 0;
  // Two loops rather than a test per byte: this runs for every name made.
  if (case_insensitive_) {
    for (; *p; ++p) {
      unsigned int c = *p;
      if (c - 'A' < 26u) c += 32;
      hash = hash * 33 + c;
    }
  } else {
    for (; *p; ++p) hash = hash * 33 + *p;
  }
  if (length) *length = static_cast<size_t>(p - reinterpret_cast<const unsigned char*>(text));
  return hash;
}

uint32_t RStringBank::Hash(const char* text) const { return HashText(text, nullptr); }

bool RStringBank::Equal(const char* a, const char* b) const {
  return (case_insensitive_ ? CompareNoCase(a, b) : CompareText(a, b)) == 0;
}

RStringBank::Entry* RStringBank::FindEntry(const char* text, uint32_t hash) const {
  Bucket& bucket = buckets_[BucketIndex(hash)];
  for (Entry& entry : bucket) {
    if (entry.hash != hash) continue;
    const char* held = entry.value.Data();
    // A handle releasing its own block asks with the block's text.
    if (held == text || Equal(held, text)) return &entry;
  }
  return nullptr;
}

const RString* RStringBank::Find(const char* text) const {
  if (buckets_ == nullptr || count_ == 0 || text == nullptr) return nullptr;
  Entry* entry = FindEntry(text, Hash(text));
  return entry ? &entry->value : nullptr;
}

void RStringBank::AppendToBucket(Bucket& bucket, const RString& value, uint32_t hash) {
  int needed = bucket.Size() + 1;
  if (needed > bucket.MaxSize()) {
    int capacity = bucket.MaxSize() > 0 ? bucket.MaxSize() : 1;
    while (capacity < needed) capacity *= 2;
    bucket.Realloc(capacity);
  }
  bucket.Add(Entry{value, hash});
}

void RStringBank::Grow() {
  int m = bucket_count_ + 1;
  while (count_ + 1 > 16 * m - 16) m *= 2;
  int new_count = m - 1;
  if (buckets_ == nullptr) {
    bucket_count_ = new_count;
    return;
  }
  Bucket* fresh = new Bucket[new_count];
  for (int b = 0; b < bucket_count_; ++b) {
    for (const Entry& entry : buckets_[b]) {
      uint32_t index = entry.hash % static_cast<uint32_t>(new_count);
      AppendToBucket(fresh[index], entry.value, entry.hash);
    }
  }
  delete[] buckets_;
  buckets_ = fresh;
  bucket_count_ = new_count;
}

int RStringBank::Insert(const RString& value, uint32_t hash) {
  if (count_ + 1 > 16 * bucket_count_) Grow();
  if (buckets_ == nullptr) {
    if (bucket_count_ <= 0) return -1;
    buckets_ = new Bucket[bucket_count_];
  }
  int index = BucketIndex(hash);
  AppendToBucket(buckets_[index], value, hash);
  ++count_;
  return index;
}

int RStringBank::Add(const RString& value) {
  const char* text = value.Data();
  uint32_t hash = Hash(text);
  if (buckets_ && count_ > 0) {
    if (Entry* held = FindEntry(text, hash)) {
      held->value = value;  // adds the new reference before releasing the old
      return BucketIndex(hash);
    }
  }
  return Insert(value, hash);
}

RString RStringBank::FindOrAdd(const char* text) {
  if (text == nullptr || *text == '\0') return RString();
  size_t length = 0;
  uint32_t hash = HashText(text, &length);
  if (buckets_ && count_ > 0) {
    if (Entry* held = FindEntry(text, hash)) return held->value;
  }
  RString fresh = RString::CreateBuffer(static_cast<int>(length));
  std::memcpy(fresh.MutableData(), text, length + 1);
  Insert(fresh, hash);
  return fresh;
}

bool RStringBank::Remove(const char* text) {
  if (buckets_ == nullptr || count_ == 0 || text == nullptr) return false;
  uint32_t hash = Hash(text);
  Bucket& bucket = buckets_[BucketIndex(hash)];
  for (int i = 0; i < bucket.Size(); ++i) {
    const Entry& entry = bucket[i];
    if (entry.hash != hash) continue;
    const char* held = entry.value.Data();
    if (held == text || Equal(held, text)) {
      bucket.Delete(i);
      if (--count_ == 0) FreeBuckets();
      return true;
    }
  }
  return false;
}

void RStringBank::Clear() {
  FreeBuckets();
  count_ = 0;
}

void RStringBank::FreeBuckets() {
  delete[] buckets_;
  buckets_ = nullptr;
}

RStringBank& CaseSensitiveStringBank() {
  static RStringBank bank(false);
  return bank;
}

RStringBank& CaseInsensitiveStringBank() {
  static RStringBank bank(true);
  return bank;
}

}  // namespace corvane
