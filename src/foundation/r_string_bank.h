#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/auto_array.h"
#include "foundation/r_string.h"

namespace corvane {

// Hash table of RString in which equal texts share one block. The bank holds
// one reference on every block it registers. Buckets are AutoArrays whose
// capacity grows by powers of two; the bucket count starts at 15 and grows
// (2^k - 1) when the average bucket would hold more than 16 strings. Each
// text's hash is kept beside it, so lookups compare texts only on a hash match
// and growth never hashes a text again.
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
  // The held string equal to `text`; when there is none, a new block with
  // the text is registered and answered (unregistered when the insertion
  // fails). Same result as Find followed by Add, with one hash and one scan.
  // Null for a null or empty text.
  RString FindOrAdd(const char* text);
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
  // Texts and their hashes in parallel arrays: a scan reads the compact hash
  // array and touches a text only when its hash matches.
  struct Bucket {
    AutoArray<RString> values;
    AutoArray<uint32_t> hashes;
  };
  static void AppendToBucket(Bucket& bucket, const RString& value, uint32_t hash);
  // Hash of `text`, and its length through `length`.
  uint32_t HashText(const char* text, size_t* length) const;
  // Position in `bucket` of the text equal to `text` (whose hash is given), or -1.
  int FindInBucket(const Bucket& bucket, const char* text, uint32_t hash) const;
  int Insert(const RString& value, uint32_t hash);
  void Grow();
  void FreeBuckets();
  int BucketIndex(uint32_t hash) const {
    return static_cast<int>(hash % static_cast<uint32_t>(bucket_count_));
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
