#include "maker/cache_file.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace corvane::maker {

namespace fs = std::filesystem;

std::string TemporaryNameOf(const std::string& path) { return path + ".part"; }

namespace {

std::atomic<bool> stop_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void OnStopSignal(int signal_number) {
  stop_requested = true;
  std::signal(signal_number, SIG_DFL);  // a second one ends the make at once
}

long NumberFromEnvironment(const char* name) {
  const char* text = std::getenv(name);
  return text != nullptr ? std::strtol(text, nullptr, 10) : 0L;
}

}  // namespace

void CatchStopSignals() {
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
}

bool StopRequested() { return stop_requested; }

void MakeStopPoint() {
  static const long stop_at = NumberFromEnvironment("CORVANE_MAKE_STOP_AT");
  static const long signal_at = NumberFromEnvironment("CORVANE_MAKE_SIGNAL_AT");
  static std::atomic<long> reached{0};
  const long now = ++reached;
  if (stop_at > 0 && now == stop_at) std::_Exit(137);
  if (signal_at > 0 && now == signal_at) std::raise(SIGINT);
}

Result WriteFileWhole(const std::string& path, const void* data, size_t size, bool executable) {
  std::error_code ec;
  const fs::path parent = fs::path(path).parent_path();
  if (!parent.empty()) fs::create_directories(parent, ec);
  const std::string temp = TemporaryNameOf(path);
  fs::remove(temp, ec);  // left by a make that was stopped
  // "x": exclusive creation, which also refuses a link planted at the name.
  std::FILE* out = std::fopen(temp.c_str(), "wbx");
  if (out == nullptr) {
    return Result::Failure(ErrorCode::kWriteFailed,
                           "cannot create " + temp + ": " + std::strerror(errno));
  }
  // Half the bytes first, so that a stop point sees a partial file.
  const size_t half = size / 2;
  bool written = half == 0 || std::fwrite(data, 1, half, out) == half;
  if (written && half > 0) {
    std::fflush(out);
    MakeStopPoint();
  }
  written = written && (size == half || std::fwrite(static_cast<const char*>(data) + half, 1,
                                                    size - half, out) == size - half);
  written = written && std::fflush(out) == 0;
  const int write_errno = errno;
  const bool closed = std::fclose(out) == 0;
  if (!written || !closed) {
    const std::string why = std::strerror(written ? errno : write_errno);
    fs::remove(temp, ec);
    return Result::Failure(ErrorCode::kWriteFailed, "cannot write " + temp + ": " + why);
  }
  if (executable) {
    fs::permissions(temp,
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec,
                    ec);
  }
  MakeStopPoint();
  if (StopRequested()) {
    fs::remove(temp, ec);
    return Result::Failure(ErrorCode::kStopped, "stopped before " + path + " was complete");
  }
  fs::rename(temp, path, ec);
  if (ec) {
    const std::string why = ec.message();
    std::error_code ignored;
    fs::remove(temp, ignored);
    return Result::Failure(ErrorCode::kWriteFailed,
                           "cannot rename " + temp + " to " + path + ": " + why);
  }
  return Result();
}

}  // namespace corvane::maker
