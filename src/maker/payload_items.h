#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "maker/file_digest.h"
#include "pe/resource_writer.h"

namespace corvane::maker {

class ContentHash;

// The items a make packs into the patcher, by payload name (names differ in
// more than letter case). An item holds its bytes, or names the file they
// come from: update files and whole files are read only when packing, which
// a make whose outputs are up to date skips.
class PayloadItems {
 public:
  // `installed` is the path below the game directory the item ends up at
  // (empty for items that write no file); name and path must fit the
  // patcher's limits. False, with error() set, when they do not or when the
  // name is taken.
  bool AddBytes(const std::string& name, const std::string& installed, std::vector<uint8_t> bytes);
  // `content` is the digest of the file's bytes as the make read them.
  bool AddFile(const std::string& name, const std::string& installed, const std::string& path,
               const FileDigest& content);

  // Feeds every item into `hash`: its name and bytes, or for a file the
  // digest of its content.
  void Fingerprint(ContentHash* hash) const;

  // Reads every file item. False, with error() set, when one cannot be read
  // or is no longer the content it had.
  bool Load();

  // The items as resources, in name order; after Load.
  std::vector<pe::ResourceItem> Resources() const;

  size_t count() const { return items_.size(); }
  uint64_t total_bytes() const { return total_bytes_; }
  const std::string& error() const { return error_; }

 private:
  struct Item {
    std::string name;
    std::string file;  // empty: the bytes are held
    uint64_t size = 0;
    FileDigest content;  // of the file
    std::vector<uint8_t> bytes;
  };
  bool Add(const std::string& name, const std::string& installed, Item item);

  std::map<std::string, Item> items_;  // upper-case name -> item
  uint64_t total_bytes_ = 0;
  std::string error_;
};

}  // namespace corvane::maker
