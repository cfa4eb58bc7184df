#include "fileio/file_io.h"

#include <utility>

// The platform-free half of the file layer: ownership moves and clean-up.

namespace velkrane {

InputFile::InputFile(InputFile&& other) noexcept
    : path_(std::move(other.path_)),
      handle_(std::exchange(other.handle_, kNoFile)),
      size_(other.size_) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    Close();
    path_ = std::move(other.path_);
    handle_ = std::exchange(other.handle_, kNoFile);
    size_ = other.size_;
  }
  return *this;
}

InputFile::~InputFile() { Close(); }

void InputFile::Close() noexcept { CloseFileQuietly(handle_); }

OutputFile::OutputFile(OutputFile&& other) noexcept
    : target_(std::move(other.target_)),
      temp_path_(std::exchange(other.temp_path_, std::string())),
      handle_(std::exchange(other.handle_, kNoFile)) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this != &other) {
    Discard();
    target_ = std::move(other.target_);
    temp_path_ = std::exchange(other.temp_path_, std::string());
    handle_ = std::exchange(other.handle_, kNoFile);
  }
  return *this;
}

OutputFile::~OutputFile() { Discard(); }

void OutputFile::Discard() noexcept {
  CloseFileQuietly(handle_);
  if (!temp_path_.empty()) {
    RemoveFileQuietly(temp_path_);
    temp_path_.clear();
  }
}

}  // namespace velkrane
