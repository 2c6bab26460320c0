#pragma once

// The fuzz targets hand their bytes to readers that open paths: an anonymous in-memory
// file reached through /proc/self/fd keeps that quick and leaves nothing on disk.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace quendrolix::fuzz {

class MemoryFile {
 public:
  MemoryFile(const uint8_t* data, size_t size) {
    fd_ = memfd_create("fuzz", MFD_CLOEXEC);
    if (fd_ < 0) return;
    size_t done = 0;
    while (done < size) {
      const ssize_t n = ::write(fd_, data + done, size - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~MemoryFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  bool ok() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace quendrolix::fuzz
