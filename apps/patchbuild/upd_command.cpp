// patchbuild upd show UPDATE: prints an update file's header and records in
// readable form and says what is wrong with it, if anything.

#include <CLI/CLI.hpp>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "command_registry.h"
#include "engine/update_format.h"
#include "foundation/whole_file.h"

namespace {

using corvane::ReadWholeFile;

namespace format = corvane::update_format;

struct ShowOptions {
  std::string update_path;
  int64_t limit = 1000;
};

std::string Preview(const uint8_t* data, int64_t size) {
  std::string text;
  char hex[4];
  int64_t shown = size < 12 ? size : 12;
  for (int64_t i = 0; i < shown; ++i) {
    std::snprintf(hex, sizeof(hex), "%02x ", data[i]);
    text += hex;
  }
  if (shown < size) text += "...";
  return text;
}

class Reader {
 public:
  explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  int64_t Position() const { return position_; }
  int64_t Remaining() const { return static_cast<int64_t>(bytes_.size()) - position_; }
  bool Field(int32_t* value) {
    if (Remaining() < format::kFieldSize) return false;
    *value = format::LoadField(bytes_.data() + position_);
    position_ += format::kFieldSize;
    return true;
  }
  void Skip(int64_t count) { position_ += count; }
  const uint8_t* Here() const { return bytes_.data() + position_; }

 private:
  const std::vector<uint8_t>& bytes_;
  int64_t position_ = 1;
};

patchbuild::CommandOutcome RunShow(const ShowOptions& options) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(options.update_path, &bytes)) {
    return patchbuild::Failure(corvane::ErrorCode::kReadFailed, "cannot read %s",
                               options.update_path.c_str());
  }
  std::printf("file:      %s (%zu bytes)\n", options.update_path.c_str(), bytes.size());
  if (bytes.empty()) {
    return patchbuild::Failure(corvane::ErrorCode::kInvalidInput, "empty file: not an update");
  }
  int kind = bytes[0];
  if (kind == format::kKindDelete) {
    std::printf("kind:      2 (deletion)\n");
    if (bytes.size() != 1) std::printf("problem:   %zu bytes follow the kind\n", bytes.size() - 1);
    return {};
  }
  if (kind != format::kKindNoOldFile && kind != format::kKindDifference) {
    return patchbuild::Failure(corvane::ErrorCode::kInvalidInput, "kind %d: not an update file",
                               kind);
  }
  Reader reader(bytes);
  int32_t new_size = 0, old_size = 0;
  if (!reader.Field(&new_size) || !reader.Field(&old_size)) {
    return patchbuild::Failure(corvane::ErrorCode::kInvalidInput, "header cut off");
  }
  std::printf("kind:      %d (%s)\n", kind, kind == 0 ? "no old file" : "difference");
  std::printf("new size:  %d\nold size:  %d\n", new_size, old_size);
  if (bytes.size() == static_cast<size_t>(format::kUnchangedSize) && new_size == old_size &&
      format::LoadField(&bytes[9]) == old_size && format::LoadField(&bytes[13]) == 0 &&
      format::LoadField(&bytes[17]) == 0) {
    std::printf("shape:     unchanged file (applying leaves it untouched)\n");
  }

  std::vector<std::string> problems;
  int64_t produced = 0, records = 0, copied = 0, inserted = 0;
  while (produced < new_size) {
    int64_t at = reader.Position();
    int32_t copy_length = 0, copy_offset = 0, insert_length = 0, insert_position = 0;
    if (!reader.Field(&copy_length) || (copy_length > 0 && !reader.Field(&copy_offset)) ||
        !reader.Field(&insert_length) || (insert_length > 0 && !reader.Field(&insert_position))) {
      problems.push_back("records cut off at offset " + std::to_string(at));
      break;
    }
    bool show = records < options.limit;
    if (show) std::printf("record %-6" PRId64 " @%-9" PRId64, records, at);
    if (copy_length > 0) {
      if (show) std::printf(" copy %d from %d", copy_length, copy_offset);
      if (copy_offset < 0 || static_cast<int64_t>(copy_offset) + copy_length > old_size) {
        problems.push_back("record " + std::to_string(records) + " copies outside the old file");
      }
      produced += copy_length;
      copied += copy_length;
    }
    if (insert_length > 0) {
      if (reader.Remaining() < insert_length) {
        if (show) std::printf("\n");
        problems.push_back("record " + std::to_string(records) + " inserts past the end");
        break;
      }
      if (show) {
        std::printf(" insert %d at %d: %s", insert_length, insert_position,
                    Preview(reader.Here(), insert_length).c_str());
      }
      if (insert_position != produced) {
        problems.push_back("record " + std::to_string(records) + " insert position " +
                           std::to_string(insert_position) + ", expected " +
                           std::to_string(produced));
      }
      reader.Skip(insert_length);
      produced += insert_length;
      inserted += insert_length;
    }
    if (copy_length <= 0 && insert_length <= 0) {
      problems.push_back("record " + std::to_string(records) + " is empty");
    }
    if (show) std::printf("\n");
    ++records;
  }
  if (records > options.limit) std::printf("(%" PRId64 " more records)\n", records - options.limit);
  int32_t checksum = 0;
  if (reader.Field(&checksum)) {
    std::printf("checksum:  %d (0x%08x)\n", checksum, static_cast<uint32_t>(checksum));
  } else {
    problems.emplace_back("checksum cut off");
  }
  std::printf("records:   %" PRId64 ", %" PRId64 " bytes copied, %" PRId64 " bytes inserted\n",
              records, copied, inserted);
  if (produced != new_size) {
    problems.push_back("runs make " + std::to_string(produced) + " bytes, not " +
                       std::to_string(new_size));
  }
  if (reader.Remaining() > 0) {
    problems.push_back(std::to_string(reader.Remaining()) + " bytes follow the checksum");
  }
  for (const std::string& problem : problems) std::printf("problem:   %s\n", problem.c_str());
  // Problems found are the verdict, printed above: no failure message.
  return patchbuild::CommandOutcome::Verdict(problems.empty() ? 0 : 1);
}

void AddUpd(CLI::App& app, patchbuild::CommandOutcome* outcome) {
  CLI::App* upd = app.add_subcommand("upd", "Inspect update files (.upd)");
  upd->require_subcommand(1);
  auto options = std::make_shared<ShowOptions>();
  CLI::App* show = upd->add_subcommand(
      "show", "Print the header and records of UPDATE and any problem found (exit 1 then)");
  show->add_option("UPDATE", options->update_path, "the update file")->required();
  show->add_option("--limit", options->limit, "records printed at most (default 1000)")
      ->check(patchbuild::WholeNumber(0, INT64_MAX));
  patchbuild::RunsCommand(show, outcome, [options] { return RunShow(*options); });
}

patchbuild::CommandRegistration registration("upd", &AddUpd);

}  // namespace
