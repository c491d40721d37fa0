#include "command_registry.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace patchbuild {
namespace {

std::vector<RegisteredCommand>& Registry() {
  static std::vector<RegisteredCommand> commands;
  return commands;
}

int exit_code = 0;
Verbosity verbosity = Verbosity::kNormal;

}  // namespace

void Fail(const char* format, ...) {
  std::fputs("patchbuild: ", stderr);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
  exit_code = 1;
}

int ExitCode() { return exit_code; }
void SetExitCode(int code) { exit_code = code; }

Verbosity CurrentVerbosity() { return verbosity; }
void SetVerbosity(Verbosity chosen) { verbosity = chosen; }

CLI::Validator WholeNumber(int64_t least, int64_t most) {
  const std::string range = std::to_string(least) + " to " + std::to_string(most);
  return CLI::Validator(
      [least, most, range](std::string& text) -> std::string {
        errno = 0;
        char* end = nullptr;
        const long long value = std::strtoll(text.c_str(), &end, 10);
        if (text.empty() || *end != '\0' || errno != 0 || value < least || value > most) {
          return "\"" + text + "\" is not a whole number from " + range;
        }
        return {};
      },
      "INT " + range);
}

CommandRegistration::CommandRegistration(const char* name, CommandAdder adder) {
  auto& commands = Registry();
  commands.push_back({name, adder});
  std::sort(commands.begin(), commands.end(),
            [](const RegisteredCommand& a, const RegisteredCommand& b) {
              return std::strcmp(a.name, b.name) < 0;
            });
}

const std::vector<RegisteredCommand>& RegisteredCommands() { return Registry(); }

}  // namespace patchbuild
