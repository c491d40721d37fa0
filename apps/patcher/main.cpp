// The native patcher's entry point: patches a game installed in a Wine prefix,
// with the payload appended to the program or in a file named on the command
// line.

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/file_system.h"
#include "platform/host_path.h"
#include "run/distribution_chooser.h"
#include "run/message_catalogue.h"
#include "run/patch_run.h"
#include "ui/terminal/terminal_console_window.h"

namespace corvane {
extern const uint8_t kBuiltInPublicKey[148];
}

namespace {

constexpr char kUsage[] =
    "Usage: patcher [--prefix DIR] [PAYLOAD]\n"
    "\n"
    "Brings a game installed in a Wine prefix to the version of this patch (or\n"
    "installs the add-on it carries), with the payload appended to this program\n"
    "or, when given, the payload file PAYLOAD.\n"
    "\n"
    "The game is found through the registry of the prefix: the value MAIN of the\n"
    "key the patch names under HKEY_LOCAL_MACHINE (system.reg) gives its folder.\n"
    "Progress and questions go to the terminal; patch.log is written in the\n"
    "current folder.\n"
    "\n"
    "Options:\n"
    "  --prefix DIR   the Wine prefix (default: $WINEPREFIX, else ~/.wine)\n"
    "  -h, --help     show this text and exit\n"
    "  --version      show the patcher's version and exit\n"
    "\n"
    "Exit status: 0 when the game is at the patch's version, 1 when the run\n"
    "failed or was stopped (running it again goes on), 2 for a wrong command line.\n";

int UsageError(const char* format, const char* argument) {
  std::fputs("patcher: ", stderr);
  std::fprintf(stderr, format, argument);
  std::fputs("\nTry 'patcher --help' for more information.\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string payload;
  std::string prefix;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (!options_ended && argument[0] == '-' && argument[1] != '\0') {
      if (std::strcmp(argument, "--") == 0) {
        options_ended = true;
      } else if (std::strcmp(argument, "-h") == 0 || std::strcmp(argument, "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
      } else if (std::strcmp(argument, "--version") == 0) {
        std::printf("patcher %s\n", CORVANE_VERSION_TEXT);
        return 0;
      } else if (std::strcmp(argument, "--prefix") == 0) {
        if (i + 1 == argc) return UsageError("%s needs a folder", argument);
        prefix = argv[++i];
      } else if (std::strncmp(argument, "--prefix=", 9) == 0) {
        prefix = argument + 9;
      } else {
        return UsageError("unknown option %s", argument);
      }
      continue;
    }
    if (!payload.empty()) return UsageError("more than one payload file given (%s)", argument);
    payload = argument;
    // One pair of quotes around it, as a Windows command line gives a path
    // with spaces, is no part of the name.
    if (payload.size() >= 2 && payload.front() == '"' && payload.back() == '"') {
      payload = payload.substr(1, payload.size() - 2);
    }
    if (payload.empty()) return UsageError("%san empty payload file name", "");
  }
  if (!prefix.empty()) {
    if (!corvane::platform::QueryFileAttributes(prefix.c_str()).directory) {
      return UsageError("the Wine prefix %s is not a folder", prefix.c_str());
    }
    corvane::platform::SetWinePrefix(prefix);
  }
  if (!payload.empty() && !corvane::platform::FileExists(payload.c_str())) {
    return UsageError("the payload file %s does not exist", payload.c_str());
  }
  corvane::PatchRunOptions options;
  options.built_in_key = corvane::kBuiltInPublicKey;
  corvane::TerminalDistributionChooser chooser(corvane::StandardTerminal());
  options.chooser = &chooser;
  options.make_window = []() -> std::unique_ptr<corvane::ConsoleWindowProgress> {
    const corvane::LoadMessageFunction load_message = &corvane::LoadMessageFormat;
    return std::make_unique<corvane::TerminalConsoleWindow>(load_message);
  };
  // The run takes a payload path with spaces in quotes, as the Windows
  // program's command line gives it.
  const std::string command_line = payload.empty() ? std::string() : "\"" + payload + "\"";
  return corvane::RunPatch(command_line.c_str(), options);
}
