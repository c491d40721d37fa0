#pragma once

// The block compressor: LZSS over a 4,096-byte ring window, references found
// with a binary search tree, and a trailing additive checksum. The byte format
// is described in docs/formats/lzss.md; stored files depend on the encoder's
// exact choices, so its output is fixed byte for byte.
//
// Every entry point takes the exact uncompressed length; the length itself is
// never stored. Work areas (window, tree, output staging) have fixed sizes and
// live on the caller's stack: nothing grows with the input.

#include <cstddef>
#include <cstdint>

namespace corvane {

class QIStream;
class QOStream;

inline constexpr int kLzssWindowSize = 4096;  // ring window, also the distance range
inline constexpr int kLzssMaxMatch = 18;      // longest reference (and look-ahead)
inline constexpr int kLzssMinMatch = 3;       // shortest reference; shorter -> literal
// At the start of every block the window holds spaces up to here and the first
// output byte lands here.
inline constexpr int kLzssStartPosition = kLzssWindowSize - kLzssMaxMatch;  // 4,078
inline constexpr std::uint8_t kLzssFillByte = 0x20;
inline constexpr int kLzssChecksumSize = 4;
// Blocks shorter than this are stored raw by the serializer.
inline constexpr std::size_t kLzssMinCompressedBlock = 1024;
// Worst case: every item a literal (9 bytes per 8 input bytes), plus one
// partial group and the checksum.
inline constexpr std::size_t LzssMaxEncodedSize(std::size_t length) {
  return length + (length + 7) / 8 + kLzssChecksumSize;
}

// Source name cited in decoder failure reports ("%s(%d) : %s"). Like the
// "LZW" texts below, it is what logs of stored data have always shown (the
// format began as another compressor), so it stays as it is.
inline constexpr const char kLzssSourceName[] = "ssCompress";

// Why a decode failed. The texts are the ones the decoder reports.
enum class LzssError {
  kNone = 0,
  kReadFailed,   // "LZW: stream read failed": the items ended early
  kOverflow,     // "LZW overflow": a reference runs past the expected length
  kEndOfStream,  // "LZW: end of stream": the checksum is missing
  kChecksum,     // "Checksum": the checksum differs from the data produced
};
const char* LzssErrorText(LzssError error);

// Encoders. They read at most `length` bytes (stopping early when the input
// ends), write the compressed form to `out` and answer the number of bytes
// consumed. When nothing is available they write nothing at all (no flag
// byte, no checksum). Output failures are left in `out`'s own flags.
std::size_t LzssEncodeStream(QOStream& out, QIStream& in, std::size_t length);
std::size_t LzssEncodeMemory(QOStream& out, const void* data, std::size_t length);
// Encode into caller memory: `dst` must hold LzssMaxEncodedSize(length) bytes.
// Answers the number of bytes written (0 for length 0).
std::size_t LzssEncodeToBuffer(void* dst, const void* data, std::size_t length);

// Decoders. Each answers true at once for length 0 and then reads nothing.
// On failure it reports "%s(%d) : %s" with kLzssSourceName through
// ReportErrorAt, stores the reason in *error (when given) and answers false;
// bytes produced before the failure stay in the destination. A decoder never
// reads outside its input and never writes past `length` bytes of output.
//
// Decode memory: `src` holds `src_size` bytes of compressed data (trailing
// bytes after the checksum are ignored); `dst` receives exactly `length` bytes.
bool LzssDecodeMemory(void* dst, std::size_t length, const void* src, std::size_t src_size,
                      LzssError* error = nullptr);
// Decode stream: compressed data from `in`, which is left just after the
// checksum on success.
bool LzssDecodeStream(void* dst, std::size_t length, QIStream& in, LzssError* error = nullptr);
// Decode to stream: as above, the output written to `out` as it is produced.
bool LzssDecodeToStream(QOStream& out, std::size_t length, QIStream& in,
                        LzssError* error = nullptr);
// Skip: decodes and drops, so that `in` ends up after the block and the
// checksum has been verified.
bool LzssSkip(QIStream& in, std::size_t length, LzssError* error = nullptr);

}  // namespace corvane
