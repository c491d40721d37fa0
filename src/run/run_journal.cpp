#include "run/run_journal.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_io.h"
#include "platform/file_system.h"

namespace corvane {

namespace {

constexpr char kHeader[] = "Corvane patch journal 1";
constexpr char kNewSuffix[] = ".new";
// A journal is a few short lines; anything much larger is not one.
constexpr uint32_t kMaxJournalBytes = 4096;

bool IsStorable(const std::string& value) {
  if (value.size() > kMaxJournalValue) return false;
  for (char c : value) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  return true;
}

// A version text as the game executable tells it: any storable text that is
// not empty and does not begin with a space (the separator before it).
bool IsVersionText(const std::string& text) {
  return !text.empty() && text[0] != ' ' && IsStorable(text);
}

// Takes the next line (through "\n") of [*p, end); false when there is none.
bool NextLine(const char** p, const char* end, std::string_view* line) {
  const char* start = *p;
  const char* q = start;
  while (q < end && *q != '\n') ++q;
  if (q == end) return false;
  *line = std::string_view(start, static_cast<size_t>(q - start));
  *p = q + 1;
  return true;
}

// "<key> <value>" with the value after exactly one space (the value may be
// empty for the distribution only, whose line is then "<key>").
bool TakeValue(std::string_view line, std::string_view key, bool may_be_empty, std::string* value) {
  if (line.substr(0, key.size()) != key) return false;
  std::string_view rest = line.substr(key.size());
  if (rest.empty()) {
    if (!may_be_empty) return false;
    value->clear();
    return true;
  }
  if (rest[0] != ' ' || rest.size() == 1) return false;
  value->assign(rest.substr(1));
  return IsStorable(*value);
}

std::string JournalPath(const char* installation_directory) {
  return std::string(installation_directory) + kRunJournalName;
}

}  // namespace

std::string FormatRunJournal(const RunJournal& journal) {
  if (!IsVersionText(journal.patch_version) || !IsVersionText(journal.from_version) ||
      !IsStorable(journal.distribution) || journal.passes_done < 0 ||
      journal.passes_done > kMaxJournalPasses) {
    return {};
  }
  if (!journal.distribution.empty() && journal.distribution.front() == ' ') return {};
  std::string text = kHeader;
  text += "\npatch " + journal.patch_version;
  text += "\nfrom " + journal.from_version;
  text += journal.distribution.empty() ? std::string("\ndistribution")
                                       : "\ndistribution " + journal.distribution;
  text += "\ndone " + std::to_string(journal.passes_done);
  text += "\nend\n";
  return text;
}

bool ParseRunJournal(const char* text, size_t size, RunJournal* journal) {
  if (text == nullptr || size > kMaxJournalBytes) return false;
  const char* p = text;
  const char* end = text + size;
  std::string_view line;
  RunJournal read;
  std::string done;
  if (!NextLine(&p, end, &line) || line != kHeader) return false;
  if (!NextLine(&p, end, &line) || !TakeValue(line, "patch", false, &read.patch_version))
    return false;
  if (!NextLine(&p, end, &line) || !TakeValue(line, "from", false, &read.from_version))
    return false;
  if (!NextLine(&p, end, &line) || !TakeValue(line, "distribution", true, &read.distribution))
    return false;
  if (!NextLine(&p, end, &line) || !TakeValue(line, "done", false, &done)) return false;
  // The last line proves the file was written to its end.
  if (!NextLine(&p, end, &line) || line != "end" || p != end) return false;
  if (!IsVersionText(read.patch_version) || !IsVersionText(read.from_version)) return false;
  if (done.empty() || done.size() > 4 || (done.size() > 1 && done[0] == '0')) return false;
  int count = 0;
  for (char c : done) {
    if (c < '0' || c > '9') return false;
    count = count * 10 + (c - '0');
  }
  if (count > kMaxJournalPasses) return false;
  read.passes_done = count;
  *journal = read;
  return true;
}

bool ReadRunJournal(const char* installation_directory, RunJournal* journal) {
  platform::ScopedFile file(platform::FileOpenRead(JournalPath(installation_directory).c_str()));
  if (!file.IsValid()) return false;
  uint64_t size = 0;
  if (!platform::FileSize64(file.Get(), &size) || size > kMaxJournalBytes) return false;
  std::vector<char> bytes(static_cast<size_t>(size));
  if (size > 0 && platform::FileReadAt(file.Get(), 0, bytes.data(), static_cast<uint32_t>(size)) !=
                      static_cast<int64_t>(size)) {
    return false;
  }
  return ParseRunJournal(bytes.data(), bytes.size(), journal);
}

bool WriteRunJournal(const char* installation_directory, const RunJournal& journal) {
  std::string text = FormatRunJournal(journal);
  if (text.empty()) return false;
  const std::string path = JournalPath(installation_directory);
  const std::string work = path + kNewSuffix;
  // A work file left by an interrupted write is stale: it is never written
  // through (it could be a link), only removed and made anew.
  platform::RemoveFile(work.c_str());
  platform::ScopedFile file(platform::FileCreateNew(work.c_str()));
  if (!file.IsValid()) return false;
  const uint32_t size = static_cast<uint32_t>(text.size());
  bool written =
      platform::FileWrite(file.Get(), text.data(), size) == size && platform::FileSync(file.Get());
  written = file.Close() && written;
  if (written && platform::RenameReplacing(work.c_str(), path.c_str())) return true;
  platform::RemoveFile(work.c_str());
  return false;
}

bool RemoveRunJournal(const char* installation_directory) {
  const std::string path = JournalPath(installation_directory);
  platform::RemoveFile((path + kNewSuffix).c_str());
  platform::RemoveFile(path.c_str());
  return !platform::QueryFileAttributes(path.c_str()).exists;
}

}  // namespace corvane
