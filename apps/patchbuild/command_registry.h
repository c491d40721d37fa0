#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

#include "base/result.h"

namespace patchbuild {

// How the command that ran ended. A failure (result not ok) ends the tool
// with code 1 after main() has printed "patchbuild: <message>" on standard
// error; otherwise the tool ends with exit_code: 0, or a verdict a command
// gives without a failure message ("check": 1 when the patch would neither
// apply nor find the game up to date; "upd show": 1 when it found problems).
struct CommandOutcome {
  CommandOutcome() = default;
  // Implicit, so that a command's work can end with "return failure;".
  CommandOutcome(corvane::Result failure) : result(std::move(failure)) {}
  static CommandOutcome Verdict(int code) {
    CommandOutcome outcome;
    outcome.exit_code = code;
    return outcome;
  }

  corvane::Result result;
  int exit_code = 0;
};

// A function that adds one subcommand (with its options and callback) to the
// tool's command line. Its callbacks report how they ended in *outcome, which
// main() owns (RunsCommand does that); nothing throws.
using CommandAdder = void (*)(CLI::App& app, CommandOutcome* outcome);

// Each *_command.cpp holds one static CommandRegistration; main() adds every
// registered command in the order of their names.
struct CommandRegistration {
  CommandRegistration(const char* name, CommandAdder adder);
};

struct RegisteredCommand {
  const char* name;
  CommandAdder adder;
};

const std::vector<RegisteredCommand>& RegisteredCommands();

// Makes `work` the callback of `command`: what it returns, a corvane::Result
// or a CommandOutcome, becomes *outcome.
template <typename Work>
void RunsCommand(CLI::App* command, CommandOutcome* outcome, Work work) {
  command->callback([outcome, work = std::move(work)] { *outcome = work(); });
}

// Prints a failed outcome's "patchbuild: <message>" on `errors` and gives
// the tool's exit code for it.
int ReportOutcome(const CommandOutcome& outcome, std::FILE* errors);

// A failure whose message is formatted as by printf.
corvane::Result Failure(corvane::ErrorCode code, const char* format, ...)
#if defined(__MINGW_PRINTF_FORMAT)
    __attribute__((format(__MINGW_PRINTF_FORMAT, 2, 3)))
#elif defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// How much the commands say besides their results and errors: -q/--quiet,
// -v/--verbose, both options of the tool given before or after the command.
enum class Verbosity { kQuiet, kNormal, kVerbose };
Verbosity CurrentVerbosity();
void SetVerbosity(Verbosity verbosity);

// A check for an option that takes a whole number from `least` to `most`:
// anything else (letters, a fraction, a number out of range) is a usage
// error that names the option, the value and the range.
CLI::Validator WholeNumber(int64_t least, int64_t most);

}  // namespace patchbuild
