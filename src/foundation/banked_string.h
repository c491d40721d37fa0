#pragma once

#include "foundation/r_string.h"
#include "foundation/r_string_bank.h"

namespace corvane {

// A string interned in a process-wide bank: equal texts (by the bank's rule)
// share one block, whose text is that of the first one registered. When the
// last handle lets go (the block's count is 2: the handle and the bank) the
// block leaves the bank and is freed; a later construction registers a fresh
// block. Same representation and operations as RString.
template <RStringBank& (*GetBank)()>
class BankedStringT {
 public:
  BankedStringT() = default;
  BankedStringT(const char* text) {  // NOLINT: texts convert implicitly
    if (text == nullptr || *text == '\0') return;
    value_ = GetBank().FindOrAdd(text);
  }
  BankedStringT(const RString& text) : BankedStringT(text.Data()) {}  // NOLINT
  BankedStringT(const BankedStringT& other) : value_(other.value_) {}
  BankedStringT(BankedStringT&& other) noexcept : value_(std::move(other.value_)) {}
  ~BankedStringT() { Free(); }

  BankedStringT& operator=(const BankedStringT& other) {
    BankedStringT copy(other);  // new reference before the old one goes
    Swap(copy);
    return *this;
  }
  BankedStringT& operator=(BankedStringT&& other) noexcept {
    if (this != &other) {
      Free();
      value_ = std::move(other.value_);
    }
    return *this;
  }
  BankedStringT& operator=(const char* text) { return *this = BankedStringT(text); }

  void Free() {
    if (value_.IsNull()) return;
    if (value_.RefCounter() == 2) GetBank().Remove(value_.Data());
    value_.Free();
  }
  void Swap(BankedStringT& other) { std::swap(value_, other.value_); }

  const char* Data() const { return value_.Data(); }
  const char* c_str() const { return value_.Data(); }
  int GetLength() const { return value_.GetLength(); }
  bool IsEmpty() const { return value_.IsEmpty(); }
  bool IsNull() const { return value_.IsNull(); }
  int RefCounter() const { return value_.RefCounter(); }
  const void* Block() const { return value_.Block(); }
  // The shared block as a plain RString.
  const RString& GetRString() const { return value_; }

  int Compare(const char* other) const {
    return GetBank().CaseInsensitive() ? CompareNoCase(Data(), other) : CompareText(Data(), other);
  }
  friend bool operator==(const BankedStringT& a, const BankedStringT& b) {
    return a.Block() == b.Block() || a.Compare(b.Data()) == 0;
  }
  friend bool operator==(const BankedStringT& a, const char* b) { return a.Compare(b) == 0; }

 private:
  RString value_;
};

using BankedString = BankedStringT<&CaseSensitiveStringBank>;
using BankedStringNoCase = BankedStringT<&CaseInsensitiveStringBank>;

}  // namespace corvane
