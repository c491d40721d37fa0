// Applies arbitrary bytes as an update file to a fixed old file. Besides the
// sanitizers' checks: a run that answers "done" must have written exactly the
// declared new size, and a failed run must leave no output behind.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/apply_patch.h"

namespace {

// 64 bytes: "abcdefgh" then a counting pattern (seeds in the corpus are made
// against this file).
constexpr size_t kOldSize = 64;

struct Scratch {
  Scratch() {
    namespace fs = std::filesystem;
    dir = fs::temp_directory_path() / ("apply_patch_fuzz_" + std::to_string(std::rand()));
    fs::create_directories(dir);
    old_path = (dir / "old.bin").string();
    update_path = (dir / "x.upd").string();
    output_path = (dir / "out.bin").string();
    std::FILE* file = std::fopen(old_path.c_str(), "wb");
    for (size_t i = 0; i < kOldSize; ++i) {
      std::fputc(i < 8 ? static_cast<int>('a' + i) : static_cast<int>(i * 3), file);
    }
    std::fclose(file);
  }
  std::filesystem::path dir;
  std::string old_path, update_path, output_path;
};

int32_t DeclaredNewSize(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  return static_cast<int32_t>(data[1] | data[2] << 8 | data[3] << 16 |
                              static_cast<uint32_t>(data[4]) << 24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Scratch scratch;
  std::FILE* file = std::fopen(scratch.update_path.c_str(), "wb");
  if (file == nullptr) return 0;
  if (size > 0) std::fwrite(data, 1, size, file);
  std::fclose(file);
  std::error_code error;
  std::filesystem::remove(scratch.output_path, error);
  // The messages are formatted as always but go nowhere: a log in the
  // fuzzer's directory would only grow.
  auto discard = [](const char*) {};
  corvane::ApplyPatch apply(corvane::PatchMessages(discard, discard));
  corvane::PatchResult result = apply.Process(
      scratch.output_path.c_str(), scratch.update_path.c_str(), scratch.old_path.c_str(), true);
  bool exists = std::filesystem::exists(scratch.output_path, error);
  if (result == corvane::kPatchDone) {
    if (!exists || std::filesystem::file_size(scratch.output_path, error) !=
                       static_cast<uintmax_t>(DeclaredNewSize(data, size))) {
      std::abort();
    }
  } else if (result == corvane::kPatchFailed && exists) {
    std::abort();
  }
  return 0;
}
