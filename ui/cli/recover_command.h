#pragma once

// velkrane-cli recover SOURCE... -o DIR: every photo on a card or its image.

#include <string>
#include <vector>

namespace velkrane::cli {

/// The first argument that picks the recovery; "./recover" stays a PATH.
inline constexpr char kRecoverCommand[] = "recover";

/// The whole `recover` command, `args` as RunCommandLine got them: returns
/// the exit status.
int RunRecover(const std::vector<std::string>& args);

}  // namespace velkrane::cli
