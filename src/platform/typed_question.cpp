#include "platform/typed_question.h"

namespace corvane::platform {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string TypedQuestion::Prompt() const {
  std::string prompt;
  for (size_t i = 0; i < answers.size(); ++i) {
    if (i > 0) prompt += ", ";
    prompt += '[';
    prompt += answers[i][0];
    prompt += ']';
    prompt += answers[i] + 1;
    if (i == default_answer) prompt += " (default)";
  }
  return prompt + "? ";
}

int TypedQuestion::Pick(std::string_view reply) const {
  if (reply.empty()) return static_cast<int>(default_answer);
  for (size_t i = 0; i < answers.size(); ++i) {
    if (Lower(reply[0]) == Lower(answers[i][0])) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace corvane::platform
