#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace corvane::maker {

// The progress of the update files: files and bytes done, rate and time
// left. On a terminal one line redrawn in place (at most ten times a
// second); otherwise a plain line at every tenth of the work, so logs stay
// short; with no output, nothing. Safe to call from several worker threads.
class MakeProgress {
 public:
  MakeProgress(std::FILE* out, bool terminal) : out_(out), terminal_(terminal) {}

  void Start(const std::string& what, uint64_t files, uint64_t bytes);
  // Bytes done within a file that is not finished yet.
  void AddBytes(uint64_t bytes);
  // One file finished, with the bytes of it not yet added.
  void Advance(uint64_t bytes);
  // Ends the line (a terminal's bar is completed and kept).
  void Finish();

  // "1:05", "12:00:03".
  static std::string Clock(double seconds);

 private:
  void Print(bool final);

  std::FILE* out_;
  bool terminal_;
  std::mutex mutex_;
  std::string what_;
  uint64_t files_total_ = 0, bytes_total_ = 0;
  uint64_t files_done_ = 0, bytes_done_ = 0;
  int last_tenth_ = -1;
  uint64_t last_files_ = ~0ull;  // files done at the last line printed
  std::chrono::steady_clock::time_point start_, last_print_;
};

}  // namespace corvane::maker
