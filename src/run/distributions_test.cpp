#include "run/distributions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane {
namespace {

NameList Names(const std::vector<const char*>& texts) {
  NameList list;
  for (const char* text : texts) list.Add(RString(text));
  return list;
}

std::vector<std::string> Texts(const NameList& list) {
  std::vector<std::string> out;
  for (const RString& name : list) out.emplace_back(name.Data());
  return out;
}

using Strings = std::vector<std::string>;

TEST(PickDistributionFiles, SelectedVariantReplacesPlainFile) {
  NameList names = Names({"ALL\\VESKA.EXE", "ALL\\VESKA.EXE.#KESTREL", "ALL\\DATA.PBO"});
  PickDistributionFiles(&names, Names({"kestrel"}));
  EXPECT_EQ(Texts(names), (Strings{"ALL\\VESKA.EXE.#KESTREL", "ALL\\DATA.PBO"}));
}

TEST(PickDistributionFiles, EmptyChainKeepsOnlyPlainFiles) {
  NameList names = Names({"ALL\\A.EXE.#GOLD", "ALL\\A.EXE", "ALL\\B.EXE.#GOLD", "ALL\\C"});
  PickDistributionFiles(&names, NameList());
  // The group keeps the position of its first member.
  EXPECT_EQ(Texts(names), (Strings{"ALL\\A.EXE", "ALL\\C"}));
}

TEST(PickDistributionFiles, EarliestDistributionOfTheChainWins) {
  NameList chain = Names({"B", "A"});  // B's parent is A
  NameList both = Names({"X.#A", "X", "X.#B"});
  PickDistributionFiles(&both, chain);
  EXPECT_EQ(Texts(both), (Strings{"X.#B"}));

  NameList parent_only = Names({"X", "X.#a"});
  PickDistributionFiles(&parent_only, chain);
  EXPECT_EQ(Texts(parent_only), (Strings{"X.#A"}));

  NameList neither = Names({"X.#C", "X"});
  PickDistributionFiles(&neither, chain);
  EXPECT_EQ(Texts(neither), (Strings{"X"}));
}

TEST(PickDistributionFiles, ForeignVariantWithoutPlainFileIsDropped) {
  NameList names = Names({"A.#OTHER", "B.#OTHER", "C"});
  PickDistributionFiles(&names, Names({"MINE"}));
  EXPECT_EQ(Texts(names), (Strings{"C"}));
}

TEST(PickDistributionFiles, BasesCompareWithoutCase) {
  NameList names = Names({"all\\x.exe", "ALL\\X.EXE.#K", "All\\X.Exe"});
  PickDistributionFiles(&names, Names({"K"}));
  EXPECT_EQ(Texts(names), (Strings{"all\\x.exe.#K"}));
}

TEST(DistributionSuffix, OnlyALastDotFollowedByHash) {
  int base = 0;
  EXPECT_STREQ(DistributionSuffix("A.EXE.#GOLD", &base), "GOLD");
  EXPECT_EQ(base, 5);
  EXPECT_EQ(DistributionSuffix("A.#GOLD.EXE", &base), nullptr);
  EXPECT_EQ(base, 11);
  EXPECT_EQ(DistributionSuffix("A#B", &base), nullptr);
}

DistributionTable Table() {
  DistributionTable table;
  table.Add({"BASE", "", 0, -1});
  table.Add({"GOLD", "Gold Edition", 1, 0});
  table.Add({"DELUXE", "Deluxe Box", 1, 1});
  table.Add({"ALPHA", "alpha preview", 2, -1});
  return table;
}

TEST(BuildDistributionChain, FollowsParentsToTheRoot) {
  DistributionTable table = Table();
  EXPECT_EQ(Texts(BuildDistributionChain(table, Names({"deluxe"}))),
            (Strings{"deluxe", "GOLD", "BASE"}));
  EXPECT_EQ(Texts(BuildDistributionChain(table, Names({"UNKNOWN"}))), (Strings{"UNKNOWN"}));
  EXPECT_TRUE(BuildDistributionChain(table, NameList()).IsEmpty());
}

class ScriptedChooser : public IDistributionChooser {
 public:
  explicit ScriptedChooser(int answer) : answer_(answer) {}
  int Choose(const NameList& titles) override {
    shown = Texts(titles);
    return answer_;
  }
  Strings shown;

 private:
  int answer_;
};

TEST(SelectDistribution, AnswersTheCandidateBehindTheSortedTitle) {
  DistributionTable table = Table();
  NameList candidates = Names({"GOLD", "DELUXE", "ALPHA", "NOROW"});
  ScriptedChooser first(0);
  // Sorted without regard to case; a candidate without a row shows its name.
  EXPECT_EQ(std::string(SelectDistribution(first, table, candidates).Data()), "ALPHA");
  EXPECT_EQ(first.shown, (Strings{"alpha preview", "Deluxe Box", "Gold Edition", "NOROW"}));
  ScriptedChooser second(1);
  EXPECT_EQ(std::string(SelectDistribution(second, table, candidates).Data()), "DELUXE");
}

TEST(SelectDistribution, CancelOrNonsenseAnswersEmpty) {
  DistributionTable table = Table();
  NameList candidates = Names({"GOLD", "DELUXE"});
  ScriptedChooser cancel(-1);
  EXPECT_TRUE(SelectDistribution(cancel, table, candidates).IsEmpty());
  ScriptedChooser beyond(2);
  EXPECT_TRUE(SelectDistribution(beyond, table, candidates).IsEmpty());
}

}  // namespace
}  // namespace corvane
