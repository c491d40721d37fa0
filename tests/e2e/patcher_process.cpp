#include "patcher_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#ifndef CORVANE_PATCHER_PROGRAM
#error "the e2e tests need CORVANE_PATCHER_PROGRAM"
#endif

namespace corvane::e2e {

namespace {

double Now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

bool Exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

// Reads the child's output until it ends (or the time is up) and reaps it.
PatcherRun Collect(pid_t pid, int out, const PatcherOptions& options) {
  PatcherRun run;
  const double start = Now();
  const bool watching = !options.kill_clock_file.empty();
  bool killed = false;
  for (;;) {
    double elapsed = Now() - start;
    if (watching && run.file_seen_after < 0 && Exists(options.kill_clock_file))
      run.file_seen_after = elapsed;
    double limit = options.timeout_seconds;
    if (options.kill_after_seconds > 0) {
      double kill_at = options.kill_after_seconds;
      if (watching) kill_at = run.file_seen_after < 0 ? limit : run.file_seen_after + kill_at;
      if (kill_at < limit) limit = kill_at;
    }
    if (elapsed >= limit) {
      kill(pid, SIGKILL);
      killed = true;
      run.timed_out = limit >= options.timeout_seconds;
      break;
    }
    pollfd fd{out, POLLIN, 0};
    int wait_ms = static_cast<int>((limit - elapsed) * 1000) + 1;
    const int most = watching && run.file_seen_after < 0 ? 1 : 50;
    int ready = poll(&fd, 1, wait_ms > most ? most : wait_ms);
    if (ready > 0) {
      char buffer[4096];
      ssize_t got = read(out, buffer, sizeof buffer);
      if (got <= 0) break;  // the child closed its output: it has ended
      run.output.append(buffer, static_cast<size_t>(got));
    } else if (ready < 0 && errno != EINTR) {
      break;
    }
  }
  if (!killed) {
    // Output closed; collect what is left within the time limit.
    for (;;) {
      int status = 0;
      pid_t done = waitpid(pid, &status, WNOHANG);
      if (done == pid) {
        if (WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
        if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
        close(out);
        run.seconds = Now() - start;
        return run;
      }
      if (Now() - start > options.timeout_seconds) {
        kill(pid, SIGKILL);
        run.timed_out = true;
        break;
      }
      usleep(1000);
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
  if (WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
  char buffer[4096];
  fcntl(out, F_SETFL, O_NONBLOCK);
  ssize_t got = 0;
  while ((got = read(out, buffer, sizeof buffer)) > 0)
    run.output.append(buffer, static_cast<size_t>(got));
  close(out);
  run.seconds = Now() - start;
  return run;
}

}  // namespace

std::string PatcherProgram() { return CORVANE_PATCHER_PROGRAM; }

std::string PatchbuildProgram() {
  const std::filesystem::path apps =
      std::filesystem::path(PatcherProgram()).parent_path().parent_path();
  return (apps / "patchbuild" / "patchbuild").string();
}

PatcherRun RunPatcher(const PatcherOptions& options) {
  PatcherRun run;
  std::vector<std::string> argv_text;
  argv_text.push_back(options.program);
  for (const std::string& a : options.arguments) argv_text.push_back(a);
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  if (options.terminal) {
    int master = -1;
    pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    if (child == 0) {
      if (!options.working_directory.empty() && chdir(options.working_directory.c_str()) != 0)
        _exit(126);
      setenv("WINEPREFIX", options.wine_prefix.c_str(), 1);
      if (!options.debug_output.empty()) {
        setenv("CORVANE_DEBUG_OUTPUT", options.debug_output.c_str(), 1);
      }
      setenv("TERM", "dumb", 1);
      execv(options.program.c_str(), argv.data());
      _exit(127);
    }
    if (child < 0) return run;
    if (!options.input.empty()) {
      ssize_t ignored = write(master, options.input.data(), options.input.size());
      (void)ignored;
    }
    return Collect(child, master, options);
  }

  int in_pipe[2];
  int out_pipe[2];
  if (pipe(in_pipe) != 0) return run;
  if (pipe(out_pipe) != 0) {
    close(in_pipe[0]);
    close(in_pipe[1]);
    return run;
  }
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    dup2(out_pipe[1], 2);
    close(in_pipe[0]);
    close(in_pipe[1]);
    close(out_pipe[0]);
    close(out_pipe[1]);
    if (!options.working_directory.empty() && chdir(options.working_directory.c_str()) != 0)
      _exit(126);
    setenv("WINEPREFIX", options.wine_prefix.c_str(), 1);
    if (!options.debug_output.empty()) {
      setenv("CORVANE_DEBUG_OUTPUT", options.debug_output.c_str(), 1);
    }
    unsetenv("TERM");
    execv(options.program.c_str(), argv.data());
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  if (pid < 0) {
    close(in_pipe[1]);
    close(out_pipe[0]);
    return run;
  }
  // The answers are short; a pipe buffer holds them all, and a child that
  // never reads them must not block us.
  signal(SIGPIPE, SIG_IGN);
  if (!options.input.empty()) {
    ssize_t ignored = write(in_pipe[1], options.input.data(), options.input.size());
    (void)ignored;
  }
  close(in_pipe[1]);

  return Collect(pid, out_pipe[0], options);
}

}  // namespace corvane::e2e
