#pragma once

#include <cstddef>
#include <cstdint>

namespace corvane {

// A scheme that deciphers the enciphered parts of an archive bank (the header
// after an "encryption" property, and entries packed as enciphered). None is
// built in: a bank naming a scheme that nobody registered cannot be read.
// The registry is the extension point for programs that bring their own.
class IBankEncryption {
 public:
  virtual ~IBankEncryption() = default;
  // Deciphers `src_size` bytes into exactly `dst_size` bytes. Answers false
  // when the data does not decipher; must never read or write outside the
  // two blocks.
  virtual bool Decode(void* dst, size_t dst_size, const void* src, size_t src_size) = 0;
};

// Makes a new scheme object, owned by the caller.
using BankEncryptionFactory = IBankEncryption* (*)();

// Registers `factory` under `name` (compared exactly). A name registered
// before keeps its first factory and reports "Ecryption %s already
// registered". Answers whether the registration took place.
bool RegisterBankEncryption(const char* name, BankEncryptionFactory factory);
// Removes a registration (tests, plug-ins that go away); false when unknown.
bool UnregisterBankEncryption(const char* name);
// A new scheme object for `name`, or null (nothing reported) when none is
// registered under it.
IBankEncryption* CreateBankEncryption(const char* name);

}  // namespace corvane
