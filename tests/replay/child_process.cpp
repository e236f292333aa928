#include "tests/replay/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

namespace {

int Spawn(const std::string& program, const std::vector<std::string>& args, int* outFd,
          int* errFd) {
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_RDONLY);
    dup2(null, STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    setsid();  // no controlling terminal: the plate question is not asked here
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  *outFd = out[0];
  *errFd = err[0];
  return pid;
}

// Reads from both pipes until both are at their end or the deadline passes.
void Drain(int outFd, int errFd, std::string* out, std::string* err, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  bool outOpen = outFd >= 0, errOpen = errFd >= 0;
  while (outOpen || errOpen) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) return;
    pollfd p[2] = {{outOpen ? outFd : -1, POLLIN, 0}, {errOpen ? errFd : -1, POLLIN, 0}};
    if (poll(p, 2, static_cast<int>(left)) <= 0) continue;
    char buffer[4096];
    for (int i = 0; i < 2; ++i) {
      if (p[i].revents == 0) continue;
      const ssize_t n = read(p[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? out : err)->append(buffer, static_cast<size_t>(n));
      } else {
        (i == 0 ? outOpen : errOpen) = false;
      }
    }
  }
}

int ExitCode(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

Finished RunProgram(const std::string& program, const std::vector<std::string>& args) {
  Finished result;
  int outFd = -1, errFd = -1;
  const int pid = Spawn(program, args, &outFd, &errFd);
  if (pid < 0) return result;
  Drain(outFd, errFd, &result.out, &result.err, 120000);
  close(outFd);
  close(errFd);
  int status = 0;
  waitpid(pid, &status, 0);
  result.code = ExitCode(status);
  return result;
}

BackgroundProgram::BackgroundProgram(const std::string& program,
                                     const std::vector<std::string>& args) {
  pid_ = Spawn(program, args, &outFd_, &errFd_);
  if (pid_ < 0) return;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::string out;
  while (out.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    pollfd p{outFd_, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buffer[256];
    const ssize_t n = read(outFd_, buffer, sizeof buffer);
    if (n <= 0) break;
    out.append(buffer, static_cast<size_t>(n));
  }
  if (out.find('\n') != std::string::npos) firstLine_ = out.substr(0, out.find('\n'));
}

BackgroundProgram::~BackgroundProgram() {
  Stop();
}

void BackgroundProgram::Collect() {
  std::string ignored;
  Drain(outFd_, errFd_, &ignored, &err_, 5000);
  close(outFd_);
  close(errFd_);
  outFd_ = errFd_ = -1;
}

int BackgroundProgram::WaitForExit(int timeoutMs) {
  if (pid_ < 0) return code_;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      code_ = ExitCode(status);
      Collect();
      return code_;
    }
    usleep(20000);
  }
  return -1;
}

int BackgroundProgram::Stop() {
  if (pid_ < 0) return code_;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  code_ = ExitCode(status);
  Collect();
  return code_;
}
