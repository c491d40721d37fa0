#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvane::platform {

// A question answered by typing, as the text-mode boxes and windows ask it
// (no system call: shared by the terminal backend and the text window): each answer
// is a word chosen by its first letter, one of them the default that Enter
// takes. The prompt reads "[A]bort (default), [R]etry, [I]gnore? ".
struct TypedQuestion {
  std::vector<const char*> answers;  // each starts with a distinct letter
  size_t default_answer = 0;

  std::string Prompt() const;
  // The answer a typed reply picks (its first character, either case; an
  // empty reply picks the default), or -1 when it picks none: the question
  // is then asked again.
  int Pick(std::string_view reply) const;
};

}  // namespace corvane::platform
