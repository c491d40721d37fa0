#include "command_registry.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace patchbuild {
namespace {

std::vector<RegisteredCommand>& Registry() {
  static std::vector<RegisteredCommand> commands;
  return commands;
}

int exit_code = 0;

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
