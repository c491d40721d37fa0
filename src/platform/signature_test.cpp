// What every backend's signature check must do, on the same bytes: a
// manifest signed by "patchbuild sign" and by the openssl command (its bytes
// reversed), checked against the repository's test key.

#include "platform/signature.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/signing_key.h"
#include "support/test_files.h"

namespace corvane::platform {
namespace {

using test_support::ReadTestBytes;
using test_support::SourceFilePath;

struct Inputs {
  std::vector<uint8_t> key = ReadTestBytes(SourceFilePath("tests/keys/test.pubkey"));
  std::vector<uint8_t> manifest =
      ReadTestBytes(SourceFilePath("src/platform/testdata/manifest.bin"));
  std::vector<uint8_t> own =
      ReadTestBytes(SourceFilePath("src/platform/testdata/manifest.bin.sign"));
  std::vector<uint8_t> openssl =
      ReadTestBytes(SourceFilePath("src/platform/testdata/manifest.bin.openssl.sign"));

  int Verify(const std::vector<uint8_t>& data, const std::vector<uint8_t>& signature,
             const std::vector<uint8_t>& blob) const {
    SignatureCheck check;
    check.key_blob = blob.data();
    check.key_length = static_cast<uint32_t>(blob.size());
    check.signature = signature.data();
    check.signature_length = static_cast<uint32_t>(signature.size());
    return VerifySignature(data.data(), static_cast<uint32_t>(data.size()), check, nullptr);
  }
};

TEST(SignatureTest, SignaturesOfBothToolsVerify) {
  Inputs in;
  ASSERT_EQ(in.key.size(), kPublicKeyBlobSize);
  ASSERT_EQ(in.own.size(), kSignatureSize);
  ASSERT_EQ(in.openssl.size(), kSignatureSize);
  EXPECT_EQ(in.Verify(in.manifest, in.own, in.key), kSignatureValid);
  EXPECT_EQ(in.Verify(in.manifest, in.openssl, in.key), kSignatureValid);
}

TEST(SignatureTest, ChangedBytesAndWrongLengthsGiveSeven) {
  Inputs in;
  std::vector<uint8_t> changed = in.manifest;
  changed[changed.size() / 2] ^= 1;
  EXPECT_EQ(in.Verify(changed, in.own, in.key), kSignatureMismatch);
  // Windows tells why through the system's last error; the posix check has
  // no such code and leaves it 0.
  SignatureCheck check;
  check.key_blob = in.key.data();
  check.key_length = static_cast<uint32_t>(in.key.size());
  check.signature = in.own.data();
  check.signature_length = static_cast<uint32_t>(in.own.size());
  uint32_t last_error = 99;
  EXPECT_EQ(
      VerifySignature(changed.data(), static_cast<uint32_t>(changed.size()), check, &last_error),
      kSignatureMismatch);
#ifdef _WIN32
  EXPECT_NE(last_error, 0u);
#else
  EXPECT_EQ(last_error, 0u);
#endif
  std::vector<uint8_t> shorter(in.own.begin(), in.own.end() - 1);
  EXPECT_EQ(in.Verify(in.manifest, shorter, in.key), kSignatureMismatch);
  std::vector<uint8_t> longer = in.own;
  longer.push_back(0);
  EXPECT_EQ(in.Verify(in.manifest, longer, in.key), kSignatureMismatch);
  std::vector<uint8_t> reversed(in.own.rbegin(), in.own.rend());
  EXPECT_EQ(in.Verify(in.manifest, reversed, in.key), kSignatureMismatch);
}

TEST(SignatureTest, MalformedKeyBlobGivesFour) {
  Inputs in;
  std::vector<uint8_t> not_rsa1 = in.key;
  not_rsa1[8] = 'X';
  EXPECT_EQ(in.Verify(in.manifest, in.own, not_rsa1), kSignatureBadKey);
  std::vector<uint8_t> wrong_magic = in.key;
  wrong_magic[11] = '2';  // "RSA2": a private key's magic
  EXPECT_EQ(in.Verify(in.manifest, in.own, wrong_magic), kSignatureBadKey);
  std::vector<uint8_t> cut(in.key.begin(), in.key.end() - 1);
  EXPECT_EQ(in.Verify(in.manifest, in.own, cut), kSignatureBadKey);
  EXPECT_EQ(in.Verify(in.manifest, in.own, {}), kSignatureBadKey);
}

}  // namespace
}  // namespace corvane::platform
