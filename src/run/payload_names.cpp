#include "run/payload_names.h"

#include <cstring>

#include "run/payload_store.h"

namespace corvane {

namespace {

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsForbidden(unsigned char c) {
  return c < 0x20 || c == 0x7F || std::strchr("/<>\"|?*", c) != nullptr;
}

// Windows reserves these names in every folder, whatever follows the first
// dot ("NUL.TXT" is the null device too) and with trailing spaces ignored.
bool IsDeviceName(const char* begin, const char* end) {
  const char* stem_end = begin;
  while (stem_end < end && *stem_end != '.') ++stem_end;
  while (stem_end > begin && stem_end[-1] == ' ') --stem_end;
  const size_t length = static_cast<size_t>(stem_end - begin);
  char stem[5] = {};
  if (length < 3 || length > 4) return false;
  for (size_t i = 0; i < length; ++i) stem[i] = UpperAscii(begin[i]);
  if (length == 3) {
    return std::strcmp(stem, "CON") == 0 || std::strcmp(stem, "PRN") == 0 ||
           std::strcmp(stem, "AUX") == 0 || std::strcmp(stem, "NUL") == 0;
  }
  const bool port = std::strncmp(stem, "COM", 3) == 0 || std::strncmp(stem, "LPT", 3) == 0;
  // Superscript digits 1 to 3 (code page 1252) name the same ports.
  const unsigned char digit = static_cast<unsigned char>(stem[3]);
  return port &&
         ((digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3);
}

PayloadNameFault CheckComponent(const char* begin, const char* end) {
  if (begin == end) return PayloadNameFault::kEmptyComponent;
  const size_t length = static_cast<size_t>(end - begin);
  if ((length == 1 && begin[0] == '.') || (length == 2 && begin[0] == '.' && begin[1] == '.')) {
    return PayloadNameFault::kDotComponent;
  }
  if (end[-1] == '.' || end[-1] == ' ') return PayloadNameFault::kTrailingDotOrSpace;
  if (IsDeviceName(begin, end)) return PayloadNameFault::kDeviceName;
  return PayloadNameFault::kNone;
}

PayloadNameFault CheckComponents(const char* name, size_t length) {
  const char* begin = name;
  for (;;) {
    const char* end = static_cast<const char*>(
        std::memchr(begin, '\\', static_cast<size_t>(name + length - begin)));
    if (end == nullptr) end = name + length;
    const PayloadNameFault fault = CheckComponent(begin, end);
    if (fault != PayloadNameFault::kNone) return fault;
    if (end == name + length) return PayloadNameFault::kNone;
    begin = end + 1;
  }
}

// Update files of a version step live below "<M>.<mm>-<M2>.<mm2>\".
bool IsStepName(const char* name) {
  const char* first_end = std::strchr(name, '\\');
  const char* dash = std::strchr(name, '-');
  return name[0] >= '0' && name[0] <= '9' && dash != nullptr && first_end != nullptr &&
         dash < first_end;
}

}  // namespace

PayloadNameFault CheckPayloadName(const char* name) {
  if (name == nullptr || name[0] == '\0') return PayloadNameFault::kEmpty;
  const size_t length = std::strlen(name);
  if (length > kMaxPayloadName) return PayloadNameFault::kTooLong;
  if (name[0] == '\\' || name[0] == '/') return PayloadNameFault::kRooted;
  for (const char* p = name; *p != '\0'; ++p) {
    if (*p == ':') return PayloadNameFault::kColon;
    if (IsForbidden(static_cast<unsigned char>(*p))) return PayloadNameFault::kForbiddenCharacter;
  }
  PayloadNameFault fault = CheckComponents(name, length);
  if (fault != PayloadNameFault::kNone) return fault;
  // The file a name lands at is the name with its distribution suffix cut
  // (from the last "." followed by "#"), and for an update also its last
  // extension: "ALL\...#X" lands at "ALL\..", "1.00-1.01\...UPD" updates
  // "..". Those shorter names must be as sound as the whole one.
  size_t target = length;
  const char* suffix = std::strrchr(name, '.');
  if (suffix != nullptr && suffix[1] == '#') {
    target = static_cast<size_t>(suffix - name);
    fault = CheckComponents(name, target);
    if (fault != PayloadNameFault::kNone) return fault;
  }
  if (IsStepName(name)) {
    const char* last = name + target;
    while (last > name && last[-1] != '.' && last[-1] != '\\') --last;
    if (last > name && last[-1] == '.') {
      fault = CheckComponents(name, static_cast<size_t>(last - 1 - name));
      if (fault != PayloadNameFault::kNone) return fault;
    }
  }
  return PayloadNameFault::kNone;
}

const char* DescribePayloadNameFault(PayloadNameFault fault) {
  switch (fault) {
    case PayloadNameFault::kNone:
      return "acceptable";
    case PayloadNameFault::kEmpty:
      return "the name is empty";
    case PayloadNameFault::kTooLong:
      return "the name is longer than 511 characters";
    case PayloadNameFault::kRooted:
      return "the name begins with a path separator (a rooted or network path)";
    case PayloadNameFault::kColon:
      return "the name holds a colon (a drive, or a stream of a file)";
    case PayloadNameFault::kEmptyComponent:
      return "the name has an empty folder or file name (two backslashes, or one at the end)";
    case PayloadNameFault::kDotComponent:
      return "the name has a \".\" or \"..\" component, which would leave its folder";
    case PayloadNameFault::kTrailingDotOrSpace:
      return "a folder or file name ends in a dot or a space, which Windows drops";
    case PayloadNameFault::kForbiddenCharacter:
      return "the name holds a character Windows does not allow in file names";
    case PayloadNameFault::kDeviceName:
      return "a folder or file name is a Windows device name (CON, NUL, COM1...)";
  }
  return "unknown fault";
}

}  // namespace corvane
