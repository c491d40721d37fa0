// patchbuild lzss encode IN OUT / lzss decode IN OUT LENGTH: packs a file as
// one LZSS block (the form of compressed serializer blocks and bank entries)
// and unpacks one. The block does not store its length, so decoding needs it.

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "command_registry.h"
#include "foundation/whole_file.h"
#include "maker/cache_file.h"
#include "stream/lzss.h"
#include "stream/qi_str_stream.h"
#include "stream/qo_stream.h"

namespace {

using corvane::ReadWholeFile;

using corvane::LzssError;

struct LzssOptions {
  std::string input;
  std::string output;
  std::string length;
};

// A decimal byte count, nothing else.
bool ParseLength(const std::string& text, std::uint64_t* value) {
  if (text.empty() || text.size() > 19) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  errno = 0;
  *value = std::strtoull(text.c_str(), nullptr, 10);
  return errno == 0;
}

// The most a block of `packed` bytes can decode to: every group a flag byte
// and eight 18-byte references (17 bytes for 144), plus the checksum.
std::uint64_t MostDecodable(std::uint64_t packed) {
  if (packed < corvane::kLzssChecksumSize) return 0;
  std::uint64_t items = packed - corvane::kLzssChecksumSize;
  return items / 17 * 144 + (items % 17) / 2 * 18;
}

corvane::Result RunEncode(const LzssOptions& options) {
  std::vector<std::uint8_t> data;
  if (!ReadWholeFile(options.input, &data)) {
    return patchbuild::Failure(corvane::ErrorCode::kReadFailed, "cannot read %s",
                               options.input.c_str());
  }
  corvane::QOStrStream packed;
  corvane::LzssEncodeMemory(packed, data.data(), data.size());
  if (corvane::Result written = corvane::maker::WriteFileWhole(
          options.output, packed.str(), static_cast<std::size_t>(packed.GetLength()));
      !written.ok()) {
    return written;
  }
  std::printf("%s: %zu bytes -> %" PRId64 " bytes (decode with LENGTH %zu)\n",
              options.input.c_str(), data.size(), packed.GetLength(), data.size());
  return {};
}

corvane::Result RunDecode(const LzssOptions& options) {
  std::uint64_t length = 0;
  if (!ParseLength(options.length, &length)) {
    return patchbuild::Failure(corvane::ErrorCode::kInvalidInput,
                               "LENGTH must be a byte count, not '%s'", options.length.c_str());
  }
  std::vector<std::uint8_t> packed;
  if (!ReadWholeFile(options.input, &packed)) {
    return patchbuild::Failure(corvane::ErrorCode::kReadFailed, "cannot read %s",
                               options.input.c_str());
  }
  // Refused before allocating: no block of this size can produce more.
  std::uint64_t most = MostDecodable(packed.size());
  if (length > most) {
    return patchbuild::Failure(corvane::ErrorCode::kInvalidInput,
                               "%s (%zu bytes) cannot decode to %" PRIu64 " bytes (at most %" PRIu64
                               ")",
                               options.input.c_str(), packed.size(), length, most);
  }
  std::vector<std::uint8_t> data(static_cast<std::size_t>(length));
  corvane::QIStrStream in(packed.data(), packed.size());
  LzssError error = LzssError::kNone;
  if (!corvane::LzssDecodeStream(data.data(), data.size(), in, &error)) {
    return patchbuild::Failure(corvane::ErrorCode::kInvalidInput,
                               "%s does not decode to %" PRIu64 " bytes: %s", options.input.c_str(),
                               length, corvane::LzssErrorText(error));
  }
  if (corvane::Result written =
          corvane::maker::WriteFileWhole(options.output, data.data(), data.size());
      !written.ok()) {
    return written;
  }
  std::int64_t rest = static_cast<std::int64_t>(packed.size()) - in.tellg();
  if (rest > 0) {
    std::fprintf(stderr, "patchbuild: note: %" PRId64 " bytes follow the block in %s\n", rest,
                 options.input.c_str());
  }
  std::printf("%s: %zu bytes -> %zu bytes, checksum correct\n", options.input.c_str(),
              packed.size(), data.size());
  return {};
}

void AddLzss(CLI::App& app, patchbuild::CommandOutcome* outcome) {
  CLI::App* lzss = app.add_subcommand("lzss", "Pack or unpack one LZSS block (compressed blocks)");
  lzss->require_subcommand(1);
  auto options = std::make_shared<LzssOptions>();

  CLI::App* encode = lzss->add_subcommand("encode", "Compress IN into the block OUT");
  encode->add_option("IN", options->input, "the file to compress")->required();
  encode->add_option("OUT", options->output, "the block written")->required();
  patchbuild::RunsCommand(encode, outcome, [options] { return RunEncode(*options); });

  CLI::App* decode = lzss->add_subcommand(
      "decode", "Decompress the block IN to OUT, checking its checksum (exit 1 on any fault)");
  decode->add_option("IN", options->input, "the block")->required();
  decode->add_option("OUT", options->output, "the file written")->required();
  decode
      ->add_option("LENGTH", options->length,
                   "the exact decompressed size in bytes (blocks do not store it)")
      ->required();
  patchbuild::RunsCommand(decode, outcome, [options] { return RunDecode(*options); });
}

patchbuild::CommandRegistration registration("lzss", &AddLzss);

}  // namespace
