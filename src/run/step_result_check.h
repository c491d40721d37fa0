#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace corvane {

struct PatchContext;

namespace platform {
class ResourceModule;
}

// A file the patch writes is proven before it replaces the installed one:
// its CRC-32 must be one of the values the checksum list of the version it
// belongs to gives for it. The update's own byte sum is blind to reordered
// or exchanged bytes; the list is what the verification of the next run
// will hold the file to.

struct ListedCrcs {
  bool list_found = false;  // the payload has a list for the version
  bool listed = false;      // ... and it names the file
  // Every value given for the file (one list line may give several, one per
  // edition); the first is the one messages show.
  std::vector<uint32_t> values;

  bool Matches(uint32_t crc) const;
};

// What the checksum list of version `major`.`minor` (payload
// "crc\%d.%02d\crc.crc") gives for `name`, a path below the installation
// directory, compared without regard to ASCII case and after a line's "+".
// With `variants_too`, when no line names the file exactly, the lines of its
// distribution variants ("<name>.#<distribution>") are taken together.
// A list is parsed once and kept while the payload holds the same bytes for
// it, so a step of thousands of files reads its list once.
ListedCrcs FindListedCrcs(const platform::ResourceModule& module, int major, int minor,
                          const std::string& name, bool variants_too);

// True when a whole-file pass of this run brings `name` (a path below the
// installation directory) after the steps: the context's payload holds it
// under "All\", "Add\" or the installed version's prefix (e.g. "1.00\"), as
// it is or as a distribution variant. Such a file ends as that whole file, so
// the lists describe the whole file and a step's result for it is not held to
// them; the whole file is checked when it lands.
bool BroughtWholeLater(PatchContext* context, const std::string& name);

// Bytes of a file read between two calls of `progress` by FileCrc.
inline constexpr uint32_t kCrcPieceSize = 1u << 20;

// The CRC-32 of a whole file of any size (an empty file has the CRC of the
// empty input). `progress`, when set, is called after every piece read, so a
// window stays answering over a large file. False when the file cannot be
// opened or read to its end.
bool FileCrc(const char* path, uint32_t* crc, const std::function<void()>& progress);

}  // namespace corvane
