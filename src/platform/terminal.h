#pragma once

#include <string>

namespace corvane::platform {

// The process's standard streams as a text terminal, for the text-mode
// progress window and message boxes. Texts inside the system are code page
// 1252; the backend converts them for the device at output (posix: UTF-8;
// win32: the bytes unchanged, the console is given code page 1252).

// True when standard input, output, respectively error, is an interactive
// terminal (isatty / a console handle); false for files, pipes and no stream.
bool StandardInputIsTerminal();
bool StandardOutputIsTerminal();
bool StandardErrorIsTerminal();

// Writes code page 1252 text to standard output (or standard error) and
// flushes it. Control characters pass unchanged.
void TerminalWrite(const char* text);
void TerminalWriteError(const char* text);

// Reads one line from standard input, without its line feed (nor a carriage
// return before it), converted to code page 1252. False at the end of the
// input or on a read error.
bool TerminalReadLine(std::string* line);

// Code page 1252 to UTF-8 and back, the conversion TerminalWrite and
// TerminalReadLine use on posix (a byte that is not UTF-8 is taken as the
// code page 1252 character it would be; characters 1252 lacks become '?').
std::string Cp1252ToUtf8(const char* text);
std::string Utf8ToCp1252(const std::string& text);

}  // namespace corvane::platform
