#include "stream/q_f_bank.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/report_capture.h"
#include "stream/bank_encryption.h"
#include "stream/bank_list.h"
#include "stream/bank_log.h"
#include "stream/file_buffer.h"
#include "stream/lzss.h"
#include "stream/qi_f_stream.h"
#include "support/scratch_folder.h"
#include "support/test_files.h"

namespace corvane {
namespace {

void PutU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void PutText(std::string& out, const std::string& text) {
  out += text;
  out.push_back('\0');
}

// Writes a bank byte by byte: optional property record, entry records, the
// terminating record, then the data in record order.
class BankBuilder {
 public:
  BankBuilder& Property(const std::string& name, const std::string& value) {
    properties_.emplace_back(name, value);
    return *this;
  }
  BankBuilder& Stored(const std::string& name, const std::string& bytes) {
    return Raw(name, kBankMethodStored, static_cast<uint32_t>(bytes.size()), bytes);
  }
  BankBuilder& Compressed(const std::string& name, const std::string& bytes) {
    std::string packed(LzssMaxEncodedSize(bytes.size()), '\0');
    packed.resize(LzssEncodeToBuffer(packed.data(), bytes.data(), bytes.size()));
    return Raw(name, kBankMethodCompressed, static_cast<uint32_t>(bytes.size()), packed);
  }
  BankBuilder& Raw(const std::string& name, uint32_t method, uint32_t unpacked,
                   const std::string& data, uint32_t data_size_field = UINT32_MAX) {
    PutText(records_, name);
    PutU32(records_, method);
    PutU32(records_, unpacked);
    PutU32(records_, 0);           // reserved
    PutU32(records_, 0x5f000000);  // time stamp
    PutU32(records_,
           data_size_field == UINT32_MAX ? static_cast<uint32_t>(data.size()) : data_size_field);
    data_ += data;
    return *this;
  }
  std::string Header() const {
    std::string out;
    if (!properties_.empty()) {
      PutText(out, "");
      PutU32(out, kBankMethodProperties);
      for (int i = 0; i < 4; ++i) PutU32(out, 0);
      for (auto& [name, value] : properties_) {
        PutText(out, name);
        PutText(out, value);
      }
      PutText(out, "");
    }
    return out;
  }
  std::string Records() const {
    std::string out = records_;
    PutText(out, "");
    for (int i = 0; i < 5; ++i) PutU32(out, 0);
    return out;
  }
  std::string Build() const { return Header() + Records() + data_; }

 private:
  std::vector<std::pair<std::string, std::string>> properties_;
  std::string records_;
  std::string data_;
};

Ref<IFileBuffer> Memory(const std::string& bytes) {
  return Ref<IFileBuffer>(new FileBufferMemory(bytes.data(), static_cast<int>(bytes.size())));
}

std::string ReadAll(QIStream& in) {
  std::string out;
  char chunk[1000];
  for (;;) {
    int64_t n = in.read(chunk, sizeof(chunk));
    if (n <= 0) break;
    out.append(chunk, static_cast<size_t>(n));
  }
  return out;
}

std::string Pattern(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i)
    s.push_back(static_cast<char>("config line\n"[i % 12] + (i / 600)));
  return s;
}

class BankTest : public ::testing::Test {
 protected:
  void TearDown() override { UnregisterAllBanks(); }
  ScopedReportCapture reports_;
};

TEST_F(BankTest, StoredAndCompressedEntriesReadThroughQIFStreamB) {
  const std::string packed_text = Pattern(5000);
  std::string bytes = BankBuilder()
                          .Property("prefix", "Data")
                          .Property("version", "7")
                          .Stored("Sub\\Stored.TXT", "hello bank")
                          .Compressed("packed.bin", packed_text)
                          .Build();
  QFBank* bank = RegisterBankBuffer("fixture.vbk", Memory(bytes));
  ASSERT_NE(bank, nullptr);
  EXPECT_STREQ(bank->GetPrefix().Data(), "Data\\");
  EXPECT_STREQ(bank->GetProperty("version"), "7");
  ASSERT_TRUE(LockBank("Data\\"));
  EXPECT_EQ(bank->GetEntryCount(), 2);

  QIFStreamB stored;
  stored.open("data\\SUB\\stored.txt");
  ASSERT_FALSE(stored.fail());
  EXPECT_EQ(stored.GetBank().GetRef(), bank);
  EXPECT_EQ(ReadAll(stored), "hello bank");

  QIFStreamB packed;
  packed.open("DATA\\packed.bin");
  ASSERT_FALSE(packed.fail());
  EXPECT_EQ(ReadAll(packed), packed_text);

  QIFStreamB window;
  window.open("data\\sub\\stored.txt", 6, 3);
  EXPECT_EQ(ReadAll(window), "ban");
  QIFStreamB packed_window;
  packed_window.open("data\\packed.bin", 4990, 100);
  EXPECT_EQ(ReadAll(packed_window), packed_text.substr(4990));

  // Open streams hold the bank: it refuses to unload until they are closed.
  EXPECT_EQ(bank->GetOpenFileCount(), 4);
  EXPECT_FALSE(bank->Unload());
  EXPECT_TRUE(reports_.Contains(ReportSlot::kLog, "files are still open"));
  stored.close();
  packed.close();
  window.close();
  packed_window.close();
  EXPECT_EQ(bank->GetOpenFileCount(), 0);
  EXPECT_TRUE(UnlockBank("Data\\"));
  EXPECT_FALSE(bank->IsLoaded());
}

TEST_F(BankTest, MissingEntryFallsBackToPlainFile) {
  RegisterBankBuffer("b.vbk", Memory(BankBuilder().Stored("a", "x").Build()), "pfx");
  LockBank("pfx\\");
  QIFStreamB in;
  in.open("pfx\\no_such_file_here.txt");
  EXPECT_TRUE(in.fail());
  EXPECT_TRUE(reports_.Contains(ReportSlot::kLog, "File pfx\\no_such_file_here.txt not in bank"));
  EXPECT_EQ(in.GetBank().GetRef(), nullptr);
}

TEST_F(BankTest, UnlockedBankServesNothing) {
  RegisterBankBuffer("b.vbk", Memory(BankBuilder().Stored("a", "x").Build()), "pfx");
  QIFStreamB in;
  in.open("pfx\\a");
  EXPECT_TRUE(in.fail());
  EXPECT_TRUE(reports_.Contains(ReportSlot::kWarning, "Cannot open bank b.vbk that is not locked"));
  EXPECT_FALSE(LockBank("other\\"));
  EXPECT_TRUE(reports_.Contains(ReportSlot::kLog, "Lock: Bank other\\ not found"));
}

TEST_F(BankTest, TruncatedBankReportsAndNeverReadsPastTheEnd) {
  const std::string text = Pattern(3000);
  std::string bytes =
      BankBuilder().Stored("first", "0123456789").Compressed("second", text).Build();
  bytes.resize(bytes.size() - 40);  // cut into the compressed entry's data
  Ref<QFBank> bank(new QFBank);
  ASSERT_TRUE(bank->OpenBuffer("cut.vbk", Memory(bytes), "c", nullptr, nullptr));
  bank->Lock();
  EXPECT_TRUE(reports_.Contains(ReportSlot::kError, "Data file too short 'cut.vbk'."));
  Ref<IFileBuffer> first = bank->OpenEntry("first");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->GetSize(), 10);
  EXPECT_FALSE(bank->OpenEntry("second"));
  EXPECT_TRUE(reports_.Contains(ReportSlot::kWarning, "Error decoding second from cut.vbk"));

  // Cut inside the records themselves: the header simply ends.
  Ref<QFBank> cut_header(new QFBank);
  cut_header->OpenBuffer("h.vbk", Memory(bytes.substr(0, 9)), "h", nullptr, nullptr);
  cut_header->Lock();
  EXPECT_EQ(cut_header->GetEntryCount(), 0);
}

TEST_F(BankTest, HostileSizesAreRefusedNotAllocated) {
  // Sizes near 4 GiB: positions must not wrap into the header, and a claimed
  // unpacked size far beyond what the packed bytes can give is refused.
  std::string bytes = BankBuilder()
                          .Raw("huge", kBankMethodStored, 5, "abcde", 0xFFFFFFF0u)
                          .Raw("after", kBankMethodStored, 5, "")
                          .Raw("bomb", kBankMethodCompressed, 0xFFFFFF00u, "", 8)
                          .Build();
  Ref<QFBank> bank(new QFBank);
  bank->OpenBuffer("hostile.vbk", Memory(bytes), "h", nullptr, nullptr);
  bank->Lock();
  EXPECT_TRUE(reports_.Contains("Data file too short"));
  Ref<IFileBuffer> huge = bank->OpenEntry("huge");
  ASSERT_TRUE(huge);
  EXPECT_LE(huge->GetSize(), 5);
  Ref<IFileBuffer> after = bank->OpenEntry("after");
  ASSERT_TRUE(after);
  EXPECT_EQ(after->GetSize(), 0);
  EXPECT_FALSE(bank->OpenEntry("bomb"));

  // A record that claims enough packed bytes for its size, in a file that
  // holds two of them: what the file holds is the bound.
  Ref<QFBank> claims(new QFBank);
  claims->OpenBuffer(
      "claims.vbk",
      Memory(BankBuilder()
                 .Raw("claims", kBankMethodCompressed, 0x60000000u, "xy", 0x0AAAAAAAu)
                 .Build()),
      "c", nullptr, nullptr);
  claims->Lock();
  EXPECT_FALSE(claims->OpenEntry("claims"));
  EXPECT_TRUE(reports_.Contains(ReportSlot::kWarning, "Error decoding claims from claims.vbk"));
}

TEST_F(BankTest, UnknownPackingMethodIsReported) {
  Ref<QFBank> bank(new QFBank);
  bank->OpenBuffer("m.vbk", Memory(BankBuilder().Raw("odd", 0x12345678, 3, "abc").Build()), "m",
                   nullptr, nullptr);
  bank->Lock();
  EXPECT_FALSE(bank->OpenEntry("odd"));
  EXPECT_TRUE(reports_.Contains(ReportSlot::kErrorAt, "Unknown compression manager"));
}

// A toy scheme for the registry: every byte XOR 0x5A.
class XorScheme final : public IBankEncryption {
 public:
  bool Decode(void* dst, size_t dst_size, const void* src, size_t src_size) override {
    if (dst_size != src_size) return false;
    for (size_t i = 0; i < src_size; ++i) {
      static_cast<char*>(dst)[i] = static_cast<const char*>(src)[i] ^ 0x5A;
    }
    return true;
  }
};
IBankEncryption* MakeXor() { return new XorScheme; }

std::string EncipheredBank(const std::string& scheme) {
  BankBuilder builder;
  builder.Property("encryption", scheme).Stored("secret.txt", "plain data");
  std::string records = builder.Records();
  std::string enciphered = records;
  for (char& c : enciphered) c ^= 0x5A;
  std::string out = builder.Header();
  PutU32(out, static_cast<uint32_t>(records.size()));
  PutU32(out, static_cast<uint32_t>(enciphered.size()));
  return out + enciphered + "plain data";
}

TEST_F(BankTest, EncryptionPropertyNeedsARegisteredScheme) {
  Ref<QFBank> unknown(new QFBank);
  unknown->OpenBuffer("e.vbk", Memory(EncipheredBank("toyxor")), "e", nullptr, nullptr);
  unknown->Lock();
  EXPECT_TRUE(reports_.Contains(ReportSlot::kError, "Unknown encryption toyxor"));
  EXPECT_TRUE(unknown->IsError());
  EXPECT_FALSE(unknown->OpenEntry("secret.txt"));

  ASSERT_TRUE(RegisterBankEncryption("toyxor", &MakeXor));
  EXPECT_FALSE(RegisterBankEncryption("toyxor", &MakeXor));
  EXPECT_TRUE(reports_.Contains(ReportSlot::kError, "Ecryption toyxor already registered"));
  Ref<QFBank> known(new QFBank);
  known->OpenBuffer("e.vbk", Memory(EncipheredBank("toyxor")), "e", nullptr, nullptr);
  known->Lock();
  Ref<IFileBuffer> secret = known->OpenEntry("SECRET.txt");
  ASSERT_TRUE(secret);
  std::string got(static_cast<size_t>(secret->GetSize()), '\0');
  secret->Read(got.data(), 0, secret->GetSize());
  EXPECT_EQ(got, "plain data");
  UnregisterBankEncryption("toyxor");
}

TEST_F(BankTest, LongestPrefixServesThePath) {
  QFBank* outer =
      RegisterBankBuffer("o.vbk", Memory(BankBuilder().Stored("b\\x", "o").Build()), "a");
  QFBank* inner =
      RegisterBankBuffer("i.vbk", Memory(BankBuilder().Stored("x", "i").Build()), "a\\b");
  EXPECT_EQ(FindBankForPath("A\\B\\x"), inner);
  EXPECT_EQ(FindBankForPath("a\\c"), outer);
  EXPECT_EQ(FindBankForPath("c:\\a\\b\\x"), nullptr);
  EXPECT_EQ(FindBankForPath(""), nullptr);
  EXPECT_EQ(FindBankForPath("ab"), nullptr);
}

bool Refuse(QFBank&, void*) { return false; }

TEST_F(BankTest, FileExistenceAsksBankThenDisk) {
  RegisterBankBuffer("f.vbk", Memory(BankBuilder().Stored("there.txt", "1").Build()), "f");
  LockBank("f\\");
  EXPECT_TRUE(BankFileExists("F\\There.txt"));
  EXPECT_FALSE(BankFileExists("f\\missing.txt"));
  EXPECT_FALSE(BankFileExists("f\\there.txt", &Refuse, nullptr));
  EXPECT_FALSE(reports_.Contains("access denied"));
  EXPECT_FALSE(BankFileExists("f\\missing.txt", &Refuse, nullptr));
  EXPECT_TRUE(reports_.Contains(ReportSlot::kLog, "FileExist f\\missing.txt: access denied"));

  // A refusing access callback puts the bank in error when the header loads.
  QFBank* refused =
      RegisterBankBuffer("r.vbk", Memory(BankBuilder().Stored("y", "1").Build()), "r", &Refuse);
  LockBank("r\\");
  EXPECT_TRUE(refused->IsError());
  EXPECT_FALSE(refused->OpenEntry("y"));
}

TEST_F(BankTest, AccessLogAndFreeMemory) {
  QFBank* bank = RegisterBankBuffer("l.vbk", Memory(BankBuilder().Stored("a", "1").Build()), "l");
  QFBankLog log;
  bank->SetLog(&log);
  LockBank("l\\");
  EXPECT_TRUE(bank->OpenEntry("A"));
  EXPECT_TRUE(bank->OpenEntry("A"));
  ASSERT_EQ(log.Lines().size(), 1u);
  EXPECT_EQ(log.Lines()[0], "l.vbk A");
  EXPECT_TRUE(FreeBankMemory());
  EXPECT_TRUE(reports_.Contains(ReportSlot::kLog, "Unloading locked bank l.vbk"));
  EXPECT_FALSE(FreeBankMemory());
}

// Registered from a real file, with a plain file of the same path beside it
// (in the folder named by the prefix) taking the entry's place.
TEST_F(BankTest, FileBankAndPlainFileVersion) {
  test_support::ScratchFolder dir("bank");
  test_support::ScopedCurrentDirectory inside(dir.path());
  {
    std::string bytes =
        BankBuilder().Stored("sub\\over.txt", "from bank").Stored("kept.txt", "kept").Build();
    ASSERT_TRUE(test_support::WriteTestFile("pack.vbk", bytes));
    ASSERT_TRUE(test_support::WriteTestFile("pack/sub/over.txt", "from disk"));

    EXPECT_EQ(RegisterBank("missing.vbk", "x"), nullptr);
    EXPECT_TRUE(reports_.Contains(ReportSlot::kError, "Cannot open file 'missing.vbk'"));
    QFBank* bank = RegisterBankBase("pack", "pack");
    ASSERT_NE(bank, nullptr);
    EXPECT_TRUE(reports_.Contains(ReportSlot::kLog, "Load bank pack.vbk"));
    LockBank("pack\\");
    EXPECT_TRUE(reports_.Contains(ReportSlot::kLog, "Plain file version of sub\\over.txt used"));
    QIFStreamB over, kept;
    over.open("pack\\sub\\over.txt");
    kept.open("pack\\kept.txt");
    EXPECT_EQ(ReadAll(over), "from disk");
    EXPECT_EQ(ReadAll(kept), "kept");
    over.close();
    kept.close();
    UnregisterAllBanks();
  }
}

}  // namespace
}  // namespace corvane
