#include "sample_game.h"

#include <cstdio>

#include "version_block.h"

namespace corvane::e2e {

namespace {

// Deterministic bytes: the same (seed, size) always gives the same content.
Bytes PseudoRandom(uint32_t seed, size_t size) {
  Bytes bytes(size);
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    bytes[i] = static_cast<uint8_t>(state);
  }
  return bytes;
}

// A version of a data file: the base content with a few runs changed, some
// bytes inserted and the tail grown, as a real data file changes.
Bytes Evolve(Bytes base, int minor, uint32_t seed) {
  for (int v = 1; v <= minor; ++v) {
    Bytes change = PseudoRandom(seed * 31 + static_cast<uint32_t>(v), 64);
    size_t at = (base.size() / 7 * static_cast<size_t>(v)) % (base.size() - 64);
    std::copy(change.begin(), change.end(), base.begin() + static_cast<std::ptrdiff_t>(at));
    base.insert(base.begin() + static_cast<std::ptrdiff_t>(base.size() / 3), change.begin(),
                change.begin() + 16);
    base.insert(base.end(), change.begin(), change.end());
  }
  return base;
}

}  // namespace

std::string VersionText(int minor) {
  char text[16];
  std::snprintf(text, sizeof text, "1.%02d", minor);
  return text;
}

FileSet SampleGameFiles(int minor, int scale, int extra_files) {
  FileSet files;
  std::string version = VersionText(minor);
  files[kSampleExe] = BuildGameExecutable(version, "040904b0", "Sample Game build " + version);
  files["DATA\\LEVELS.DAT"] = Evolve(PseudoRandom(1, 20000 * static_cast<size_t>(scale)), minor, 1);
  files["DATA\\SOUND.DAT"] = PseudoRandom(2, 8000 * static_cast<size_t>(scale));
  files["README.TXT"] = ToBytes("Sample Game " + version + "\r\nThank you for playing.\r\n");
  for (int i = 0; i < extra_files; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "DATA\\PART%02d.DAT", i);
    files[name] =
        Evolve(PseudoRandom(100 + static_cast<uint32_t>(i), 30000 * static_cast<size_t>(scale)),
               minor, 100 + static_cast<uint32_t>(i));
  }
  return files;
}

bool InstallFiles(const ScratchInstall& install, const FileSet& files) {
  for (const auto& [name, bytes] : files) {
    if (!install.WriteGameFile(name, bytes)) return false;
  }
  return install.Register(kSampleKey);
}

FileSet EditionFiles(const FileSet& version, const std::string& edition) {
  FileSet files;
  for (const auto& [name, bytes] : version) {
    const size_t mark = name.rfind(".#");
    if (mark == std::string::npos)
      files[name] = bytes;
    else if (name.substr(mark + 2) == edition)
      files[name.substr(0, mark)] = bytes;
  }
  return files;
}

void MakeSamplePatch(PayloadBuilder* builder, const SamplePatchOptions& options) {
  builder->SetHeader(kSampleKey, kSampleExe, VersionText(options.to_minor), true);
  for (int minor = options.from_minor; minor <= options.to_minor; ++minor) {
    builder->AddChecksumList(VersionText(minor),
                             SampleGameFiles(minor, options.scale, options.extra_files));
  }
  for (int minor = options.from_minor; minor < options.to_minor; ++minor) {
    FileSet old_files = SampleGameFiles(minor, options.scale, options.extra_files);
    FileSet new_files = SampleGameFiles(minor + 1, options.scale, options.extra_files);
    for (const auto& [name, bytes] : new_files) {
      if (old_files[name] == bytes) continue;
      builder->AddUpdate(VersionText(minor), VersionText(minor + 1), name, old_files[name], bytes);
    }
  }
}

}  // namespace corvane::e2e
