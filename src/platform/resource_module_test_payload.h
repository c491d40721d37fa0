#pragma once

// A payload for the resource module's tests: files written by our PE writer,
// and the check that a module finds each of them (in any letter case) and
// lists their names as the system does.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "pe/pe_format.h"
#include "pe/resource_writer.h"
#include "platform/resource_module.h"
#include "support/result_assertions.h"
#include "text/code_page_1252.h"

namespace corvane::platform::testing {

struct PayloadFile {
  std::string name;  // code page 1252
  std::vector<uint8_t> bytes;
};

inline std::vector<PayloadFile> SamplePayload() {
  std::vector<PayloadFile> files = {
      {"version.cfg", {'c', 'f', 'g'}},
      {"version.cfg.sign", std::vector<uint8_t>(128, 0x5A)},
      {"crc\\1.01\\crc.crc", {1, 2, 3, 4, 5}},
      {"1.00-1.01\\addons\\ui.vbk.upd", std::vector<uint8_t>(70000)},
      {"All\\Veska.exe.#Kestrel", std::vector<uint8_t>(3000, 'x')},
      {"Add\\_under_score", {7, 7}},
      {"Add\\empty", {}},
      // Letters beyond ASCII: stored as "CAF\xc9" and sorted as such, so the
      // system's case-blind binary search finds either case.
      {"Add\\caf\xe9", {1}},
      {"Add\\CAF\xc9x", {2}},
      {"Add\\\xdf\xfe", {3}},
  };
  for (size_t i = 0; i < files[3].bytes.size(); ++i)
    files[3].bytes[i] = static_cast<uint8_t>(i * 31);
  return files;
}

inline std::vector<pe::ResourceItem> PayloadItems(const std::vector<PayloadFile>& files) {
  std::vector<pe::ResourceItem> items;
  items.reserve(files.size() + 1);  // and the key PayloadDll adds
  for (const PayloadFile& file : files) {
    items.push_back(pe::PayloadItem(text::Cp1252ToUtf16(file.name), file.bytes.data(),
                                    static_cast<uint32_t>(file.bytes.size())));
  }
  return items;
}

// A resource-only image of the files and, numbered as the built-in public key
// is, `key`.
inline std::vector<uint8_t> PayloadDll(const std::vector<PayloadFile>& files,
                                       const std::vector<uint8_t>& key) {
  std::vector<pe::ResourceItem> items = PayloadItems(files);
  pe::ResourceItem numbered = pe::PayloadItem(u"", key.data(), static_cast<uint32_t>(key.size()));
  numbered.name = pe::ResourceName::Id(pe::kPublicKeyResourceId);
  items.push_back(numbered);
  std::vector<uint8_t> image;
  EXPECT_TRUE(Succeeded(pe::WriteResourceDll(items, &image)));
  return image;
}

// Letter case changed for ASCII only: the module must fold the rest itself.
inline std::string AsciiUpper(std::string text) {
  for (char& c : text) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  return text;
}

inline std::string AsciiLower(std::string text) {
  for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  return text;
}

// Every other ASCII letter upper, the rest lower: "vErSiOn.cFg".
inline std::string AsciiMixed(std::string text) {
  bool up = false;
  for (char& c : text) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter) continue;
    c = up ? AsciiUpper(std::string(1, c))[0] : AsciiLower(std::string(1, c))[0];
    up = !up;
  }
  return text;
}

inline void ExpectPayloadFound(const ResourceModule& module,
                               const std::vector<PayloadFile>& files) {
  for (const PayloadFile& file : files) {
    for (const std::string& name :
         {file.name, AsciiUpper(file.name), AsciiLower(file.name), AsciiMixed(file.name)}) {
      uint32_t size = 0xFFFFFFFF;
      const uint8_t* bytes = module.FindRawData(name.c_str(), &size);
      ASSERT_NE(bytes, nullptr) << name;  // an empty file is found too
      ASSERT_EQ(size, file.bytes.size()) << name;
      EXPECT_TRUE(std::equal(file.bytes.begin(), file.bytes.end(), bytes)) << name;
    }
  }
  // Every name is listed once, ascending by its upper case.
  std::vector<std::u16string> stored;
  stored.reserve(files.size());
  for (const PayloadFile& file : files)
    stored.push_back(text::NameUpper(text::Cp1252ToUtf16(file.name)));
  std::sort(stored.begin(), stored.end());
  std::vector<std::string> expected;
  expected.reserve(stored.size());
  for (const std::u16string& name : stored) expected.push_back(text::Utf16ToCp1252(name));
  std::vector<std::string> listed;
  EXPECT_TRUE(module.EnumerateRawDataNames([&](const char* name) {
    listed.emplace_back(name);
    return true;
  }));
  EXPECT_EQ(listed, expected);
}

}  // namespace corvane::platform::testing
