#include <windows.h>

#include <memory>
#include <stdexcept>

#include "cli_process.h"
#include "fileio/win32_text.h"
#include "tests/win32_test_util.h"

namespace velkrane::testing {
namespace {

// Longer than any run in the suite takes: a hang fails the test, not the suite.
constexpr DWORD kRunTimeoutMs = 300000;

// An inheritable scratch file that is gone once its last handle closes.
OwnedHandle ScratchFile() {
  wchar_t folder[MAX_PATH + 1], name[MAX_PATH + 1];
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  const HANDLE file =
      ::GetTempPathW(MAX_PATH + 1, folder) &&
              ::GetTempFileNameW(folder, L"cli", 0, name)
          ? ::CreateFileW(
                name, GENERIC_READ | GENERIC_WRITE,
                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                &inherit, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr)
          : INVALID_HANDLE_VALUE;
  if (file == INVALID_HANDLE_VALUE)
    throw std::runtime_error("no file for the output");
  return OwnedHandle(file);
}

std::string ReadAll(HANDLE file) {
  ::SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  std::string text;
  char chunk[4096];
  for (DWORD got = 0;
       ::ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0;) {
    text.append(chunk, got);
  }
  return text;
}

/// Runs the program with `out` and `err` as its stdout and stderr; returns
/// its exit status.
int Run(const std::vector<std::string>& args, HANDLE out, HANDLE err) {
  // The build's path is a POSIX one; under Wine it names the same file on
  // the current drive.
  const std::wstring program = Widen(VELKRANE_CLI);
  std::wstring command = QuotedArgument(program);
  for (const std::string& arg : args)
    command += L" " + QuotedArgument(Widen(arg));
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = INVALID_HANDLE_VALUE;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, TRUE,
                        CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process)) {
    throw std::runtime_error("cannot start " + std::string(VELKRANE_CLI));
  }
  const OwnedHandle child(process.hProcess), thread(process.hThread);
  if (::WaitForSingleObject(child.get(), kRunTimeoutMs) != WAIT_OBJECT_0) {
    ::TerminateProcess(child.get(), 255);
    ::WaitForSingleObject(child.get(), INFINITE);
  }
  DWORD status = 0;
  ::GetExitCodeProcess(child.get(), &status);
  return static_cast<int>(status);
}

}  // namespace

CliRun RunCli(const std::vector<std::string>& args) {
  const OwnedHandle out = ScratchFile(), err = ScratchFile();
  const int status = Run(args, out.get(), err.get());
  return {status, ReadAll(out.get()), ReadAll(err.get())};
}

CliRun RunCliIntoClosedPipe(const std::vector<std::string>& args) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  if (!::CreatePipe(&read_end, &write_end, &inherit, 0)) {
    throw std::runtime_error("no pipe for the output");
  }
  const OwnedHandle out(write_end);
  // With the reader gone before the program starts, every write it makes
  // fails, as once `head` has read its line.
  OwnedHandle(read_end).reset();
  const OwnedHandle err = ScratchFile();
  const int status = Run(args, out.get(), err.get());
  return {status, "", ReadAll(err.get())};
}

}  // namespace velkrane::testing
