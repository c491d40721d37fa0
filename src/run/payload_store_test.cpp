#include "run/payload_store.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "run/step_test_support.h"

namespace corvane {
namespace {

using test::Bytes;
using test::PayloadModule;
using test::ScratchDir;
using test::ToBytes;

TEST(PayloadStoreTest, NamesAreFoundWhateverTheirCase) {
  PayloadModule payload({{"version.cfg", ToBytes("manifest")},
                         {"crc\\1.01\\crc.crc", ToBytes("X 1\n")},
                         {"empty", Bytes{}}});
  ASSERT_TRUE(payload.ok());
  uint32_t size = 99;
  const uint8_t* bytes = FindPayload("version.cfg", payload.module(), &size);
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), size), "manifest");
  EXPECT_NE(FindPayload("VERSION.CFG", payload.module(), &size), nullptr);
  EXPECT_NE(FindPayload("CRC\\1.01\\crc.CRC", payload.module(), &size), nullptr);
  size = 99;
  EXPECT_EQ(FindPayload("version.cf", payload.module(), &size), nullptr);
  EXPECT_EQ(size, 99u);  // not written when missing

  // An existing resource of no bytes gives no text.
  EXPECT_NE(FindPayload("empty", payload.module(), &size), nullptr);
  EXPECT_EQ(LoadPayloadText("empty", payload.module()), nullptr);
  auto text = LoadPayloadText("crc\\1.01\\crc.crc", payload.module());
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text.get(), "X 1\n");
}

TEST(PayloadStoreTest, SizeOfAMissingResourceIsZeroAfterABox) {
  test::ScopedBoxRecorder boxes;
  PayloadModule payload({{"A", ToBytes("abc")}});
  EXPECT_EQ(PayloadSize("a", payload.module()), 3u);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(PayloadSize("b", payload.module()), 0u);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].rfind("Error: ", 0), 0u);
}

TEST(PayloadStoreTest, OverlongNameIsRefusedNotCut) {
  std::string name(kMaxPayloadName, 'A');
  PayloadModule payload({{name, ToBytes("x")}});
  ASSERT_TRUE(payload.ok());
  uint32_t size = 0;
  EXPECT_NE(FindPayload(name.c_str(), payload.module(), &size), nullptr);
  EXPECT_EQ(FindPayload((name + "A").c_str(), payload.module(), &size), nullptr);
}

TEST(PayloadStoreTest, ExtractReplacesAReadOnlyTargetAndLeavesNoTemporaryFile) {
  ScratchDir game;
  game.Write("ADDONS/ui.vbk", "old content");
  std::string target = game.SystemPath() + "ADDONS\\ui.vbk";
  ASSERT_TRUE(platform::SetReadOnly(target.c_str(), true));

  PayloadModule payload({{"ALL\\ADDONS\\UI.VBK", ToBytes("new")}});
  ASSERT_TRUE(ExtractPayload("all\\addons\\ui.vbk", target.c_str(), payload.module()));
  EXPECT_EQ(game.Read("ADDONS/ui.vbk"), "new");
  EXPECT_EQ(game.List("ADDONS"), std::vector<std::string>{"ui.vbk"});
}

TEST(PayloadStoreTest, ExtractWritesLargeResourcesWholeAndMakesDirectories) {
  Bytes big(3000000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7 + i / 1048576);
  PayloadModule payload({{"BIG", big}});
  ScratchDir game;
  std::string target = game.SystemPath() + "a\\b\\big.bin";
  ASSERT_TRUE(ExtractPayload("big", target.c_str(), payload.module()));
  EXPECT_EQ(test::ToBytes(game.Read("a/b/big.bin")), big);
  EXPECT_EQ(game.List("a/b"), std::vector<std::string>{"big.bin"});
}

TEST(PayloadStoreTest, ExtractIntoAnUncreatableTargetFailsAndKeepsNothing) {
  PayloadModule payload({{"X", ToBytes("x")}});
  ScratchDir game;
  game.Write("file", "f");
  // A directory component that is a file: nothing can be created below it.
  std::string target = game.SystemPath() + "file\\x.bin";
  EXPECT_FALSE(ExtractPayload("X", target.c_str(), payload.module()));
  EXPECT_EQ(game.List(), std::vector<std::string>{"file"});
  EXPECT_EQ(game.Read("file"), "f");
}

TEST(PayloadStoreTest, MakeDirectoriesNeverCreatesTheFileName) {
  ScratchDir game;
  MakeDirectories((game.SystemPath() + "one\\two\\name.ext").c_str());
  EXPECT_TRUE(std::filesystem::is_directory(game.Host("one/two")));
  EXPECT_FALSE(game.Exists("one/two/name.ext"));
  MakeDirectories((game.SystemPath() + std::string(1100, 'd') + "\\f").c_str());
  EXPECT_EQ(game.List(), std::vector<std::string>{"one"});
}

TEST(PayloadStoreTest, CollectTakesNamesOfThePrefixAndSeesEveryName) {
  PayloadModule payload({{"all\\addons\\language.vbk", ToBytes("l")},
                         {"ALL\\VESKA.EXE.#KESTREL", ToBytes("v")},
                         {"1.01-1.02\\addons\\ui.vbk.upd", ToBytes("u")}});
  PatchContext context;
  context.SetPrefix("All\\");
  EXPECT_TRUE(EnumeratePayload(payload.module(), CollectPayloadNames, &context));
  EXPECT_EQ(context.seen, 1);
  ASSERT_EQ(context.names.Size(), 2);
  EXPECT_STREQ(context.names[0].Data(), "ALL\\ADDONS\\LANGUAGE.VBK");
  EXPECT_STREQ(context.names[1].Data(), "ALL\\VESKA.EXE.#KESTREL");

  PatchContext numbered;
  EXPECT_TRUE(
      CollectPayloadNames(nullptr, kRawDataType, reinterpret_cast<const char*>(7), &numbered));
  EXPECT_EQ(numbered.seen, 0);
}

bool StopAtSecond(const platform::ResourceModule*, int, const char* name, PatchContext* context) {
  context->names.Add(RString(name));
  return context->names.Size() < 2;
}

TEST(PayloadStoreTest, EnumerationIsAscendingAndStopsWhenAsked) {
  PayloadModule payload({{"C", ToBytes("c")}, {"A", ToBytes("a")}, {"B", ToBytes("b")}});
  PatchContext context;
  EXPECT_FALSE(EnumeratePayload(payload.module(), StopAtSecond, &context));
  ASSERT_EQ(context.names.Size(), 2);
  EXPECT_STREQ(context.names[0].Data(), "A");
  EXPECT_STREQ(context.names[1].Data(), "B");
}

TEST(PayloadStoreTest, ContextFieldsCutInsteadOfOverflowing) {
  PatchContext context;
  std::string longer(600, 'p');
  EXPECT_FALSE(context.SetPrefix(longer.c_str()));
  EXPECT_EQ(std::string(context.prefix), std::string(511, 'p'));
  EXPECT_TRUE(context.SetFailedFile("X.EXE"));
  EXPECT_STREQ(context.failed_file, "X.EXE");
}

}  // namespace
}  // namespace corvane
