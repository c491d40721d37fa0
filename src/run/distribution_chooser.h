#pragma once

#include <memory>

#include "run/distributions.h"

namespace corvane {

class TerminalChannel;

// The distribution choice as a numbered question on a terminal: the sorted
// titles are listed from 1, Enter takes the preselected first one, 0 or "c"
// cancels. Without a person at the terminal (not interactive, or the input
// ends) the answer is Cancel: nobody can choose, and guessing an edition could
// install the wrong files.
class TerminalDistributionChooser final : public IDistributionChooser {
 public:
  explicit TerminalDistributionChooser(TerminalChannel& channel) : channel_(channel) {}
  int Choose(const NameList& sorted_titles) override;

 private:
  TerminalChannel& channel_;
};

}  // namespace corvane
