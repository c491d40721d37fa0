#include "text/code_page_1252.h"

#include <cstdint>

namespace corvane::text {
namespace {

// Code points of bytes 0x80-0x9F; 0 marks the five bytes the code page leaves
// undefined, which the system maps to the C1 control of the same value.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char16_t ByteToUnit(unsigned char byte) {
  if (byte < 0x80 || byte >= 0xA0) return byte;
  const char16_t mapped = kHighControls[byte - 0x80];
  return mapped != 0 ? mapped : byte;
}

char UnitToByte(char16_t unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<char>(unit);
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == unit || (kHighControls[i] == 0 && unit == 0x80 + i)) {
      return static_cast<char>(0x80 + i);
    }
  }
  return '?';
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one UTF-8 sequence at text[i]; returns its length, 0 when invalid.
size_t DecodeUtf8(std::string_view text, size_t i, uint32_t* cp) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  size_t length = 0;
  uint32_t value = 0;
  uint32_t minimum = 0;
  if (lead < 0x80) {
    *cp = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(i + k) & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *cp = value;
  return length;
}

}  // namespace

std::string Utf16ToCp1252(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    // A surrogate pair is one character outside the code page: one '?'.
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      ++i;
      out += '?';
      continue;
    }
    out += UnitToByte(unit);
  }
  return out;
}

std::u16string Cp1252ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text) out += ByteToUnit(static_cast<unsigned char>(c));
  return out;
}

char16_t AsciiUpper(char16_t c) {
  return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
}

std::u16string AsciiUpper(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = AsciiUpper(c);
  return out;
}

bool EqualsAsciiNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

char16_t NameUpper(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
  switch (c) {
    case 0xFF:
      return 0x178;
    case 0x161:
      return 0x160;
    case 0x153:
      return 0x152;
    case 0x17E:
      return 0x17D;
    default:
      return c;
  }
}

std::u16string NameUpper(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = NameUpper(c);
  return out;
}

bool EqualsNameNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (NameUpper(a[i]) != NameUpper(b[i])) return false;
  }
  return true;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    uint32_t cp = 0;
    const size_t length = DecodeUtf8(text, i, &cp);
    if (length == 0) {
      out += ByteToUnit(static_cast<unsigned char>(text[i]));
      ++i;
      continue;
    }
    i += length;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

bool IsValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    uint32_t cp = 0;
    const size_t length = DecodeUtf8(text, i, &cp);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

bool Utf8ToCp1252Exact(std::string_view utf8, std::string* cp1252, std::string* offending) {
  cp1252->clear();
  for (size_t i = 0; i < utf8.size();) {
    uint32_t cp = 0;
    const size_t length = DecodeUtf8(utf8, i, &cp);
    if (length == 0) {
      if (offending) *offending = std::string(1, utf8[i]);
      return false;
    }
    // The C1 range has no letters; the code page's own bytes 0x80-0x9F are
    // reached through the characters they stand for.
    const bool direct = cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF);
    char byte = direct ? static_cast<char>(cp) : '\0';
    if (!direct && cp <= 0xFFFF) {
      for (int k = 0; k < 32; ++k) {
        if (kHighControls[k] != 0 && kHighControls[k] == cp) byte = static_cast<char>(0x80 + k);
      }
    }
    if (!direct && byte == '\0') {
      if (offending) *offending = std::string(utf8.substr(i, length));
      return false;
    }
    *cp1252 += byte;
    i += length;
  }
  return true;
}

}  // namespace corvane::text
