#include <windows.h>

#include <stdexcept>
#include <utility>

#include "cli_process.h"
#include "fileio/win32_text.h"

namespace velkrane::testing {
namespace {

// Waits longer than any run in the suite takes, so a hang fails the test
// instead of the whole suite.
constexpr DWORD kRunTimeoutMs = 300000;

class Handle {
 public:
  explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) noexcept : h_(h) {}
  Handle(Handle&& other) noexcept : h_(std::exchange(other.h_, INVALID_HANDLE_VALUE)) {}
  Handle(const Handle&) = delete;
  Handle& operator=(Handle&&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (h_ != INVALID_HANDLE_VALUE && h_ != nullptr) ::CloseHandle(h_);
  }
  HANDLE get() const noexcept { return h_; }

 private:
  HANDLE h_;
};

// One argument as the C runtime's parser reads it back: quotes around it,
// and the backslashes before a quote doubled.
std::wstring Quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

// An inheritable scratch file that is gone once the last handle closes.
Handle ScratchFile() {
  wchar_t folder[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  if (!::GetTempPathW(MAX_PATH + 1, folder) ||
      !::GetTempFileNameW(folder, L"cli", 0, name)) {
    throw std::runtime_error("no temporary file for the output");
  }
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  Handle file(::CreateFileW(name, GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            &inherit, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE)
    throw std::runtime_error("cannot create output file");
  return file;
}

std::string ReadAll(HANDLE file) {
  ::SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  std::string text;
  char chunk[4096];
  DWORD got = 0;
  while (::ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
    text.append(chunk, got);
  }
  return text;
}

}  // namespace

CliRun RunCli(const std::vector<std::string>& args) {
  // The build's path is a POSIX one; under Wine it names the same file on
  // the current drive.
  const std::wstring program = Widen(VELKRANE_CLI);
  std::wstring command = Quoted(program);
  for (const std::string& arg : args) command += L" " + Quoted(Widen(arg));
  const Handle out = ScratchFile();
  const Handle err = ScratchFile();
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = INVALID_HANDLE_VALUE;
  startup.hStdOutput = out.get();
  startup.hStdError = err.get();
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, TRUE,
                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
    throw std::runtime_error("cannot start " + std::string(VELKRANE_CLI));
  }
  const Handle child(process.hProcess);
  const Handle thread(process.hThread);
  CliRun run;
  if (::WaitForSingleObject(child.get(), kRunTimeoutMs) != WAIT_OBJECT_0) {
    ::TerminateProcess(child.get(), 255);
    ::WaitForSingleObject(child.get(), INFINITE);
  }
  DWORD status = 0;
  ::GetExitCodeProcess(child.get(), &status);
  run.status = static_cast<int>(status);
  run.out = ReadAll(out.get());
  run.err = ReadAll(err.get());
  return run;
}

}  // namespace velkrane::testing
