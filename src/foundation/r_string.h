#pragma once

#include <cstdint>
#include <cstring>

#include "foundation/bitwise_movable.h"

namespace corvane {

// Immutable, reference-counted 8-bit text. One pointer to a shared heap block
// (count, size of the text area, characters, zero byte) or null; the empty
// text is always null and allocates nothing. Copies share the block; no
// operation ever changes a shared block's text. Texts may hold any bytes
// except zero; length is measured up to the first zero byte.
class RString {
 public:
  RString() = default;
  RString(const char* text);  // NOLINT: texts convert implicitly
  // Copies at most `length` bytes of `text` (stopping at a zero byte) and
  // terminates; null when the text is empty or length <= 0.
  RString(const char* text, int length);
  // Copies and releases are on every path that touches names, so they stay
  // in the header where the compiler can fold them into the caller.
  RString(const RString& other) : block_(other.block_) {
    if (block_) ++block_->count;
  }
  RString(RString&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
  ~RString() { Free(); }

  // New reference first: the old block may be the same one, so assigning a
  // string to itself needs no test of its own.
  // NOLINTNEXTLINE(bugprone-unhandled-self-assignment): safe by that order
  RString& operator=(const RString& other) {
    TextBlock* block = other.block_;
    if (block) ++block->count;
    Free();
    block_ = block;
    return *this;
  }
  RString& operator=(RString&& other) noexcept {
    if (this != &other) {
      Free();
      block_ = other.block_;
      other.block_ = nullptr;
    }
    return *this;
  }
  RString& operator=(const char* text);

  // A new unshared block of `length` bytes whose text is empty (first byte
  // zero), to be filled through MutableData before it is shared. Null for
  // length <= 0.
  static RString CreateBuffer(int length);
  // Writable text of a block made by CreateBuffer. REQUIRES: not yet shared.
  char* MutableData();

  void Free() {
    if (block_ == nullptr) return;
    TextBlock* block = block_;
    block_ = nullptr;
    if (--block->count == 0) Release(block);
  }

  // Never null: the static empty text for a null string.
  const char* Data() const { return block_ ? block_->Text() : kEmptyText; }
  const char* c_str() const { return Data(); }
  int GetLength() const { return block_ ? static_cast<int>(std::strlen(block_->Text())) : 0; }
  bool IsEmpty() const { return block_ == nullptr || Data()[0] == '\0'; }
  bool IsNull() const { return block_ == nullptr; }
  // References on the block (0 for null); for diagnostics and tests.
  int RefCounter() const { return block_ ? block_->count : 0; }
  // Identity of the shared block (null for the empty string).
  const void* Block() const { return block_; }

  // A copy with every `from` replaced by `to`, or this text shared when it
  // holds no `from` (turns forward slashes of paths into backslashes).
  RString Replace(char from, char to) const;
  // ASCII lower-cased copy, or this text shared when nothing changes.
  RString Lower() const;
  // Bytes [start, end) clamped to the text.
  RString Substring(int start, int end) const;

  int Compare(const char* other) const;
  int CompareNoCase(const char* other) const;

  friend bool operator==(const RString& a, const RString& b) { return a.Compare(b.Data()) == 0; }
  friend bool operator==(const RString& a, const char* b) { return a.Compare(b) == 0; }

 private:
  // Heap block: count, size of the text area (length + 1), then the text.
  struct TextBlock {
    int32_t count;
    uint32_t size;
    char* Text() { return reinterpret_cast<char*>(this + 1); }
  };
  // Size left out here: callers comparing Data() against literals must not
  // see a one-byte array on the null path.
  static const char kEmptyText[];

  explicit RString(TextBlock* block);
  static TextBlock* Allocate(int length);
  static void Release(TextBlock* block);

  TextBlock* block_ = nullptr;
};

// Concatenation: a new block with `a` followed by `b`; null when both are empty.
RString operator+(const RString& a, const RString& b);
RString operator+(const RString& a, const char* b);
RString Concat(const char* a, const char* b);

// printf-style construction into 1,024 bytes: at most 1,023 characters,
// longer output is cut. Null when the result is empty.
RString FormatString(const char* format, ...)
#if defined(__MINGW_PRINTF_FORMAT)
    __attribute__((format(__MINGW_PRINTF_FORMAT, 1, 2)));
#elif defined(__GNUC__)
    __attribute__((format(printf, 1, 2)));
#else
    ;
#endif

// Decimal text of a signed 32-bit integer ("%d").
RString IntToString(int32_t value);

// ASCII case-insensitive comparison (letters compare equal regardless of
// case; other bytes, including those above 127, compare as unsigned values).
int CompareNoCase(const char* a, const char* b);
// Byte-wise comparison of unsigned bytes up to the terminator.
int CompareText(const char* a, const char* b);

// One pointer to a shared, reference-counted block.
template <>
inline constexpr bool kBitwiseMovable<RString> = true;

}  // namespace corvane
