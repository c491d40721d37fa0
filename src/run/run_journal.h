#pragma once

#include <string>

namespace corvane {

// What a patch run that changes files has done so far, kept in the
// installation folder so that running the patch again after any interruption
// (a kill, a power cut, a full disk, a closed window) continues the same run
// instead of judging a half-patched game as a damaged one.
//
// The game executable alone cannot tell where a run stopped: it is updated
// last in each version step, so after a step it reads the step's target while
// the files that version gained only arrive with the whole-file passes at the
// end. The journal keeps what the executable cannot: the version the run
// started from, the distribution chosen and how many passes (every version
// step, then the whole-file passes in order) are complete.
//
// The file is text, a handful of lines; it is replaced as a whole (written to
// "<journal>.new", made durable, renamed over the journal), so a reader sees
// the old journal or the new one, never a mix. A journal that does not parse
// exactly is no journal: nothing in it is ever used to skip a check.
struct RunJournal {
  std::string patch_version;  // the patch's version text ("1.03")
  std::string from_version;   // the installed version text the run started from
  std::string distribution;   // the distribution chosen; empty when none
  int passes_done = 0;        // passes complete, in the run's order

  bool operator==(const RunJournal&) const = default;
};

// The journal's file name in the installation folder.
inline constexpr char kRunJournalName[] = "patch.journal";
// Most passes a journal can count, and longest text it holds per value.
inline constexpr int kMaxJournalPasses = 1000;
inline constexpr size_t kMaxJournalValue = 255;

// The journal's text; empty when a value cannot be stored (too long, a line
// break or another control character in it, a count out of range).
std::string FormatRunJournal(const RunJournal& journal);

// Parses a journal's text of `size` bytes (reads nothing beyond them). False,
// with *journal untouched, for anything but the exact form FormatRunJournal
// writes.
bool ParseRunJournal(const char* text, size_t size, RunJournal* journal);

// The journal of the installation folder (a Windows path ending in a
// backslash). False when there is none or it does not parse.
bool ReadRunJournal(const char* installation_directory, RunJournal* journal);

// Replaces the installation's journal in one rename. False when it could not
// be written whole (the journal that was there, if any, is then unchanged and
// the work file removed).
bool WriteRunJournal(const char* installation_directory, const RunJournal& journal);

// Removes the journal and any leftover work file of it; true when none remains.
bool RemoveRunJournal(const char* installation_directory);

}  // namespace corvane
