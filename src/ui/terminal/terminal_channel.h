#pragma once

#include <string>

namespace corvane {

// Where the text-mode window and its questions read and write: the process's
// standard streams, or a script in tests. Texts are code page 1252; the
// channel converts them for the device.
class TerminalChannel {
 public:
  virtual ~TerminalChannel() = default;
  // True when a person can see rewritten lines and answer: standard input and
  // standard output are both terminals.
  virtual bool IsInteractive() = 0;
  virtual void Write(const char* text) = 0;
  // One line of input without its line break; false at the end of the input.
  virtual bool ReadLine(std::string* line) = 0;
};

// The standard streams (platform/terminal.h). Lives for the whole process.
TerminalChannel& StandardTerminal();

}  // namespace corvane
