#pragma once

// velkrane-cli recover SOURCE... -o DIR: every photo on a card or its image.

#include <string>
#include <vector>

namespace velkrane::cli {

/// The first argument that picks the recovery; "./recover" stays a PATH.
inline constexpr char kRecoverCommand[] = "recover";

/// The line the repair's --help gives the command.
inline constexpr char kRecoverSummary[] =
    "SOURCE... -o DIR recovers every X3F photo on a card, a card's device or "
    "its image into DIR (see velkrane-cli recover --help).";

/// The whole `recover` command, `args` from "recover" on: returns the exit
/// status.
int RunRecover(const std::vector<std::string>& args);

}  // namespace velkrane::cli
