#include "platform/ProcessStart.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "platform/OsText.h"
#include "platform/PlatformFiles.h"

extern char** environ;

namespace {

// Only async-signal-safe calls from here on: the parent may have other threads, and
// after fork only the calling thread exists in the child.
[[noreturn]] void ChildFail(int errFd, int err) {
  ssize_t ignored;
  do {
    ignored = write(errFd, &err, sizeof err);
  } while (ignored < 0 && errno == EINTR);
  _exit(127);
}

// Descriptors of ours stay closed for the program; the error pipe (already close-on-exec)
// stays usable until the exec itself.
void MarkDescriptorsCloseOnExec(int highestFd) {
  if (close_range(3, UINT_MAX, CLOSE_RANGE_CLOEXEC) == 0) return;
  for (int fd = 3; fd <= highestFd; ++fd) {
    int flags = fcntl(fd, F_GETFD);
    if (flags >= 0) fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
  }
}

[[noreturn]] void ExecChild(int errFd, const char* dir, char* const* argv, int highestFd,
                            bool newGroup, int nullFd) {
  if (newGroup) setpgid(0, 0);
  if (nullFd >= 0) {
    dup2(nullFd, 1);
    dup2(nullFd, 2);
  }
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigaction(SIGPIPE, &dfl, nullptr);
  MarkDescriptorsCloseOnExec(highestFd);
  if (dir && chdir(dir) != 0) ChildFail(errFd, errno);
  execve(argv[0], argv, environ);
  ChildFail(errFd, errno);
}

int ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

int WaitStatus(pid_t pid, int& status) {
  pid_t r;
  do {
    r = waitpid(pid, &status, 0);
  } while (r < 0 && errno == EINTR);
  return r;
}

}  // namespace

TProcessStartResult StartProcess(const std::string& program, const std::vector<std::string>& args,
                                 const TProcessStartOptions& options) {
  TProcessStartResult result;
  if (program.empty()) {
    result.error = ENOENT;
    return result;
  }
  // Everything goes to the system as UTF-8: the program's texts are 1252.
  // The child changes its folder before the exec, so a relative path must be fixed first.
  std::string path = PfOsPath(program);
  if (path[0] != '/') {
    std::error_code ec;
    std::filesystem::path abs = std::filesystem::absolute(path, ec);
    if (ec) {
      result.error = ec.value();
      return result;
    }
    path = abs.string();
  }
  // Everything the child needs is built now: it must not allocate.
  std::vector<std::string> osArgs;
  osArgs.reserve(args.size());
  for (const std::string& a : args) osArgs.push_back(AnsiToOs(a));
  const std::string workDir = options.workDir.empty() ? std::string() : PfOsPath(options.workDir);
  std::vector<char*> argv;
  argv.reserve(args.size() + 2);
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const std::string& a : osArgs) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const char* dir = workDir.empty() ? nullptr : workDir.c_str();
  const bool detach = options.detach && !options.wait;
  long openMax = sysconf(_SC_OPEN_MAX);
  int highestFd = (openMax <= 0 || openMax > 65536) ? 65535 : static_cast<int>(openMax) - 1;

  int nullFd = -1;
  if (options.quiet) {
    nullFd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (nullFd < 0) {
      result.error = errno;
      return result;
    }
  }
  auto closeNull = [&nullFd] {
    if (nullFd >= 0) close(nullFd);
    nullFd = -1;
  };

  // The child reports a failed start through this pipe; end of file means the exec worked.
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    result.error = errno;
    closeNull();
    return result;
  }
  pid_t pid = fork();
  if (pid < 0) {
    result.error = errno;
    close(pipeFds[0]);
    close(pipeFds[1]);
    closeNull();
    return result;
  }
  if (pid == 0) {
    close(pipeFds[0]);
    if (detach) {
      // The grandchild is adopted by init once the middle process ends, and its own
      // session keeps it out of our terminal's and process group's signals.
      setsid();
      pid_t grandchild = fork();
      if (grandchild < 0) ChildFail(pipeFds[1], errno);
      if (grandchild > 0) _exit(0);
    }
    ExecChild(pipeFds[1], dir, argv.data(), highestFd, options.newProcessGroup && !detach,
              nullFd);
  }
  // Set from this side too, so that the group exists before anyone signals it.
  if (options.newProcessGroup && !detach) setpgid(pid, pid);
  closeNull();

  close(pipeFds[1]);
  int childError = 0;
  ssize_t got;
  do {
    got = read(pipeFds[0], &childError, sizeof childError);
  } while (got < 0 && errno == EINTR);
  close(pipeFds[0]);

  int status = 0;
  if (detach) WaitStatus(pid, status);  // the short-lived middle process
  if (got == static_cast<ssize_t>(sizeof childError)) {
    if (!detach) WaitStatus(pid, status);  // no zombie of a failed start
    result.error = childError != 0 ? childError : ECHILD;
    return result;
  }
  result.started = true;
  if (options.wait) {
    result.exitCode = WaitForProcess(pid);
  } else if (!detach) {
    result.pid = pid;
  }
  return result;
}

int WaitForProcess(pid_t pid) {
  if (pid <= 0) return -1;
  int status = 0;
  if (WaitStatus(pid, status) < 0) return -1;
  return ExitCodeOf(status);
}

bool WaitForProcessFor(pid_t pid, int milliseconds, int& exitCode) {
  exitCode = -1;
  if (pid <= 0) return false;
  // Short steps at first (most helpers end quickly), then at most 50 ms.
  long waited = 0;
  long step = 1;
  for (;;) {
    int status = 0;
    pid_t r;
    do {
      r = waitpid(pid, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r < 0) return false;
    if (r == pid) {
      exitCode = ExitCodeOf(status);
      return true;
    }
    if (waited >= milliseconds) return false;
    const long nap = std::min<long>(step, milliseconds - waited);
    timespec ts{nap / 1000, (nap % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
    waited += nap;
    step = std::min<long>(step * 2, 50);
  }
}

void KillProcessGroup(pid_t pid) {
  if (pid <= 0) return;
  kill(-pid, SIGKILL);
  kill(pid, SIGKILL);
  int status = 0;
  WaitStatus(pid, status);
}

std::string RunningExecutablePath() {
  std::string buffer(256, '\0');
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<size_t>(n));
      return OsToAnsi(buffer);
    }
    if (buffer.size() >= 65536) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

std::string FindProgramOnPath(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) return {};
  const char* path = std::getenv("PATH");
  if (!path) return {};
  const std::string osName = AnsiToOs(name);
  const std::string folders = path;
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    // An empty entry is the working folder, as for the shell.
    std::string folder = end > start ? folders.substr(start, end - start) : std::string(".");
    const std::string candidate = folder + "/" + osName;
    struct stat info {};
    if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        access(candidate.c_str(), X_OK) == 0)
      return OsToAnsi(candidate);
    start = end + 1;
  }
  return {};
}
