#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/posix/posix_test_dir.h"
#include "platform/signature.h"
#include "platform/signing_key.h"

namespace corvane::platform {
namespace {

using testing::ReadTestText;

const std::string kKeyDir = std::string(CORVANE_SOURCE_DIR) + "/tests/keys";

struct Fixture {
  std::string pem = ReadTestText(kKeyDir + "/test.key.pem");
  std::string blob = ReadTestText(kKeyDir + "/test.pubkey");
  std::string manifest = std::string("version.cfg bytes\0with a zero", 29);

  int Verify(const std::string& data, const std::vector<uint8_t>& signature,
             const std::string& key) const {
    SignatureCheck check;
    check.key_blob = reinterpret_cast<const uint8_t*>(key.data());
    check.key_length = static_cast<uint32_t>(key.size());
    check.signature = signature.data();
    check.signature_length = static_cast<uint32_t>(signature.size());
    uint32_t last_error = 99;
    const int result = VerifySignature(reinterpret_cast<const uint8_t*>(data.data()),
                                       static_cast<uint32_t>(data.size()), check, &last_error);
    EXPECT_EQ(last_error, 0u);
    return result;
  }
};

TEST(PosixSignatureTest, RepositoryTestKeyPairMatches) {
  Fixture f;
  ASSERT_EQ(f.blob.size(), kPublicKeyBlobSize);
  std::vector<uint8_t> derived;
  const Result derived_result = PublicBlobOfKey(f.pem, &derived);
  ASSERT_TRUE(derived_result.ok()) << derived_result.message();
  EXPECT_EQ(std::string(derived.begin(), derived.end()), f.blob);
  // The fixed header of the blob: PUBLICKEYBLOB, version 2, CALG_RSA_SIGN, RSA1, 1024 bits, 65537.
  const uint8_t header[20] = {6,   2,   0, 0, 0, 0x24, 0, 0, 'R', 'S',
                              'A', '1', 0, 4, 0, 0,    1, 0, 1,   0};
  EXPECT_TRUE(std::equal(header, header + 20, reinterpret_cast<const uint8_t*>(f.blob.data())));
}

TEST(PosixSignatureTest, OwnSignatureVerifiesAndAnyChangeGivesSeven) {
  Fixture f;
  std::vector<uint8_t> signature;
  const Result signed_result = SignBytes(f.pem, reinterpret_cast<const uint8_t*>(f.manifest.data()),
                                         f.manifest.size(), &signature);
  ASSERT_TRUE(signed_result.ok()) << signed_result.message();
  ASSERT_EQ(signature.size(), kSignatureSize);
  EXPECT_EQ(f.Verify(f.manifest, signature, f.blob), kSignatureValid);

  for (size_t i : {size_t{0}, f.manifest.size() / 2, f.manifest.size() - 1}) {
    std::string changed = f.manifest;
    changed[i] ^= 0x01;
    EXPECT_EQ(f.Verify(changed, signature, f.blob), kSignatureMismatch) << i;
  }
  EXPECT_EQ(f.Verify(f.manifest + "x", signature, f.blob), kSignatureMismatch);
  std::vector<uint8_t> flipped = signature;
  flipped[0] ^= 0x80;
  EXPECT_EQ(f.Verify(f.manifest, flipped, f.blob), kSignatureMismatch);
  std::vector<uint8_t> reversed(signature.rbegin(), signature.rend());  // wrong byte order
  EXPECT_EQ(f.Verify(f.manifest, reversed, f.blob), kSignatureMismatch);
  std::vector<uint8_t> shorter(signature.begin(), signature.end() - 1);
  EXPECT_EQ(f.Verify(f.manifest, shorter, f.blob), kSignatureMismatch);
  std::vector<uint8_t> longer = signature;
  longer.push_back(0);
  EXPECT_EQ(f.Verify(f.manifest, longer, f.blob), kSignatureMismatch);
  EXPECT_EQ(f.Verify(f.manifest, {}, f.blob), kSignatureMismatch);
}

TEST(PosixSignatureTest, OpenSslCommandLineSignatureReversedVerifies) {
  Fixture f;
  testing::ScopedTempDir dir;
  ASSERT_TRUE(testing::WriteTestFile(dir / "version.cfg", f.manifest));
  const std::string command = "openssl dgst -sha1 -sign '" + kKeyDir + "/test.key.pem' -out '" +
                              (dir / "sig.be") + "' '" + (dir / "version.cfg") + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) GTEST_SKIP() << "no openssl command";
  const std::string big_endian = ReadTestText(dir / "sig.be");
  ASSERT_EQ(big_endian.size(), kSignatureSize);
  std::vector<uint8_t> signature(big_endian.rbegin(), big_endian.rend());
  EXPECT_EQ(f.Verify(f.manifest, signature, f.blob), kSignatureValid);
  std::vector<uint8_t> unreversed(big_endian.begin(), big_endian.end());
  EXPECT_EQ(f.Verify(f.manifest, unreversed, f.blob), kSignatureMismatch);
}

// The other malformed blobs are in the contract test of every backend.
TEST(PosixSignatureTest, PrivateBlobTypeOrZeroModulusGivesFour) {
  Fixture f;
  std::vector<uint8_t> signature(kSignatureSize, 1);
  std::string wrong_type = f.blob;
  wrong_type[0] = 7;  // a private key blob type
  EXPECT_EQ(f.Verify(f.manifest, signature, wrong_type), kSignatureBadKey);
  std::string zero_modulus = f.blob.substr(0, 20) + std::string(128, '\0');
  EXPECT_EQ(f.Verify(f.manifest, signature, zero_modulus), kSignatureBadKey);
}

TEST(PosixSignatureTest, KeygenMakesAWorkingPair) {
  std::string pem;
  std::vector<uint8_t> blob;
  const Result generated = GenerateSigningKey(&pem, &blob);
  ASSERT_TRUE(generated.ok()) << generated.message();
  ASSERT_EQ(blob.size(), kPublicKeyBlobSize);
  const std::string data = "data";
  std::vector<uint8_t> signature;
  ASSERT_TRUE(
      SignBytes(pem, reinterpret_cast<const uint8_t*>(data.data()), data.size(), &signature).ok());
  Fixture f;
  EXPECT_EQ(f.Verify(data, signature, std::string(blob.begin(), blob.end())), kSignatureValid);
  EXPECT_EQ(f.Verify(data, signature, f.blob), kSignatureMismatch);  // another key
  const Result refused = SignBytes("not a key", nullptr, 0, &signature);
  EXPECT_EQ(refused.code(), ErrorCode::kInvalidInput);
  EXPECT_EQ(refused.message(), "not a PEM private key");
}

}  // namespace
}  // namespace corvane::platform
