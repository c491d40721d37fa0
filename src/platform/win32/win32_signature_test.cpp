// Signatures made by "patchbuild sign" and by the openssl command (bytes
// reversed), checked by CryptoAPI.

#include <windows.h>
#include <gtest/gtest.h>

#include "platform/signature.h"
#include "platform/win32/win32_test_support.h"

namespace corvane::platform {
namespace {

struct Inputs {
  std::vector<uint8_t> key = testing::ReadBytes(testing::SourcePath("tests/keys/test.pubkey"));
  std::vector<uint8_t> manifest =
      testing::ReadBytes(testing::SourcePath("src/platform/win32/testdata/manifest.bin"));
  std::vector<uint8_t> own =
      testing::ReadBytes(testing::SourcePath("src/platform/win32/testdata/manifest.bin.sign"));
  std::vector<uint8_t> openssl = testing::ReadBytes(
      testing::SourcePath("src/platform/win32/testdata/manifest.bin.openssl.sign"));

  int Verify(const std::vector<uint8_t>& data, const std::vector<uint8_t>& signature,
             const std::vector<uint8_t>& blob, uint32_t* last_error = nullptr) const {
    SignatureCheck check;
    check.key_blob = blob.data();
    check.key_length = static_cast<uint32_t>(blob.size());
    check.signature = signature.data();
    check.signature_length = static_cast<uint32_t>(signature.size());
    return VerifySignature(data.data(), static_cast<uint32_t>(data.size()), check, last_error);
  }
};

TEST(Win32SignatureTest, SignaturesOfBothToolsVerify) {
  Inputs in;
  ASSERT_EQ(in.key.size(), 148u);
  ASSERT_EQ(in.own.size(), 128u);
  ASSERT_EQ(in.openssl.size(), 128u);
  EXPECT_EQ(in.Verify(in.manifest, in.own, in.key), kSignatureValid);
  EXPECT_EQ(in.Verify(in.manifest, in.openssl, in.key), kSignatureValid);
}

TEST(Win32SignatureTest, ChangedBytesAndWrongLengthsGiveSeven) {
  Inputs in;
  std::vector<uint8_t> changed = in.manifest;
  changed[changed.size() / 2] ^= 1;
  uint32_t last_error = 0;
  EXPECT_EQ(in.Verify(changed, in.own, in.key, &last_error), kSignatureMismatch);
  EXPECT_NE(last_error, 0u);
  std::vector<uint8_t> shorter(in.own.begin(), in.own.end() - 1);
  EXPECT_EQ(in.Verify(in.manifest, shorter, in.key), kSignatureMismatch);
  std::vector<uint8_t> longer = in.own;
  longer.push_back(0);
  EXPECT_EQ(in.Verify(in.manifest, longer, in.key), kSignatureMismatch);
  std::vector<uint8_t> reversed(in.own.rbegin(), in.own.rend());
  EXPECT_EQ(in.Verify(in.manifest, reversed, in.key), kSignatureMismatch);
}

TEST(Win32SignatureTest, MalformedKeyBlobGivesFour) {
  Inputs in;
  std::vector<uint8_t> blob = in.key;
  blob[8] = 'X';  // not "RSA1"
  EXPECT_EQ(in.Verify(in.manifest, in.own, blob), kSignatureBadKey);
}

}  // namespace
}  // namespace corvane::platform
