// The Windows patcher's entry point: the patch run with the progress dialog,
// the distribution dialog and the program's own resources. The command line
// is taken whole as the name of the module holding the payload; an empty one
// means the payload inside the patcher.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "run/distributions.h"
#include "run/message_catalogue.h"
#include "run/message_texts.h"
#include "run/patch_run.h"
#include "ui/win32/dialog_console_window.h"
#include "ui/win32/distribution_dialog.h"

namespace corvane {
extern const uint8_t kBuiltInPublicKey[148];
}

namespace {

// The user picks the distribution in dialog 126 of the patcher itself.
class DialogDistributionChooser final : public corvane::IDistributionChooser {
 public:
  explicit DialogDistributionChooser(HINSTANCE instance) : instance_(instance) {}

  int Choose(const corvane::NameList& sorted_titles) override {
    std::vector<std::string> titles;
    for (int i = 0; i < sorted_titles.Size(); ++i) titles.emplace_back(sorted_titles[i].Data());
    // In the language of the message texts.
    return corvane::ShowDistributionDialog(instance_, titles, corvane::MessageLanguage());
  }

 private:
  HINSTANCE instance_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR command_line, int /*show*/) {
  // The string table holds a language-neutral (English) block and four
  // others. A plain neutral lookup is not enough to reach them everywhere
  // (Wine's loader takes the neutral block first, whatever the user's
  // language), so the texts are asked for in the block of the user's
  // interface language; a language without a block falls back to the
  // neutral one.
  corvane::SetMessageLanguage(
      corvane::MessageTableForLanguage(GetUserDefaultUILanguage()).language);
  DialogDistributionChooser chooser(instance);
  corvane::PatchRunOptions options;
  options.built_in_key = corvane::kBuiltInPublicKey;
  options.chooser = &chooser;
  options.make_window = [instance]() -> std::unique_ptr<corvane::ConsoleWindowProgress> {
    // Without the common controls there is no animation control and so no
    // dialog: the run goes on without a window.
    if (!corvane::InitCommonControlsFromSystem()) return nullptr;
    corvane::LoadMessageFunction load_message = &corvane::LoadMessageFormat;
    return std::make_unique<corvane::DialogConsoleWindowProgress>(instance, load_message);
  };
  return corvane::RunPatch(command_line, options);
}
