#pragma once

#include <stdexcept>
#include <string>

namespace velkrane {

/// The one error type: its what() is the whole text a user may read.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace velkrane
