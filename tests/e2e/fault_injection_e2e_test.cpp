// The native patcher stopped at every point where it changes the disk: at
// each rename, each file creation and each write of a three-step run, by a
// kill or a failing call (injected with strace), and at random points by a
// kill. After each stop no file is torn, and running the patch again without
// faults ends at the patch's version with the same tree and registry value
// as an uninterrupted run.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "patcher_process.h"
#include "payload_builder.h"
#include "sample_game.h"
#include "scratch_install.h"

namespace corvane::e2e {
namespace {

constexpr int kFromMinor = 0;
constexpr int kToMinor = 3;
constexpr int kRandomKills = 30;
// Writes are many (every piece of every file); beyond this many they are
// sampled evenly, always with the first and the last.
constexpr size_t kMaxWritePoints = 40;
#ifdef CORVANE_SANITIZED_BUILD
// Under the sanitizers every run is several times slower. The plain build
// tries every point; this build looks for memory faults on the same paths, so
// it takes every fourth point and a fourth of the random kills.
constexpr size_t kPointStride = 4;
#else
constexpr size_t kPointStride = 1;
#endif

// Whole files of every pass: one for the installed version (a map 1.01
// gained), one for every patch (All) and one of the add-on pass (Add).
struct WholeFile {
  const char* payload_name;
  const char* installed_name;
  int since_minor;  // the first version whose list holds it
  const char* content;
};
constexpr WholeFile kWholeFiles[] = {
    {"1.00\\MAPS\\HARBOUR.MAP", "MAPS\\HARBOUR.MAP", 1, "the harbour, new in 1.01"},
    {"All\\MAPS\\ISLAND.MAP", "MAPS\\ISLAND.MAP", 2, "the island, new in 1.02"},
    {"Add\\ADDONS\\EXTRA.PBO", "ADDONS\\EXTRA.PBO", 3, "an add-on file of 1.03"},
};

FileSet VersionFiles(int minor) {
  FileSet files = SampleGameFiles(minor, 2, 3);
  for (const WholeFile& whole : kWholeFiles) {
    if (minor >= whole.since_minor) files[whole.installed_name] = ToBytes(whole.content);
  }
  return files;
}

// One point of a run where a fault is injected: the n-th call (from 1) of a
// system call, and what happens there (an strace inject action).
struct FaultPoint {
  std::string syscall;
  int n = 0;
  std::string action;  // "signal=KILL", "error=ENOSPC", ...
};

struct SyscallTrace {
  // Per call name, the count; and the creating opens / the writes by index.
  std::map<std::string, int> counts;
  std::vector<FaultPoint> renames;
  std::vector<FaultPoint> creations;
  std::vector<FaultPoint> writes;
};

bool StraceInjects() {
  return std::system(
             "strace -qq -o /dev/null -e trace=getpid -e inject=getpid:error=EIO:when=1 true "
             ">/dev/null 2>&1") == 0;
}

// Reads an "strace -f -o" log of one run: "<pid> name(args) = result". Only
// the main thread's calls count: strace numbers each thread's calls apart
// (inject ...:when=N), and every change of the disk is the main thread's.
SyscallTrace ReadTrace(const std::string& path) {
  SyscallTrace trace;
  std::ifstream in(path);
  std::string line;
  std::string main_pid;
  while (std::getline(in, line)) {
    size_t space = line.find(' ');
    size_t paren = line.find('(');
    if (space == std::string::npos || paren == std::string::npos || paren < space) continue;
    if (main_pid.empty()) main_pid = line.substr(0, space);
    if (line.compare(0, space, main_pid) != 0) continue;
    size_t start = line.find_first_not_of(' ', space);
    std::string name = line.substr(start, paren - start);
    if (name.empty() || name.find(' ') != std::string::npos) continue;
    int n = ++trace.counts[name];
    if (name == "rename" || name == "renameat" || name == "renameat2") {
      trace.renames.push_back({name, n, ""});
    } else if ((name == "openat" || name == "open" || name == "creat") &&
               (line.find("O_CREAT") != std::string::npos || name == "creat")) {
      trace.creations.push_back({name, n, ""});
    } else if (name == "write" || name == "pwrite64" || name == "writev") {
      trace.writes.push_back({name, n, ""});
    }
  }
  return trace;
}

class FaultInjectionE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    install_ = std::make_unique<ScratchInstall>("faults");
    PayloadBuilder builder(install_->root() + "/work");
    SamplePatchOptions options;
    options.from_minor = kFromMinor;
    options.to_minor = kToMinor;
    options.scale = 2;
    options.extra_files = 3;
    MakeSamplePatch(&builder, options);
    for (int minor = kFromMinor; minor <= kToMinor; ++minor) {
      builder.AddChecksumList(VersionText(minor), VersionFiles(minor));
      for (const auto& [name, bytes] : VersionFiles(minor)) versions_[Slashes(name)].insert(bytes);
    }
    for (const WholeFile& whole : kWholeFiles)
      builder.Add(whole.payload_name, ToBytes(whole.content));
    ParamClass* value = builder.manifest().AddClass("UpdateRegistry")->AddClass("Version");
    value->AddInt("registryUser", 0);
    value->AddText("registryPath", kSampleKey);
    value->AddText("registryName", "VERSION");
    value->AddText("registryValue", VersionText(kToMinor).c_str());
    // Listed as the maker lists it: the run writes the whole files ahead
    // while it checks the payload, and those writes are stopped too.
    ASSERT_TRUE(builder.SealListingItems());
    payload_ = install_->root() + "/patch.dll";
    ASSERT_TRUE(builder.WriteDll(payload_));
  }

  void InstallOld() {
    std::error_code ignored;
    std::filesystem::remove_all(install_->game_dir(), ignored);
    std::filesystem::remove(install_->prefix() + "/system.reg", ignored);
    std::filesystem::remove(install_->prefix() + "/user.reg", ignored);
    std::filesystem::create_directories(install_->game_dir());
    ASSERT_TRUE(InstallFiles(*install_, SampleGameFiles(kFromMinor, 2, 3)));
  }

  PatcherRun Run(const std::vector<std::string>& strace_arguments = {}) {
    PatcherOptions options;
    options.wine_prefix = install_->prefix();
    options.working_directory = install_->root();
    options.timeout_seconds = 120;
    if (strace_arguments.empty()) {
      options.program = PatcherProgram();
      options.arguments = {payload_};
    } else {
      options.program = "/usr/bin/strace";
      // LeakSanitizer cannot run under ptrace and fails the sanitizer build's
      // patcher at its exit; the runs without strace keep the leak check.
      options.arguments = {"-E", "ASAN_OPTIONS=detect_leaks=0"};
      options.arguments.insert(options.arguments.end(), strace_arguments.begin(),
                               strace_arguments.end());
      options.arguments.push_back(PatcherProgram());
      options.arguments.push_back(payload_);
    }
    return RunPatcher(options);
  }

  PatcherRun RunWithFault(const FaultPoint& point) {
    return Run(
        {"-f", "-qq", "-o", "/dev/null", "-e", "trace=" + point.syscall, "-e",
         "inject=" + point.syscall + ":" + point.action + ":when=" + std::to_string(point.n)});
  }

  // Every file is one of its versions (or, for a file the whole-file passes
  // bring, not there yet); besides them only the work files of an
  // interrupted replacement, the journal and the lock file of the run (the
  // lock itself dies with the process) may lie in the folder.
  void ExpectNothingTorn(const std::string& when) {
    std::map<std::string, Bytes> files = install_->Snapshot();
    for (const auto& [name, bytes] : files) {
      auto known = versions_.find(name);
      if (known != versions_.end()) {
        EXPECT_TRUE(known->second.count(bytes) != 0)
            << when << ": " << name << " is torn (" << bytes.size() << " bytes)";
        continue;
      }
      const std::string leftovers[] = {".tmp", ".part", ".upd", ".new", ".UPD"};
      bool leftover = name == "patch.journal" || name == "patch.lock";
      for (const std::string& suffix : leftovers) {
        leftover =
            leftover || (name.size() > suffix.size() &&
                         name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0);
      }
      EXPECT_TRUE(leftover) << when << ": unexpected file " << name;
    }
    for (const auto& [name, contents] : versions_) {
      bool whole = false;
      for (const WholeFile& file : kWholeFiles)
        whole = whole || Slashes(file.installed_name) == name;
      if (!whole) {
        EXPECT_TRUE(files.count(name) != 0) << when << ": " << name << " is missing";
      }
    }
  }

  void ExpectFinal(const std::string& when) {
    std::map<std::string, Bytes> files = install_->Snapshot();
    EXPECT_EQ(files.size(), clean_.size()) << when;
    for (const auto& [name, bytes] : clean_) {
      auto it = files.find(name);
      if (it == files.end()) {
        ADD_FAILURE() << when << ": " << name << " is missing";
        continue;
      }
      EXPECT_TRUE(it->second == bytes) << when << ": " << name << " differs";
    }
    std::string value;
    EXPECT_TRUE(install_->ReadValue(false, kSampleKey, "VERSION", &value)) << when;
    EXPECT_EQ(value, clean_value_) << when;
  }

  // One stop and the rerun that must finish.
  void StopAndFinish(const FaultPoint& point) {
    const std::string when = point.syscall + " #" + std::to_string(point.n) + " " + point.action;
    SCOPED_TRACE(when);
    InstallOld();
    PatcherRun faulted = RunWithFault(point);
    EXPECT_FALSE(faulted.timed_out) << faulted.output;
    if (faulted.exit_code == 0) ++unharmed_;
    ExpectNothingTorn(when);
    PatcherRun again = Run();
    EXPECT_EQ(again.exit_code, 0) << when << "\nfaulted run:\n"
                                  << faulted.output << "\nrun again:\n"
                                  << again.output;
    ExpectFinal(when + ", run again");
    ++tried_;
  }

  std::unique_ptr<ScratchInstall> install_;
  std::string payload_;
  std::map<std::string, std::set<Bytes>> versions_;
  std::map<std::string, Bytes> clean_;
  std::string clean_value_;
  int tried_ = 0;
  int unharmed_ = 0;
};

// Against a power loss, which no kill shows: every work file is on the disk
// before it is renamed over an installed file, and the rename is on the disk
// (its folder synced) before the run goes on.
TEST_F(FaultInjectionE2E, EveryReplacementIsDurableBeforeTheRunGoesOn) {
  if (std::system("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "no strace";
  InstallOld();
  const std::string trace_path = install_->root() + "/sync.trace";
  PatcherRun traced = Run({"-f", "-qq", "-y", "-o", trace_path, "-e",
                           "trace=fsync,fdatasync,rename,renameat,renameat2"});
  ASSERT_EQ(traced.exit_code, 0) << traced.output;
  std::ifstream in(trace_path);
  std::set<std::string> synced;  // files synced since they were last renamed
  std::string awaiting_folder;   // the folder of the last replacement, until synced
  int replacements = 0;
  for (std::string line; std::getline(in, line);) {
    const size_t open = line.find("(\"");
    const bool rename = line.find(" rename") != std::string::npos && open != std::string::npos;
    if (line.find("sync(") != std::string::npos) {
      const size_t from = line.find('<');
      const size_t to = line.find('>', from);
      if (from == std::string::npos || to == std::string::npos) continue;
      const std::string synced_path = line.substr(from + 1, to - from - 1);
      synced.insert(synced_path);
      if (synced_path == awaiting_folder) awaiting_folder.clear();
    } else if (rename) {
      const size_t end_from = line.find('"', open + 2);
      const std::string from = line.substr(open + 2, end_from - open - 2);
      const size_t open_to = line.find('"', end_from + 1);
      const std::string to = line.substr(open_to + 1, line.find('"', open_to + 1) - open_to - 1);
      const bool work_file = from.size() > 5 && (from.compare(from.size() - 4, 4, ".tmp") == 0 ||
                                                 from.compare(from.size() - 5, 5, ".part") == 0);
      if (!work_file) continue;
      EXPECT_TRUE(awaiting_folder.empty())
          << "the folder " << awaiting_folder << " was not synced before " << line;
      // strace shows a synced file by its path with every link resolved (the
      // prefix reaches C: through dosdevices/c:).
      const std::filesystem::path from_path(from);
      const std::string real_from =
          (std::filesystem::weakly_canonical(from_path.parent_path()) / from_path.filename())
              .string();
      EXPECT_TRUE(synced.count(real_from) != 0) << "renamed before it was synced: " << line;
      awaiting_folder =
          std::filesystem::weakly_canonical(std::filesystem::path(to).parent_path()).string();
      ++replacements;
    }
  }
  EXPECT_TRUE(awaiting_folder.empty()) << "the folder " << awaiting_folder << " was not synced";
  EXPECT_GE(replacements, 5);
}

TEST_F(FaultInjectionE2E, StoppedAtEveryChangeOfTheDiskARerunFinishes) {
  InstallOld();
  PatcherRun clean = Run();
  ASSERT_EQ(clean.exit_code, 0) << clean.output;
  clean_ = install_->Snapshot();
  ASSERT_TRUE(install_->ReadValue(false, kSampleKey, "VERSION", &clean_value_));
  ASSERT_EQ(clean_value_, VersionText(kToMinor));
  FileSet expected = VersionFiles(kToMinor);
  ASSERT_EQ(clean_.size(), expected.size());
  for (const auto& [name, bytes] : expected) EXPECT_TRUE(clean_[Slashes(name)] == bytes) << name;

  if (!StraceInjects()) {
    // No fault injection on this system: kills at random moments only.
    std::printf("strace cannot inject faults here; falling back to %d random kills\n",
                kRandomKills);
    std::mt19937 random(20261209);
    std::uniform_real_distribution<double> moment(0.0, 0.5);
    for (int i = 0; i < kRandomKills; ++i) {
      InstallOld();
      PatcherOptions options;
      options.program = PatcherProgram();
      options.arguments = {payload_};
      options.wine_prefix = install_->prefix();
      options.working_directory = install_->root();
      options.kill_after_seconds = moment(random);
      PatcherRun killed = RunPatcher(options);
      ExpectNothingTorn("random kill " + std::to_string(i));
      EXPECT_EQ(Run().exit_code, 0);
      ExpectFinal("random kill " + std::to_string(i) + ", run again");
    }
    return;
  }

  // The calls of a clean run, in order; the same run makes the same calls.
  InstallOld();
  const std::string trace_path = install_->root() + "/clean.trace";
  PatcherRun traced =
      Run({"-f", "-qq", "-o", trace_path, "-e",
           "trace=openat,open,creat,rename,renameat,renameat2,write,pwrite64,writev"});
  ASSERT_EQ(traced.exit_code, 0) << traced.output;
  SyscallTrace trace = ReadTrace(trace_path);
  ASSERT_FALSE(trace.renames.empty());
  ASSERT_FALSE(trace.creations.empty());
  ASSERT_FALSE(trace.writes.empty());

  std::vector<FaultPoint> points;
  // Every rename: killed before it, and failing.
  for (FaultPoint point : trace.renames) {
    for (const char* action : {"signal=KILL", "error=EIO"}) {
      point.action = action;
      points.push_back(point);
    }
  }
  // Every file creation: killed before it, and the disk full.
  for (FaultPoint point : trace.creations) {
    for (const char* action : {"signal=KILL", "error=ENOSPC"}) {
      point.action = action;
      points.push_back(point);
    }
  }
  // Writes: killed, disk full and an I/O error in turn.
  const size_t writes = trace.writes.size();
  const size_t step =
      writes > kMaxWritePoints ? (writes + kMaxWritePoints - 1) / kMaxWritePoints : 1;
  const char* write_actions[] = {"signal=KILL", "error=ENOSPC", "error=EIO"};
  int turn = 0;
  for (size_t i = 0; i < writes; i += step) {
    FaultPoint point = trace.writes[i];
    point.action = write_actions[turn++ % 3];
    points.push_back(point);
  }
  FaultPoint last_write = trace.writes.back();
  last_write.action = "error=ENOSPC";
  points.push_back(last_write);

  for (size_t i = 0; i < points.size(); i += kPointStride) StopAndFinish(points[i]);
  const int systematic = tried_;

  // Kills at random calls of any of these kinds (seeded: the same each time).
  std::vector<FaultPoint> every_call;
  for (const auto& [name, count] : trace.counts) {
    for (int n = 1; n <= count; ++n) every_call.push_back({name, n, "signal=KILL"});
  }
  std::mt19937 random(20261209);
  std::uniform_int_distribution<size_t> pick(0, every_call.size() - 1);
  const int random_kills = kRandomKills / static_cast<int>(kPointStride);
  for (int i = 0; i < random_kills; ++i) StopAndFinish(every_call[pick(random)]);

  std::printf(
      "fault points tried: %d (%d at %zu renames, %zu file creations and %zu of %zu writes, %d "
      "random kills); "
      "%d faulted runs still ended well\n",
      tried_, systematic, trace.renames.size(), trace.creations.size(),
      (writes + step - 1) / step + 1, writes, random_kills, unharmed_);
}

}  // namespace
}  // namespace corvane::e2e
