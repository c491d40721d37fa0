// LZSS encoder. The match finder is a binary search tree over the strings that
// start at each window position; its insertion order, tie rules and node
// replacement decide which reference is emitted, so they are kept exactly as
// the stored format expects (see docs/formats/lzss.md).

#include <cstring>

#include "stream/lzss.h"
#include "stream/lzss_match_tree.h"
#include "stream/qi_stream.h"
#include "stream/qo_stream.h"

namespace corvane {
namespace {

constexpr int kN = kLzssWindowSize;
constexpr int kF = kLzssMaxMatch;
constexpr int kMask = kN - 1;

// Bytes come from caller memory: the checksum is summed in one pass at the end.
class MemorySource {
 public:
  MemorySource(const std::uint8_t* data, std::size_t length)
      : begin_(data), p_(data), end_(data + length) {}
  bool Get(std::uint8_t& c) {
    if (p_ == end_) return false;
    c = *p_++;
    return true;
  }
  std::size_t Consumed() const { return static_cast<std::size_t>(p_ - begin_); }
  std::uint32_t Checksum() const {
    std::uint32_t sum = 0;
    for (const std::uint8_t* q = begin_; q != p_; ++q) sum += *q;
    return sum;
  }

 private:
  const std::uint8_t* begin_;
  const std::uint8_t* p_;
  const std::uint8_t* end_;
};

// Bytes come from an input stream, at most `limit` of them, read in chunks
// that never reach past the limit.
class StreamSource {
 public:
  StreamSource(QIStream& in, std::size_t limit) : in_(in), left_(limit) {}
  bool Get(std::uint8_t& c) {
    if (pos_ == len_ && !Refill()) return false;
    c = buffer_[pos_++];
    return true;
  }
  std::size_t Consumed() const { return consumed_; }
  std::uint32_t Checksum() const { return sum_; }

 private:
  bool Refill() {
    if (left_ == 0) return false;
    std::size_t want = left_ < sizeof(buffer_) ? left_ : sizeof(buffer_);
    std::int64_t got = in_.read(buffer_, static_cast<std::int64_t>(want));
    if (got <= 0) {
      left_ = 0;
      return false;
    }
    len_ = static_cast<std::size_t>(got);
    pos_ = 0;
    // A short read means the stream has ended.
    left_ = len_ < want ? 0 : left_ - len_;
    consumed_ += len_;
    for (std::size_t i = 0; i < len_; i++) sum_ += buffer_[i];
    return true;
  }

  QIStream& in_;
  std::size_t left_;
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
  std::size_t consumed_ = 0;
  std::uint32_t sum_ = 0;
  std::uint8_t buffer_[4096];
};

// Output straight into caller memory sized for the worst case.
class MemorySink {
 public:
  explicit MemorySink(std::uint8_t* dst) : begin_(dst), p_(dst) {}
  void Put(const std::uint8_t* data, std::size_t n) {
    std::memcpy(p_, data, n);
    p_ += n;
  }
  void Finish() {}
  std::size_t Written() const { return static_cast<std::size_t>(p_ - begin_); }

 private:
  std::uint8_t* begin_;
  std::uint8_t* p_;
};

// Output staged in a fixed buffer and handed to the stream in large writes.
class StreamSink {
 public:
  explicit StreamSink(QOStream& out) : out_(out) {}
  void Put(const std::uint8_t* data, std::size_t n) {
    if (used_ + n > sizeof(buffer_)) Finish();
    std::memcpy(buffer_ + used_, data, n);
    used_ += n;
  }
  void Finish() {
    if (used_ > 0) out_.write(buffer_, static_cast<std::int64_t>(used_));
    used_ = 0;
  }

 private:
  QOStream& out_;
  std::size_t used_ = 0;
  std::uint8_t buffer_[8192];
};

template <class Source, class Sink>
std::size_t Encode(Source& in, Sink& out) {
  LzssMatchTree tree;
  std::uint8_t* text = tree.text;

  // Bytes nothing has written yet (the look-ahead tail, the copy behind the
  // window end) start as zeros so that the output never depends on old memory.
  std::memset(text, kLzssFillByte, kN - kF);
  std::memset(text + kN - kF, 0, sizeof(tree.text) - (kN - kF));

  int r = kLzssStartPosition;
  int s = 0;
  int len = 0;
  std::uint8_t c;
  while (len < kF && in.Get(c)) text[r + len++] = c;
  if (len == 0) return 0;

  tree.Init();
  for (int i = 1; i <= kF; i++) tree.Insert(r - i);
  tree.Insert(r);

  // One group: flag byte plus up to eight items of at most two bytes.
  std::uint8_t group[1 + 8 * 2];
  group[0] = 0;
  int group_size = 1;
  unsigned mask = 1;
  do {
    int match_length = tree.match_length;
    if (match_length > len) match_length = len;
    if (match_length < kLzssMinMatch) {
      match_length = 1;
      group[0] |= static_cast<std::uint8_t>(mask);
      group[group_size++] = text[r];
    } else {
      unsigned distance = static_cast<unsigned>(r - tree.match_position) & kMask;
      group[group_size++] = static_cast<std::uint8_t>(distance);
      group[group_size++] =
          static_cast<std::uint8_t>(((distance >> 4) & 0xF0) | (match_length - kLzssMinMatch));
    }
    mask <<= 1;
    if (mask == 0x100) {
      out.Put(group, group_size);
      group[0] = 0;
      group_size = 1;
      mask = 1;
    }

    int i = 0;
    for (; i < match_length && in.Get(c); i++) {
      tree.Remove(s);
      text[s] = c;
      // The copy behind the end lets an 18-byte comparison run without wrapping.
      if (s < kF - 1) text[s + kN] = c;
      s = (s + 1) & kMask;
      r = (r + 1) & kMask;
      tree.Insert(r);
    }
    // Input exhausted: slide the window over what is left of the look-ahead.
    for (; i < match_length; i++) {
      tree.Remove(s);
      s = (s + 1) & kMask;
      r = (r + 1) & kMask;
      if (--len) tree.Insert(r);
    }
  } while (len > 0);

  if (group_size > 1) out.Put(group, group_size);
  std::uint32_t sum = in.Checksum();
  const std::uint8_t trailer[kLzssChecksumSize] = {
      static_cast<std::uint8_t>(sum), static_cast<std::uint8_t>(sum >> 8),
      static_cast<std::uint8_t>(sum >> 16), static_cast<std::uint8_t>(sum >> 24)};
  out.Put(trailer, sizeof(trailer));
  out.Finish();
  return in.Consumed();
}

}  // namespace

std::size_t LzssEncodeToBuffer(void* dst, const void* data, std::size_t length) {
  MemorySource in(static_cast<const std::uint8_t*>(data), length);
  MemorySink out(static_cast<std::uint8_t*>(dst));
  Encode(in, out);
  return out.Written();
}

std::size_t LzssEncodeMemory(QOStream& out, const void* data, std::size_t length) {
  MemorySource in(static_cast<const std::uint8_t*>(data), length);
  StreamSink sink(out);
  return Encode(in, sink);
}

std::size_t LzssEncodeStream(QOStream& out, QIStream& in, std::size_t length) {
  StreamSource source(in, length);
  StreamSink sink(out);
  return Encode(source, sink);
}

}  // namespace corvane
