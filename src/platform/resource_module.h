#pragma once

// A module whose resources are read: the patcher's own (the payload inside it,
// message texts) or a file named by the user, loaded as a data file.
//
// win32: LoadLibraryExA with LOAD_LIBRARY_AS_DATAFILE, FindResourceA,
// LoadResource, SizeofResource, LockResource, EnumResourceNamesA, and the
// string table through FindResourceExA.
// posix: the PE image is mapped read-only and read by src/pe. The program's own
// module is the PE image appended to the program file, found through the trailer
// of docs/formats/native-trailer.md.
//
// The system takes a module that fails to load as its own; callers do that by
// calling OpenSelf() after a failed OpenFile().

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace corvane::platform {

class ResourceModule {
 public:
  ResourceModule();
  ~ResourceModule();
  ResourceModule(const ResourceModule&) = delete;
  ResourceModule& operator=(const ResourceModule&) = delete;

  // Loads a file (Windows path) as a data module. False when it is not a module
  // that can be loaded; the object is then closed.
  bool OpenFile(const char* path);
  // The program's own module. posix: false when no payload image is appended.
  bool OpenSelf();
  void Close();
  bool is_open() const;

  // The bytes of the named raw-data (RT_RCDATA) resource, found whatever the
  // letter case of name. Null when there is none (then *size is not written).
  // The bytes stay valid until the module is closed. Names longer than 511
  // characters are never found.
  const uint8_t* FindRawData(const char* name, uint32_t* size) const;
  // A numbered raw-data resource (used for the built-in public key).
  const uint8_t* FindRawDataById(uint16_t id, uint32_t* size) const;

  // Calls visit with the name of every named raw-data resource, in the ascending
  // order the module keeps them; numbered ones are skipped. Stops when visit
  // returns false; the result is then false.
  bool EnumerateRawDataNames(const std::function<bool(const char* name)>& visit) const;

  // The string of that id from the module's string table, as 8-bit text.
  // language 0 takes the system's choice (the user's language, falling back to
  // the neutral one); another value asks for that language and falls back the
  // same way. False when there is no such string.
  bool LoadStringText(uint16_t id, uint16_t language, std::string* text) const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace corvane::platform
