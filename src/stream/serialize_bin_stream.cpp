#include "stream/serialize_bin_stream.h"

#include <cstring>
#include <string>

#include "foundation/app_frame.h"
#include "stream/lzss.h"
#include "stream/qi_stream.h"
#include "stream/qo_stream.h"

namespace corvane {

void SerializeBinStream::Transfer(std::uint8_t& value) {
  if (out_) {
    out_->write(&value, 1);
    return;
  }
  int c = in_->get();
  value = c < 0 ? 0 : static_cast<std::uint8_t>(c);
}

void SerializeBinStream::Transfer(char& value) {
  std::uint8_t byte = static_cast<std::uint8_t>(value);
  Transfer(byte);
  value = static_cast<char>(byte);
}

void SerializeBinStream::WriteInt(std::int32_t value) {
  std::uint32_t v = static_cast<std::uint32_t>(value);
  const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                                 static_cast<std::uint8_t>(v >> 16),
                                 static_cast<std::uint8_t>(v >> 24)};
  out_->write(bytes, 4);
}

void SerializeBinStream::TransferInt(std::int32_t& value) {
  if (out_) {
    WriteInt(value);
    return;
  }
  std::uint8_t bytes[4] = {0, 0, 0, 0};
  in_->read(bytes, 4);
  value = static_cast<std::int32_t>(
      static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
      static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24);
}

RString SerializeBinStream::ReadText(bool stop_at_255) {
  std::string text;
  for (;;) {
    int c = in_->get();
    if (c < 0) {
      CORVANE_REPORT_INTERNAL("EOF in string");
      error_ = kErrorDecode;
      break;
    }
    if (c == 0 || (stop_at_255 && c == 255)) break;
    text.push_back(static_cast<char>(c));
  }
  return RString(text.c_str(), static_cast<int>(text.size()));
}

void SerializeBinStream::WriteText(const char* text, int length) {
  if (length > 0) out_->write(text, length);
  out_->put('\0');
}

void SerializeBinStream::TransferString(BankedString& text) {
  if (out_) {
    WriteText(text.Data(), text.GetLength());
  } else {
    text = BankedString(ReadText(false));
  }
}

void SerializeBinStream::TransferString(RString& text) {
  if (out_) {
    WriteText(text.Data(), text.GetLength());
  } else {
    text = ReadText(true);
  }
}

void SerializeBinStream::TransferBlock(void* data, std::size_t length, bool compress) {
  if (length == 0) return;
  const bool packed = compress && length >= kLzssMinCompressedBlock;
  if (out_) {
    if (packed) {
      LzssEncodeMemory(*out_, data, length);
    } else {
      out_->write(data, static_cast<std::int64_t>(length));
    }
    return;
  }
  if (packed) {
    if (!LzssDecodeStream(data, length, *in_)) {
      ReportWarning("Error in SerializeBinStream decoding");
      error_ = kErrorDecode;
    }
    return;
  }
  std::int64_t got = in_->read(data, static_cast<std::int64_t>(length));
  if (got < 0) got = 0;
  if (static_cast<std::size_t>(got) < length) {
    // Never hand back stale memory as if it had been read.
    std::memset(static_cast<char*>(data) + got, 0, length - static_cast<std::size_t>(got));
  }
}

void SerializeBinStream::SkipBlock(std::size_t length, bool compress) {
  if (!in_) {
    CORVANE_REPORT_INTERNAL("Cannot SeekG on output stream");
    return;
  }
  if (length == 0) return;
  if (compress && length >= kLzssMinCompressedBlock) {
    if (!LzssSkip(*in_, length)) {
      ReportWarning("Error in SerializeBinStream decoding");
      error_ = kErrorDecode;
    }
    return;
  }
  in_->seekg(in_->tellg() + static_cast<std::int64_t>(length));
}

bool SerializeBinStream::TransferVersion(int minimum, int current) {
  if (out_) {
    version_ = current;
    WriteInt(current);
    return true;
  }
  std::int32_t stored = 0;
  TransferInt(stored);
  version_ = stored;
  return stored >= minimum && stored <= current;
}

std::int64_t SerializeBinStream::ReserveOffset() {
  std::int64_t position = TellP();
  if (out_) WriteInt(-1);
  return position;
}

void SerializeBinStream::PatchOffset(std::int64_t position) {
  if (!out_) {
    CORVANE_REPORT_INTERNAL("File is not writeable");
    return;
  }
  std::int64_t current = out_->tellp();
  out_->SeekP(position);
  WriteInt(static_cast<std::int32_t>(current));
  out_->SeekP(current);
}

std::int64_t SerializeBinStream::TellG() {
  if (!in_) {
    CORVANE_REPORT_INTERNAL("File is not readable");
    return 0;
  }
  return in_->tellg();
}

void SerializeBinStream::SeekG(std::int64_t position) {
  if (!in_) {
    CORVANE_REPORT_INTERNAL("Cannot SeekG on output stream");
    return;
  }
  in_->seekg(position);
}

std::int64_t SerializeBinStream::TellP() {
  if (!out_) {
    CORVANE_REPORT_INTERNAL("File is not writeable");
    return 0;
  }
  return out_->tellp();
}

void SerializeBinStream::SeekP(std::int64_t position) {
  if (!out_) {
    CORVANE_REPORT_INTERNAL("Cannot SeekP on input stream");
    return;
  }
  out_->SeekP(position);
}

}  // namespace corvane
