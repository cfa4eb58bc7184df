#pragma once

// Files and folders handed to the window other than through "Select": named
// when the program starts, or dropped on it. Both front ends turn them into
// list entries here, and the Linux window reads its drops with
// PathsFromUriList.

#include <optional>
#include <string>
#include <vector>

namespace velkrane {

/// The list entries for `paths`, in the order given: a file (or a path that
/// names nothing) as itself, a folder as the ".x3f" files below it in the
/// folder walk's order (name order, depth first, PostProcessed folders
/// skipped). A folder that cannot be read is listed as itself, so that
/// Decode reports why. Empty paths are left out.
std::vector<std::string> ListEntriesFor(const std::vector<std::string>& paths);

/// The local paths in a dropped "text/uri-list": one URI per line (CR LF or
/// LF), '#' lines are comments. "file:///p", "file:/p" and
/// "file://localhost/p" name /p, with percent-escapes decoded byte by byte
/// (so "%C3%A9" is UTF-8 "é"). A line that is already an absolute path, as
/// some sources send plain text, is taken as it is. Skipped: other schemes
/// (http:, smb:, trash:...), a file URI naming another host (it is not a
/// local path), and a malformed escape or an escaped null. Nothing when the
/// text names no local path, so such a drop leaves the list alone.
std::optional<std::vector<std::string>> PathsFromUriList(
    const std::string& text);

}  // namespace velkrane
