#pragma once

#include <stdexcept>
#include <string>

namespace velkrane {

/// A read that ended early or failed, and a write that did not get all its
/// bytes out (a full disk).
inline constexpr char kStreamReadError[] = "Stream read error";
inline constexpr char kStreamWriteError[] = "Stream write error";
/// A repair its run no longer wanted, ended before it wrote anything.
inline constexpr char kCancelledError[] = "Cancelled";
/// No memory for a file's buffers.
inline constexpr char kOutOfMemoryError[] =
    "Out of memory while expanding memory stream";

/// The one error type: its what() is the whole text a user may read.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

/// A copy that took the target's name, whose name may still not survive a
/// power cut: the folder holding it could not be put on the disk.
class NotOnDiskError : public Error {
 public:
  using Error::Error;
};

}  // namespace velkrane
