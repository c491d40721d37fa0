#pragma once

// Test support of the version steps, the verification, the payload store and
// the catalogue: scratch directories, payload modules written by the project's
// own resource DLL writer, update files made by hand, and a progress window
// that records what it is given and answers questions from a script.
// Header-only; used by *_test.cpp only.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "pe/resource_writer.h"
#include "platform/resource_module.h"
#include "run/message_catalogue.h"
#include "run/patch_context.h"
#include "support/scratch_folder.h"
#include "support/silent_window.h"
#include "support/test_files.h"
#include "text/code_page_1252.h"
#include "ui/console_window.h"

namespace corvane::test {

using Bytes = std::vector<uint8_t>;

inline Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

// A scratch folder of the test's own (removed with everything in it when the
// object goes), seen as the run sees folders.
class ScratchDir {
 public:
  ScratchDir() = default;
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // The directory as the system writes paths: ending in a backslash.
  std::string SystemPath() const { return root_.string() + "\\"; }
  // A file below it; `relative` uses "/" between levels.
  std::filesystem::path Host(const std::string& relative) const { return root_ / relative; }

  void Write(const std::string& relative, const Bytes& bytes) const {
    ASSERT_TRUE(test_support::WriteTestFile(Host(relative), bytes)) << relative;
  }
  void Write(const std::string& relative, const std::string& text) const {
    Write(relative, ToBytes(text));
  }
  std::string Read(const std::string& relative) const {
    return test_support::ReadTestText(Host(relative));
  }
  bool Exists(const std::string& relative) const {
    std::error_code error;
    return std::filesystem::exists(Host(relative), error);
  }
  // Names in one directory, for "nothing else was left behind" checks.
  std::vector<std::string> List(const std::string& relative = "") const {
    std::vector<std::string> names;
    std::error_code error;
    for (auto& entry : std::filesystem::directory_iterator(Host(relative), error)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  test_support::ScratchFolder folder_{"steps"};
  const std::filesystem::path& root_ = folder_.path();
};

// A payload module: a resource-only DLL with the given named raw-data
// resources, written into a scratch directory and opened.
class PayloadModule {
 public:
  explicit PayloadModule(const std::map<std::string, Bytes>& resources) {
    std::vector<pe::ResourceItem> items;
    for (const auto& [name, bytes] : resources) {
      names_.push_back(text::Cp1252ToUtf16(name));
      items.push_back(
          pe::PayloadItem(names_.back(), bytes.data(), static_cast<uint32_t>(bytes.size())));
    }
    std::vector<uint8_t> image;
    ok_ = pe::WriteResourceDll(items, &image).ok();
    dir_.Write("payload.dll", image);
    ok_ = ok_ && module_.OpenFile((dir_.SystemPath() + "payload.dll").c_str());
  }

  bool ok() const { return ok_; }
  const platform::ResourceModule& module() const { return module_; }

 private:
  ScratchDir dir_;
  std::deque<std::u16string> names_;
  platform::ResourceModule module_;
  bool ok_ = false;
};

// Update files (docs/formats/update-file.md), made by hand.
inline void PutField(Bytes* bytes, int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) bytes->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline int32_t ByteSum(const std::string& text) {
  uint32_t sum = 0;
  for (char c : text) sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(c)));
  return static_cast<int32_t>(sum);
}

// Kind 1: checks the old size, then inserts the whole new content.
inline Bytes ReplacingUpdate(size_t old_size, const std::string& content) {
  Bytes bytes = {1};
  PutField(&bytes, static_cast<int32_t>(content.size()));
  PutField(&bytes, static_cast<int32_t>(old_size));
  if (!content.empty()) {
    PutField(&bytes, 0);  // no copy run
    PutField(&bytes, static_cast<int32_t>(content.size()));
    PutField(&bytes, 0);  // insert position
    bytes.insert(bytes.end(), content.begin(), content.end());
  }
  PutField(&bytes, ByteSum(content));
  return bytes;
}

// The 25-byte shape of a file that does not change.
inline Bytes UnchangedUpdate(int32_t size) {
  Bytes bytes = {1};
  PutField(&bytes, size);
  PutField(&bytes, size);
  PutField(&bytes, size);
  PutField(&bytes, 0);
  PutField(&bytes, 0);
  PutField(&bytes, 12345);  // never examined
  return bytes;
}

inline Bytes DeletionUpdate() { return Bytes{2}; }

// A progress window that records everything and answers Abort/Retry/Ignore
// from a script (Abort when the script is empty). Texts come from the
// catalogue, in English.
class ScriptedWindow final : public test_support::SilentWindow {
 public:
  ScriptedWindow() : SilentWindow(&corvane::LoadMessageFormat) {
    SetMessageLanguage(0x0409);
    Create(nullptr);
  }

  AbortRetryIgnore AskAbortRetryIgnore(const char* text, const char*, bool retry_default) override {
    questions.emplace_back(text);
    retry_defaults.push_back(retry_default);
    if (on_question) on_question();
    if (answers.empty()) return AbortRetryIgnore::kAbort;
    AbortRetryIgnore answer = answers.front();
    answers.pop_front();
    return answer;
  }
  // Retry/Cancel questions go to their own script (Cancel when it is empty).
  RetryCancel AskRetryCancel(const char* text, const char*) override {
    retry_cancel_questions.emplace_back(text);
    if (on_retry_cancel) on_retry_cancel();
    if (retry_cancel_answers.empty()) return RetryCancel::kCancel;
    RetryCancel answer = retry_cancel_answers.front();
    retry_cancel_answers.pop_front();
    return answer;
  }

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::string log = LogText();
    for (size_t start = 0; start < log.size();) {
      size_t end = log.find("\r\n", start);
      lines.push_back(log.substr(start, end - start));
      start = end + 2;
    }
    return lines;
  }

  std::deque<AbortRetryIgnore> answers;
  std::vector<std::string> questions;
  std::vector<bool> retry_defaults;
  std::vector<std::string> progress;
  std::function<void()> on_question;
  std::deque<RetryCancel> retry_cancel_answers;
  std::vector<std::string> retry_cancel_questions;
  std::function<void()> on_retry_cancel;
  int pumps = 0;
  bool end_after_pumps = false;
  int pumps_before_end = 0;

 protected:
  void ShowProgress(const char* text) override { progress.emplace_back(text); }
  void Pump() override {
    ++pumps;
    if (end_after_pumps && pumps >= pumps_before_end) Ended();
  }
};

// Records the catalogue's boxes instead of showing them, for as long as it
// lives; questions are answered Abort or Cancel.
class ScopedBoxRecorder final : public MessageBoxFunctions {
 public:
  ScopedBoxRecorder() : previous_(SetMessageBoxFunctions(this)) {}
  ~ScopedBoxRecorder() override { SetMessageBoxFunctions(previous_); }
  ScopedBoxRecorder(const ScopedBoxRecorder&) = delete;
  ScopedBoxRecorder& operator=(const ScopedBoxRecorder&) = delete;

  void Show(const char* text, const char* title, platform::BoxIcon) override {
    boxes.push_back(std::string(title) + ": " + text);
  }
  platform::BoxAnswer AskAbortRetryIgnore(const char* text, const char* title, bool) override {
    boxes.push_back(std::string(title) + "? " + text);
    return platform::BoxAnswer::kAbort;
  }
  bool AskRetryCancel(const char* text, const char* title) override {
    boxes.push_back(std::string(title) + "? " + text);
    return false;
  }

  std::vector<std::string> boxes;

 private:
  MessageBoxFunctions* previous_;
};

// A context over a scratch installation and a payload module.
inline void InitContext(PatchContext* context, const ScratchDir& game,
                        const platform::ResourceModule& module, ConsoleWindowProgress* window,
                        int installed, int patch) {
  context->installed_major = installed / 100;
  context->installed_minor = installed % 100;
  context->patch_major = patch / 100;
  context->patch_minor = patch % 100;
  context->SetInstallationDirectory(game.SystemPath().c_str());
  context->window = window;
  context->module = &module;
}

}  // namespace corvane::test
