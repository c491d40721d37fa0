#include "run/distribution_chooser.h"

#include <cstdlib>
#include <string>

#include "ui/terminal/terminal_channel.h"

namespace corvane {

int TerminalDistributionChooser::Choose(const NameList& sorted_titles) {
  if (sorted_titles.IsEmpty()) return -1;
  if (!channel_.IsInteractive()) {
    // Guessing could install another edition's files over this one's.
    channel_.Write(
        "The edition of the installed game was not recognised, and without a terminal nobody can "
        "choose it: nothing was changed. Run the patcher in a terminal to choose the edition.\n");
    return -1;
  }
  std::string text =
      "Select the distribution\n"
      "Your distribution was not recognized. Please, select one from the list.\n";
  for (int i = 0; i < sorted_titles.Size(); ++i) {
    text += "  " + std::to_string(i + 1) + ". " + sorted_titles[i].Data() + "\n";
  }
  channel_.Write(text.c_str());
  for (;;) {
    channel_.Write("Number (Enter: 1, 0: cancel)? ");
    std::string reply;
    if (!channel_.ReadLine(&reply)) return -1;
    size_t start = reply.find_first_not_of(" \t");
    if (start == std::string::npos) return 0;
    if (reply[start] == 'c' || reply[start] == 'C') return -1;
    char* end = nullptr;
    long number = std::strtol(reply.c_str() + start, &end, 10);
    if (end != reply.c_str() + start && number == 0) return -1;
    if (end != reply.c_str() + start && number >= 1 && number <= sorted_titles.Size()) {
      return static_cast<int>(number - 1);
    }
  }
}

}  // namespace corvane
