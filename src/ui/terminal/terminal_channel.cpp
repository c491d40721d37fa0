#include "ui/terminal/terminal_channel.h"

#include "platform/terminal.h"

namespace corvane {

namespace {

class StandardTerminalChannel final : public TerminalChannel {
 public:
  bool IsInteractive() override {
    return platform::StandardInputIsTerminal() && platform::StandardOutputIsTerminal();
  }
  void Write(const char* text) override { platform::TerminalWrite(text); }
  bool ReadLine(std::string* line) override { return platform::TerminalReadLine(line); }
};

}  // namespace

TerminalChannel& StandardTerminal() {
  static StandardTerminalChannel channel;
  return channel;
}

}  // namespace corvane
