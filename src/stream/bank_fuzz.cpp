// Fuzz target: archive bank header loading and entry reading from arbitrary
// bytes (stored, compressed, unknown packing), never outside the input.
#include <cstddef>
#include <cstdint>

#include "foundation/report_capture.h"
#include "stream/file_buffer.h"
#include "stream/q_f_bank.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  corvane::ScopedReportCapture quiet;
  corvane::Ref<corvane::IFileBuffer> file(
      new corvane::FileBufferMemory(data, static_cast<int>(size)));
  corvane::Ref<corvane::QFBank> bank(new corvane::QFBank);
  bank->OpenBuffer("fuzz.vbk", file, "f", nullptr, nullptr);
  bank->Lock();
  const int entries = bank->GetEntryCount() < 64 ? bank->GetEntryCount() : 64;
  for (int i = 0; i < entries; ++i) {
    // Entry names are looked up by the names the header itself holds.
    corvane::Ref<corvane::IFileBuffer> entry;
    if (const corvane::BankEntryRecord* record = bank->GetEntryRecord(i)) {
      if (record->unpacked_size > (1u << 22)) continue;  // keep each run small
      entry = bank->OpenEntry(record->name.c_str());
    }
    if (entry) {
      char sink[256];
      for (int64_t at = 0; at < entry->GetSize(); at += sizeof(sink)) {
        entry->Read(sink, at, sizeof(sink));
      }
    }
  }
  bank->Unlock();
  return 0;
}
