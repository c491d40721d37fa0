// The native patcher's entry point. The command line is taken whole, as the
// Windows entry point takes it: the arguments joined by single spaces name the
// module holding the payload; none means the payload appended to the patcher.

#include <string>

#include "platform/message_box.h"
#include "run/message_catalogue.h"
#include "run/patch_run.h"

namespace corvane {
extern const uint8_t kBuiltInPublicKey[148];
}

namespace {

// The catalogue's boxes as the platform shows them: on the terminal's error
// stream, questions asked there when a person can answer them.
class TerminalMessageBoxes final : public corvane::MessageBoxFunctions {
 public:
  void Show(const char* text, const char* title, corvane::platform::BoxIcon icon) override {
    corvane::platform::ShowMessageBox(text, title, icon);
  }
  corvane::platform::BoxAnswer AskAbortRetryIgnore(const char* text, const char* title,
                                                   bool retry_default) override {
    return corvane::platform::AskAbortRetryIgnoreBox(text, title, retry_default);
  }
};

}  // namespace

int main(int argc, char** argv) {
  static TerminalMessageBoxes boxes;
  corvane::SetMessageBoxFunctions(&boxes);
  std::string command_line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) command_line += ' ';
    command_line += argv[i];
  }
  corvane::PatchRunOptions options;
  options.built_in_key = corvane::kBuiltInPublicKey;
  return corvane::RunPatch(command_line.c_str(), options);
}
