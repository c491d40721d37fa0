// Fuzz target: any text as a Wine registry file; look a value up, set one and
// check the change reads back and leaves the text before the key alone.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/posix/wine_registry_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using corvane::platform::WineRegistryFile;
  const std::string text(reinterpret_cast<const char*>(data), size);
  WineRegistryFile file;
  file.Load(text);
  std::u16string value;
  (void)file.GetString(u"Software\\Corvane", u"MAIN", &value);
  (void)file.GetString(u"Software\\Corvane", u"", &value);

  // Odd characters in the new value: quotes, escapes, controls, non-Latin.
  const std::u16string written = u"C:\\G\"a\\x\u00e9\u4e2d\n\t\x01" + std::u16string(1, u'7');
  file.SetString(u"Software\\Corvane", u"MAIN", written, 1700000000);
  WineRegistryFile reread;
  reread.Load(file.text());
  if (reread.GetString(u"software\\corvane", u"main", &value) != WineRegistryFile::Lookup::kFound ||
      value != written) {
    __builtin_trap();
  }
  return 0;
}
