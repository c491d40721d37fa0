// LZSS decoder. One core, specialised at compile time for where compressed
// bytes come from (memory or an input stream) and where output goes (caller
// memory, or a fixed staging buffer passed on to a stream or dropped).
//
// The ring window is not kept as a ring: output is written linearly and a
// reference reads `distance` bytes back in the output itself (distance 0 means
// a full window back). Before 4,096 bytes exist, the positions in front of the
// output stand for the initial window.

#include <cstring>

#include "foundation/app_frame.h"
#include "stream/lzss.h"
#include "stream/qi_stream.h"
#include "stream/qo_stream.h"

namespace corvane {

const char* LzssErrorText(LzssError error) {
  switch (error) {
    case LzssError::kNone:
      return "";
    case LzssError::kReadFailed:
      return "LZW: stream read failed";
    case LzssError::kOverflow:
      return "LZW overflow";
    case LzssError::kEndOfStream:
      return "LZW: end of stream";
    case LzssError::kChecksum:
      return "Checksum";
  }
  return "";
}

namespace {

constexpr unsigned kN = kLzssWindowSize;
// A whole group writes at most seven full references and then up to 24 bytes
// (three 8-byte moves) from where its last item starts.
constexpr std::size_t kGroupOutput = 7 * kLzssMaxMatch + 24;

// Item bytes of a whole group after its flag byte: one per literal, two per
// reference.
inline std::size_t GroupInputSize(std::uint8_t flags) {
  return 16 - static_cast<std::size_t>(__builtin_popcount(flags));
}

// What output index -k (k = 1..4096) holds at the start of a block: it is ring
// position (4078 - k) mod 4096, a space for 0..4077 and a never-written zero
// for 4078..4095. Index i of the table stands for output index i - 4096.
struct InitialWindow {
  std::uint8_t bytes[kN] = {};
  constexpr InitialWindow() {
    for (unsigned i = kLzssMaxMatch; i < kN; i++) bytes[i] = kLzssFillByte;
  }
};
constexpr InitialWindow kInitialWindow;

inline std::uint32_t ByteSum(const std::uint8_t* p, std::size_t n) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < n; i++) sum += p[i];
  return sum;
}

// --- Inputs -----------------------------------------------------------------

class MemoryInput {
 public:
  MemoryInput(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
  bool Get(std::uint8_t& c) {
    if (p_ == end_) return false;
    c = *p_++;
    return true;
  }
  // Makes `n` bytes available at Data(); false when the input holds fewer.
  bool Ensure(std::size_t n) const { return static_cast<std::size_t>(end_ - p_) >= n; }
  const std::uint8_t* Data() const { return p_; }
  void Skip(std::size_t n) { p_ += n; }

 private:
  const std::uint8_t* p_;
  const std::uint8_t* end_;
};

// Compressed bytes from an input stream. Whole groups are fetched with one
// read of exactly their size, so nothing past the block is consumed.
class StreamInput {
 public:
  explicit StreamInput(QIStream& in) : in_(in) {}
  bool Get(std::uint8_t& c) {
    if (pos_ < len_) {
      c = buffer_[pos_++];
      return true;
    }
    int value = in_.get();
    if (value < 0) return false;
    c = static_cast<std::uint8_t>(value);
    return true;
  }
  // REQUIRES: n <= 16 and nothing left over from an earlier Ensure. A short
  // read keeps what it got for Get, which then meets the end of the data.
  bool Ensure(std::size_t n) {
    std::int64_t got = in_.read(buffer_, static_cast<std::int64_t>(n));
    len_ = got > 0 ? static_cast<std::size_t>(got) : 0;
    pos_ = 0;
    return len_ == n;
  }
  const std::uint8_t* Data() const { return buffer_ + pos_; }
  void Skip(std::size_t n) { pos_ += n; }

 private:
  QIStream& in_;
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
  std::uint8_t buffer_[16];
};

// --- Outputs ----------------------------------------------------------------

// Output straight into the caller's block of exactly `length` bytes.
class MemoryOutput {
 public:
  MemoryOutput(std::uint8_t* dst, std::size_t length) : buf_(dst), length_(length) {}
  std::uint8_t* Buffer() const { return buf_; }
  std::size_t Pos() const { return pos_; }
  void SetPos(std::size_t pos) { pos_ = pos; }
  // The decoder never produces more than `length` bytes, so room is assured.
  std::size_t Room() const { return length_ - pos_; }
  void MakeRoom(std::size_t) {}
  void Flush() {}
  std::uint32_t Checksum() const { return ByteSum(buf_, pos_); }

 private:
  std::uint8_t* buf_;
  std::size_t length_;
  std::size_t pos_ = 0;
};

// Output staged behind a copy of the last 4,096 bytes; full stages are handed
// to `Consumer::Take` and the history slides to the front.
template <class Consumer>
class StagedOutput {
 public:
  explicit StagedOutput(Consumer& consumer) : consumer_(consumer) {
    std::memcpy(buf_, kInitialWindow.bytes, kN);
  }
  std::uint8_t* Buffer() { return buf_; }
  std::size_t Pos() const { return pos_; }
  void SetPos(std::size_t pos) { pos_ = pos; }
  std::size_t Room() const { return sizeof(buf_) - pos_; }
  void MakeRoom(std::size_t n) {
    if (Room() < n) Flush();
  }
  void Flush() {
    std::size_t n = pos_ - kN;
    if (n == 0) return;
    sum_ += ByteSum(buf_ + kN, n);
    consumer_.Take(buf_ + kN, n);
    std::memmove(buf_, buf_ + pos_ - kN, kN);
    pos_ = kN;
  }
  std::uint32_t Checksum() const { return sum_; }

 private:
  Consumer& consumer_;
  std::size_t pos_ = kN;
  std::uint32_t sum_ = 0;
  std::uint8_t buf_[kN + 32768];
};

// --- Core -------------------------------------------------------------------

inline unsigned Distance(unsigned b0, unsigned b1) {
  unsigned d = b0 | ((b1 & 0xF0u) << 4);
  return d == 0 ? kN : d;  // distance 0 is the byte a full window back
}

inline void Copy8(std::uint8_t* dst, const std::uint8_t* src) {
  std::uint64_t v;
  std::memcpy(&v, src, 8);
  std::memcpy(dst, &v, 8);
}

// REQUIRES: pos >= distance and 24 bytes of room at pos. Bytes written past
// the reference's end are overwritten by later output.
inline void CopyFast(std::uint8_t* buf, std::size_t pos, unsigned distance, unsigned len) {
  std::uint8_t* d = buf + pos;
  const std::uint8_t* s = d - distance;
  if (distance >= 8) {
    // Each 8-byte source lies wholly before its destination, so the moves
    // repeat earlier output exactly as a byte-by-byte copy would.
    Copy8(d, s);
    Copy8(d + 8, s + 8);
    Copy8(d + 16, s + 16);
  } else if (distance == 1) {
    std::memset(d, *s, len);
  } else {
    for (unsigned k = 0; k < len; k++) d[k] = s[k];
  }
}

// Exact-length copy that also serves references into the initial window.
inline void CopyExact(std::uint8_t* buf, std::size_t pos, unsigned distance, unsigned len) {
  for (unsigned k = 0; k < len; k++) {
    std::size_t at = pos + k;
    buf[at] = at >= distance ? buf[at - distance] : kInitialWindow.bytes[kN - distance + at];
  }
}

template <class Input, class Output>
LzssError DecodeItems(Input& in, Output& out, std::size_t length) {
  std::size_t remaining = length;
  while (remaining > 0) {
    std::uint8_t flags;
    if (!in.Get(flags)) return LzssError::kReadFailed;
    out.MakeRoom(kGroupOutput);
    std::uint8_t* buf = out.Buffer();
    std::size_t pos = out.Pos();

    if (remaining >= kGroupOutput && out.Room() >= kGroupOutput &&
        in.Ensure(GroupInputSize(flags))) {
      // A whole group with no checks: input, output room and length suffice.
      const std::uint8_t* p = in.Data();
      const std::size_t start = pos;
      for (int item = 0; item < 8; item++, flags >>= 1) {
        if (flags & 1) {
          buf[pos++] = *p++;
          continue;
        }
        unsigned distance = Distance(p[0], p[1]);
        unsigned len = (p[1] & 0x0Fu) + kLzssMinMatch;
        p += 2;
        if (pos >= distance) {
          CopyFast(buf, pos, distance, len);
        } else {
          CopyExact(buf, pos, distance, len);
        }
        pos += len;
      }
      in.Skip(static_cast<std::size_t>(p - in.Data()));
      out.SetPos(pos);
      remaining -= pos - start;
      continue;
    }

    for (int item = 0; item < 8 && remaining > 0; item++, flags >>= 1) {
      if (flags & 1) {
        std::uint8_t c;
        if (!in.Get(c)) return LzssError::kReadFailed;
        out.MakeRoom(1);
        buf = out.Buffer();
        pos = out.Pos();
        buf[pos] = c;
        out.SetPos(pos + 1);
        remaining--;
        continue;
      }
      std::uint8_t b0, b1;
      if (!in.Get(b0) || !in.Get(b1)) return LzssError::kReadFailed;
      unsigned len = (b1 & 0x0Fu) + kLzssMinMatch;
      if (remaining < len) return LzssError::kOverflow;
      out.MakeRoom(len);
      buf = out.Buffer();
      pos = out.Pos();
      CopyExact(buf, pos, Distance(b0, b1), len);
      out.SetPos(pos + len);
      remaining -= len;
    }
  }

  std::uint8_t stored[kLzssChecksumSize];
  for (std::uint8_t& b : stored) {
    if (!in.Get(b)) return LzssError::kEndOfStream;
  }
  out.Flush();
  std::uint32_t sum = out.Checksum();
  for (int i = 0; i < kLzssChecksumSize; i++) {
    if (stored[i] != static_cast<std::uint8_t>(sum >> (8 * i))) return LzssError::kChecksum;
  }
  return LzssError::kNone;
}

// Records the outcome; a failure is reported once, citing the line it came from.
bool Finish(LzssError result, int line, LzssError* error) {
  if (error) *error = result;
  if (result == LzssError::kNone) return true;
  ReportErrorAt("%s(%d) : %s", kLzssSourceName, line, LzssErrorText(result));
  return false;
}

// Where staged output goes.
struct DropOutput {
  void Take(const std::uint8_t*, std::size_t) {}
};
struct StreamOutput {
  QOStream& out;
  void Take(const std::uint8_t* data, std::size_t n) {
    out.write(data, static_cast<std::int64_t>(n));
  }
};

}  // namespace

bool LzssDecodeMemory(void* dst, std::size_t length, const void* src, std::size_t src_size,
                      LzssError* error) {
  if (length == 0) return Finish(LzssError::kNone, __LINE__, error);
  MemoryInput in(static_cast<const std::uint8_t*>(src), src_size);
  MemoryOutput out(static_cast<std::uint8_t*>(dst), length);
  return Finish(DecodeItems(in, out, length), __LINE__, error);
}

bool LzssDecodeStream(void* dst, std::size_t length, QIStream& in, LzssError* error) {
  if (length == 0) return Finish(LzssError::kNone, __LINE__, error);
  StreamInput input(in);
  MemoryOutput out(static_cast<std::uint8_t*>(dst), length);
  return Finish(DecodeItems(input, out, length), __LINE__, error);
}

bool LzssDecodeToStream(QOStream& out, std::size_t length, QIStream& in, LzssError* error) {
  if (length == 0) return Finish(LzssError::kNone, __LINE__, error);
  StreamInput input(in);
  StreamOutput consumer{out};
  StagedOutput<StreamOutput> staged(consumer);
  LzssError result = DecodeItems(input, staged, length);
  // Bytes produced before a failure still reach the stream.
  if (result != LzssError::kNone) staged.Flush();
  return Finish(result, __LINE__, error);
}

bool LzssSkip(QIStream& in, std::size_t length, LzssError* error) {
  if (length == 0) return Finish(LzssError::kNone, __LINE__, error);
  StreamInput input(in);
  DropOutput consumer;
  StagedOutput<DropOutput> staged(consumer);
  return Finish(DecodeItems(input, staged, length), __LINE__, error);
}

}  // namespace corvane
