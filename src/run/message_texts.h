#pragma once

#include <cstdint>

namespace corvane {

// The texts of the message catalogue: ids 1 to 28 in five languages, code
// page 1252, exactly as shown to the user ("#APPNAME" is replaced when a text
// is loaded). The English block is the language-neutral one that every other
// language falls back to. A Windows string table (ids 1-15 in block 1, 16-28
// in block 2, one block per language) is a direct transcription of this table.
inline constexpr int kMessageCount = 28;

struct MessageLanguageTable {
  uint16_t language;                 // Windows language id of the block
  const char* texts[kMessageCount];  // text of id n at index n - 1
};

inline constexpr int kMessageLanguageCount = 5;
extern const MessageLanguageTable kMessageTables[kMessageLanguageCount];

// The block for a Windows language id: the one of the same primary language
// (German of Austria takes German), else the English one.
const MessageLanguageTable& MessageTableForLanguage(uint16_t language);

// The text of `id` in that language; null for an id outside 1 to 28.
const char* MessageText(uint16_t language, int id);

}  // namespace corvane
