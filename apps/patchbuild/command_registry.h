#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

namespace patchbuild {

// A function that adds one subcommand (with its options and callback) to the
// tool's command line. A callback that fails calls Fail() (message to standard
// error, exit code 1) and returns; nothing throws.
using CommandAdder = void (*)(CLI::App& app);

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

// Prints "patchbuild: <message>" on standard error and makes the tool exit with
// code 1 once the running command returns.
void Fail(const char* format, ...)
#if defined(__MINGW_PRINTF_FORMAT)
    __attribute__((format(__MINGW_PRINTF_FORMAT, 1, 2)))
#elif defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// The exit code the tool will end with: 0 unless a command failed (or set another).
int ExitCode();
void SetExitCode(int code);

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
