#include "x3f/x3f_structure.h"

#include <cstring>

#include "fileio/file_io.h"

namespace velkrane {

namespace {

constexpr unsigned char kHeader[] = {'F', 'O', 'V', 'b'};
constexpr unsigned char kCompositeHeader[] = {'F', 'O', 'V', 'i'};
constexpr std::int64_t kHeaderSize = 4;
constexpr auto kEntrySize = static_cast<std::size_t>(kDirectoryEntrySize);

// The signature each known section type starts with; other types are
// accepted unchecked.
const char* SignatureOf(const std::string& type) {
  if (type == "PROP") return "SECp";
  if (type == "IMAG" || type == "IMA2") return "SECi";
  if (type == "CAMF") return "SECc";
  if (type == "SPPA") return "SECs";
  return nullptr;
}

X3fVerdict Problem(X3fVerdict verdict, X3fProblem problem) {
  verdict.problem = problem;
  return verdict;
}

}  // namespace

std::uint32_t ReadUint32(const unsigned char* data) {
  return static_cast<std::uint32_t>(data[0]) |
         static_cast<std::uint32_t>(data[1]) << 8 |
         static_cast<std::uint32_t>(data[2]) << 16 |
         static_cast<std::uint32_t>(data[3]) << 24;
}

bool IsDirectoryAt(const unsigned char* data, std::size_t pos) {
  return std::memcmp(data + pos, kDirectorySignature,
                     sizeof kDirectorySignature) == 0;
}

bool IsX3fHeader(const unsigned char* data) {
  return std::memcmp(data, kHeader, sizeof kHeader) == 0;
}

FileStart StartOf(const InputFile& file) {
  unsigned char header[sizeof kHeader];
  if (file.Size() < kHeaderSize) return FileStart::kOther;
  file.ReadAt(0, header, sizeof header);
  if (IsX3fHeader(header)) return FileStart::kX3f;
  if (std::memcmp(header, kCompositeHeader, sizeof header) == 0) {
    return FileStart::kX3i;
  }
  return FileStart::kOther;
}

X3fVerdict CheckX3fStructure(const ReadAtFunction& read, std::int64_t length) {
  X3fVerdict verdict;
  unsigned char word[4];
  if (length < kHeaderSize) return Problem(verdict, X3fProblem::kNoHeader);
  read(0, word, sizeof word);
  if (!IsX3fHeader(word)) return Problem(verdict, X3fProblem::kNoHeader);

  read(length - 4, word, sizeof word);
  const std::int64_t offset = ReadUint32(word);
  verdict.directory_offset = static_cast<std::uint32_t>(offset);
  if (offset + kDirectoryHeadSize + 4 > length) {
    return Problem(verdict, X3fProblem::kOffsetOutside);
  }
  unsigned char head[kDirectoryHeadSize];
  read(offset, head, sizeof head);
  if (!IsDirectoryAt(head, 0)) {
    return Problem(verdict, X3fProblem::kNoDirectory);
  }
  // 64-bit, so no count can wrap the end around to the file's length.
  const std::uint32_t count = ReadUint32(head + 8);
  verdict.count = count;
  if (X3fEndFor(offset, count) != length) {
    return Problem(verdict, X3fProblem::kDirectoryEnd);
  }
  // Every camera's file holds an image and its properties.
  if (count == 0) return Problem(verdict, X3fProblem::kNoSections);
  if (count > kMaxX3fSections) {
    return Problem(verdict, X3fProblem::kTooManySections);
  }

  std::vector<unsigned char> entries(count * kEntrySize);
  read(offset + kDirectoryHeadSize, entries.data(), entries.size());
  for (std::size_t k = 0; k < count; ++k) {
    const unsigned char* entry = entries.data() + k * kEntrySize;
    X3fSection section;
    section.offset = ReadUint32(entry);
    section.length = ReadUint32(entry + 4);
    section.type.assign(reinterpret_cast<const char*>(entry + 8), 4);
    verdict.sections.push_back(section);
    // Sections lie between the header and the directory.
    const std::int64_t start = section.offset;
    if (start < kHeaderSize || start + section.length > offset) {
      return Problem(verdict, X3fProblem::kSectionOutside);
    }
    const char* signature = SignatureOf(section.type);
    if (signature == nullptr) continue;
    bool starts_right = section.length >= 4;
    if (starts_right) {
      read(start, word, sizeof word);
      starts_right = std::memcmp(word, signature, 4) == 0;
    }
    if (!starts_right) {
      return Problem(verdict, X3fProblem::kSectionSignature);
    }
  }
  verdict.complete = true;
  return verdict;
}

X3fVerdict CheckX3fStructure(const InputFile& file, std::int64_t length) {
  return CheckX3fStructure(
      [&file](std::int64_t offset, void* data, std::size_t size) {
        file.ReadAt(offset, data, size);
      },
      length);
}

X3fVerdict CheckX3fStructure(const OutputFile& file, std::int64_t length) {
  return CheckX3fStructure(
      [&file](std::int64_t offset, void* data, std::size_t size) {
        file.ReadAt(offset, data, size);
      },
      length);
}

}  // namespace velkrane
