#include <windows.h>
#include <winioctl.h>

#include <cctype>
#include <vector>

#include "fileio/card_source.h"
#include "fileio/card_source_platform.h"
#include "fileio/error.h"
#include "fileio/path_parts.h"
#include "fileio/win32_text.h"

namespace velkrane {

namespace {

HANDLE Handle(const FileHandle& file) {
  return reinterpret_cast<HANDLE>(file.Get());
}

FileHandle Owned(HANDLE handle) {
  return FileHandle(reinterpret_cast<std::intptr_t>(handle));
}

std::string OpenErrorText(DWORD error) {
  std::string text = SystemMessage(error);
  if (error == ERROR_ACCESS_DENIED) {
    text +=
        " (reading a drive takes an administrator: run it from a command "
        "prompt opened with \"Run as administrator\")";
  }
  return text;
}

bool IsDriveLetter(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

// "E:" or "E:\" names the drive itself, read whole as \\.\E:; a path that
// starts \\.\ (or //./) already names a device. Anything else is an image.
std::string DeviceNameOf(const std::string& path) {
  const bool drive =
      (path.size() == 2 ||
       (path.size() == 3 && (path[2] == '\\' || path[2] == '/'))) &&
      IsDriveLetter(path[0]) && path[1] == ':';
  if (drive) return std::string("\\\\.\\") + path.substr(0, 2);
  if (path.size() > 4 &&
      (path.compare(0, 4, "\\\\.\\") == 0 || path.compare(0, 4, "//./") == 0)) {
    return "\\\\.\\" + path.substr(4);
  }
  return {};
}

template <typename Out>
bool Ask(const FileHandle& file, DWORD code, Out& out) {
  DWORD returned = 0;
  return ::DeviceIoControl(Handle(file), code, nullptr, 0, &out, sizeof(out),
                           &returned, nullptr) != 0;
}

}  // namespace

CardSource::CardSource(const std::string& path) : path_(path) {
  system_path_ = DeviceNameOf(path);
  device_ = !system_path_.empty();
  if (!device_) {
    system_path_ = path;
    const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      platform::ThrowCannotOpenSource(path, platform::kSourceIsFolder);
    }
  }
  // Read access only. A drive stays shared with the system that has it
  // mounted; an image is shared with readers only, so nothing changes it
  // while it is read.
  const std::wstring wide =
      device_ ? Widen(system_path_) : WidePath(system_path_);
  file_ = Owned(::CreateFileW(
      wide.c_str(), GENERIC_READ,
      device_ ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ, nullptr,
      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file_.Valid())
    platform::ThrowCannotOpenSource(path, OpenErrorText(::GetLastError()));
  if (device_) {
    GET_LENGTH_INFORMATION length = {};
    if (!Ask(file_, IOCTL_DISK_GET_LENGTH_INFO, length)) {
      platform::ThrowCannotOpenSource(path, OpenErrorText(::GetLastError()));
    }
    size_ = static_cast<std::uint64_t>(length.Length.QuadPart);
    DISK_GEOMETRY geometry = {};
    if (Ask(file_, IOCTL_DISK_GET_DRIVE_GEOMETRY, geometry) &&
        geometry.BytesPerSector > 0) {
      sector_size_ = geometry.BytesPerSector;
    }
    // A volume's handle otherwise stops at the end of its file system, which
    // may be short of the partition's end.
    DWORD returned = 0;
    ::DeviceIoControl(Handle(file_), FSCTL_ALLOW_EXTENDED_DASD_IO, nullptr, 0,
                      nullptr, 0, &returned, nullptr);
    return;
  }
  if (::GetFileType(Handle(file_)) != FILE_TYPE_DISK) {
    platform::ThrowCannotOpenSource(path, platform::kSourceIsNoCard);
  }
  LARGE_INTEGER size;
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileSizeEx(Handle(file_), &size) ||
      !::GetFileInformationByHandle(Handle(file_), &info)) {
    platform::ThrowCannotOpenSource(path, OpenErrorText(::GetLastError()));
  }
  size_ = static_cast<std::uint64_t>(size.QuadPart);
  identity_ = {info.dwVolumeSerialNumber,
               (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) |
                   info.nFileIndexLow};
}

namespace platform {

std::int64_t ReadSourceAt(const FileHandle& file, std::uint64_t offset,
                          void* data, std::size_t size,
                          const std::string& path) {
  // One ReadFile moves at most a DWORD; a block is far less.
  const DWORD asked = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  if (::ReadFile(Handle(file), data, asked, &got, &at)) return got;
  const DWORD error = ::GetLastError();
  switch (error) {
    case ERROR_HANDLE_EOF:
      return 0;
    // What a failing medium answers; anything else (the card was pulled
    // out) ends the pass.
    case ERROR_CRC:
    case ERROR_IO_DEVICE:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_READ_FAULT:
    case ERROR_SEEK:
    case ERROR_BAD_UNIT:
      return kBadSectors;
    default:
      throw Error("Cannot read " + path + ": " + SystemMessage(error));
  }
}

}  // namespace platform

namespace {

// The nearest folder of `path` that exists.
std::string NearestExisting(std::string path) {
  while (::GetFileAttributesW(WidePath(path).c_str()) ==
         INVALID_FILE_ATTRIBUTES) {
    std::string parent = DirectoryPart(path);
    while (parent.size() > 1 &&
           (parent.back() == '\\' || parent.back() == '/') &&
           parent[parent.size() - 2] != ':') {
      parent.pop_back();
    }
    if (parent.empty()) parent = ".";
    if (parent == path) break;
    path = parent;
  }
  return path;
}

// The volume that holds `path`, as \\?\Volume{...}\; empty when unknown.
std::wstring VolumeOf(const std::wstring& path) {
  wchar_t root[MAX_PATH + 1] = {};
  wchar_t volume[MAX_PATH + 1] = {};
  if (!::GetVolumePathNameW(path.c_str(), root, MAX_PATH) ||
      !::GetVolumeNameForVolumeMountPointW(root, volume, MAX_PATH)) {
    return {};
  }
  return volume;
}

// The physical disks a volume lies on.
std::vector<DWORD> DisksOf(std::wstring volume) {
  std::vector<DWORD> disks;
  // Opened without its trailing backslash (that would be its root folder),
  // asking for no access to its data.
  if (!volume.empty() && volume.back() == L'\\') volume.pop_back();
  const FileHandle handle =
      Owned(::CreateFileW(volume.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, 0, nullptr));
  if (!handle.Valid()) return disks;
  // Room for a volume spanning a few disks.
  std::vector<std::uint64_t> buffer(64);
  DWORD returned = 0;
  if (::DeviceIoControl(Handle(handle), IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS,
                        nullptr, 0, buffer.data(),
                        static_cast<DWORD>(buffer.size() * 8), &returned,
                        nullptr)) {
    const auto* extents = reinterpret_cast<VOLUME_DISK_EXTENTS*>(buffer.data());
    for (DWORD i = 0; i < extents->NumberOfDiskExtents; ++i) {
      disks.push_back(extents->Extents[i].DiskNumber);
    }
  }
  return disks;
}

}  // namespace

std::string WhyFolderIsOnSource(const std::string& folder,
                                const CardSource& source) {
  const std::string existing = NearestExisting(folder);
  if (!source.device_) {
    const FileHandle handle = Owned(::CreateFileW(
        WidePath(existing).c_str(), 0,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (handle.Valid() && ::GetFileInformationByHandle(Handle(handle), &info) &&
        source.identity_ ==
            FileIdentity{
                info.dwVolumeSerialNumber,
                (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) |
                    info.nFileIndexLow}) {
      return folder + " is the image being read";
    }
    return {};
  }
  const std::wstring volume = VolumeOf(WidePath(existing));
  if (volume.empty()) return {};
  const std::string& device = source.system_path_;
  // \\.\E: is a drive: the folder must not be on that same drive.
  if (device.size() == 6 && device[5] == ':') {
    if (VolumeOf(Widen(device.substr(4) + "\\")) == volume) {
      return folder + " is on the drive being read (" + device.substr(4) + ")";
    }
    return {};
  }
  // A physical disk: the folder must not be on any of its drives.
  STORAGE_DEVICE_NUMBER number = {};
  DWORD returned = 0;
  if (::DeviceIoControl(Handle(source.file_), IOCTL_STORAGE_GET_DEVICE_NUMBER,
                        nullptr, 0, &number, sizeof(number), &returned,
                        nullptr)) {
    for (const DWORD disk : DisksOf(volume)) {
      if (disk == number.DeviceNumber) {
        return folder + " is on a drive of the disk being read (" + device +
               ")";
      }
    }
  }
  return {};
}

}  // namespace velkrane
