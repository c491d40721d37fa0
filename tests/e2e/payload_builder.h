#pragma once

// Makes patch payloads for whole runs with the project's own writers: the
// manifest through the configuration library's binary form, its signature
// with the repository's test key, update files with CreatePatch, checksum
// lists in their text form, and the PE resource image of the payload.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "param/param_file.h"
#include "scratch_install.h"

namespace corvane::e2e {

// CRC-32/BZIP2, as the patcher checks installed files.
uint32_t FileCrc(const Bytes& bytes);

// The repository's test key pair (tests/keys).
bool LoadTestPrivateKey(std::string* pem);
bool LoadTestPublicKey(Bytes* blob);

class PayloadBuilder {
 public:
  explicit PayloadBuilder(std::string work_dir);

  // The manifest under construction (root class of "version.cfg").
  ParamFile& manifest() { return manifest_; }
  // Common top-level keys.
  void SetHeader(const std::string& config_app, const std::string& app_name,
                 const std::string& version, bool is_patch,
                 const std::string& display_name = "Sample Game");

  // Any resource, by payload name (backslashes).
  void Add(const std::string& name, const Bytes& bytes) { resources_[name] = bytes; }
  void Remove(const std::string& name) { resources_.erase(name); }
  bool Has(const std::string& name) const { return resources_.count(name) != 0; }
  Bytes& Get(const std::string& name) { return resources_[name]; }

  // "<from>-<to>\<relative>.upd" made by CreatePatch from old to new bytes.
  bool AddUpdate(const std::string& from, const std::string& to, const std::string& relative,
                 const Bytes& old_bytes, const Bytes& new_bytes);
  // "crc\<version>\crc.crc" listing the files (name -> content); optional
  // names get a "+".
  void AddChecksumList(const std::string& version, const std::map<std::string, Bytes>& files,
                       const std::vector<std::string>& optional = {});

  // Saves the manifest in binary form and signs it: "version.cfg" and
  // "version.cfg.sign". False when saving or signing failed.
  bool Seal();
  // The same with another private key (PEM).
  bool SealWith(const std::string& private_pem);
  // Seal, with every resource listed in the manifest with its size and
  // SHA-256 first, as the maker does. The list stays true while only the
  // manifest and its signature change.
  bool SealListingItems();
  // Carries a public key blob as the numbered resource a patcher takes its
  // key from (what "patchbuild pack --pubkey" writes).
  void SetPublicKey(const Bytes& blob) { public_key_ = blob; }

  // Every resource as a file below `dir` (the layout patchbuild pack reads).
  bool WriteTree(const std::string& dir) const;

  // The payload as a resource-only PE image, written to `path`.
  bool WriteDll(const std::string& path) const;
  // The payload image appended to the native patcher program.
  bool WriteSelfContained(const std::string& patcher, const std::string& path) const;

 private:
  Bytes Image() const;

  std::string work_dir_;
  ParamFile manifest_;
  std::map<std::string, Bytes> resources_;
  Bytes public_key_;
  int scratch_counter_ = 0;
};

}  // namespace corvane::e2e
