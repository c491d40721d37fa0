#include "foundation/r_string_bank.h"

namespace corvane {

RStringBank::RStringBank(bool case_insensitive) : case_insensitive_(case_insensitive) {}

RStringBank::~RStringBank() {
  ReportLog("RStringBank destruct");
  if (buckets_) {
    for (int b = 0; b < bucket_count_; ++b) {
      for (const RString& value : buckets_[b]) {
        if (value.RefCounter() > 1) {
          ReportLog("Error: String %s late release (%d)", value.Data(), value.RefCounter());
        }
      }
    }
  }
  FreeBuckets();
}

uint32_t RStringBank::Hash(const char* text) const {
  uint32_t hash = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    unsigned int c = *p;
    if (case_insensitive_ && c >= 'A' && c <= 'Z') c += 32;
    hash = hash * 33 + c;
  }
  return hash;
}

bool RStringBank::Equal(const char* a, const char* b) const {
  return (case_insensitive_ ? CompareNoCase(a, b) : CompareText(a, b)) == 0;
}

const RString* RStringBank::Find(const char* text) const {
  if (buckets_ == nullptr || count_ == 0 || text == nullptr) return nullptr;
  const Bucket& bucket = buckets_[BucketOf(text)];
  for (const RString& value : bucket) {
    if (Equal(value.Data(), text)) return &value;
  }
  return nullptr;
}

void RStringBank::AppendToBucket(Bucket& bucket, const RString& value) {
  int needed = bucket.Size() + 1;
  if (needed > bucket.MaxSize()) {
    int capacity = bucket.MaxSize() > 0 ? bucket.MaxSize() : 1;
    while (capacity < needed) capacity *= 2;
    bucket.Realloc(capacity);
  }
  bucket.Add(value);
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
    for (const RString& value : buckets_[b]) {
      uint32_t index = Hash(value.Data()) % static_cast<uint32_t>(new_count);
      AppendToBucket(fresh[index], value);
    }
  }
  delete[] buckets_;
  buckets_ = fresh;
  bucket_count_ = new_count;
}

int RStringBank::Add(const RString& value) {
  const char* text = value.Data();
  if (buckets_ && count_ > 0) {
    Bucket& bucket = buckets_[BucketOf(text)];
    for (RString& held : bucket) {
      if (Equal(held.Data(), text)) {
        held = value;  // adds the new reference before releasing the old
        return BucketOf(text);
      }
    }
  }
  if (count_ + 1 > 16 * bucket_count_) Grow();
  if (buckets_ == nullptr) {
    if (bucket_count_ <= 0) return -1;
    buckets_ = new Bucket[bucket_count_];
  }
  int index = BucketOf(text);
  AppendToBucket(buckets_[index], value);
  ++count_;
  return index;
}

bool RStringBank::Remove(const char* text) {
  if (buckets_ == nullptr || count_ == 0 || text == nullptr) return false;
  Bucket& bucket = buckets_[BucketOf(text)];
  for (int i = 0; i < bucket.Size(); ++i) {
    if (Equal(bucket[i].Data(), text)) {
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
