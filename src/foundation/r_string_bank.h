#pragma once

#include <cstdint>

#include "foundation/auto_array.h"
#include "foundation/r_string.h"

namespace corvane {

// Hash table of RString in which equal texts share one block. The bank holds
// one reference on every block it registers. Buckets are AutoArrays whose
// capacity grows by powers of two; the bucket count starts at 15 and grows
// (2^k - 1) when the average bucket would hold more than 16 strings.
class RStringBank {
 public:
  explicit RStringBank(bool case_insensitive);
  // Logs "RStringBank destruct" and "Error: String %s late release (%d)" for
  // every string someone still refers to; those strings stay valid.
  ~RStringBank();

  RStringBank(const RStringBank&) = delete;
  RStringBank& operator=(const RStringBank&) = delete;

  // The held string equal to `text`, or null when there is none.
  const RString* Find(const char* text) const;
  // Registers `value` (a held equal text is replaced by it) and answers its
  // bucket index; -1 when there are no buckets to insert into.
  int Add(const RString& value);
  // Removes the string equal to `text`, releasing the bank's reference; the
  // bucket array is freed when the bank becomes empty. False when not held.
  bool Remove(const char* text);
  // Frees all buckets and their references; the bucket count is kept.
  void Clear();

  int Count() const { return count_; }
  int BucketCount() const { return bucket_count_; }
  bool CaseInsensitive() const { return case_insensitive_; }

  uint32_t Hash(const char* text) const;
  bool Equal(const char* a, const char* b) const;

 private:
  using Bucket = AutoArray<RString>;
  static void AppendToBucket(Bucket& bucket, const RString& value);
  void Grow();
  void FreeBuckets();
  int BucketOf(const char* text) const {
    return static_cast<int>(Hash(text) % static_cast<uint32_t>(bucket_count_));
  }

  bool case_insensitive_;
  Bucket* buckets_ = nullptr;
  int bucket_count_ = 15;
  int count_ = 0;
};

// The two process-wide banks, constructed on first use and destroyed at exit
// after every banked string made after them.
RStringBank& CaseSensitiveStringBank();
RStringBank& CaseInsensitiveStringBank();

}  // namespace corvane
