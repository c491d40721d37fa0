#include "foundation/r_string.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

namespace corvane {

const char RString::kEmptyText[1] = {'\0'};

namespace {

int AsciiLower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

}  // namespace

int CompareNoCase(const char* a, const char* b) {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(a ? a : "");
  const unsigned char* y = reinterpret_cast<const unsigned char*>(b ? b : "");
  for (;; ++x, ++y) {
    int cx = AsciiLower(*x);
    int cy = AsciiLower(*y);
    if (cx != cy) return cx - cy;
    if (cx == 0) return 0;
  }
}

int CompareText(const char* a, const char* b) {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(a ? a : "");
  const unsigned char* y = reinterpret_cast<const unsigned char*>(b ? b : "");
  for (;; ++x, ++y) {
    if (*x != *y) return *x - *y;
    if (*x == 0) return 0;
  }
}

RString::TextBlock* RString::Allocate(int length) {
  void* memory = ::operator new(sizeof(TextBlock) + static_cast<size_t>(length) + 1);
  TextBlock* block = static_cast<TextBlock*>(memory);
  block->count = 0;
  block->size = static_cast<uint32_t>(length) + 1;
  block->Text()[0] = '\0';
  return block;
}

RString::RString(TextBlock* block) : block_(block) {
  if (block_) ++block_->count;
}

RString::RString(const char* text) {
  if (text == nullptr || *text == '\0') return;
  size_t length = std::strlen(text);
  TextBlock* block = Allocate(static_cast<int>(length));
  std::memcpy(block->Text(), text, length + 1);
  block_ = block;
  ++block_->count;
}

RString::RString(const char* text, int length) {
  if (text == nullptr || *text == '\0' || length <= 0) return;
  // Copies stop at a zero byte, so never read past a shorter text.
  int end = 0;
  while (end < length && text[end] != '\0') ++end;
  length = end;
  TextBlock* block = Allocate(length);
  std::memcpy(block->Text(), text, static_cast<size_t>(length));
  block->Text()[length] = '\0';
  block_ = block;
  ++block_->count;
}

RString& RString::operator=(const char* text) { return *this = RString(text); }

RString RString::CreateBuffer(int length) {
  if (length <= 0) return RString();
  return RString(Allocate(length));
}

char* RString::MutableData() { return block_ ? block_->Text() : nullptr; }

void RString::Release(TextBlock* block) { ::operator delete(block); }

RString RString::Replace(char from, char to) const {
  // No length limit: the copy is sized to the text.
  const char* text = Data();
  if (from == '\0' || std::strchr(text, from) == nullptr) return *this;
  RString result(text);
  for (char* p = result.block_->Text(); *p; ++p) {
    if (*p == from) *p = to;
  }
  return result;
}

RString RString::Lower() const {
  const char* text = Data();
  const char* p = text;
  while (*p && !(*p >= 'A' && *p <= 'Z')) ++p;
  if (*p == '\0') return *this;
  RString result(text);
  for (char* q = result.block_->Text(); *q; ++q) {
    if (*q >= 'A' && *q <= 'Z') *q = static_cast<char>(*q + 32);
  }
  return result;
}

RString RString::Substring(int start, int end) const {
  int length = GetLength();
  if (start < 0) start = 0;
  if (end > length) end = length;
  if (start >= end) return RString();
  return RString(Data() + start, end - start);
}

int RString::Compare(const char* other) const { return CompareText(Data(), other); }

int RString::CompareNoCase(const char* other) const {
  return corvane::CompareNoCase(Data(), other);
}

RString Concat(const char* a, const char* b) {
  if (a == nullptr) a = "";
  if (b == nullptr) b = "";
  size_t la = std::strlen(a);
  size_t lb = std::strlen(b);
  if (la + lb == 0) return RString();
  RString result = RString::CreateBuffer(static_cast<int>(la + lb));
  char* text = result.MutableData();
  // The second copy brings b's terminating zero.
  std::copy_n(a, la, text);
  std::memcpy(text + la, b, lb + 1);
  return result;
}

RString operator+(const RString& a, const RString& b) { return Concat(a.Data(), b.Data()); }
RString operator+(const RString& a, const char* b) { return Concat(a.Data(), b); }

RString FormatString(const char* format, ...) {
  if (format == nullptr) return RString();
  char buffer[1024];
  buffer[0] = '\0';
  va_list args;
  va_start(args, format);
  int length = std::vsnprintf(buffer, sizeof(buffer), format, args);
  va_end(args);
  if (length < 0) return RString();
  return RString(buffer);
}

RString IntToString(int32_t value) { return FormatString("%d", static_cast<int>(value)); }

}  // namespace corvane
