#include "maker/make_preflight.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "foundation/whole_file.h"
#include "maker/cache_file.h"
#include "pe/pe_format.h"
#include "pe/pe_image.h"
#include "pe/resource_tree.h"
#include "pe/version_resource.h"
#include "run/distributions.h"
#include "run/version_detection.h"

namespace corvane::maker {

namespace fs = std::filesystem;

namespace {

// The first 16 bytes of the modulus of tests/keys/test.pubkey (after the
// 20-byte blob header): enough to know the key again.
constexpr uint8_t kTestKeyModulusHead[16] = {0xaf, 0xda, 0x08, 0x82, 0x5f, 0xf4, 0x04, 0xce,
                                             0x3c, 0xb1, 0x0a, 0xc5, 0x88, 0x39, 0xc0, 0xae};

std::string InstalledName(const std::string& relative) {
  int base = 0;
  DistributionSuffix(relative.c_str(), &base);
  return relative.substr(0, static_cast<size_t>(base));
}

}  // namespace

Result PrepareOutputFolder(const std::string& output_file) {
  fs::path folder = fs::path(output_file).parent_path();
  if (folder.empty()) folder = ".";
  std::error_code ec;
  if (!fs::exists(folder, ec)) {
    fs::create_directories(folder, ec);
    if (ec) {
      return Result::Failure(ErrorCode::kWriteFailed, "cannot create the output folder " +
                                                          folder.string() + ": " + ec.message());
    }
  }
  if (!fs::is_directory(folder, ec)) {
    return Result::Failure(ErrorCode::kInvalidInput,
                           "the output folder " + folder.string() + " is not a folder");
  }
  if (fs::is_directory(output_file, ec)) {
    return Result::Failure(ErrorCode::kInvalidInput, "the output " + output_file + " is a folder");
  }
  // The same kind of file the outputs are written as, created and removed.
  const std::string probe = output_file + ".probe";
  if (Result probed = WriteFileWhole(probe, "", 0); !probed.ok()) {
    return Result::Failure(
        ErrorCode::kWriteFailed,
        "cannot write into the output folder " + folder.string() + " (" + probed.message() + ")");
  }
  fs::remove(probe, ec);
  return Result();
}

Result CheckStub(const std::string& path, bool win32) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, &bytes)) {
    return Result::Failure(
        ErrorCode::kReadFailed,
        path + ": cannot read the " + (win32 ? "win32 patcher stub" : "native patcher"));
  }
  const bool elf = bytes.size() >= 4 && std::memcmp(bytes.data(),
                                                    "\x7f"
                                                    "ELF",
                                                    4) == 0;
  pe::PeImage image;
  const bool pe = image.Parse(bytes.data(), bytes.size());
  // The product is the 32-bit program; the 64-bit build of the same sources
  // (made to test the Windows code where 32-bit code cannot run) is a
  // Windows patcher too.
  const bool windows_patcher =
      pe && ((!image.is_pe32_plus() && image.machine() == pe::kMachineI386) ||
             (image.is_pe32_plus() && image.machine() == pe::kMachineAmd64));
  if (win32 && !windows_patcher) {
    return Result::Failure(ErrorCode::kInvalidInput,
                           path + ": not a win32 patcher stub (" +
                               (elf  ? std::string("an ELF program: give it with --native-stub")
                                : pe ? std::string("a PE image, but not an x86 Windows program")
                                     : std::string("not a PE image")) +
                               ")");
  }
  if (!win32 && !elf) {
    return Result::Failure(ErrorCode::kInvalidInput,
                           path + ": not a native patcher (" +
                               (pe ? std::string("a PE image: give it with --stub")
                                   : std::string("not an ELF program")) +
                               ")");
  }
  return Result();
}

bool IsRepositoryTestKey(const std::vector<uint8_t>& public_blob) {
  return public_blob.size() == 148 &&
         std::equal(std::begin(kTestKeyModulusHead), std::end(kTestKeyModulusHead),
                    public_blob.begin() + 20);
}

std::string FileVersionOfFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, &bytes)) return std::string();
  pe::PeImage image;
  pe::ResourceTree resources;
  if (!image.Parse(bytes.data(), bytes.size()) || !resources.Load(image)) return std::string();
  return pe::FileVersionOfImage(resources);
}

Result CheckGameExecutables(const PatchProject& project,
                            std::string (*file_version)(const std::string& path)) {
  // The manifest's texts are code page 1252 already (manifest_compile.h).
  std::string app = project.app_name;
  if (app.empty()) {
    return Result::Failure(ErrorCode::kInvalidInput,
                           project.manifest_path + ": \"appName\" is empty");
  }
  std::replace(app.begin(), app.end(), '/', '\\');
  const std::string wanted = FoldName(app);
  for (const ReleasedVersion& version : project.versions) {
    int found = 0;
    for (const auto& [key, file] : version.files) {
      if (FoldName(InstalledName(file.relative)) != wanted) continue;
      ++found;
      const std::string text = file_version(file.path);
      if (text.empty()) {
        return Result::Failure(
            ErrorCode::kInvalidInput,
            file.path + ": the game executable (appName) has no FileVersion; the patcher tells " +
                version.text + " by it");
      }
      if (ParseVersion(text.c_str()) != version.number) {
        return Result::Failure(
            ErrorCode::kInvalidInput,
            file.path + ": FileVersion \"" + text + "\" is not the version of its folder (" +
                version.text + "); the patcher would take this installation for another version");
      }
    }
    if (found == 0) {
      return Result::Failure(
          ErrorCode::kInvalidInput,
          (fs::path(project.root) / "versions" / version.text).string() + ": no " +
              project.app_name +
              " (the manifest's appName), by which the patcher finds and dates the game");
    }
  }
  return Result();
}

}  // namespace corvane::maker
