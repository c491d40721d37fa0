#include "command_registry.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace patchbuild {
namespace {

std::vector<RegisteredCommand>& Registry() {
  static std::vector<RegisteredCommand> commands;
  return commands;
}

Verbosity verbosity = Verbosity::kNormal;

}  // namespace

corvane::Result Failure(corvane::ErrorCode code, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  std::string message(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(message.data(), message.size() + 1, format, args);
  va_end(args);
  return corvane::Result::Failure(code, std::move(message));
}

int ReportOutcome(const CommandOutcome& outcome, std::FILE* errors) {
  if (outcome.result.ok()) return outcome.exit_code;
  std::fprintf(errors, "patchbuild: %s\n", outcome.result.message().c_str());
  return 1;
}

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
