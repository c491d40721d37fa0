#pragma once

// One registry file of a Wine prefix (system.reg, user.reg) in Wine's own text
// format, read and changed in place:
//
//   WINE REGISTRY Version 2
//   ;; All keys relative to \\Machine
//
//   #arch=win64
//
//   [Software\\Corvane\\Game] 1700000000
//   #time=1da1b2c3d4e5f60
//   "MAIN"="C:\\Games\\Corvane"
//
// Key lines carry the path (backslashes escaped) and the modification time in
// seconds; "#time=" the same as a 64-bit file time in hex. Texts escape "\\",
// the delimiter, control characters (\n, \r, \t, ... or octal) and every
// character above 127 as \x plus hex digits of its UTF-16 unit.
//
// A change rewrites only the lines of the value it sets (and the time stamps of
// its key); every other byte of the file stays as it was. Keys and value names
// compare without regard to letter case, as the registry does. Nothing here
// reads outside the text, whatever it holds.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::platform {

class WineRegistryFile {
 public:
  enum class Lookup { kFound, kNoKey, kNoValue, kNotString };

  // Takes the file's text. False when it does not start with Wine's header line
  // (the text is still kept, so a caller may inspect it).
  bool Load(std::string text);
  // The text of a new, empty file of the given kind.
  static std::string EmptyFile(bool user_file, bool win64);

  const std::string& text() const { return text_; }
  // "#arch=win64": a 64-bit prefix, where 32-bit programs see Wow6432Node.
  bool win64() const { return win64_; }

  // A string value (REG_SZ, REG_EXPAND_SZ, or either written as hex). The key
  // path has backslash-separated levels relative to the file's root.
  // *expandable, when given, tells a REG_EXPAND_SZ value (str(2), hex(2)).
  Lookup GetString(std::u16string_view key, std::u16string_view name, std::u16string* value,
                   bool* expandable = nullptr) const;

  // Sets a REG_SZ value, creating the key when missing; unix_time stamps the key.
  void SetString(std::u16string_view key, std::u16string_view name, std::u16string_view value,
                 int64_t unix_time);

  // Wine's escaping of a text between the delimiters open and close.
  static std::string EscapeText(std::u16string_view text, char open, char close);
  // Reads an escaped text at text[*pos] up to the unescaped delimiter `end`;
  // *pos ends on the delimiter. False when the text ends first.
  static bool ParseEscaped(std::string_view text, size_t* pos, char end, std::u16string* out);

 private:
  struct Value {
    size_t begin = 0;  // first byte of the value's first line
    size_t end = 0;    // after the last line's newline
    std::u16string name;
    std::string data;  // after "=", continuation lines joined, without newline
  };
  struct Key {
    size_t begin = 0;  // the "[" line
    size_t header_end = 0;
    size_t end = 0;  // start of the next key line or end of text
    std::u16string name;
    std::vector<Value> values;
  };

  void Index();
  const Key* FindKey(std::u16string_view key) const;

  std::string text_;
  bool win64_ = false;
  std::vector<Key> keys_;
};

// Key paths as the registry keeps them: no leading, trailing or doubled separators.
std::u16string NormalizeKeyPath(std::u16string_view key);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);

}  // namespace corvane::platform
