// The native patcher's entry point. The command line is taken whole, as the
// Windows entry point takes it: the arguments joined by single spaces name the
// module holding the payload; none means the payload appended to the patcher.

#include <string>

#include "run/patch_run.h"

namespace corvane {
extern const uint8_t kBuiltInPublicKey[148];
}

int main(int argc, char** argv) {
  std::string command_line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) command_line += ' ';
    command_line += argv[i];
  }
  corvane::PatchRunOptions options;
  options.built_in_key = corvane::kBuiltInPublicKey;
  return corvane::RunPatch(command_line.c_str(), options);
}
