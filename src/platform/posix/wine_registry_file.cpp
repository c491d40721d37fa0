#include "platform/posix/wine_registry_file.h"

#include <cinttypes>
#include <cstdio>

#include "text/code_page_1252.h"

namespace corvane::platform {
namespace {

constexpr std::string_view kHeader = "WINE REGISTRY Version 2";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Registry names fold letters of Latin-1 too (the registry upper-cases fully;
// these are the letters code page 1252 texts bring).
char16_t FoldCase(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
  return c;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

size_t LineEnd(const std::string& text, size_t begin) {
  const size_t newline = text.find('\n', begin);
  return newline == std::string::npos ? text.size() : newline + 1;
}

std::string_view LineContent(const std::string& text, size_t begin, size_t end) {
  std::string_view line(text.data() + begin, end - begin);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

// Bytes of a "hex:" list: pairs of hex digits separated by commas; line breaks
// and continuation backslashes in between are ignored.
std::vector<uint8_t> ParseHexList(std::string_view list) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < list.size();) {
    const int high = HexValue(list[i]);
    if (high < 0) {
      ++i;
      continue;
    }
    const int low = i + 1 < list.size() ? HexValue(list[i + 1]) : -1;
    if (low < 0) {
      bytes.push_back(static_cast<uint8_t>(high));
      ++i;
    } else {
      bytes.push_back(static_cast<uint8_t>(high * 16 + low));
      i += 2;
    }
  }
  return bytes;
}

std::string FileTimeText(int64_t unix_time) {
  const uint64_t file_time = (static_cast<uint64_t>(unix_time) + 11644473600ull) * 10000000ull;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%" PRIx64, file_time);
  return buffer;
}

}  // namespace

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

std::u16string NormalizeKeyPath(std::u16string_view key) {
  std::u16string out;
  for (char16_t c : key) {
    if (c == u'\\' && (out.empty() || out.back() == u'\\')) continue;
    out += c;
  }
  while (!out.empty() && out.back() == u'\\') out.pop_back();
  return out;
}

std::string WineRegistryFile::EmptyFile(bool user_file, bool win64) {
  std::string text(kHeader);
  text += user_file ? "\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n"
                    : "\n;; All keys relative to \\\\Machine\n";
  text += win64 ? "\n#arch=win64\n" : "\n#arch=win32\n";
  return text;
}

std::string WineRegistryFile::EscapeText(std::u16string_view text, char open, char close) {
  static const char kEscapes[33] = ".......abtnvfr.............e....";
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const char16_t next = i + 1 < text.size() ? text[i + 1] : 0;
    char buffer[16];
    if (c > 127) {
      // A following hex digit would be read as part of a short escape.
      const bool pad = next < 128 && HexValue(static_cast<char>(next)) >= 0;
      std::snprintf(buffer, sizeof buffer, pad ? "\\x%04x" : "\\x%x", static_cast<unsigned>(c));
      out += buffer;
    } else if (c < 32) {
      if (kEscapes[c] != '.') {
        out += '\\';
        out += kEscapes[c];
      } else {
        const bool pad = next >= u'0' && next <= u'7';
        std::snprintf(buffer, sizeof buffer, pad ? "\\%03o" : "\\%o", static_cast<unsigned>(c));
        out += buffer;
      }
    } else {
      if (c == u'\\' || c == static_cast<char16_t>(open) || c == static_cast<char16_t>(close))
        out += '\\';
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool WineRegistryFile::ParseEscaped(std::string_view text, size_t* pos, char end,
                                    std::u16string* out) {
  size_t i = *pos;
  out->clear();
  while (i < text.size() && text[i] != end) {
    if (text[i] != '\\') {
      // Unescaped bytes above 127 are UTF-8 in files Wine reads.
      size_t j = i;
      while (j < text.size() && text[j] != end && text[j] != '\\') ++j;
      *out += text::Utf8ToUtf16(text.substr(i, j - i));
      i = j;
      continue;
    }
    if (++i >= text.size()) return false;
    const char c = text[i];
    switch (c) {
      case 'a':
        *out += u'\a';
        ++i;
        break;
      case 'b':
        *out += u'\b';
        ++i;
        break;
      case 'e':
        *out += u'\x1b';
        ++i;
        break;
      case 'f':
        *out += u'\f';
        ++i;
        break;
      case 'n':
        *out += u'\n';
        ++i;
        break;
      case 'r':
        *out += u'\r';
        ++i;
        break;
      case 't':
        *out += u'\t';
        ++i;
        break;
      case 'v':
        *out += u'\v';
        ++i;
        break;
      case 'x': {
        ++i;
        if (i >= text.size() || HexValue(text[i]) < 0) {
          *out += u'x';
          break;
        }
        unsigned value = 0;
        for (int digits = 0; digits < 4 && i < text.size() && HexValue(text[i]) >= 0;
             ++digits, ++i) {
          value = value * 16 + static_cast<unsigned>(HexValue(text[i]));
        }
        *out += static_cast<char16_t>(value);
        break;
      }
      default:
        if (c >= '0' && c <= '7') {
          unsigned value = 0;
          for (int digits = 0; digits < 3 && i < text.size() && text[i] >= '0' && text[i] <= '7';
               ++digits, ++i) {
            value = value * 8 + static_cast<unsigned>(text[i] - '0');
          }
          *out += static_cast<char16_t>(value);
        } else {
          *out += static_cast<char16_t>(static_cast<unsigned char>(c));
          ++i;
        }
    }
  }
  if (i >= text.size()) return false;
  *pos = i;
  return true;
}

bool WineRegistryFile::Load(std::string text) {
  text_ = std::move(text);
  Index();
  return StartsWith(text_, kHeader);
}

void WineRegistryFile::Index() {
  keys_.clear();
  win64_ = false;
  Key* key = nullptr;
  for (size_t begin = 0; begin < text_.size();) {
    size_t end = LineEnd(text_, begin);
    const std::string_view line = LineContent(text_, begin, end);
    if (!line.empty() && line[0] == '[') {
      if (key != nullptr) key->end = begin;
      Key next;
      size_t pos = 1;
      if (!ParseEscaped(line, &pos, ']', &next.name)) {
        // A damaged key line: its values belong to no key we can name.
        key = nullptr;
        begin = end;
        continue;
      }
      next.name = NormalizeKeyPath(next.name);
      next.begin = begin;
      next.header_end = end;
      keys_.push_back(std::move(next));
      key = &keys_.back();
    } else if (line == "#arch=win64" && keys_.empty()) {
      win64_ = true;
    } else if (key != nullptr && !line.empty() && (line[0] == '"' || line[0] == '@')) {
      Value value;
      value.begin = begin;
      size_t pos = 1;
      bool ok = true;
      if (line[0] == '"') ok = ParseEscaped(line, &pos, '"', &value.name) && ++pos;
      if (ok && pos < line.size() && line[pos] == '=') {
        value.data = std::string(line.substr(pos + 1));
        // Long hex lists continue on the next lines after a trailing backslash.
        while (StartsWith(value.data, "hex") && !value.data.empty() && value.data.back() == '\\' &&
               end < text_.size()) {
          value.data.pop_back();
          const size_t next_end = LineEnd(text_, end);
          value.data += LineContent(text_, end, next_end);
          end = next_end;
        }
        value.end = end;
        key->values.push_back(std::move(value));
      }
    }
    begin = end;
  }
  if (key != nullptr) key->end = text_.size();
}

const WineRegistryFile::Key* WineRegistryFile::FindKey(std::u16string_view key) const {
  const std::u16string wanted = NormalizeKeyPath(key);
  // The last block wins when a file names a key twice, as loading it would.
  for (auto it = keys_.rbegin(); it != keys_.rend(); ++it) {
    if (EqualsNoCase(it->name, wanted)) return &*it;
  }
  return nullptr;
}

WineRegistryFile::Lookup WineRegistryFile::GetString(std::u16string_view key,
                                                     std::u16string_view name,
                                                     std::u16string* value,
                                                     bool* expandable) const {
  const Key* found = FindKey(key);
  if (found == nullptr) return Lookup::kNoKey;
  const Value* match = nullptr;
  for (const Value& candidate : found->values) {
    if (EqualsNoCase(candidate.name, name)) match = &candidate;
  }
  if (match == nullptr) return Lookup::kNoValue;
  const std::string_view data = match->data;
  if (expandable != nullptr)
    *expandable = StartsWith(data, "str(2):") || StartsWith(data, "hex(2):");
  size_t pos = 0;
  if (StartsWith(data, "\"")) {
    pos = 1;
  } else if (StartsWith(data, "str(2):\"")) {
    pos = 8;
  } else if (StartsWith(data, "hex(1):") || StartsWith(data, "hex(2):")) {
    const std::vector<uint8_t> bytes = ParseHexList(data.substr(7));
    value->clear();
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
      value->push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    while (!value->empty() && value->back() == 0) value->pop_back();
    return Lookup::kFound;
  } else {
    return Lookup::kNotString;
  }
  if (!ParseEscaped(data, &pos, '"', value)) return Lookup::kNotString;
  return Lookup::kFound;
}

void WineRegistryFile::SetString(std::u16string_view key, std::u16string_view name,
                                 std::u16string_view value, int64_t unix_time) {
  std::string line = name.empty() ? "@" : "\"" + EscapeText(name, '"', '"') + "\"";
  line += "=\"" + EscapeText(value, '"', '"') + "\"\n";
  const std::string seconds = std::to_string(unix_time);
  const std::string time_line = "#time=" + FileTimeText(unix_time) + "\n";

  const Key* found = FindKey(key);
  if (found == nullptr) {
    if (!text_.empty() && text_.back() != '\n') text_ += '\n';
    text_ += "\n[" + EscapeText(NormalizeKeyPath(key), '[', ']') + "] " + seconds + "\n";
    text_ += time_line + line;
    Index();
    return;
  }

  // Edits from the back of the key to its front keep earlier offsets valid.
  const Value* match = nullptr;
  for (const Value& candidate : found->values) {
    if (EqualsNoCase(candidate.name, name)) match = &candidate;
  }
  if (match != nullptr) {
    text_.replace(match->begin, match->end - match->begin, line);
  } else {
    // First in the key, right after its time line: the line before it is then
    // one this function rewrites, never a hex list whose trailing backslash
    // would swallow the new line. Wine does not keep values in any order.
    size_t insert = found->header_end;
    if (StartsWith(std::string_view(text_).substr(insert), "#time="))
      insert = LineEnd(text_, insert);
    if (insert > 0 && text_[insert - 1] != '\n') line.insert(0, "\n");
    text_.insert(insert, line);
  }
  const size_t time_begin = found->header_end;
  const size_t time_end = LineEnd(text_, time_begin);
  if (StartsWith(std::string_view(text_).substr(time_begin), "#time=")) {
    text_.replace(time_begin, time_end - time_begin, time_line);
  } else {
    text_.insert(time_begin, time_line);
  }
  // The key line keeps its path text; only the seconds after "]" change.
  std::string_view header = LineContent(text_, found->begin, found->header_end);
  size_t close = 1;
  std::u16string ignored;
  if (ParseEscaped(header, &close, ']', &ignored)) {
    const size_t from = found->begin + close + 1;
    text_.replace(from, found->begin + header.size() - from, " " + seconds);
  }
  Index();
}

}  // namespace corvane::platform
