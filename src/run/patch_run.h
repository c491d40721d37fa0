#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace corvane {

class ConsoleWindowProgress;
class IDistributionChooser;

// What the entry point hands the run besides its command line.
struct PatchRunOptions {
  // The public key blob (148 bytes) built into the program. The patcher's own
  // module may carry another one as raw-data resource 148 (what
  // "patchbuild pack --pubkey" writes); that one wins. Null with no resource:
  // every signature check fails with code 4.
  const uint8_t* built_in_key = nullptr;
  // Asks the user for the distribution when the installation does not tell
  // (dialog 126 on Win32, a numbered question on a terminal). Null: nobody
  // can be asked, and such a run ends as if the choice was cancelled.
  IDistributionChooser* chooser = nullptr;
  // Makes the progress window (the Win32 dialog, the text window on a
  // terminal, a test's scripted window). Null, or a factory that answers
  // null, leaves the run without a window.
  std::function<std::unique_ptr<ConsoleWindowProgress>()> make_window;
};

// One whole patch run, from opening the payload to the final message.
// `command_line` empty (or null): the payload is the patcher's own module;
// otherwise the whole text, less one pair of surrounding quotes, names the
// module holding the payload (one that cannot be loaded ends the run with a
// box naming it). Answers the
// process exit code: 0 after the success message, 1 after any failure or a
// cancelled distribution choice.
int RunPatch(const char* command_line, const PatchRunOptions& options);

}  // namespace corvane
