#include "foundation/r_string_bank.h"

#include <cstring>

namespace corvane {

RStringBank::RStringBank(bool case_insensitive) : case_insensitive_(case_insensitive) {}

RStringBank::~RStringBank() {
  ReportLog("RStringBank destruct");
  if (buckets_) {
    for (int b = 0; b < bucket_count_; ++b) {
      for (const RString& value : buckets_[b].values) {
        if (value.RefCounter() > 1) {
          ReportLog("Error: String %s late release (%d)", value.Data(), value.RefCounter());
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

int RStringBank::FindInBucket(const Bucket& bucket, const char* text, uint32_t hash) const {
  const uint32_t* hashes = bucket.hashes.Data();
  const int size = bucket.hashes.Size();
  for (int i = 0; i < size; ++i) {
    if (hashes[i] != hash) continue;
    const char* held = bucket.values[i].Data();
    // A handle releasing its own block asks with the block's text.
    if (held == text || Equal(held, text)) return i;
  }
  return -1;
}

const RString* RStringBank::Find(const char* text) const {
  if (buckets_ == nullptr || count_ == 0 || text == nullptr) return nullptr;
  uint32_t hash = Hash(text);
  const Bucket& bucket = buckets_[BucketIndex(hash)];
  int i = FindInBucket(bucket, text, hash);
  return i >= 0 ? &bucket.values[i] : nullptr;
}

void RStringBank::AppendToBucket(Bucket& bucket, const RString& value, uint32_t hash) {
  int needed = bucket.values.Size() + 1;
  if (needed > bucket.values.MaxSize()) {
    int capacity = bucket.values.MaxSize() > 0 ? bucket.values.MaxSize() : 1;
    while (capacity < needed) capacity *= 2;
    bucket.values.Realloc(capacity);
    bucket.hashes.Realloc(capacity);
  }
  bucket.values.Add(value);
  bucket.hashes.Add(hash);
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
    const Bucket& bucket = buckets_[b];
    for (int i = 0; i < bucket.values.Size(); ++i) {
      uint32_t hash = bucket.hashes[i];
      AppendToBucket(fresh[hash % static_cast<uint32_t>(new_count)], bucket.values[i], hash);
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
    int index = BucketIndex(hash);
    Bucket& bucket = buckets_[index];
    int i = FindInBucket(bucket, text, hash);
    if (i >= 0) {
      bucket.values[i] = value;  // adds the new reference before releasing the old
      return index;
    }
  }
  return Insert(value, hash);
}

RString RStringBank::FindOrAdd(const char* text) {
  if (text == nullptr || *text == '\0') return RString();
  size_t length = 0;
  uint32_t hash = HashText(text, &length);
  if (buckets_ && count_ > 0) {
    const Bucket& bucket = buckets_[BucketIndex(hash)];
    int i = FindInBucket(bucket, text, hash);
    if (i >= 0) return bucket.values[i];
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
  int i = FindInBucket(bucket, text, hash);
  if (i < 0) return false;
  bucket.values.Delete(i);
  bucket.hashes.Delete(i);
  if (--count_ == 0) FreeBuckets();
  return true;
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
