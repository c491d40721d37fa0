#include "maker/json_writer.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

namespace corvane::maker {

namespace {

// The length of the UTF-8 sequence at `at`, or 0 when none starts there.
size_t Utf8SequenceLength(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(at);
  size_t length = 0;
  uint32_t value = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07u;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0u) != 0x80u) return 0;
    value = (value << 6) | (byte(at + i) & 0x3Fu);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
  static constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kLeast[length] || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) return 0;
  return length;
}

}  // namespace

void JsonWriter::BeforeValue() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (has_items_.empty()) return;
  if (has_items_.back()) text_ += ',';
  has_items_.back() = true;
  text_ += '\n';
  text_.append(2 * has_items_.size(), ' ');
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  text_ += bracket;
  has_items_.push_back(false);
}

void JsonWriter::Close(char bracket) {
  const bool had_items = !has_items_.empty() && has_items_.back();
  if (!has_items_.empty()) has_items_.pop_back();
  if (had_items) {
    text_ += '\n';
    text_.append(2 * has_items_.size(), ' ');
  }
  text_ += bracket;
  if (has_items_.empty()) text_ += '\n';
}

void JsonWriter::BeginObject() { Open('{'); }
void JsonWriter::EndObject() { Close('}'); }
void JsonWriter::BeginArray() { Open('['); }
void JsonWriter::EndArray() { Close(']'); }

void JsonWriter::Key(std::string_view key) {
  BeforeValue();
  Quoted(key);
  text_ += ": ";
  after_key_ = true;
}

void JsonWriter::String(std::string_view utf8) {
  BeforeValue();
  Quoted(utf8);
}

void JsonWriter::Number(uint64_t value) {
  BeforeValue();
  char digits[24];
  std::snprintf(digits, sizeof digits, "%" PRIu64, value);
  text_ += digits;
}

void JsonWriter::Number(int64_t value) {
  BeforeValue();
  char digits[24];
  std::snprintf(digits, sizeof digits, "%" PRId64, value);
  text_ += digits;
}

void JsonWriter::Decimal(double value) {
  BeforeValue();
  if (!std::isfinite(value)) value = 0;  // JSON has no infinities
  char digits[48];
  std::snprintf(digits, sizeof digits, "%.3f", value);
  text_ += digits;
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  text_ += value ? "true" : "false";
}

void JsonWriter::Quoted(std::string_view utf8) {
  text_ += '"';
  for (size_t i = 0; i < utf8.size();) {
    const char c = utf8[i];
    const auto u = static_cast<uint8_t>(c);
    if (c == '"' || c == '\\') {
      text_ += '\\';
      text_ += c;
    } else if (c == '\n') {
      text_ += "\\n";
    } else if (c == '\t') {
      text_ += "\\t";
    } else if (c == '\r') {
      text_ += "\\r";
    } else if (u < 0x20 || u == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", u);
      text_ += escape;
    } else if (u >= 0x80) {
      const size_t length = Utf8SequenceLength(utf8, i);
      if (length == 0) {
        text_ += "\xEF\xBF\xBD";  // U+FFFD for a byte that starts no sequence
        ++i;
      } else {
        text_.append(utf8.substr(i, length));
        i += length;
      }
      continue;
    } else {
      text_ += c;
    }
    ++i;
  }
  text_ += '"';
}

}  // namespace corvane::maker
