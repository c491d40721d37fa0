#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// Reader of a checksum list ("crc.crc"): the expected CRC-32 values of the
// files of one game version. docs/formats/checksum-list.md has the grammar.
// In short, each line ends in a line feed (a carriage return before it is
// dropped) and reads
//     ["+"] name " " value { whitespace value }
// where "+" marks an optional file, the name is a path relative to the
// installation directory (it may carry a distribution suffix ".#<name>") and
// values are hexadecimal. A line without a space says nothing and is skipped.
//
// The first value starts right after the space and is always taken: text that
// is not hexadecimal reads as 0, and digits beyond 32 bits saturate at
// 0xFFFFFFFF. After it, while the next character is white space, the white
// space is skipped and, when a hexadecimal digit follows, one more value is
// read; anything else ends the line.
//
// A final line that has no line feed is not read. Lines hold at most
// kMaxChecksumLineLength characters; the characters of a longer line past
// that limit are dropped (the line is read cut, the rest skipped up to its
// line feed). The reader never reads outside the text it was given, whatever
// it holds.
inline constexpr size_t kMaxChecksumLineLength = 1023;

struct ChecksumLine {
  bool optional = false;
  // The name without its "+"; points into the list text.
  std::string_view name;
  // At least one value; the first is the one messages show.
  std::vector<uint32_t> values;

  bool Matches(uint32_t crc) const;
};

class ChecksumListReader {
 public:
  // The text is not copied and must outlive the reader; it may hold any bytes.
  ChecksumListReader(const char* text, size_t size) : text_(text), size_(size) {}

  // The next line that names a file; false at the end of the list.
  bool Next(ChecksumLine* line);

 private:
  const char* text_;
  size_t size_;
  size_t position_ = 0;
};

// Parses one line (without its line feed; a carriage return at its end is
// dropped). False when the line has no space.
bool ParseChecksumLine(std::string_view line, ChecksumLine* parsed);

// Why `name` (code page 1252, backslashes) cannot be a line's name in a list
// the reader above reads back as written; empty when it can. A space ends a
// name, a leading "+" reads as the optional mark, a line feed or carriage
// return ends the line, and the line must fit kMaxChecksumLineLength with
// `value_count` values.
std::string ChecksumNameFault(std::string_view name, size_t value_count = 1);

// The one writer of checksum lists. Lines are written in the order of their
// names compared without regard to ASCII letter case (then byte for byte),
// each "[+]NAME value..." with eight lower-case digits per value and ended
// by CR LF, so the same files always give the same bytes.
class ChecksumListWriter {
 public:
  // Adds a line. False, with the reason in *why (naming the file), when the
  // name cannot be written (ChecksumNameFault) or `values` is empty; nothing
  // is added then.
  bool Add(std::string name, bool optional, std::vector<uint32_t> values, std::string* why);

  // The list text; empty when nothing was added.
  std::string Text() const;

 private:
  struct Line {
    std::string name;
    bool optional = false;
    std::vector<uint32_t> values;
  };
  std::vector<Line> lines_;
};

}  // namespace corvane
