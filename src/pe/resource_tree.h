#pragma once

// The resource directory of a PE image, flattened into one entry per data leaf
// (type / name / language), in the order the directory keeps them. Reading
// descends exactly three levels and caps the number of leaves, so directories
// that point back at themselves or at each other end; offsets that lead outside
// the image drop the entry instead of reading beyond it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pe/pe_image.h"

namespace corvane::pe {

// A resource type or name: a number, or a UTF-16 text.
struct ResourceName {
  bool is_named = false;
  uint16_t id = 0;
  std::u16string name;

  static ResourceName Id(uint16_t value) { return {false, value, {}}; }
  static ResourceName Named(std::u16string text) { return {true, 0, std::move(text)}; }
  bool operator==(const ResourceName& other) const = default;
};

struct ResourceEntry {
  ResourceName type;
  ResourceName name;
  uint16_t language = 0;
  uint32_t data_rva = 0;
  uint32_t size = 0;
  uint32_t code_page = 0;
  const uint8_t* bytes = nullptr;  // into the image; null when the data is not in the file
};

class ResourceTree {
 public:
  // Leaves beyond this count are ignored (a directory pointing at itself
  // otherwise multiplies its entries at every level).
  static constexpr size_t kMaxEntries = 1u << 17;

  // Reads the resource directory of the image. An image without one gives an
  // empty tree and true; false when the root directory is unreadable.
  bool Load(const PeImage& image);

  const std::vector<ResourceEntry>& entries() const { return entries_; }
  // True when some part of the directory was unreadable or the cap was hit.
  bool damaged() const { return damaged_; }

  // The entry of that type and name (named ones compared without regard to
  // letter case, see NameUpper) whose data is readable. Language: the
  // requested one, else language neutral, else the first the directory holds.
  const ResourceEntry* Find(const ResourceName& type, const ResourceName& name,
                            uint16_t language = kAnyLanguage) const;

  static constexpr uint16_t kAnyLanguage = 0xFFFF;

 private:
  bool ReadName(const PeImage& image, uint32_t base, uint32_t field, ResourceName* out);
  void ReadLevel(const PeImage& image, uint32_t base, uint32_t directory_offset, int level,
                 ResourceEntry* path);

  std::vector<ResourceEntry> entries_;
  bool damaged_ = false;
  size_t visited_ = 0;
};

bool SameResourceName(const ResourceName& a, const ResourceName& b);

}  // namespace corvane::pe
