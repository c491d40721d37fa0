#include "maker/make_progress.h"

#include <cmath>

#include "foundation/format_byte_size.h"

namespace corvane::maker {

using Clock_ = std::chrono::steady_clock;

std::string MakeProgress::Clock(double seconds) {
  if (seconds < 0) seconds = 0;
  const long total = std::lround(seconds);
  char text[32];
  if (total >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  else
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
  return text;
}

void MakeProgress::Start(const std::string& what, uint64_t files, uint64_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  what_ = what;
  files_total_ = files;
  bytes_total_ = bytes;
  files_done_ = bytes_done_ = 0;
  last_tenth_ = -1;
  start_ = last_print_ = Clock_::now();
  Print(false);
}

void MakeProgress::AddBytes(uint64_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  bytes_done_ += bytes;
  Print(false);
}

void MakeProgress::Advance(uint64_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++files_done_;
  bytes_done_ += bytes;
  Print(false);
}

void MakeProgress::Finish() {
  std::lock_guard<std::mutex> lock(mutex_);
  Print(true);
}

void MakeProgress::Print(bool final) {
  if (out_ == nullptr) return;  // quiet
  const auto now = Clock_::now();
  const double fraction =
      bytes_total_ > 0
          ? static_cast<double>(bytes_done_) / static_cast<double>(bytes_total_)
          : (files_total_ > 0 ? static_cast<double>(files_done_) / static_cast<double>(files_total_)
                              : 1.0);
  const int tenth = static_cast<int>(fraction * 10);
  if (!final) {
    if (terminal_ && now - last_print_ < std::chrono::milliseconds(100) && files_done_ != 0) return;
    if (!terminal_ && tenth == last_tenth_) return;
  } else if (!terminal_ && files_done_ == last_files_) {
    return;
  }
  last_files_ = files_done_;
  last_print_ = now;
  last_tenth_ = tenth;
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  const double rate = elapsed > 0 ? static_cast<double>(bytes_done_) / elapsed : 0;
  const double left = rate > 0 ? static_cast<double>(bytes_total_ - bytes_done_) / rate : 0;
  char bar[24];
  const int filled = static_cast<int>(fraction * 20);
  for (int i = 0; i < 20; ++i) bar[i] = i < filled ? '#' : '.';
  bar[20] = 0;
  std::fprintf(out_, "%s%s [%s] %llu/%llu files, %s/%s, %s/s, %s left%s", terminal_ ? "\r" : "",
               what_.c_str(), bar, static_cast<unsigned long long>(files_done_),
               static_cast<unsigned long long>(files_total_), FormatByteSize(bytes_done_).Data(),
               FormatByteSize(bytes_total_).Data(),
               FormatByteSize(rate > 0 ? static_cast<uint64_t>(rate) : 0).Data(),
               Clock(left).c_str(), terminal_ ? (final ? "\n" : "\x1b[K") : "\n");
  std::fflush(out_);
}

}  // namespace corvane::maker
