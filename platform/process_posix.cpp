// POSIX side: posix_spawn, which reports a program that could not start as an error of its own
// rather than as an exit status of 127.
#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/process.h"

extern char** environ;

namespace platform {

namespace {

// Within single quotes sh takes every byte as it is, except the quote itself.
std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

ProcessResult Failed(int error) {
  ProcessResult result;
  result.error = static_cast<ErrorCode>(error);
  errno = error;
  return result;
}

ProcessResult Wait(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR)
      return Failed(errno);
  }
  ProcessResult result;
  result.started = true;
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

ProcessResult Spawn(const std::string& program, const std::vector<std::string>& args,
                    const posix_spawn_file_actions_t* actions, pid_t* pid) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args)
    argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  int error = posix_spawn(pid, program.c_str(), actions, nullptr, argv.data(), environ);
  if (error != 0)
    return Failed(error);
  ProcessResult result;
  result.started = true;
  return result;
}

class CFileActions {
 public:
  CFileActions() { posix_spawn_file_actions_init(&m_actions); }
  ~CFileActions() { posix_spawn_file_actions_destroy(&m_actions); }
  CFileActions(const CFileActions&) = delete;
  CFileActions& operator=(const CFileActions&) = delete;
  posix_spawn_file_actions_t* Get() { return &m_actions; }

 private:
  posix_spawn_file_actions_t m_actions;
};

class CFd {
 public:
  explicit CFd(int fd = -1) : m_fd(fd) {}
  ~CFd() { Reset(); }
  CFd(const CFd&) = delete;
  CFd& operator=(const CFd&) = delete;
  int Get() const { return m_fd; }
  void Reset(int fd = -1) {
    if (m_fd >= 0)
      close(m_fd);
    m_fd = fd;
  }

 private:
  int m_fd;
};

}  // namespace

ProcessResult RunShellCommandOn(const std::string& command, const char* path) {
  std::string line;
  std::string quoted = ShellQuoted(HostPath(path));
  for (size_t i = 0; i < command.size(); ++i) {
    if (command.compare(i, 2, "{}") == 0) {
      line += quoted;
      ++i;
    } else {
      line += command[i];
    }
  }
  pid_t pid = 0;
  ProcessResult started = Spawn("/bin/sh", {"-c", line}, nullptr, &pid);
  return started.started ? Wait(pid) : started;
}

ProcessResult RunCapturing(const std::string& program, const std::vector<std::string>& args,
                           std::string* output) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0)
    return Failed(errno);
  CFd reader(ends[0]);
  CFd writer(ends[1]);
  CFileActions actions;
  posix_spawn_file_actions_adddup2(actions.Get(), writer.Get(), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(actions.Get(), writer.Get(), STDERR_FILENO);
  pid_t pid = 0;
  ProcessResult started = Spawn(program, args, actions.Get(), &pid);
  writer.Reset();  // so that the read ends when the program does
  if (!started.started)
    return started;
  char buffer[4096];
  for (;;) {
    ssize_t n = read(reader.Get(), buffer, sizeof buffer);
    if (n > 0)
      output->append(buffer, static_cast<size_t>(n));
    else if (n == 0 || errno != EINTR)
      break;
  }
  return Wait(pid);
}

bool FindOnPath(const char* name, std::string* path) {
  const char* list = getenv("PATH");
  std::string folders = list ? list : "";
  size_t start = 0;
  for (;;) {
    size_t end = folders.find(':', start);
    std::string folder = folders.substr(start, end == std::string::npos ? end : end - start);
    // An empty entry means the current folder, which is no place to take a tool from.
    if (!folder.empty()) {
      std::string candidate = folder + "/" + name;
      if (access(candidate.c_str(), X_OK) == 0) {
        *path = candidate;
        return true;
      }
    }
    if (end == std::string::npos)
      return false;
    start = end + 1;
  }
}

}  // namespace platform
