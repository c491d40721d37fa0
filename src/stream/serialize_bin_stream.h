#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/banked_string.h"
#include "foundation/r_string.h"

namespace corvane {

class QIStream;
class QOStream;

// Direction-neutral binary serializer: the same Transfer calls write when it
// wraps an output stream and read when it wraps an input stream, so one
// routine describes a record for both directions. Integers are 4 bytes
// little-endian; strings end in a zero byte; blocks of at least 1,024 bytes
// may be stored LZSS-compressed (lzss.h). Lengths are never stored: both
// sides must know them.
//
// The wrapped stream is not owned and must outlive this object. Failures do
// not stop anything: a failed decode or a string cut by the end of the data
// sets the error code to kErrorDecode and reads go on; callers set codes of
// their own through SetError and test GetError at the end.
class SerializeBinStream {
 public:
  static constexpr int kErrorDecode = 4;

  explicit SerializeBinStream(QIStream& in) : in_(&in) {}
  explicit SerializeBinStream(QOStream& out) : out_(&out) {}

  SerializeBinStream(const SerializeBinStream&) = delete;
  SerializeBinStream& operator=(const SerializeBinStream&) = delete;

  bool IsLoading() const { return in_ != nullptr; }
  bool IsSaving() const { return out_ != nullptr; }
  // The wrapped stream of this direction, or null.
  QIStream* GetInput() const { return in_; }
  QOStream* GetOutput() const { return out_; }

  int GetError() const { return error_; }
  void SetError(int error) { error_ = error; }
  // A pointer the caller keeps with the stream (the configuration reader's
  // context); never dereferenced here.
  void* GetContext() const { return context_; }
  void SetContext(void* context) { context_ = context; }
  // The version last transferred by TransferVersion; -1 before that.
  int GetVersion() const { return version_; }

  // One byte as it is. Reading at the end of the data yields 0.
  void Transfer(std::uint8_t& value);
  void Transfer(char& value);
  // 4 bytes little-endian. Bytes missing at the end of the data read as 0
  // (the input stream's end and failure flags tell).
  void TransferInt(std::int32_t& value);

  // Text bytes and a zero byte. Reading stops at the zero byte; the end of
  // the data reports "EOF in string", sets kErrorDecode and yields what was
  // read so far. The banked form shares one block per distinct text.
  void TransferString(BankedString& text);
  // Plain form: reading also stops at a byte 255 (consumed, not stored).
  void TransferString(RString& text);

  // `length` bytes: raw, or LZSS-encoded when `compress` is set and length is
  // at least kLzssMinCompressedBlock. A raw read cut by the end of the data
  // leaves zeros in the rest of `data`; a failed decode warns "Error in
  // SerializeBinStream decoding" and sets kErrorDecode.
  void TransferBlock(void* data, std::size_t length, bool compress);
  // Reading only: passes over a block written by TransferBlock with the same
  // length and flag. A compressed block is decoded (and so verified) and
  // dropped; a raw one is skipped by seeking.
  void SkipBlock(std::size_t length, bool compress);

  // Writing stores `current` and keeps it as the version; reading loads the
  // stored value, keeps it, and answers false when it lies outside
  // [minimum, current].
  bool TransferVersion(int minimum, int current);

  // Writing only: stores a 4-byte placeholder (-1) and answers its position.
  std::int64_t ReserveOffset();
  // Writing only: fills the placeholder at `position` with the current
  // position and carries on writing where it was, so that a record can point
  // forward to data written after it.
  void PatchOffset(std::int64_t position);

  // Positions on the wrapped stream. On a stream of the other direction they
  // report "%s(%d) : %s" (ReportErrorAt) and do nothing; queries answer 0.
  std::int64_t TellG();
  void SeekG(std::int64_t position);
  std::int64_t TellP();
  void SeekP(std::int64_t position);

 private:
  // Reads a zero-terminated text (also stopping at 255 when `stop_at_255`)
  // into a fresh RString.
  RString ReadText(bool stop_at_255);
  void WriteText(const char* text, int length);
  void WriteInt(std::int32_t value);

  QIStream* in_ = nullptr;
  QOStream* out_ = nullptr;
  int error_ = 0;
  void* context_ = nullptr;
  int version_ = -1;
};

}  // namespace corvane
