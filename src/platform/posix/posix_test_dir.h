#pragma once

// The posix backend's tests: scratch folders seen as text, file helpers and
// environment variables set for a while.

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/scratch_folder.h"
#include "support/test_files.h"

namespace corvane::platform::testing {

// A scratch folder whose path the posix tests take as text.
class ScopedTempDir : public test_support::ScratchFolder {
 public:
  ScopedTempDir() : ScratchFolder("posix") {}
  std::string path() const { return text(); }
};

using test_support::ReadTestText;
using test_support::WriteTestFile;

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      had_ = true;
      old_ = old;
    }
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_) {
      setenv(name_, old_.c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

}  // namespace corvane::platform::testing
