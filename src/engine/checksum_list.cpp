#include "engine/checksum_list.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace corvane {

namespace {

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads hexadecimal digits from `position` on; saturates at 0xFFFFFFFF like
// the runtime's unsigned conversion of a 32-bit long.
uint32_t ReadHex(std::string_view text, size_t* position) {
  uint64_t value = 0;
  size_t i = *position;
  for (; i < text.size(); ++i) {
    int digit = HexDigit(text[i]);
    if (digit < 0) break;
    value = value * 16 + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFu) value = 0x100000000u;  // stays saturated
  }
  *position = i;
  return value > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(value);
}

}  // namespace

bool ChecksumLine::Matches(uint32_t crc) const {
  for (uint32_t value : values) {
    if (value == crc) return true;
  }
  return false;
}

bool ParseChecksumLine(std::string_view line, ChecksumLine* parsed) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  size_t space = line.find(' ');
  if (space == std::string_view::npos) return false;

  std::string_view name = line.substr(0, space);
  parsed->optional = !name.empty() && name.front() == '+';
  if (parsed->optional) name.remove_prefix(1);
  parsed->name = name;

  parsed->values.clear();
  size_t position = space + 1;
  parsed->values.push_back(ReadHex(line, &position));
  while (position < line.size() && IsWhiteSpace(line[position])) {
    while (position < line.size() && IsWhiteSpace(line[position])) ++position;
    if (position >= line.size() || HexDigit(line[position]) < 0) break;
    parsed->values.push_back(ReadHex(line, &position));
  }
  return true;
}

bool ChecksumListReader::Next(ChecksumLine* line) {
  while (position_ < size_) {
    const char* start = text_ + position_;
    const void* feed = std::memchr(start, '\n', size_ - position_);
    // The last line of the list counts only when it is ended.
    if (feed == nullptr) {
      position_ = size_;
      return false;
    }
    size_t length = static_cast<size_t>(static_cast<const char*>(feed) - start);
    position_ += length + 1;
    if (length > kMaxChecksumLineLength) length = kMaxChecksumLineLength;
    if (ParseChecksumLine(std::string_view(start, length), line)) return true;
  }
  return false;
}

std::string ChecksumNameFault(std::string_view name, size_t value_count) {
  if (name.empty()) return "an empty name";
  if (name.find(' ') != std::string_view::npos)
    return "a space in the name (a space ends a checksum list's name)";
  if (name.find_first_of("\r\n") != std::string_view::npos) return "a line break in the name";
  if (name.front() == '+') return "a name beginning with \"+\" (the checksum list's optional mark)";
  // "+" name, then " %08x" per value.
  if (1 + name.size() + 9 * value_count > kMaxChecksumLineLength) {
    return "the checksum list line would pass " + std::to_string(kMaxChecksumLineLength) +
           " characters";
  }
  return std::string();
}

bool ChecksumListWriter::Add(std::string name, bool optional, std::vector<uint32_t> values,
                             std::string* why) {
  std::string fault =
      values.empty() ? std::string("no value") : ChecksumNameFault(name, values.size());
  if (!fault.empty()) {
    *why = name + ": cannot be named in a checksum list: " + fault;
    return false;
  }
  lines_.push_back(Line{std::move(name), optional, std::move(values)});
  return true;
}

std::string ChecksumListWriter::Text() const {
  std::vector<const Line*> order;
  for (const Line& line : lines_) order.push_back(&line);
  const auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
  std::stable_sort(order.begin(), order.end(), [&](const Line* a, const Line* b) {
    const bool less = std::lexicographical_compare(
        a->name.begin(), a->name.end(), b->name.begin(), b->name.end(), [&](char x, char y) {
          return static_cast<unsigned char>(upper(x)) < static_cast<unsigned char>(upper(y));
        });
    const bool greater = std::lexicographical_compare(
        b->name.begin(), b->name.end(), a->name.begin(), a->name.end(), [&](char x, char y) {
          return static_cast<unsigned char>(upper(x)) < static_cast<unsigned char>(upper(y));
        });
    if (less != greater) return less;
    return a->name < b->name;
  });
  std::string text;
  for (const Line* line : order) {
    if (line->optional) text += '+';
    text += line->name;
    for (uint32_t value : line->values) {
      char digits[16];
      std::snprintf(digits, sizeof digits, " %08x", static_cast<unsigned>(value));
      text += digits;
    }
    text += "\r\n";
  }
  return text;
}

}  // namespace corvane
