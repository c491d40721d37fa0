#include "engine/checksum_list.h"

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

}  // namespace corvane
