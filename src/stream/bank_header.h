#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/ref_count.h"

namespace corvane {

class IFileBuffer;

// Layout constants of archive bank files (".vbk"); docs/formats/bank.md.
inline constexpr uint32_t kBankMethodStored = 0;
inline constexpr uint32_t kBankMethodCompressed = 0x43707273;  // "srpC" in file order
inline constexpr uint32_t kBankMethodEnciphered = 0x456E6372;  // "rcnE" in file order
inline constexpr uint32_t kBankMethodProperties = 0x56657273;  // "sreV" in file order
inline constexpr int kBankMaxNameLength = 1023;
// Deciphered headers larger than this are refused rather than allocated.
inline constexpr uint32_t kBankMaxHeaderSize = 256u << 20;

struct BankEntryRecord {
  std::string name;  // ASCII lower-cased, backslashes as stored
  uint32_t method = 0;
  uint32_t unpacked_size = 0;
  uint32_t reserved = 0;
  uint32_t time_stamp = 0;
  uint32_t data_size = 0;
  uint64_t data_start = 0;  // absolute position in the bank file
  bool plain_file = false;  // a plain file of the same path replaces it
};

struct BankProperty {
  std::string name;
  std::string value;
};

enum class BankHeaderStatus {
  kOk,
  kUnknownEncryption,  // an "encryption" property names no registered scheme
  kDecipherFailed,     // the enciphered header is cut or does not decipher
};

struct BankHeader {
  std::vector<BankEntryRecord> entries;
  std::vector<BankProperty> properties;
  uint64_t header_end = 0;  // where the data of the first entry starts
  bool too_short = false;   // the file ends before the last entry's data
  std::string encryption;   // the scheme named by the header, if any

  const char* FindProperty(const char* name) const;
};

// Reads the header of the bank in `file`. With `properties_only` only the
// property list is read (what registration needs). Never reads outside the
// file: records cut by the end of the data end the header, entry positions
// are summed in 64 bits and checked against the file size (too_short).
// Names longer than kBankMaxNameLength are cut.
BankHeaderStatus ReadBankHeader(IFileBuffer& file, BankHeader& header, bool properties_only);

}  // namespace corvane
