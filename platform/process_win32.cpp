// Win32 side. The signing command runs through cmd.exe from the system folder, as a publisher
// would type it in a console (signtool, a batch file, "&&"); tools run by CreateProcess with a
// command line quoted as the C runtime splits it.
#include <windows.h>

#include "platform/handle.h"
#include "platform/process.h"

namespace platform {

namespace {

constexpr char kFileVariable[] = "MKPAK_SIGN_FILE";

ProcessResult Failed() {
  ProcessResult result;
  result.error = GetLastError();
  return result;
}

ProcessResult Wait(HANDLE process) {
  DWORD code = 0;
  if (WaitForSingleObject(process, INFINITE) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process, &code))
    return Failed();
  ProcessResult result;
  result.started = true;
  result.exitStatus = static_cast<int>(code);
  return result;
}

// One argument as CommandLineToArgvW and the C runtime read it back: quoted when it holds a
// blank or quote, backslashes doubled only where they come before a quote.
std::string QuotedArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
    return arg;
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

ProcessResult Start(const char* application, std::string line, HANDLE output, CHandle* process) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  if (output) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = output;
  }
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(application, &line[0], nullptr, nullptr, output != nullptr, 0, nullptr,
                      nullptr, &startup, &info))
    return Failed();
  process->Reset(info.hProcess);
  CloseHandle(info.hThread);
  ProcessResult result;
  result.started = true;
  return result;
}

}  // namespace

// cmd.exe expands %NAME% inside quotes too and has no escape for it there, so the path is
// handed over in a variable: "%MKPAK_SIGN_FILE%" is expanded once, and what it expands to is
// not read again. /d skips the AutoRun commands of the registry, /v:off keeps '!' plain.
ProcessResult RunShellCommandOn(const std::string& command, const char* path) {
  char system[MAX_PATH];
  UINT n = GetSystemDirectoryA(system, sizeof system);
  if (n == 0 || n >= sizeof system - 9)
    return Failed();
  std::string shell = std::string(system) + "\\cmd.exe";
  std::string line = "cmd.exe /d /v:off /s /c \"";
  for (size_t i = 0; i < command.size(); ++i) {
    if (command.compare(i, 2, "{}") == 0) {
      line += "\"%" + std::string(kFileVariable) + "%\"";
      ++i;
    } else {
      line += command[i];
    }
  }
  line += "\"";
  if (!SetEnvironmentVariableA(kFileVariable, path))
    return Failed();
  CHandle process;
  ProcessResult started = Start(shell.c_str(), line, nullptr, &process);
  SetEnvironmentVariableA(kFileVariable, nullptr);
  return started.started ? Wait(process.Get()) : started;
}

ProcessResult RunCapturing(const std::string& program, const std::vector<std::string>& args,
                           std::string* output) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
    return Failed();
  CHandle reader(readEnd);
  CHandle writer(writeEnd);
  if (!SetHandleInformation(reader.Get(), HANDLE_FLAG_INHERIT, 0))
    return Failed();
  std::string line = QuotedArgument(program);
  for (const std::string& arg : args)
    line += " " + QuotedArgument(arg);
  CHandle process;
  ProcessResult started = Start(program.c_str(), line, writer.Get(), &process);
  writer.Reset();  // so that the read ends when the program does
  if (!started.started)
    return started;
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(reader.Get(), buffer, sizeof buffer, &n, nullptr) && n > 0)
    output->append(buffer, n);
  return Wait(process.Get());
}

bool FindOnPath(const char* name, std::string* path) {
  char list[32768];
  DWORD n = GetEnvironmentVariableA("PATH", list, sizeof list);
  std::string folders = n > 0 && n < sizeof list ? std::string(list, n) : std::string();
  size_t start = 0;
  for (;;) {
    size_t end = folders.find(';', start);
    std::string folder = folders.substr(start, end == std::string::npos ? end : end - start);
    if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"')
      folder = folder.substr(1, folder.size() - 2);
    if (!folder.empty()) {
      std::string candidate = folder + "\\" + name + ".exe";
      DWORD attributes = GetFileAttributesA(candidate.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
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
