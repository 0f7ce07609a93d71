// The batch runner as a process, for what only a process shows: signals,
// exit statuses, standard streams that fail or are files, file size limits.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "batch_run_helper.h"

namespace program_test {

// kBrokenPipe: no reader from the start, SIGPIPE ignored as a shell may
// leave it; kReaderGone: the same with SIGPIPE as it usually is (`| head`).
enum class Stdout { kPipe, kDevFull, kClosed, kBrokenPipe, kReaderGone, kFile };

struct Launch {
  std::vector<std::string> args;
  Stdout out = Stdout::kPipe;
  std::string stdout_file, stderr_file;  // appended to (kFile; stderr when set)
  rlim_t file_size_limit = RLIM_INFINITY;  // a full disk, with SIGXFSZ ignored
};

struct Child {
  pid_t pid;
  int out, err;  // -1 when not a pipe
};

// memory_limit: of the address space, as on a small machine.
inline Child SpawnWith(const Launch& l, rlim_t memory_limit = RLIM_INFINITY) {
  int out[2], err[2];
  EXPECT_EQ(pipe(out), 0);
  EXPECT_EQ(pipe(err), 0);
  const bool gone = l.out == Stdout::kBrokenPipe || l.out == Stdout::kReaderGone;
  if (gone) close(out[0]);
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv{const_cast<char*>(ENCOUNTER_BATCH)};
    for (const auto& a : l.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int append = O_WRONLY | O_CREAT | O_APPEND;
    dup2(l.stderr_file.empty() ? err[1] : open(l.stderr_file.c_str(), append, 0644), 2);
    if (l.out == Stdout::kDevFull) dup2(open("/dev/full", O_WRONLY), 1);
    if (l.out == Stdout::kClosed) close(1);
    if (l.out == Stdout::kFile) dup2(open(l.stdout_file.c_str(), append, 0644), 1);
    if (l.out == Stdout::kPipe || gone) dup2(out[1], 1);
    signal(SIGPIPE, l.out == Stdout::kBrokenPipe ? SIG_IGN : SIG_DFL);
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{l.file_size_limit, l.file_size_limit};
    setrlimit(RLIMIT_FSIZE, &limit);
    const rlimit memory{memory_limit, memory_limit};
    setrlimit(RLIMIT_AS, &memory);
    for (int fd : {out[1], err[0], err[1]}) close(fd);
    if (!gone) close(out[0]);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  if (gone) return {pid, -1, err[0]};
  return {pid, out[0], err[0]};
}
inline Child Spawn(const std::vector<std::string>& args, Stdout kind = Stdout::kPipe) {
  return SpawnWith(Launch{args, kind, "", "", RLIM_INFINITY});
}

inline std::string ReadAll(int fd) {
  std::string text;
  if (fd < 0) return text;
  char buf[4096];
  for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) text.append(buf, static_cast<std::size_t>(n));
  close(fd);
  return text;
}

// The exit status, or 128 + the signal that ended it; a program that has
// not ended after `seconds` is killed and the test fails.
inline int Wait(pid_t pid, int seconds = 60) {
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "the program did not end within " << seconds << " s";
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

inline batch_test::Result RunWith(const Launch& l, rlim_t memory_limit = RLIM_INFINITY) {
  const Child c = SpawnWith(l, memory_limit);
  std::string out = ReadAll(c.out);
  std::string err = ReadAll(c.err);
  return {Wait(c.pid), out, err};
}

}  // namespace program_test
