#pragma once

// A small JSON writer for patchbuild's machine-readable output: objects,
// arrays, strings, whole numbers and truth values, indented two spaces per
// level so that the output also reads well. Strings are taken as UTF-8; a
// byte sequence that is not UTF-8 becomes U+FFFD, so the output is always
// valid JSON. The caller keeps keys and values paired and containers
// closed; the writer only places commas, line breaks and quotes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::maker {

class JsonWriter {
 public:
  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  // The key of the next value of the open object.
  void Key(std::string_view key);

  void String(std::string_view utf8);
  void Number(uint64_t value);
  void Number(int64_t value);
  void Number(int value) { Number(static_cast<int64_t>(value)); }
  // Seconds and other measures: three decimals.
  void Decimal(double value);
  void Bool(bool value);

  // A key and its value, in one call.
  void Field(std::string_view key, const char* utf8) { Field(key, std::string_view(utf8)); }
  void Field(std::string_view key, const std::string& utf8) { Field(key, std::string_view(utf8)); }
  void Field(std::string_view key, std::string_view utf8) {
    Key(key);
    String(utf8);
  }
  void Field(std::string_view key, uint64_t value) {
    Key(key);
    Number(value);
  }
  void Field(std::string_view key, int value) {
    Key(key);
    Number(value);
  }
  void Field(std::string_view key, bool value) {
    Key(key);
    Bool(value);
  }

  // The text written so far; complete once every container is closed.
  const std::string& text() const { return text_; }

 private:
  void BeforeValue();
  void Open(char bracket);
  void Close(char bracket);
  void Quoted(std::string_view utf8);

  std::string text_;
  std::vector<bool> has_items_;  // per open container: whether it holds anything yet
  bool after_key_ = false;
};

}  // namespace corvane::maker
