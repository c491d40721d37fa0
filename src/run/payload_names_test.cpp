#include "run/payload_names.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

TEST(PayloadNamesTest, NamesOfEverySoundKindPass) {
  for (const char* name :
       {"version.cfg", "version.cfg.sign", "crc\\1.01\\crc.crc", "1.00-1.01\\ADDONS\\X.VBK.UPD",
        "ALL\\VESKA.EXE.#KESTREL", "ADD\\MAPS\\BONUS.MAP",
        "1.00\\DATA\\\311P\311E.DAT",  // \311 is 0xC9, an E with an acute accent
        "ALL\\MY FILE.TXT", "ALL\\CONSOLE.TXT", "ALL\\COM10", "ALL\\..A", "ALL\\.HIDDEN"}) {
    EXPECT_EQ(CheckPayloadName(name), PayloadNameFault::kNone) << name;
  }
}

TEST(PayloadNamesTest, NamesThatLeaveTheInstallationAreRefused) {
  const struct {
    const char* name;
    PayloadNameFault fault;
  } cases[] = {
      {"ALL\\..\\..\\..\\..\\EVIL.TXT", PayloadNameFault::kDotComponent},
      {"1.00-1.01\\..\\..\\VICTIM.TXT.UPD", PayloadNameFault::kDotComponent},
      {"ALL\\.\\X", PayloadNameFault::kDotComponent},
      {"..", PayloadNameFault::kDotComponent},
      {"\\WINDOWS\\X.DLL", PayloadNameFault::kRooted},
      {"\\\\SERVER\\SHARE\\X", PayloadNameFault::kRooted},
      {"/ETC/PASSWD", PayloadNameFault::kRooted},
      {"ALL\\C:\\X", PayloadNameFault::kColon},
      {"C:X", PayloadNameFault::kColon},
      {"ALL\\X.TXT:STREAM", PayloadNameFault::kColon},
      {"ALL\\../../X", PayloadNameFault::kForbiddenCharacter},
      {"ALL\\A\\\\B", PayloadNameFault::kEmptyComponent},
      {"ALL\\A\\", PayloadNameFault::kEmptyComponent},
      {"ALL\\.. \\X", PayloadNameFault::kTrailingDotOrSpace},
      {"ALL\\...\\X", PayloadNameFault::kTrailingDotOrSpace},
      {"ALL\\X.", PayloadNameFault::kTrailingDotOrSpace},
      {"ALL\\NUL", PayloadNameFault::kDeviceName},
      {"ALL\\con.txt", PayloadNameFault::kDeviceName},
      {"ALL\\LPT1 .LOG", PayloadNameFault::kDeviceName},
      {"ALL\\COM\xB9", PayloadNameFault::kDeviceName},
      {"ALL\\A?B", PayloadNameFault::kForbiddenCharacter},
      {"ALL\\A\tB", PayloadNameFault::kForbiddenCharacter},
      {"ALL\\A|B", PayloadNameFault::kForbiddenCharacter},
      {"", PayloadNameFault::kEmpty},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckPayloadName(c.name), c.fault) << c.name;
    EXPECT_STRNE(DescribePayloadNameFault(c.fault), "acceptable");
  }
  EXPECT_EQ(CheckPayloadName(nullptr), PayloadNameFault::kEmpty);
}

// The file a name lands at is shorter than the name: a distribution suffix is
// cut, and an update's last extension. A name that is sound as a whole but
// lands on "." or ".." would reach the installation folder itself or its parent.
TEST(PayloadNamesTest, NamesWhoseTargetLeavesTheInstallationAreRefused) {
  const struct {
    const char* name;
    PayloadNameFault fault;
  } cases[] = {
      {"ALL\\...#KESTREL", PayloadNameFault::kDotComponent},
      {"ALL\\SUB\\..#KESTREL", PayloadNameFault::kDotComponent},
      {"ALL\\FILE .#KESTREL", PayloadNameFault::kTrailingDotOrSpace},
      {"1.00-1.01\\...UPD", PayloadNameFault::kDotComponent},
      {"1.00-1.01\\DATA\\..UPD", PayloadNameFault::kDotComponent},
      {"1.00-1.01\\.UPD", PayloadNameFault::kEmptyComponent},
      {"1.00-1.01\\DATA\\X..UPD", PayloadNameFault::kTrailingDotOrSpace},
  };
  for (const auto& c : cases) EXPECT_EQ(CheckPayloadName(c.name), c.fault) << c.name;
  // Whole files keep their whole name: only updates lose an extension.
  for (const char* name :
       {"ALL\\..UPD", "ALL\\X..TXT", "1.00-1.01\\.HIDDEN.UPD", "ALL\\A.B.#KESTREL"}) {
    EXPECT_EQ(CheckPayloadName(name), PayloadNameFault::kNone) << name;
  }
}

TEST(PayloadNamesTest, LengthLimitIsTheStoresLimit) {
  EXPECT_EQ(CheckPayloadName(("ALL\\" + std::string(507, 'A')).c_str()), PayloadNameFault::kNone);
  EXPECT_EQ(CheckPayloadName(("ALL\\" + std::string(508, 'A')).c_str()),
            PayloadNameFault::kTooLong);
}

}  // namespace
}  // namespace corvane
