#include "ui/win32/command_line.h"

#include <windows.h>

#include <shellapi.h>

#include <memory>

#include "fileio/win32_text.h"

namespace velkrane {
namespace {

struct LocalDeleter {
  void operator()(LPWSTR* memory) const noexcept { ::LocalFree(memory); }
};

}  // namespace

std::vector<std::string> CommandLinePaths() {
  int count = 0;
  // Split as the C runtime splits it: quoted names with spaces stay whole.
  const std::unique_ptr<LPWSTR, LocalDeleter> args(
      ::CommandLineToArgvW(::GetCommandLineW(), &count));
  std::vector<std::string> paths;
  if (!args) return paths;
  for (int i = 1; i < count; ++i) paths.push_back(Narrow(args.get()[i]));
  return paths;
}

}  // namespace velkrane
